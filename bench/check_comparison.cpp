#include "comparisons.h"

#include "child_process.h"
#include "driven_copy_run.h"
#include "page_cache.h"
#include "timing.h"

#include "engine/copy_session.h"

#include <stdexcept>

ResultTable compareHashedCopy(const std::vector<CopySet> &sets,
                              const std::filesystem::path &scratch, int rounds)
{
    ResultTable table(
        { "Data set", "Size", "Copy run, hashing", "Copy run", "Hashing/plain", "Target", "Met" });
    for (const CopySet &set : sets) {
        SilentCopyMonitor monitor;
        SystemCalls calls;
        const TreeTotals size = measureTree(calls, set.folder, monitor);
        const std::filesystem::path into = scratch / "copy";
        const auto startFresh = [&] {
            std::filesystem::remove_all(into);
            std::filesystem::create_directory(into);
            flushWrites();
            warmPageCache(set.folder);
        };
        // The flush and the read-back are left out: only the hashing as the data streams.
        UnflushedFileSystem fileSystem;
        const auto contender = [&](bool hashing) {
            auto run = std::make_shared<DrivenCopyRun>(fileSystem,
                                                       CopyRequest { set.folder.parent_path(),
                                                                     into,
                                                                     { set.folder.filename() },
                                                                     false,
                                                                     {},
                                                                     hashing });
            return Contender { [run] { return timeOnce([&] { run->copy(); }); },
                               [run, startFresh] {
                                   startFresh();
                                   run->prepare();
                               } };
        };
        const PairTiming timing = timeInTurns(contender(true), contender(false), rounds);
        checkCopy(set.folder, into / set.folder.filename(), "The hashing copy run");
        std::filesystem::remove_all(into);
        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ set.title, sizeText(size), milliseconds(median(timing.first).count()),
                       milliseconds(median(timing.second).count()), ratioText(ratio), "<= 1.05",
                       verdict(ratio <= 1.05) });
    }
    return table;
}

ResultTable compareCheckWithCat(const CopySet &set, const std::filesystem::path &drive, int rounds)
{
    ResultTable table(
        { "Data set", "Size", "Check (read-back)", "cat", "Check speed / cat", "Target", "Met" });
    SilentCopyMonitor monitor;
    SystemCalls calls;
    const TreeTotals size = measureTree(calls, set.folder, monitor);
    const std::filesystem::path into = drive / "check";
    std::filesystem::create_directory(into);
    CopySession session(calls, into);
    session.keepHashes(true);
    session.copyFolder(set.folder, set.folder.filename().string(), monitor);
    session.flushAll();
    const std::filesystem::path copy = into / set.folder.filename();

    const Contender check { [&] {
                               CheckReport report;
                               const Duration time
                                   = timeOnce([&] { session.checkCopies(monitor, report); });
                               if (!report.problems.empty() || report.checked != size.files)
                                   throw std::runtime_error("the check found trouble in "
                                                            + copy.string());
                               return time;
                           },
                            dropPageCache };
    const Contender cat { [&] {
                             return Duration(
                                 runChildChecked({ "sh", "-c", "find \"$1\" -type f -exec cat {} +",
                                                   "sh", copy.string() })
                                     .elapsed);
                         },
                          dropPageCache };
    const PairTiming timing = timeInTurns(check, cat, rounds);
    std::filesystem::remove_all(into);
    const double speed = median(timing.second) / median(timing.first);
    table.addRow({ set.title, sizeText(size), milliseconds(median(timing.first).count()),
                   milliseconds(median(timing.second).count()), ratioText(speed), ">= 0.90",
                   verdict(speed >= 0.9) });
    return table;
}
