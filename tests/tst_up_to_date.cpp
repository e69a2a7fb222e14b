#include "copy/copy_messages.h"
#include "data_table.h"
#include "engine/copy_session.h"
#include "engine/source_record.h"
#include "window_fixture.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <atomic>
#include <set>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

// The real calls, on the drives a row names: a source on "exFAT" (its change times its
// modification times) or keeping "whole seconds" (its change times all one second, the one
// its records are made in); a destination with "no attributes" or "refusing" the record.
struct Calls : SystemCalls
{
    using S = SystemCalls;
    QString drives;
    static constexpr timespec second { 1'800'000'000, 0 };
    // clang-format off
    bool has(const char *drive) const { return drives.contains(QLatin1String(drive)); }
    static bool atSource(int fd)
    { std::error_code none;
      return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), none).string().find("/src/") != std::string::npos; }
    Result<FileStatus> onSource(Result<FileStatus> found, int fd) const
    { if (!found || !atSource(fd)) return found;
      struct stat info = found->info();
      info.st_ctim = has("exFAT") ? info.st_mtim : has("whole seconds") ? second : info.st_ctim;
      return FileStatus(info); }
    Result<FileStatus> status(int fd) override { return onSource(S::status(fd), fd); }
    Result<FileStatus> statusAt(int f, const char *n) override { return onSource(S::statusAt(f, n), f); }
    Result<std::uint64_t> fileSystemType(int fd) override
    { return has("exFAT") && atSource(fd) ? Result(std::uint64_t(0x2011BAB0)) : S::fileSystemType(fd); }
    timespec now() override { return has("whole seconds") ? second : S::now(); }
    Result<std::string> attributeAt(int f, const char *n, const char *a) override
    { return has("no attributes") && a == std::string_view(kSourceRecordAttribute) ? Result<std::string>(systemError(ENOTSUP)) : S::attributeAt(f, n, a); }
    // The destination keeps modification times to `destinationStep` ns; counts the files
    // whose times were set there.
    TimeStep destinationStep = 1;
    int filesTimed = 0;
    std::error_code setTimes(int fd, const timespec times[2]) override
    { if (atSource(fd)) return S::setTimes(fd, times);
      filesTimed += S::status(fd)->kind() == EntryKind::File;
      if (destinationStep == 1) return S::setTimes(fd, times);
      const qint64 given = times[1].tv_sec * 1'000'000'000LL + times[1].tv_nsec, kept = given - given % destinationStep;
      const timespec cut[2] = { times[0], { time_t(kept / 1'000'000'000), long(kept % 1'000'000'000) } };
      return S::setTimes(fd, cut); }
    std::error_code setAttribute(int fd, const char *n, const std::string &value) override
    { return n != std::string_view(kSourceRecordAttribute) || (!has("no attributes") && !has("refusing"))
          ? S::setAttribute(fd, n, value) : systemError(has("refusing") ? EACCES : ENOTSUP); }
    // Nor does it hold access lists; counts the calls that asked it to remove one.
    std::atomic_int listRemovals = 0;
    std::error_code removeAttribute(int fd, const char *n) override
    { return has("no attributes") && !atSource(fd) ? (++listRemovals, systemError(ENOTSUP)) : S::removeAttribute(fd, n); }
    // clang-format on
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

// Waits until a record made now proves something: a tenth of a second after the last
// change of `file`, as a backup made a moment after an edit.
bool recordable(const Path &file)
{
    const struct stat info = statusOf(file);
    const qint64 changedMs = info.st_ctim.tv_sec * 1000LL + info.st_ctim.tv_nsec / 1'000'000;
    return QTest::qWaitFor([&] { return QDateTime::currentMSecsSinceEpoch() > changedMs + 100; });
}

// Makes the `changes` between two copies to `src` and to its copy `dst`.
void change(const QString &changes, const Path &src, const Path &dst)
{
    const auto modified = fs::last_write_time(src);
    // As an editor or a photo tagger that keeps the file's date does.
    const auto rewrite = [&](const Path &file, const std::string &data, auto time) {
        writeFile(file, data);
        fs::last_write_time(file, time);
    };
    if (changes.contains(u"source data"))
        rewrite(src, changes.contains(u"linked") ? "Y" : "new data of x", modified);
    if (changes.contains(u"source mode"))
        fs::permissions(src, fs::perms(0600));
    if (changes.contains(u"copy mode")) // the mode it has "again": only its change time moves
        fs::permissions(
            dst, changes.contains(u"again") ? fs::status(dst).permissions() : fs::perms(0600));
    if (changes.contains(u"copy size"))
        rewrite(dst, "short", modified);
    if (changes.contains(u"copy data"))
        rewrite(dst, "THE DATA OF X", modified + std::chrono::nanoseconds(1));
    if (changes.contains(u"no record"))
        removexattr(dst.c_str(), kSourceRecordAttribute);
    // Saved as a new file, as many editors do: the copy's record names another inode.
    if (changes.contains(u"new file")) {
        rewrite(src.string() + '~',
                changes.contains(u"same data") ? readFile(src) : "new data of x", modified);
        fs::rename(src.string() + '~', src);
    }
}

// A fresh folder holding the source `src` (below "src", made empty) and the destination
// folder "dst", and the calls and counts of the copies of one into the other.
struct Copies
{
    Folder folder;
    Path src, dst = folder.path() / "dst";
    Calls calls;
    Monitor monitor;
    explicit Copies(const char *source)
        : src(folder.path() / source)
    {
        fs::create_directories(src);
        fs::create_directories(dst);
    }
    // Copies src into dst as a run does, counting anew.
    CopyReport copy(bool rewriteUpToDate = false)
    {
        monitor.upToDate = 0;
        monitor.read.clear();
        CopySession session(calls, dst);
        session.rewriteUpToDate(rewriteUpToDate);
        return session.copyFolder(src, src.filename(), monitor);
    }
};

} // namespace

class TestUpToDate : public QObject
{
    Q_OBJECT

private slots:
    void secondCopy_data()
    {
        // changes: made between the two copies, to x but "linked"; xKept: x keeps its inode at the
        // destination; read: files the second copy read or wrote; readThird: and the third, nothing
        // changed since
        addColumns<QString, QString, int, bool, int, int>("changes", "drives", "upToDate", "xKept",
                                                          "read", "readThird");
        // clang-format off
        QTest::newRow("nothing changed") << "" << "" << 3 << true << 0 << 0;
        QTest::newRow("source rewritten, time put back") << "source data" << "" << 2 << false << 1 << 0;
        QTest::newRow("source rewritten, time put back, copy's mode set again") << "source data, copy mode again" << "" << 2 << false << 1 << 0;
        QTest::newRow("copy's mode changed") << "copy mode" << "" << 3 << true << 0 << 0;
        QTest::newRow("copy of another size") << "copy size" << "" << 2 << false << 1 << 0;
        QTest::newRow("copy rewritten, its time a nanosecond off") << "copy data" << "" << 2 << false << 1 << 0;
        QTest::newRow("full copy asked for") << "full copy" << "" << 0 << false << 3 << 0;
        QTest::newRow("two names of one file rewritten") << "linked source data" << "" << 1 << true << 2 << 0;
        QTest::newRow("record missing") << "no record" << "" << 3 << true << 1 << 0;
        QTest::newRow("record missing, source rewritten") << "no record, source data" << "" << 2 << false << 1 << 0;
        QTest::newRow("record of another source") << "new file, same data" << "" << 3 << true << 1 << 0;
        QTest::newRow("record of another source, source rewritten") << "new file" << "" << 2 << false << 1 << 0;
        QTest::newRow("source's mode changed") << "source mode" << "" << 3 << true << 1 << 0;
        QTest::newRow("source on exFAT") << "" << "exFAT" << 3 << true << 2 << 2;
        QTest::newRow("source on exFAT, rewritten, time put back") << "source data" << "exFAT" << 2 << false << 2 << 2;
        QTest::newRow("whole seconds") << "" << "whole seconds" << 3 << true << 2 << 2;
        QTest::newRow("whole seconds, rewritten in the second of the copy") << "source data" << "whole seconds" << 2 << false << 2 << 2;
        QTest::newRow("destination without attributes") << "" << "no attributes" << 3 << true << 2 << 2;
        QTest::newRow("destination without attributes, source rewritten") << "source data" << "no attributes" << 2 << false << 2 << 2;
        QTest::newRow("destination refusing the record") << "" << "refusing" << 3 << true << 2 << 2;
        QTest::newRow("destination refusing the record, source rewritten") << "source data" << "refusing" << 2 << false << 2 << 2;
        // clang-format on
    }

    // A copy is left unread only where the source is what the copy's record says and the
    // copy is still what it was given; elsewhere the data decides, and a proven match is
    // recorded for the next run. The copy's metadata follows the source's either way, two
    // names of one file stay one file without a clash of names, and the record is no
    // problem and no note where the destination holds none.
    void secondCopy()
    {
        const auto [changes, drives] = fetch<QString, QString>("changes", "drives");
        Copies copies("src/P");
        const Path &src = copies.src, &dst = copies.dst, x = dst / "P/x";
        writeFile(src / "y", "y");
        fs::create_hard_link(src / "y", src / "z");
        writeFile(src / "x", "the data of x");
        QVERIFY(recordable(src / "x"));
        copies.calls.drives = drives;
        copies.copy();
        const ino_t before = statusOf(x).st_ino;
        const char *changed = changes.contains(u"linked") ? "y" : "x";
        change(changes, src / changed, dst / "P" / changed);
        QVERIFY(recordable(src / "y") && recordable(src / "x"));

        const CopyReport report = copies.copy(changes == "full copy");

        QTEST(int(report.upToDate), "upToDate");
        QTEST(statusOf(x).st_ino == before, "xKept");
        QTEST(int(copies.monitor.read.size()), "read");
        // A drive without lists says so once.
        QVERIFY(report.problems.empty() && report.notKept.empty()
                && copies.calls.listRemovals <= 1);
        // The copy holds the source again: data, modes, times and y and z one file.
        QVERIFY(snapshot(dst / "P") == snapshot(src));
        QCOMPARE(statusOf(dst / "P/z").st_ino, statusOf(dst / "P/y").st_ino);
        QCOMPARE(int(copies.copy().upToDate), 3);
        QTEST(int(copies.monitor.read.size()), "readThird");
    }

    // Files looked at ahead, folders read ahead and the sweep for temporaries an earlier run
    // left, all at once: a temporary's name is swept even where a source file bears it (and
    // copied again), and a file changed amid unchanged ones is still found. A stop among files
    // left as they were takes effect at the next one.
    void secondCopyOfManyFolders()
    {
        Copies copies("src/T");
        const Path &src = copies.src, &dst = copies.dst;
        for (const char *sub : { "a", "a/deep", "b", "c" }) {
            fs::create_directories(src / sub);
            for (int i = 0; i < 40; ++i)
                writeFile(src / sub / ("f" + std::to_string(i)), "same data");
            writeFile(src / sub / ".sprigwell-ab12yz.tmp", "a source file");
        }
        QVERIFY(recordable(src / "c/.sprigwell-ab12yz.tmp"));
        copies.copy();
        for (const char *sub : { "a", "a/deep", "b", "c" })
            writeFile(dst / "T" / sub / ".sprigwell-zz99zz.tmp", "half");
        const auto modified = fs::last_write_time(src / "c/f17");
        writeFile(src / "c/f17", "new! data");
        fs::last_write_time(src / "c/f17", modified);

        const CopyReport report = copies.copy();

        QCOMPARE(int(report.upToDate), 4 * 40 - 1);
        // The changed file and the four bearing a temporary's name.
        QCOMPARE(int(copies.monitor.read.size()), 5);
        for (const auto &entry : fs::recursive_directory_iterator(dst / "T"))
            if (entry.is_regular_file())
                QCOMPARE(readFile(src / entry.path().lexically_relative(dst / "T")),
                         readFile(entry.path()));
        for (const auto &entry : fs::recursive_directory_iterator(src))
            QVERIFY(fs::exists(dst / "T" / entry.path().lexically_relative(src)));

        // A stop among files left as they were takes effect at the next one.
        copies.monitor.stopAfter = 10;
        QVERIFY_THROWS_EXCEPTION(Failure, copies.copy());
        QCOMPARE(copies.monitor.upToDate, 10);
    }

    void timesAsTheDriveKeepsThem_data()
    {
        // The drive's step, the source's time in seconds since 1970.
        addColumns<qint64, qint64>("step", "seconds");
        QTest::newRow("exactly") << 1LL << 1'700'000'001LL;
        QTest::newRow("exactly, in the year 2300 (no nanosecond count)") << 1LL << 10'413'792'001LL;
        QTest::newRow("NTFS, 100 ns") << 100LL << 1'700'000'001LL;
        QTest::newRow("exFAT, 10 ms") << 10'000'000LL << 1'700'000'001LL;
        QTest::newRow("SFTP, whole seconds") << 1'000'000'000LL << 1'700'000'001LL;
        QTest::newRow("FAT, two seconds") << 2'000'000'000LL << 1'700'000'001LL;
    }

    // Where a drive keeps times less finely than the source gives them, a copy whose time is
    // the source's as the drive keeps it is no copy of another time: setting it again would
    // cost every file a round trip on a share at every run. A copy whose time did change
    // gets the source's again.
    void timesAsTheDriveKeepsThem()
    {
        const auto [step, seconds] = fetch<qint64, qint64>("step", "seconds");
        Copies copies("src/P");
        const Path &src = copies.src, x = copies.dst / "P/x";
        for (const char *name : { "x", "y", "z" }) {
            writeFile(src / name, name);
            const timespec times[2] = { { seconds, 123'456'789 }, { seconds, 987'654'321 } };
            QCOMPARE(utimensat(AT_FDCWD, (src / name).c_str(), times, 0), 0);
        }
        copies.calls.drives = u"no attributes"_s; // the data compared, as on a share
        copies.calls.destinationStep = step;
        copies.copy();
        const timespec kept = statusOf(x).st_mtim; // beyond what std::filesystem counts

        copies.calls.filesTimed = 0;
        QCOMPARE(int(copies.copy().upToDate), 3);
        // One file may teach the run how finely the drive keeps times.
        QVERIFY2(copies.calls.filesTimed <= 1, std::to_string(copies.calls.filesTimed).c_str());

        const timespec earlier[2] = { kept, { kept.tv_sec - 4, kept.tv_nsec } };
        QCOMPARE(utimensat(AT_FDCWD, x.c_str(), earlier, 0), 0);
        copies.calls.filesTimed = 0;
        QCOMPARE(int(copies.copy().upToDate), 3);
        QVERIFY(copies.calls.filesTimed >= 1 && copies.calls.filesTimed <= 2);
        QVERIFY(statusOf(x).st_mtim.tv_sec == kept.tv_sec
                && statusOf(x).st_mtim.tv_nsec == kept.tv_nsec);
    }

    // A small file's record stays inside the copy's inode where the drive keeps 56 bytes
    // there (ext4's 256-byte inodes): a block per file more would double a backup of small
    // files and make a second run read it for each one.
    void recordTakesNoBlockOfItsOwn()
    {
        Copies copies("src");
        const Path &probe = copies.folder.path() / "probe", &dst = copies.dst;
        const std::string data(4096, 'd'), largest(56, 'r');
        writeFile(probe, data);
        const blkcnt_t bare = statusOf(probe).st_blocks;
        if (setxattr(probe.c_str(), kSourceRecordAttribute, largest.data(), largest.size(), 0) != 0
            || statusOf(probe).st_blocks != bare)
            QSKIP("This drive keeps no attribute of 56 bytes inside the inode.");
        writeFile(copies.src / "f", data);
        QVERIFY(recordable(copies.src / "f"));
        copies.copy();

        QVERIFY(getxattr((dst / "src/f").c_str(), kSourceRecordAttribute, nullptr, 0) > 0);
        QCOMPARE(statusOf(dst / "src/f").st_blocks, bare);
    }

    // Through the window, two sub-folders: the confirmation offers the full copy, the
    // closing message says how many files of both were already up to date (the "Copying"
    // dialog's line: tst_window), and what both already hold at the destination needs no new
    // space.
    void secondRunThroughTheWindow()
    {
        WindowFixture w;
        for (const char *folder : { "src/one/inner", "src/two", "backup" })
            fs::create_directories(w.disk(folder));
        for (const char *file : { "src/one/a", "src/one/inner/b", "src/two/c" })
            writeFile(w.disk(file), file);
        w.listAndSelect(u"/backup/"_s, { 0, 1 });

        QVERIFY(w.copy());
        // What is already there needs no new space: no question about it.
        w.fakes.fileSystem.mostFreeBytes = 1;
        QVERIFY(w.copy());
        w.fakes.messageBox.optionAnswer = true;
        QVERIFY(w.copy());
        QVERIFY(w.fakes.messageBox.shown.filter(u"ask: "_s).isEmpty());

        const QStringList offered {
            u"Also rewrite files that are already up to date"_s,
            u"Check the copies: read them back from the drive afterwards"_s
        };
        QCOMPARE(w.fakes.messageBox.options, offered + offered + offered);
        QCOMPARE(w.fakes.messageBox.shown.filter(u"inform: "_s),
                 QStringList { u"inform: 3 files were already up to date."_s });
        QCOMPARE(w.progress(), u"FINISHED COPYING"_s);
    }
};

QTEST_MAIN(TestUpToDate)
#include "tst_up_to_date.moc"
