#include "comparisons.h"

#include "child_process.h"
#include "find_command.h"
#include "timing.h"

#include "bare_scan.h"
#include "platform/local_file_system.h"

#include <QDate>

#include <fstream>
#include <stdexcept>

namespace {

std::size_t linesIn(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

} // namespace

std::string milliseconds(double ms)
{
    return fixed(ms, ms < 10 ? 2 : 1) + " ms";
}

std::string ratioText(double ratio)
{
    return fixed(ratio, 2);
}

std::string verdict(bool met)
{
    return met ? "yes" : "NO";
}

ResultTable compareScanWithFind(const std::vector<SubFolderSet> &sets, int rounds)
{
    ResultTable table({ "Sub-folders", "Listed", "Scan", "find", "Scan/find", "Target", "Met" });
    for (const SubFolderSet &set : sets) {
        const QDate today = QDate::currentDate();
        LocalFileSystem fileSystem;
        std::size_t listed = 0;
        const Contender scan { [&] {
            return timeOnce([&] {
                listed = scanRecentSubFolders(fileSystem, set.folder, kBenchDayCount, today).size();
            });
        } };
        const auto command = findRecentFoldersCommand(set.folder, kBenchDayCount, today);
        const Contender find { [&] {
            return Duration(runChildChecked(command).elapsed);
        } };
        const PairTiming timing = timeInTurns(scan, find, rounds);

        // Both must have listed the same folders, or the times say nothing.
        const std::filesystem::path found = set.folder.parent_path() / "find-output.txt";
        runChildChecked(command, found.string());
        const std::size_t foundCount = linesIn(found);
        std::filesystem::remove(found);
        if (foundCount != listed)
            throw std::runtime_error("scan listed " + std::to_string(listed) + " folders, find "
                                     + std::to_string(foundCount));

        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ std::to_string(set.count), std::to_string(listed),
                       milliseconds(median(timing.first).count()),
                       milliseconds(median(timing.second).count()), ratioText(ratio), "<= 1.50",
                       verdict(ratio <= 1.5) });
    }
    return table;
}
