// Times the listing and the copy against the tools a Linux user would otherwise reach
// for, on data sets it makes itself in the folder it is given, and prints the results
// as Markdown tables. scripts/bench.sh builds it, gives it a temporary folder and
// removes that folder afterwards.

#include "comparisons.h"
#include "data_sets.h"

#include <QApplication>
#include <QDateTime>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr int kMinRounds = 5;
constexpr int kSpreadDays = 120;

struct Arguments
{
    std::filesystem::path dataRoot;
    int rounds = 7;
    bool copies = true;
};

bool parseArguments(int argc, char *argv[], Arguments &arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            arguments.rounds = std::max(kMinRounds, std::atoi(argv[++i]));
        else if (arg == "--no-copy")
            arguments.copies = false;
        else if (arguments.dataRoot.empty() && !arg.starts_with("--"))
            arguments.dataRoot = arg;
        else
            return false;
    }
    return !arguments.dataRoot.empty();
}

void section(const std::string &title, const ResultTable &table, const std::string &note)
{
    std::cout << "\n### " << title << "\n\n";
    table.print(std::cout);
    std::cout << '\n' << note << '\n' << std::flush;
}

std::vector<SubFolderSet> makeSubFolderSets(const std::filesystem::path &root)
{
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    std::vector<SubFolderSet> sets;
    for (int count : { 10000, 100000 }) {
        SubFolderSet set { root / ("subfolders-" + std::to_string(count)), count };
        std::cerr << "Making " << count << " sub-folders...\n";
        makeSubFolderSource(set.folder, count, kSpreadDays, now);
        sets.push_back(set);
    }
    return sets;
}

} // namespace

int main(int argc, char *argv[])
{
    // The window is timed off screen, here as in the tests.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int childExit = 0;
    if (runPeakMemoryChild(argc, argv, childExit))
        return childExit;

    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::cerr << "usage: " << argv[0] << " DATA_FOLDER [--runs N] [--no-copy]\n"
                  << "Makes its data sets in DATA_FOLDER (which must be empty or absent) and\n"
                  << "leaves them there; N rounds (at least " << kMinRounds
                  << ") follow one warm-up round.\n";
        return 2;
    }
    QApplication app(argc, argv);
    try {
        std::filesystem::create_directories(arguments.dataRoot);
        const auto subFolderSets = makeSubFolderSets(arguments.dataRoot);
        const std::string rounds = "Median of " + std::to_string(arguments.rounds)
            + " rounds after one warm-up round; the two contenders take turns within a round.";

        std::cerr << "Timing the scan...\n";
        section("Scan against find (day count 60)",
                compareScanWithFind(subFolderSets, arguments.rounds),
                rounds
                    + " find runs as `find SRC -mindepth 1 -maxdepth 1 -type d -newermt "
                      "DATE`, output to /dev/null, timed from spawn to exit.");

        std::cerr << "Timing the keystroke...\n";
        section("One day-count keystroke against the bare scan",
                compareKeystrokeWithScan(subFolderSets, arguments.rounds),
                rounds
                    + " Keystroke: \"6\" -> \"60\" typed into daysold of the real window"
                      " (offscreen), through FillEm, the list refill and the repaint."
                      " Refill/scan = (keystroke - scan) / scan.");

        std::cerr << "Measuring peak memory...\n";
        section("Peak memory",
                measurePeakMemory(std::filesystem::read_symlink("/proc/self/exe"),
                                  subFolderSets.back(), arguments.rounds),
                "Peak resident set (VmHWM) of a fresh process of this program, read by the"
                " process itself at its end, median of "
                    + std::to_string(arguments.rounds) + " runs.");
    } catch (const std::exception &error) {
        std::cerr << "benchmark failed: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
