// A second copy through the real window, from the copy button to the end of the run,
// against a second rsync -a of the same tree.

#include "comparisons.h"

#include "bench_window.h"
#include "child_process.h"
#include "driven_copy_run.h"
#include "page_cache.h"
#include "timing.h"

#include <QPushButton>

namespace {

constexpr double kMaxWindowPerRsync = 2.0;

// Presses the button and lets the window run until the source button is back, as at the
// end of every run.
Duration pressAndRun(BenchWindow &bench, const char *button)
{
    MainWindow &window = bench.window();
    auto *source = window.findChild<QPushButton *>(QStringLiteral("cmdSource"));
    auto *pressed = window.findChild<QPushButton *>(QLatin1String(button));
    return timeOnce([&] {
        pressed->click();
        while (!source->isEnabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
}

} // namespace

ResultTable compareWindowSecondRunWithRsync(const CopySet &set,
                                            const std::filesystem::path &scratch, int rounds)
{
    ResultTable table({ "Data set", "Window run", "rsync -a", "Window/rsync", "Target", "Met" });
    const std::filesystem::path into = scratch / "window-copy", rsyncInto = scratch / "rsync-copy";
    std::filesystem::create_directories(into);
    std::filesystem::create_directories(rsyncInto);
    BenchWindow bench;
    bench.listFolder(set.folder.parent_path());
    bench.waitForLook();
    MainWindow &window = bench.window();
    window.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QString::fromStdString(into));
    auto *list = window.findChild<QListView *>(QStringLiteral("ListSourceFiles"));
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select);
    const std::vector<std::string> rsync { "rsync", "-a", set.folder.string(),
                                           rsyncInto.string() + '/' };
    // The first copies, untimed.
    pressAndRun(bench, "Command2");
    runChildChecked(rsync);
    const auto warm = [&] {
        warmPageCache(set.folder);
    };
    const PairTiming timing
        = timeInTurns({ [&] { return pressAndRun(bench, "Command2"); }, warm },
                      { [&] { return Duration(runChildChecked(rsync).elapsed); }, warm }, rounds);
    if (!bench.progressLine().startsWith(QStringLiteral("FINISHED COPYING"))
        || bench.progressLine().contains(QStringLiteral("PROBLEM")))
        throw std::runtime_error("the window's run ended with "
                                 + bench.progressLine().toStdString());
    checkCopy(set.folder, into / set.folder.filename(), "The window's run");
    std::filesystem::remove_all(into);
    std::filesystem::remove_all(rsyncInto);
    const double ratio = median(timing.first) / median(timing.second);
    table.addRow({ set.title, milliseconds(median(timing.first).count()),
                   milliseconds(median(timing.second).count()), ratioText(ratio),
                   "<= " + ratioText(kMaxWindowPerRsync), verdict(ratio <= kMaxWindowPerRsync) });
    return table;
}
