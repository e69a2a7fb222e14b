#include "copy/copy_messages.h"
#include "engine/copy_session.h"
#include "engine/source_record.h"
#include "ui/copy_progress_dialog.h"
#include "window_fixture.h"

#include <QTest>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <set>

using namespace Qt::StringLiterals;
using namespace TempTree;
using Path = std::filesystem::path;
namespace fs = std::filesystem;

namespace {

// The real calls, on the drives a row asks for: a source on exFAT through FUSE (change times
// its modification times), or one keeping whole-second change times, with its records made
// in the second of its last change or two seconds after; a destination that holds no user
// attributes, or that refuses the record.
struct Calls : SystemCalls
{
    enum class Source { Ext4, Exfat, WholeSecondsAtOnce, WholeSecondsLater };
    enum class Records { Held, NotHeld, Refused };
    Source source = Source::Ext4;
    Records records = Records::Held;
    static constexpr time_t wholeSecond = 1'800'000'000;

    static bool inSource(int fd)
    {
        std::error_code ignored;
        return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ignored)
                   .string()
                   .find("/src/")
            != std::string::npos;
    }
    Result<FileStatus> asOnSource(Result<FileStatus> found, int fd) const
    {
        if (!found || source == Source::Ext4 || !inSource(fd))
            return found;
        struct stat info = found->info();
        info.st_ctim = source == Source::Exfat ? info.st_mtim : timespec { wholeSecond, 0 };
        return FileStatus(info);
    }
    Result<FileStatus> status(int fd) override { return asOnSource(SystemCalls::status(fd), fd); }
    Result<FileStatus> statusAt(int folder, const char *name) override
    {
        return asOnSource(SystemCalls::statusAt(folder, name), folder);
    }
    Result<std::uint64_t> fileSystemType(int fd) override
    {
        if (source == Source::Exfat && inSource(fd))
            return std::uint64_t(0x2011BAB0);
        return SystemCalls::fileSystemType(fd);
    }
    timespec now() override
    {
        if (source == Source::WholeSecondsAtOnce || source == Source::WholeSecondsLater)
            return { wholeSecond + (source == Source::WholeSecondsLater ? 2 : 0), 0 };
        return SystemCalls::now();
    }
    Result<std::string> attributeAt(int folder, const char *name, const char *attribute) override
    {
        if (records == Records::NotHeld && attribute == std::string_view(kSourceRecordAttribute))
            return std::make_error_code(std::errc::operation_not_supported);
        return SystemCalls::attributeAt(folder, name, attribute);
    }
    std::error_code setAttribute(int fd, const char *name, const std::string &value) override
    {
        if (records == Records::Held || name != std::string_view(kSourceRecordAttribute))
            return SystemCalls::setAttribute(fd, name, value);
        return std::make_error_code(records == Records::NotHeld ? std::errc::operation_not_supported
                                                                : std::errc::permission_denied);
    }
};

// Counts the files left as they were and the files whose data was read, to compare or to
// copy; stops the run after `stopAfter` files left as they were.
struct Monitor : SilentCopyMonitor
{
    int upToDate = 0, stopAfter = INT_MAX;
    std::set<Path> read;
    bool stopRequested() const override { return upToDate >= stopAfter; }
    void fileUpToDate(const Path &, const std::string &, std::uint64_t) override { ++upToDate; }
    void fileStarted(const Path &source) override { read.insert(source); }
};

ino_t inodeOf(const Path &path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info.st_ino;
}

// Returns once a record made now proves something: a tick of the clock after the last change
// of `file`, as a backup made a moment after an edit.
bool recordable(const Path &file)
{
    struct stat info = {};
    lstat(file.c_str(), &info);
    return QTest::qWaitFor(
        [&] {
            timespec now = {};
            clock_gettime(CLOCK_REALTIME, &now);
            return (now.tv_sec - info.st_ctim.tv_sec) * 1'000'000'000LL + now.tv_nsec
                - info.st_ctim.tv_nsec
                > 100'000'000;
        },
        1000);
}

// Makes the changes `changes` names between two copies, `src/x` and `dst/x` being a file
// and its copy.
void change(const QStringList &changes, const Path &src, const Path &dst)
{
    const auto modified = fs::last_write_time(src);
    // As an editor or a tagger that keeps the file's date does.
    const auto rewrite = [&](const Path &file, const char *data, auto time) {
        writeFile(file, data);
        fs::last_write_time(file, time);
    };
    for (const QString &change : changes) {
        if (change == "source data")
            rewrite(src, "new data of x", modified);
        if (change == "source mode")
            fs::permissions(src, fs::perms(0600));
        if (change == "copy mode")
            fs::permissions(dst, fs::perms(0600));
        if (change == "copy mode again") // what it was: only its change time moves
            fs::permissions(dst, fs::status(dst).permissions());
        if (change == "copy size")
            rewrite(dst, "short", modified);
        if (change == "copy data")
            rewrite(dst, "THE DATA OF X", modified + std::chrono::nanoseconds(1));
        if (change == "no record")
            removexattr(dst.c_str(), kSourceRecordAttribute);
        if (change == "another source's record") {
            std::optional<SourceRecord> record;
            char text[256] = {};
            if (getxattr(dst.c_str(), kSourceRecordAttribute, text, sizeof text - 1) > 0)
                record = decodeSourceRecord(text);
            QVERIFY(record);
            ++record->source.inode;
            const std::string other = encodeSourceRecord(*record);
            setxattr(dst.c_str(), kSourceRecordAttribute, other.data(), other.size(), 0);
        }
    }
}

} // namespace

Q_DECLARE_METATYPE(Calls::Source)
Q_DECLARE_METATYPE(Calls::Records)

class TestUpToDate : public QObject
{
    Q_OBJECT

private slots:
    void secondCopy_data()
    {
        using S = Calls::Source;
        using R = Calls::Records;
        QTest::addColumn<QStringList>("changes"); // made between the two copies
        QTest::addColumn<S>("source");
        QTest::addColumn<R>("records"); // at the destination
        QTest::addColumn<bool>("rewrite"); // the user asks for a full copy
        QTest::addColumn<int>("upToDate");
        QTest::addColumn<bool>("xKept"); // x keeps its inode at the destination
        QTest::addColumn<int>("read"); // files whose data the second copy read
        QTest::addColumn<int>("readThird"); // and the third, nothing changed since
        const auto row = [](const char *tag, const char *changes, S source, R records, int upToDate,
                            bool xKept, int read, int readThird) {
            QTest::newRow(tag) << QString::fromLatin1(changes).split(u';', Qt::SkipEmptyParts)
                               << source << records << false << upToDate << xKept << read
                               << readThird;
        };
        row("nothing changed", "", S::Ext4, R::Held, 2, true, 0, 0);
        row("source rewritten, time put back", "source data", S::Ext4, R::Held, 1, false, 1, 0);
        row("source rewritten, time put back, copy's mode set again", "source data;copy mode again",
            S::Ext4, R::Held, 1, false, 1, 0);
        row("copy's mode changed", "copy mode", S::Ext4, R::Held, 2, true, 0, 0);
        row("copy of another size", "copy size", S::Ext4, R::Held, 1, false, 1, 0);
        row("copy rewritten, its time a nanosecond off", "copy data", S::Ext4, R::Held, 1, false, 1,
            0);
        QTest::newRow("full copy asked for")
            << QStringList() << S::Ext4 << R::Held << true << 0 << false << 2 << 0;
        row("record missing", "no record", S::Ext4, R::Held, 2, true, 1, 0);
        row("record missing, source rewritten", "no record;source data", S::Ext4, R::Held, 1, false,
            1, 0);
        row("record of another source", "another source's record", S::Ext4, R::Held, 2, true, 1, 0);
        row("record of another source, source rewritten", "another source's record;source data",
            S::Ext4, R::Held, 1, false, 1, 0);
        row("source's mode changed", "source mode", S::Ext4, R::Held, 2, true, 1, 0);
        row("source on exFAT, nothing changed", "", S::Exfat, R::Held, 2, true, 2, 2);
        row("source on exFAT, rewritten, time put back", "source data", S::Exfat, R::Held, 1, false,
            2, 2);
        row("whole-second change times, rewritten in the second of the copy", "source data",
            S::WholeSecondsAtOnce, R::Held, 1, false, 2, 2);
        row("whole-second change times, recorded two seconds later", "", S::WholeSecondsLater,
            R::Held, 2, true, 0, 0);
        row("destination without attributes, nothing changed", "", S::Ext4, R::NotHeld, 2, true, 2,
            2);
        row("destination without attributes, source rewritten", "source data", S::Ext4, R::NotHeld,
            1, false, 2, 2);
        row("destination refusing the record, nothing changed", "", S::Ext4, R::Refused, 2, true, 2,
            2);
        row("destination refusing the record, source rewritten", "source data", S::Ext4, R::Refused,
            1, false, 2, 2);
    }

    // A copy is left unread only where the source is what the copy's record says and the
    // copy is still what it was given; elsewhere the data decides, and a proven match is
    // recorded for the next run. The copy's metadata follows the source's either way, and
    // the record is no problem and no note where the destination holds none.
    void secondCopy()
    {
        QFETCH(QStringList, changes);
        QFETCH(Calls::Source, source);
        QFETCH(Calls::Records, records);
        QFETCH(bool, rewrite);
        QFETCH(int, upToDate);
        QFETCH(bool, xKept);
        QFETCH(int, read);
        QFETCH(int, readThird);
        const Folder folder;
        const Path src = folder.path() / "src/P", dst = folder.path() / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        writeFile(src / "y", "y");
        writeFile(src / "x", "the data of x");
        QVERIFY(recordable(src / "x"));
        Calls calls;
        calls.source = source;
        calls.records = records;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "P", monitor);
        const ino_t before = inodeOf(dst / "P/x");
        const auto modified = fs::last_write_time(src / "x");
        change(changes, src / "x", dst / "P/x");
        QVERIFY(recordable(src / "x"));

        CopySession session(calls, dst);
        session.rewriteUpToDate(rewrite);
        monitor = {};
        const CopyReport report = session.copyFolder(src, "P", monitor);

        QCOMPARE(int(report.upToDate), upToDate);
        QCOMPARE(inodeOf(dst / "P/x") == before, xKept);
        QCOMPARE(int(monitor.read.size()), read);
        QVERIFY(report.problems.empty());
        QVERIFY(report.notKept.empty());
        QCOMPARE(readFile(dst / "P/x"), readFile(src / "x"));
        QCOMPARE(fs::status(dst / "P/x").permissions(), fs::status(src / "x").permissions());
        QCOMPARE(fs::last_write_time(dst / "P/x"), modified);
        monitor = {};
        QCOMPARE(int(CopySession(calls, dst).copyFolder(src, "P", monitor).upToDate), 2);
        QCOMPARE(int(monitor.read.size()), readThird);
    }

    void hardLinksStayLinked_data()
    {
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("unchanged") << false;
        QTest::newRow("rewritten, time put back") << true;
    }

    // Two names of one file: a second copy finds no clash of names between them, and leaves
    // them one file, unchanged or with the source's new data.
    void hardLinksStayLinked()
    {
        QFETCH(bool, rewritten);
        const Folder folder;
        const Path src = folder.path() / "src/P", dst = folder.path() / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        writeFile(src / "a", "one file, two names");
        fs::create_hard_link(src / "a", src / "b");
        QVERIFY(recordable(src / "a"));
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "P", monitor);
        if (rewritten)
            change({ u"source data"_s }, src / "a", dst / "P/a");

        const CopyReport report = CopySession(calls, dst).copyFolder(src, "P", monitor);

        QVERIFY(report.problems.empty());
        QCOMPARE(int(report.upToDate), rewritten ? 0 : 2);
        QCOMPARE(inodeOf(dst / "P/a"), inodeOf(dst / "P/b"));
        QCOMPARE(readFile(dst / "P/b"), readFile(src / "a"));
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
        QVERIFY(recordable(src / "c/.sprigwell-ab12yz.tmp"));
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "T", monitor);
        for (const char *sub : { "a", "a/deep", "b", "c" })
            writeFile(dst / "T" / sub / ".sprigwell-zz99zz.tmp", "half");
        const auto modified = fs::last_write_time(src / "c/f17");
        writeFile(src / "c/f17", "new! data");
        fs::last_write_time(src / "c/f17", modified);
        monitor = {};

        const CopyReport report = CopySession(calls, dst).copyFolder(src, "T", monitor);

        QCOMPARE(int(report.upToDate), 4 * 40 - 1);
        // The changed file and the four bearing a temporary's name.
        QCOMPARE(int(monitor.read.size()), 5);
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
        QVERIFY(recordable(src / "499"));
        Calls calls;
        Monitor monitor;
        CopySession(calls, dst).copyFolder(src, "src", monitor);
        monitor.stopAfter = 10;

        QVERIFY_THROWS_EXCEPTION(Failure, CopySession(calls, dst).copyFolder(src, "src", monitor));
        QCOMPARE(monitor.upToDate, 10);
    }

    // Through the window, two sub-folders: the confirmation offers the full copy, the
    // "Copying" dialog and the closing message say how many files of both were already up to
    // date, and what both already hold at the destination needs no new space.
    void secondRunThroughTheWindow()
    {
        WindowFixture w;
        fs::create_directories(w.disk("src/one/inner"));
        fs::create_directories(w.disk("src/two"));
        fs::create_directories(w.disk("backup"));
        writeFile(w.disk("src/one/a"), "aa");
        writeFile(w.disk("src/one/inner/b"), "bb");
        writeFile(w.disk("src/two/c"), "c");
        w.window.listSourceFolder(u"/src/"_s);
        w.field("Text2")->setText(u"/backup/"_s);
        w.select(0);
        w.select(1);
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
                 QStringList { u"inform: 3 files were already up to date."_s });
        QCOMPARE(w.progress(), u"FINISHED COPYING"_s);
        CopyProgressDialog dialog(nullptr);
        dialog.showProgress({ u"one"_s, 1, 1, u"/src/one/a"_s, 20, 20, 0, 18412, 20 });
        QVERIFY(dialog.labelText().endsWith(u"18,412 files were already up to date"_s));
    }
};

QTEST_MAIN(TestUpToDate)
#include "tst_up_to_date.moc"
