#include "comparisons.h"

#include "bench_window.h"
#include "child_process.h"
#include "find_command.h"
#include "page_cache.h"
#include "timing.h"

#include "bare_scan.h"
#include "listing/subfolder_look.h"

#include <QEventLoop>

#include <numeric>
#include <stdexcept>
#include <system_error>

namespace {

constexpr double kMaxLookPerFind = 0.5;
constexpr double kMaxFirstLinesPerScan = 1.05;

// The window's look inside every sub-folder of `folder`, from start() to its last report.
class TimedLook
{
public:
    TimedLook(LocalFileSystem &fileSystem, const std::filesystem::path &folder, int workers)
        : m_look(fileSystem, workers)
        , m_folder(folder)
        , m_folders(std::make_shared<const std::vector<SubFolder>>(fileSystem.subFolders(folder)))
        , m_order(m_folders->size())
    {
        std::iota(m_order.begin(), m_order.end(), std::size_t(0));
        QObject::connect(&m_look, &SubFolderLook::looked, &m_look,
                         [this](qsizetype, const InsideTotals &totals) {
                             m_incomplete += totals.complete ? 0 : 1;
                         });
    }

    Duration run()
    {
        return timeOnce([this] {
            QEventLoop loop;
            QObject::connect(&m_look, &SubFolderLook::progressed, &loop,
                             [&loop](qsizetype done, qsizetype total) {
                                 if (done == total)
                                     loop.quit();
                             });
            m_look.start(m_folder, m_folders, m_order);
            loop.exec();
        });
    }
    // Every sub-folder read to the end in every round, or the times say nothing.
    void check() const
    {
        if (m_incomplete != 0)
            throw std::runtime_error("the look could not read " + std::to_string(m_incomplete)
                                     + " sub-folders to the end");
    }

private:
    SubFolderLook m_look;
    std::filesystem::path m_folder;
    std::shared_ptr<const std::vector<SubFolder>> m_folders;
    std::vector<std::size_t> m_order;
    qsizetype m_incomplete = 0;
};

} // namespace

ResultTable compareLookWithFind(const LookSet &set, int rounds)
{
    ResultTable table({ "Entries", "Sub-folders", "Cache", "Workers", "Look", "find", "Look/find",
                        "Target", "Met" });
    LocalFileSystem fileSystem;
    const auto command = findNewerEntriesCommand(set.folder, kBenchDayCount, QDate::currentDate());
    for (const bool cold : { false, true }) {
        const std::function<void()> prepare = cold ? dropPageCache : [] {
        };
        try {
            prepare();
        } catch (const std::system_error &error) {
            table.addRow({ std::to_string(set.entries), std::to_string(set.subFolders), "cold", "-",
                           "-", "-", "-", "-", error.what() });
            continue;
        }
        for (const int workers : { 1, 2, SubFolderLook::kWorkers }) {
            TimedLook look(fileSystem, set.folder, workers);
            const Contender find { [&] { return Duration(runChildChecked(command).elapsed); },
                                   prepare };
            const PairTiming timing
                = timeInTurns({ [&] { return look.run(); }, prepare }, find, rounds);
            look.check();
            const double ratio = median(timing.first) / median(timing.second);
            // The window's look is held to the target; the rest tells why it looks as it does.
            const bool held = !cold && workers == SubFolderLook::kWorkers;
            table.addRow({ std::to_string(set.entries), std::to_string(set.subFolders),
                           cold ? "cold" : "warm", std::to_string(workers),
                           milliseconds(median(timing.first).count()),
                           milliseconds(median(timing.second).count()), ratioText(ratio),
                           held ? "<= 0.50" : "-",
                           held ? verdict(ratio <= kMaxLookPerFind) : "-" });
        }
    }
    return table;
}

ResultTable compareLookOnDriveWithFind(const LookSet &set, int rounds, double target)
{
    ResultTable table({ "Entries", "Sub-folders", "Look", "find", "Look/find", "Target", "Met" });
    LocalFileSystem fileSystem;
    const auto command = findNewerEntriesCommand(set.folder, kBenchDayCount, QDate::currentDate());
    // The window's number; the look adds workers of its own on a drive of round trips.
    TimedLook look(fileSystem, set.folder, SubFolderLook::kWorkers);
    const Contender find { [&] {
        return Duration(runChildChecked(command).elapsed);
    } };
    const PairTiming timing = timeInTurns({ [&] {
                                              return look.run();
                                          } },
                                          find, rounds);
    look.check();
    const double ratio = median(timing.first) / median(timing.second);
    table.addRow({ std::to_string(set.entries), std::to_string(set.subFolders),
                   milliseconds(median(timing.first).count()),
                   milliseconds(median(timing.second).count()), ratioText(ratio),
                   "<= " + ratioText(target), verdict(ratio <= target) });
    return table;
}

ResultTable compareFirstLinesWithScan(const std::vector<SubFolderSet> &sets, int rounds)
{
    ResultTable table(
        { "Sub-folders", "Listed", "First lines", "Scan", "Lines/scan", "Target", "Met" });
    for (const SubFolderSet &set : sets) {
        BenchWindow bench;
        bench.listFolder(set.folder);
        // Each timed listing starts with no look under way, as after a while in the window.
        const auto lookDone = [&bench] {
            bench.waitForLook();
        };
        const Contender lines { [&] { return timeOnce([&] { bench.listFolder(set.folder); }); },
                                lookDone };
        const Contender scan { [&] {
                                  return timeOnce([&] {
                                      scanRecentSubFolders(bench.fileSystem(), set.folder,
                                                           kBenchDayCount, bench.clock().today());
                                  });
                              },
                               lookDone };
        const PairTiming timing = timeInTurns(lines, scan, rounds);
        const double ratio = median(timing.first) / median(timing.second);
        table.addRow({ std::to_string(set.count), std::to_string(bench.listedRows()),
                       milliseconds(median(timing.first).count()),
                       milliseconds(median(timing.second).count()), ratioText(ratio), "<= 1.05",
                       verdict(ratio <= kMaxFirstLinesPerScan) });
    }
    return table;
}
