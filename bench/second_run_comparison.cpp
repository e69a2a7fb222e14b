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

// "0.05 (<= 0.10, yes)", or the ratio alone where there is no target.
std::string ratioAndTarget(double ratio, double target)
{
    if (target <= 0)
        return ratioText(ratio);
    return ratioText(ratio) + " (<= " + fixed(target, 2) + ", " + verdict(ratio <= target) + ")";
}

} // namespace

ResultTable compareSecondRuns(const std::vector<SecondRunSet> &sets, int rounds)
{
    ResultTable table({ "Data set", "Second run", "Against", "Its time", "Anchor's time",
                        "Ratio (target, met)" });
    for (const SecondRunSet &set : sets) {
        const std::string name = set.copy.folder.filename();
        const fs::path ours = set.into / "ours", theirs = set.into / "rsync";
        SilentCopyMonitor monitor;
        SystemCalls calls;
        const TreeTotals size = measureTree(calls, set.copy.folder, monitor);
        UnflushedFileSystem fileSystem;
        DrivenCopyRun run(fileSystem, { set.copy.folder.parent_path(), ours, { name } },
                          set.contentsCompared);
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
            warmPageCache(set.copy.folder);
        };
        const auto copied = [&] {
            if (!fs::exists(ours / name))
                run.run();
            settle();
        };
        std::vector<std::string> rsync { "rsync", "-a" };
        if (set.contentsCompared)
            rsync.push_back("--checksum");
        rsync.insert(rsync.end(), { set.copy.folder.string(), theirs.string() + '/' });
        const auto runRsync = [&] {
            // exFAT holds no owners: rsync says so with status 23, the data all there.
            const ChildResult result = runChild(rsync);
            if (result.exitCode != 0 && !(set.contentsCompared && result.exitCode == 23))
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
                                         settle();
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
            table.addRow({ title, what, anchor, milliseconds(time.count()),
                           milliseconds(anchorTime.count()),
                           ratioAndTarget(time.count() / anchorTime.count(), target) });
        };
        const std::string rsyncSecondRun
            = set.contentsCompared ? "rsync -a --checksum, second run" : "rsync -a, second run";
        add("unchanged", "first run", median(againstFirst.second), median(againstFirst.first),
            set.contentsCompared ? 0 : 0.10);
        add("unchanged", rsyncSecondRun, median(againstRsync.first), median(againstRsync.second),
            set.contentsCompared ? 0 : 0.50);
        add("unchanged, count and copy", rsyncSecondRun, median(wholeAgainstRsync.first),
            median(wholeAgainstRsync.second), 0);
        if (!set.contentsCompared) {
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
    return table;
}
