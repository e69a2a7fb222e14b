#include "comparisons.h"

#include "child_process.h"
#include "driven_copy_run.h"
#include "page_cache.h"
#include "timing.h"

namespace {

std::string timeAndRate(Duration time, const TreeTotals &size)
{
    const double megabytesPerSecond = double(size.bytes) / 1e6 / (time.count() / 1000);
    return milliseconds(time.count()) + " (" + fixed(megabytesPerSecond, 0) + " MB/s)";
}

} // namespace

ResultTable compareCopyRunWithCp(const std::vector<CopySet> &sets,
                                 const std::filesystem::path &scratch, int rounds, CacheState cache,
                                 CopyTimed timed, double target)
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
            run.run();
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
                       timeAndRate(median(timing.second), size), ratioText(ratio),
                       "<= " + ratioText(target), verdict(ratio <= target) });
    }
    return table;
}
