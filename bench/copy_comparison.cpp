#include "comparisons.h"

#include "child_process.h"
#include "page_cache.h"
#include "timing.h"
#include "tree_compare.h"

#include "copy/copy_run.h"
#include "platform/local_file_system.h"

#include <stdexcept>

namespace {

// The local file system with a flush that returns at once, so that the copy alone is
// timed; the flush is timed in the comparison with it.
class UnflushedFileSystem : public LocalFileSystem
{
public:
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override
    {
        struct Unflushed : CopySession
        {
            using CopySession::CopySession;
            void flushAll() override { }
        };
        return std::make_unique<Unflushed>(m_calls, destination);
    }

private:
    SystemCalls m_calls;
};

// A CopyRun driven by direct calls, as its worker thread drives it in the program, with
// its progress reports and stop checks on but nobody listening to the progress. Anything
// but a clean count or a clean finish stops the benchmark.
class DrivenCopyRun
{
public:
    DrivenCopyRun(FileSystemService &fileSystem, CopyRequest request)
        : m_run(fileSystem)
        , m_request(std::move(request))
    {
        QObject::connect(&m_run, &CopyRun::counted, &m_run, [this] { m_ended = true; });
        QObject::connect(&m_run, &CopyRun::finished, &m_run,
                         [this](const QStringList &problems, const QStringList &notKept) {
                             m_ended = true;
                             if (!problems.isEmpty() || !notKept.isEmpty())
                                 m_trouble = (problems + notKept).join(QLatin1Char(' '));
                         });
        QObject::connect(&m_run, &CopyRun::refused, &m_run,
                         [this](const QString &message) { m_trouble = message; });
        QObject::connect(&m_run, &CopyRun::failed, &m_run,
                         [this](const QString &, const QString &file, const QString &reason) {
                             m_trouble = file + QLatin1String(": ") + reason;
                         });
        QObject::connect(&m_run, &CopyRun::cancelled, &m_run,
                         [this] { m_trouble = QStringLiteral("cancelled"); });
    }

    void prepare()
    {
        m_run.prepare(m_request);
        check("count");
    }
    void copy()
    {
        m_run.copy();
        check("copy");
    }

private:
    void check(const std::string &step)
    {
        const bool clean = m_ended && m_trouble.isEmpty();
        const QString trouble = m_trouble;
        m_ended = false;
        m_trouble.clear();
        if (!clean)
            throw std::runtime_error("the copy run's " + step
                                     + " did not end cleanly: " + trouble.toStdString());
    }

    CopyRun m_run;
    CopyRequest m_request;
    bool m_ended = false;
    QString m_trouble;
};

void checkCopy(const std::filesystem::path &source, const std::filesystem::path &copy,
               const std::string &tool)
{
    const std::string difference = firstTreeDifference(source, copy);
    if (!difference.empty())
        throw std::runtime_error(tool + " made a wrong copy of " + source.string() + ": "
                                 + difference);
}

std::string sizeText(const TreeTotals &size)
{
    return std::to_string(size.files) + " files, " + fixed(double(size.bytes) / (1 << 20), 0)
        + " MiB";
}

std::string timeAndRate(Duration time, const TreeTotals &size)
{
    const double megabytesPerSecond = double(size.bytes) / 1e6 / (time.count() / 1000);
    return milliseconds(time.count()) + " (" + fixed(megabytesPerSecond, 0) + " MB/s)";
}

} // namespace

ResultTable compareCopyRunWithCp(const std::vector<CopySet> &sets,
                                 const std::filesystem::path &scratch, int rounds, CacheState cache,
                                 CopyTimed timed)
{
    const bool withFlush = timed == CopyTimed::WholeRunWithFlush;
    ResultTable table({ "Data set", "Size", withFlush ? "Copy run + flush" : "Copy run",
                        withFlush ? "cp -a + sync -f" : "cp -a", "Run/cp", "Target", "Met" });
    for (const CopySet &set : sets) {
        SilentCopyMonitor monitor;
        SystemCalls calls;
        const TreeTotals size = measureTree(calls, set.folder, monitor);
        // The data set is copied as a sub-folder of its parent into `into`, which holds
        // nothing else: the copy lands at `destination` for both tools.
        const std::filesystem::path into = scratch / "copy";
        const std::filesystem::path destination = into / set.folder.filename();
        // Every timed run starts from the same state: an empty destination folder, no
        // dirty pages waiting to be written, and the source in the page cache (or out of it).
        const auto startFresh = [&] {
            std::filesystem::remove_all(into);
            std::filesystem::create_directory(into);
            flushWrites();
            if (cache == CacheState::Warm)
                warmPageCache(set.folder);
            else
                dropPageCache();
        };

        LocalFileSystem localFileSystem;
        UnflushedFileSystem unflushedFileSystem;
        DrivenCopyRun run(withFlush ? localFileSystem : unflushedFileSystem,
                          { set.folder.parent_path(), into, { set.folder.filename() } });
        const auto wholeRun = [&] {
            run.prepare();
            run.copy();
        };
        // Without the flush, the count is part of the untimed start.
        const Contender engine = withFlush
            ? Contender { [&] { return timeOnce(wholeRun); }, startFresh }
            : Contender { [&] { return timeOnce([&] { run.copy(); }); },
                          [&] {
                              startFresh();
                              run.prepare();
                          } };

        const std::vector<std::string> cpCommand { "cp", "-a", set.folder.string(),
                                                   destination.string() };
        const std::vector<std::string> syncCommand { "sync", "-f", destination.string() };
        const Contender cp { [&] {
                                Duration time(runChildChecked(cpCommand).elapsed);
                                if (withFlush)
                                    time += Duration(runChildChecked(syncCommand).elapsed);
                                return time;
                            },
                             startFresh };
        const PairTiming timing = timeInTurns(engine, cp, rounds);

        checkCopy(set.folder, destination, "cp -a");
        startFresh();
        wholeRun();
        checkCopy(set.folder, destination, "The copy run");
        std::filesystem::remove_all(into);

        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ set.title, sizeText(size), timeAndRate(median(timing.first), size),
                       timeAndRate(median(timing.second), size), ratioText(ratio), "<= 1.00",
                       verdict(ratio <= 1.0) });
    }
    return table;
}
