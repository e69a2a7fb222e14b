#include "comparisons.h"

#include "bench_window.h"
#include "child_process.h"

#include "bare_scan.h"
#include "platform/local_file_system.h"

#include <QApplication>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace {

// The process's own high-water mark. The kernel restarts it at exec, whereas the
// child's rusage also counts the pages it shared with this large parent before exec.
long ownPeakKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    throw std::runtime_error("no VmHWM in /proc/self/status");
}

long medianPeakKiB(const std::vector<std::string> &command, const std::filesystem::path &report,
                   int rounds)
{
    std::vector<long> peaks;
    for (int i = 0; i < rounds; ++i) {
        runChildChecked(command, report.string());
        std::ifstream in(report);
        long peak = 0;
        if (!(in >> peak))
            throw std::runtime_error("no peak memory from " + command.front());
        peaks.push_back(peak);
    }
    std::filesystem::remove(report);
    std::sort(peaks.begin(), peaks.end());
    return peaks[peaks.size() / 2];
}

std::string mebibytes(long kib)
{
    return fixed(double(kib) / 1024, 1) + " MiB";
}

int scanOnce(const char *folder)
{
    LocalFileSystem fileSystem;
    const auto listed
        = scanRecentSubFolders(fileSystem, folder, kBenchDayCount, QDate::currentDate());
    std::cout << ownPeakKiB() << ' ' << listed.size() << '\n';
    return 0;
}

int fillWindowOnce(int argc, char *argv[], const char *folder, bool untilLooked)
{
    QApplication app(argc, argv);
    BenchWindow bench;
    bench.listFolder(folder);
    if (untilLooked)
        bench.waitForLook();
    std::cout << ownPeakKiB() << ' ' << bench.listedRows() << '\n';
    return bench.showedMessages() ? 1 : 0;
}

} // namespace

bool runPeakMemoryChild(int argc, char *argv[], int &exitCode)
{
    if (argc == 2 && std::strcmp(argv[1], "--peak-idle") == 0) {
        std::cout << ownPeakKiB() << '\n';
        exitCode = 0;
        return true;
    }
    if (argc == 3 && std::strcmp(argv[1], "--peak-scan") == 0) {
        exitCode = scanOnce(argv[2]);
        return true;
    }
    const bool look = argc == 3 && std::strcmp(argv[1], "--peak-look") == 0;
    if (look || (argc == 3 && std::strcmp(argv[1], "--peak-window") == 0)) {
        exitCode = fillWindowOnce(argc, argv, argv[2], look);
        return true;
    }
    return false;
}

ResultTable measurePeakMemory(const std::filesystem::path &self, const SubFolderSet &set,
                              const LookSet &look, int rounds)
{
    const std::filesystem::path report = set.folder.parent_path() / "peak-memory.txt";
    const long idle = medianPeakKiB({ self.string(), "--peak-idle" }, report, rounds);
    const long scan
        = medianPeakKiB({ self.string(), "--peak-scan", set.folder.string() }, report, rounds);
    const long window
        = medianPeakKiB({ self.string(), "--peak-window", set.folder.string() }, report, rounds);
    const std::string folders = std::to_string(set.count) + " sub-folders";

    ResultTable table({ "Process", "Peak RSS", "Idle process", "Above idle", "Target", "Met" });
    table.addRow({ "scan of " + folders, mebibytes(scan), mebibytes(idle), mebibytes(scan - idle),
                   "< 100 MiB", verdict(scan < 100 * 1024) });
    table.addRow({ "window filled from " + folders, mebibytes(window), mebibytes(idle),
                   mebibytes(window - idle), "(none)", "-" });
    const long looked
        = medianPeakKiB({ self.string(), "--peak-look", look.folder.string() }, report, rounds);
    table.addRow({ "window looked inside " + std::to_string(look.entries) + " entries",
                   mebibytes(looked), mebibytes(idle), mebibytes(looked - idle), "< 100 MiB",
                   verdict(looked - idle < 100 * 1024) });
    return table;
}
