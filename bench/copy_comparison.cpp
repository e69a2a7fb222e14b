#include "comparisons.h"

#include "child_process.h"
#include "data_sets.h"
#include "page_cache.h"
#include "timing.h"
#include "tree_compare.h"

#include "copy/copy_engine.h"
#include "platform/local_file_system.h"

#include <stdexcept>

namespace {

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

ResultTable compareCopyWithCp(const std::vector<CopySet> &sets,
                              const std::filesystem::path &scratch, int rounds, CacheState cache)
{
    ResultTable table({ "Data set", "Size", "CopyFolder", "cp -a", "Copy/cp", "Target", "Met" });
    for (const CopySet &set : sets) {
        SilentCopyMonitor monitor;
        const TreeTotals size = measureTree(set.folder, monitor);
        const std::filesystem::path destination = scratch / "copy";
        // Every timed run starts from the same state: no destination, no dirty pages
        // waiting to be written, and the source in the page cache (or out of it).
        const auto startFresh = [&] {
            std::filesystem::remove_all(destination);
            flushWrites();
            if (cache == CacheState::Warm)
                warmPageCache(set.folder);
            else
                dropPageCache();
        };
        LocalFileSystem fileSystem;
        const auto copyFolder = [&] {
            fileSystem.copyFolder(set.folder, destination, monitor);
        };
        const Contender engine { [&] { return timeOnce(copyFolder); }, startFresh };
        const std::vector<std::string> command { "cp", "-a", set.folder.string(),
                                                 destination.string() };
        const Contender cp { [&] { return Duration(runChildChecked(command).elapsed); },
                             startFresh };
        const PairTiming timing = timeInTurns(engine, cp, rounds);

        checkCopy(set.folder, destination, "cp -a");
        startFresh();
        copyFolder();
        checkCopy(set.folder, destination, "CopyFolder");
        std::filesystem::remove_all(destination);

        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ set.title, sizeText(size), timeAndRate(median(timing.first), size),
                       timeAndRate(median(timing.second), size), ratioText(ratio), "<= 1.00",
                       verdict(ratio <= 1.0) });
    }
    return table;
}
