#include "comparisons.h"

#include "child_process.h"
#include "driven_copy_run.h"
#include "page_cache.h"
#include "timing.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Rewrites every hundredth file below `folder` in place with new contents of the same size,
// which gives it a new modification time too.
void changeOnePercent(const fs::path &folder)
{
    std::mt19937_64 random(std::random_device {}());
    int seen = 0;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || seen++ % 100 != 0)
            continue;
        std::string data(entry.file_size(), '\0');
        for (char &byte : data)
            byte = char(random());
        std::ofstream(entry.path(), std::ios::binary | std::ios::in | std::ios::out) << data;
    }
}

// What the counter `counter` says was read so far: a block device's sectors read, or a
// process's bytes read from storage.
std::uint64_t bytesRead(const fs::path &counter)
{
    std::ifstream in(counter);
    std::uint64_t value = 0;
    if (counter.filename() == "stat") {
        std::uint64_t reads = 0, merged = 0;
        if (in >> reads >> merged >> value)
            return value * 512;
    } else {
        for (std::string key; in >> key >> value;)
            if (key == "read_bytes:")
                return value;
    }
    throw std::runtime_error("cannot read " + counter.string());
}

std::string megabytes(std::uint64_t bytes)
{
    return fixed(double(bytes) / 1e6, 1) + " MB";
}

std::string shareAndTarget(double share, double target)
{
    const std::string text = fixed(share * 100, 1) + " %";
    if (target <= 0)
        return text;
    return text + " (< " + fixed(target * 100, 0) + " %, " + verdict(share < target) + ")";
}

// "0.05 (<= 0.10, yes)", or the ratio alone where there is no target.
std::string ratioAndTarget(double ratio, double target)
{
    if (target <= 0)
        return ratioText(ratio);
    return ratioText(ratio) + " (<= " + fixed(target, 2) + ", " + verdict(ratio <= target) + ")";
}

} // namespace

SecondRunTables compareSecondRuns(const std::vector<SecondRunSet> &sets, int rounds,
                                  CacheState cache)
{
    SecondRunTables tables { ResultTable({ "Data set", "Second run", "Against", "Its time",
                                           "Anchor's time", "Ratio (target, met)" }),
                             ResultTable({ "Data set", "Data", "Copy run read", "rsync read",
                                           "Copy run's share (target, met)" }) };
    for (const SecondRunSet &set : sets) {
        const std::string name = set.copy.folder.filename();
        const fs::path ours = set.into / "ours", theirs = set.into / "rsync";
        SilentCopyMonitor monitor;
        SystemCalls calls;
        const TreeTotals size = measureTree(calls, set.copy.folder, monitor);
        UnflushedFileSystem fileSystem;
        DrivenCopyRun run(fileSystem, { set.copy.folder.parent_path(), ours, { name } },
                          set.metadataMayBeLost);
        // As in the first copy's comparison with cp -a, the count runs before the clock starts;
        // one row times the count and the copy together.
        const auto timedCopy = [&] {
            return timeOnce([&] { run.copy(); });
        };
        const auto timedWhole = [&] {
            return timeOnce([&] { run.run(); });
        };
        const auto settle = [&] {
            flushWrites();
            if (cache == CacheState::Cold)
                dropPageCache();
            else
                warmPageCache(set.copy.folder);
        };
        // The source's metadata as the copy run's count leaves it, for rsync too.
        const auto settleForRsync = [&] {
            settle();
            if (cache == CacheState::Cold)
                measureTree(calls, set.copy.folder, monitor);
        };
        const auto copied = [&] {
            if (!fs::exists(ours / name)) {
                fs::create_directories(ours);
                run.run();
            }
            settle();
        };
        std::vector<std::string> rsync { "rsync", "-a" };
        if (set.rsyncByData)
            rsync.push_back("--checksum");
        rsync.insert(rsync.end(), { set.copy.folder.string(), theirs.string() + '/' });
        const auto runRsync = [&] {
            // A drive without owners: rsync says so with status 23, the data all there.
            const ChildResult result = runChild(rsync);
            if (result.exitCode != 0 && !(set.metadataMayBeLost && result.exitCode == 23))
                throw std::runtime_error("rsync -a failed with status "
                                         + std::to_string(result.exitCode));
            return Duration(result.elapsed);
        };

        const Contender first { timedCopy, [&] {
                                   fs::remove_all(ours);
                                   fs::create_directories(ours);
                                   settle();
                                   run.prepare();
                               } };
        const Contender second { timedCopy, [&] {
                                    copied();
                                    run.prepare();
                                } };
        const Contender secondWhole { timedWhole, copied };
        const Contender rsyncSecond { runRsync, [&] {
                                         if (!fs::exists(theirs / name)) {
                                             fs::create_directories(theirs);
                                             runRsync();
                                         }
                                         settleForRsync();
                                     } };
        const PairTiming againstFirst = timeInTurns(first, second, rounds);
        if (run.upToDate() != size.files)
            throw std::runtime_error("the second run found " + std::to_string(run.upToDate())
                                     + " of " + std::to_string(size.files) + " files up to date");
        const PairTiming againstRsync = timeInTurns(second, rsyncSecond, rounds);
        const PairTiming wholeAgainstRsync = timeInTurns(secondWhole, rsyncSecond, rounds);
        checkCopy(set.copy.folder, ours / name, "The copy run");
        checkCopy(set.copy.folder, theirs / name, "rsync");

        const std::string title = set.copy.title + ", " + sizeText(size);
        const auto add = [&](const std::string &what, const std::string &anchor, Duration time,
                             Duration anchorTime, double target) {
            tables.times.addRow({ title, what, anchor, milliseconds(time.count()),
                                  milliseconds(anchorTime.count()),
                                  ratioAndTarget(time.count() / anchorTime.count(), target) });
        };
        const std::string rsyncSecondRun
            = set.rsyncByData ? "rsync -a --checksum, second run" : "rsync -a, second run";
        add("unchanged", "first run", median(againstFirst.second), median(againstFirst.first),
            set.firstRunTarget);
        add("unchanged", rsyncSecondRun, median(againstRsync.first), median(againstRsync.second),
            set.rsyncTarget);
        add("unchanged, count and copy", rsyncSecondRun, median(wholeAgainstRsync.first),
            median(wholeAgainstRsync.second), 0);
        if (!set.readCounter.empty()) {
            copied();
            run.prepare();
            const std::uint64_t before = bytesRead(set.readCounter);
            run.copy();
            const std::uint64_t read = bytesRead(set.readCounter) - before;
            settleForRsync();
            const std::uint64_t rsyncBefore = bytesRead(set.readCounter);
            runRsync();
            const std::uint64_t rsyncRead = bytesRead(set.readCounter) - rsyncBefore;
            tables.reads.addRow(
                { title, megabytes(size.bytes), megabytes(read), megabytes(rsyncRead),
                  shareAndTarget(double(read) / double(size.bytes), set.readShareTarget) });
        }
        if (set.firstRunTarget > 0) {
            const Contender changed { timedCopy, [&] {
                                         copied();
                                         changeOnePercent(set.copy.folder);
                                         settle();
                                         run.prepare();
                                     } };
            const PairTiming changedTiming = timeInTurns(changed, second, rounds);
            checkCopy(set.copy.folder, ours / name, "The copy run");
            add("1 % of the files changed", "first run", median(changedTiming.first),
                median(againstFirst.first), 0.15);
        }
        fs::remove_all(set.into);
    }
    return tables;
}
