// First copies onto drives that answer each call after a round trip (a share, a FUSE
// driver), against cp -a onto the same drive, and how many files the copy kept in flight.

#include "comparisons.h"

#include "child_process.h"
#include "driven_copy_run.h"
#include "page_cache.h"
#include "timing.h"

#include "engine/copy_session.h"

#include <mutex>
#include <set>
#include <thread>

namespace {

// Notes every thread that moves file data: how many files the copy had in flight at most.
struct ThreadCountingCalls : SystemCalls
{
    std::mutex mutex;
    std::set<std::thread::id> threads;
    Result<std::size_t> copyData(int from, int to, std::uint64_t offset, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    {
        {
            const std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
        }
        return SystemCalls::copyData(from, to, offset, length, method, whileWriting);
    }
};

// The local file system, its copies one file at a time.
class OneInFlightFileSystem : public LocalFileSystem
{
public:
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override
    {
        std::unique_ptr<CopySession> session = LocalFileSystem::holdDestination(destination);
        session->mostFilesInFlight(1);
        return session;
    }
};

std::size_t threadsInFlight(const std::filesystem::path &source, const std::filesystem::path &into)
{
    ThreadCountingCalls calls;
    SilentCopyMonitor monitor;
    CopySession session(calls, into);
    const CopyReport report = session.copyFolder(source, source.filename(), monitor);
    if (!report.problems.empty())
        throw std::runtime_error("the counting copy onto " + into.string() + " met problems");
    return calls.threads.size();
}

// Where a set's copies land on its drive: emptied before every run, the source in the page
// cache, so that the drive's own cost is what is timed.
struct DriveFolder
{
    const DriveCopySet &set;
    const std::filesystem::path into = set.drive / "first-copy";
    const std::filesystem::path destination = into / set.copy.folder.filename();

    void startFresh() const
    {
        std::filesystem::remove_all(into);
        std::filesystem::create_directory(into);
        flushWrites();
        warmPageCache(set.copy.folder);
    }

    // Checks what `other` left, then adds the row of the two timings and of the threads
    // that moved data in one more run of the engine's own, which is checked and removed.
    void addRow(ResultTable &table, const PairTiming &timing, const std::string &other) const
    {
        checkCopy(set.copy.folder, destination, other);
        startFresh();
        const std::size_t threads = threadsInFlight(set.copy.folder, into);
        checkCopy(set.copy.folder, destination, "The copy run");
        std::filesystem::remove_all(into);
        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ set.drive.filename().string(), set.copy.title,
                       milliseconds(median(timing.first).count()),
                       milliseconds(median(timing.second).count()), ratioText(ratio),
                       std::to_string(threads), "<= " + ratioText(set.target),
                       verdict(ratio <= set.target) });
    }
};

} // namespace

ResultTable compareFirstCopiesOnDrives(const std::vector<DriveCopySet> &sets, int rounds)
{
    ResultTable table(
        { "Drive", "Data set", "Copy run", "cp -a", "Run/cp", "Threads copying", "Target", "Met" });
    for (const DriveCopySet &set : sets) {
        const DriveFolder folder { set };
        const auto startFresh = [&] {
            folder.startFresh();
        };
        UnflushedFileSystem fileSystem;
        DrivenCopyRun run(
            fileSystem,
            { set.copy.folder.parent_path(), folder.into, { set.copy.folder.filename() } },
            set.metadataMayBeLost);
        const Contender engine { [&] { return timeOnce([&] { run.copy(); }); },
                                 [&] {
                                     startFresh();
                                     run.prepare();
                                 } };
        const std::vector<std::string> cp { "cp", "-a", set.copy.folder.string(),
                                            folder.destination.string() };
        const Contender tool { [&] { return Duration(runChildChecked(cp).elapsed); }, startFresh };
        folder.addRow(table, timeInTurns(engine, tool, rounds), "cp -a");
    }
    return table;
}

ResultTable compareWithOneInFlight(const DriveCopySet &set, int rounds)
{
    ResultTable table({ "Drive", "Data set", "Copy run + flush", "One in flight + flush", "Ratio",
                        "Threads copying", "Target", "Met" });
    const DriveFolder folder { set };
    const auto startFresh = [&] {
        folder.startFresh();
    };
    const CopyRequest request { set.copy.folder.parent_path(),
                                folder.into,
                                { set.copy.folder.filename() } };
    LocalFileSystem adapting;
    OneInFlightFileSystem oneAtATime;
    DrivenCopyRun run(adapting, request), runOneAtATime(oneAtATime, request);
    const PairTiming timing = timeInTurns(
        { [&] { return timeOnce([&] { run.run(); }); }, startFresh },
        { [&] { return timeOnce([&] { runOneAtATime.run(); }); }, startFresh }, rounds);
    folder.addRow(table, timing, "The copy run with one file in flight");
    return table;
}
