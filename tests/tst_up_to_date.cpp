#include "copy/copy_messages.h"
#include "engine/copy_session.h"
#include "ui/copy_progress_dialog.h"
#include "window_fixture.h"

#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace TempTree;
using Path = std::filesystem::path;
namespace fs = std::filesystem;

namespace {

// The real calls, on a destination that reports no change times when `noChangeTimes`, as
// FAT does, or says nothing of its kind, as FUSE does: there only the data proves a file
// up to date.
struct Calls : SystemCalls
{
    bool noChangeTimes = false;
    Result<FileStatus> statusAt(int folder, const char *name) override
    {
        Result<FileStatus> found = SystemCalls::statusAt(folder, name);
        if (!found || !noChangeTimes)
            return found;
        struct stat info = found->info();
        info.st_ctim = {};
        return FileStatus(info);
    }
};

// Stops the run after `stopAfter` files left as they were.
struct Monitor : SilentCopyMonitor
{
    int upToDate = 0, stopAfter = INT_MAX;
    bool stopRequested() const override { return upToDate >= stopAfter; }
    void fileUpToDate(const Path &, const std::string &, std::uint64_t) override { ++upToDate; }
};

ino_t inodeOf(const Path &path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info.st_ino;
}

} // namespace

class TestUpToDate : public QObject
{
    Q_OBJECT

private slots:
    void secondCopy_data()
    {
        QTest::addColumn<QString>("change"); // made between the two copies
        QTest::addColumn<bool>("rewrite"); // the user asks for a full copy
        QTest::addColumn<bool>("noChangeTimes");
        QTest::addColumn<bool>("xKept"); // x keeps its inode at the destination
        QTest::addColumn<int>("upToDate");
        QTest::newRow("nothing changed") << u""_s << false << false << true << 2;
        QTest::newRow("source rewritten, time set back")
            << u"source data"_s << false << false << false << 1;
        QTest::newRow("destination mode changed")
            << u"destination mode"_s << false << false << true << 2;
        QTest::newRow("destination of another size")
            << u"destination size"_s << false << false << false << 1;
        QTest::newRow("full copy asked for") << u""_s << true << false << false << 0;
        QTest::newRow("no change times, same data") << u""_s << false << true << true << 2;
        QTest::newRow("no change times, other data")
            << u"destination data"_s << false << true << false << 1;
    }

    // A file is left as it is only where it is proven the same: by size, modification time
    // and a source unchanged since the copy where the file system keeps such times, else by
    // its data. Its metadata still follows the source's.
    void secondCopy()
    {
        QFETCH(QString, change);
        QFETCH(bool, rewrite);
        QFETCH(bool, noChangeTimes);
        QFETCH(bool, xKept);
        QFETCH(int, upToDate);
        const Folder folder;
        const Path src = folder.path() / "src/P", dst = folder.path() / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        writeFile(src / "x", "the data of x");
        writeFile(src / "y", "y");
        // Change times are kept to the clock tick: the copy comes a tick after the source.
        QTest::qSleep(20);
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "P", monitor);
        const ino_t before = inodeOf(dst / "P/x");
        const auto modified = fs::last_write_time(src / "x");
        const auto write = [&](const Path &file, const char *data) {
            writeFile(file, data);
            fs::last_write_time(file, modified);
        };
        if (change == "destination data")
            write(dst / "P/x", "other data, x");
        if (change == "destination size")
            write(dst / "P/x", "short");
        if (change == "destination mode")
            fs::permissions(dst / "P/x", fs::perms(0600));
        if (change == "source data") // as an editor that puts the old time back does
            write(src / "x", "new data of x");
        calls.noChangeTimes = noChangeTimes;

        CopySession session(calls, dst);
        session.rewriteUpToDate(rewrite);
        const CopyReport report = session.copyFolder(src, "P", monitor);

        QCOMPARE(int(report.upToDate), upToDate);
        QCOMPARE(inodeOf(dst / "P/x") == before, xKept);
        QCOMPARE(readFile(dst / "P/x"), readFile(src / "x"));
        QCOMPARE(fs::status(dst / "P/x").permissions(), fs::status(src / "x").permissions());
        QCOMPARE(fs::last_write_time(dst / "P/x"), modified);
    }

    // Files looked at ahead, folders read ahead and the sweep for temporaries an earlier run
    // left, all at once: a temporary's name is swept even where a source file bears it (and
    // copied again), and a file changed amid unchanged ones is still found.
    void secondCopyOfManyFolders()
    {
        const Folder folder;
        const Path src = folder.path() / "src/T", dst = folder.path() / "dst";
        for (const char *sub : { "a", "a/deep", "b", "c" }) {
            fs::create_directories(src / sub);
            for (int i = 0; i < 40; ++i)
                writeFile(src / sub / ("f" + std::to_string(i)), "same data");
            writeFile(src / sub / ".sprigwell-ab12yz.tmp", "a source file");
        }
        fs::create_directories(dst);
        QTest::qSleep(20);
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "T", monitor);
        for (const char *sub : { "a", "a/deep", "b", "c" })
            writeFile(dst / "T" / sub / ".sprigwell-zz99zz.tmp", "half");
        const auto modified = fs::last_write_time(src / "c/f17");
        writeFile(src / "c/f17", "new! data");
        fs::last_write_time(src / "c/f17", modified);

        const CopyReport report = CopySession(calls, dst).copyFolder(src, "T", monitor);

        QCOMPARE(int(report.upToDate), 4 * 40 - 1);
        for (const auto &entry : fs::recursive_directory_iterator(dst / "T"))
            if (entry.is_regular_file())
                QCOMPARE(readFile(src / entry.path().lexically_relative(dst / "T")),
                         readFile(entry.path()));
        for (const auto &entry : fs::recursive_directory_iterator(src))
            QVERIFY(fs::exists(dst / "T" / entry.path().lexically_relative(src)));
    }

    // A stop among files left as they were takes effect at the next one.
    void stopsAmongFilesUpToDate()
    {
        const Folder folder;
        const Path src = folder.path() / "src", dst = folder.path() / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        for (int i = 0; i < 500; ++i)
            writeFile(src / std::to_string(i), "same");
        QTest::qSleep(20);
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "src", monitor);
        monitor.stopAfter = 10;

        QVERIFY_THROWS_EXCEPTION(Failure, CopySession(calls, dst).copyFolder(src, "src", monitor));
        QCOMPARE(monitor.upToDate, 10);
    }

    // Through the window: the confirmation offers the full copy, the "Copying" dialog and
    // the closing message say how many files were already up to date.
    void secondRunThroughTheWindow()
    {
        WindowFixture w;
        fs::create_directories(w.disk("src/one/inner"));
        fs::create_directories(w.disk("backup"));
        writeFile(w.disk("src/one/a"), "a");
        writeFile(w.disk("src/one/inner/b"), "b");
        w.window.listSourceFolder(u"/src/"_s);
        w.field("Text2")->setText(u"/backup/"_s);
        w.select(0);
        const auto copy = [&] {
            QTest::mouseClick(w.button("Command2"), Qt::LeftButton);
            return QTest::qWaitFor([&] { return w.button("cmdSource")->isEnabled(); }, 20000);
        };

        QVERIFY(copy());
        // What is already there needs no new space: no question about it.
        w.fakes.fileSystem.mostFreeBytes = 1;
        QVERIFY(copy());
        w.fakes.messageBox.optionAnswer = true;
        QVERIFY(copy());
        QVERIFY(w.fakes.messageBox.shown.filter(u"ask: "_s).isEmpty());

        QCOMPARE(w.fakes.messageBox.options,
                 QStringList(3, u"Also rewrite files that are already up to date"_s));
        QCOMPARE(w.fakes.messageBox.shown.filter(u"inform: "_s),
                 QStringList { u"inform: 2 files were already up to date."_s });
        QCOMPARE(w.progress(), u"FINISHED COPYING"_s);
        CopyProgressDialog dialog(nullptr);
        dialog.showProgress({ u"one"_s, 1, 1, u"/src/one/a"_s, 20, 20, 0, 18412, 20 });
        QVERIFY(dialog.labelText().endsWith(u"18,412 files were already up to date"_s));
    }
};

QTEST_MAIN(TestUpToDate)
#include "tst_up_to_date.moc"
