#include "copy/copy_run.h"
#include "data_table.h"
#include "folder_choice/folder_choice.h"
#include "listing/list_line.h"
#include "platform/local_file_system.h"
#include "slow_calls.h"
#include "temp_tree.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

// What befalls a run of the sub-folders "one" and "two": pipes in both; a file of "one" linked
// from "two", its first copy deep down or not, also linked within "one"; the source gone; "one"
// unreadable, vanished or now a link; the destination dst inside a bind mount of a source folder,
// unmounted between its choice and the run, after "one" or at the end, pulled while "two" is
// written, full while "one" is; or a second drive mounted on dst/one, whose flush may fail.
// clang-format off
enum class Fault { None, Pipes, Linked, DeepLink, DeepLinks, SourceGone, Unreadable, Vanished, Link, BindLoop,
                   BindSubFolder, BindInside, BindSource, UnmountedBeforeRun, Unmounted, UnmountedAtEnd, Pulled, DiskFull, SecondDrive,
                   SecondDriveFails };

struct Calls : SlowCalls
{
    using S = SlowCalls;
    Fault fault;
    Path root;
    std::atomic_bool gone = false; // set and read by each file in flight
    std::atomic_bool fullNow = false; // the disk fills up when a test says so
    QStringList flushed;
    Calls(Fault f, Path r) : fault(f), root(std::move(r)) { }
    std::string pathOf(int fd) const
    { return fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).lexically_relative(root); }
    bool onSecondDrive(int fd) const { return fault >= Fault::SecondDrive && pathOf(fd) == "dst/one"; }
    Result<UniqueFd> openPath(const Path &path, int flags) override
    { if (gone && fault == Fault::UnmountedBeforeRun && path == root / "dst")
          return S::openPath(root, flags);
      return fault == Fault::Unreadable && path.filename() == "one" ? systemError(EACCES) : S::openPath(path, flags); }
    // Unmounted, the chosen path leads to the folder beneath; pulled, to nothing.
    Result<Placement> placement(int folder, const char *name) override
    { return !gone || folder != AT_FDCWD ? S::placement(folder, name)
          : fault == Fault::Pulled ? systemError(ENOENT) : S::placement(folder, root.c_str()); }
    Result<FileStatus> status(int fd) override
    { Result<FileStatus> found = S::status(fd);
      struct stat info = found->info();
      info.st_dev += onSecondDrive(fd) ? 1000 : 0;
      return found ? Result(FileStatus(info)) : found; }
    std::error_code flushFileSystem(int fd) override
    { flushed << QString::fromStdString(pathOf(fd));
      return fault == Fault::SecondDriveFails && onSecondDrive(fd) ? systemError(EIO) : S::flushFileSystem(fd); }
    Result<std::size_t> copyData(int from, int to, std::uint64_t at, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { gone = gone || (fault == Fault::Pulled && pathOf(from).starts_with("src/two"));
      const bool full = (fault == Fault::DiskFull && pathOf(from).starts_with("src/one")) || fullNow;
      return (fault == Fault::Pulled && gone) || full ? (whileWriting = true, systemError(full ? ENOSPC : EIO))
                                                      : S::copyData(from, to, at, length, method, whileWriting); }
};

// src holds one, two and three, each with data.bin, inner/deep.txt and an empty inner/x; dst
// and mnt are empty; outside/one holds a key.
void makeScene(const Path &root, Fault fault)
{
    const Path one = root / "src/one";
    for (const std::string name : { "one", "two", "three" }) {
        fs::create_directories(root / "src" / name / "inner/x");
        writeFile(root / "src" / name / "data.bin", "new " + name);
        writeFile(root / "src" / name / "inner/deep.txt", name);
    }
    for (const char *name : { "dst", "mnt", "outside/one" })
        fs::create_directories(root / name);
    writeFile(root / "outside/one/key", "key");
    if (fault >= Fault::Linked && fault <= Fault::DeepLinks) {
        writeFile(one / "inner/f", "linked");
        fs::create_hard_link(one / "inner/f", root / "src/two/l");
    }
    if (fault == Fault::DeepLinks)
        fs::create_hard_link(one / "inner/f", one / "l");
    // Folders of 250-byte names, made from the inside out: deeper than a path may be long.
    for (int i = 0; i < 17 && (fault == Fault::DeepLink || fault == Fault::DeepLinks); ++i) {
        fs::create_directory(one / "up");
        fs::rename(one / "inner", one / "up" / std::string(250, 'n'));
        fs::rename(one / "up", one / "inner");
    }
    for (const char *pipe : { "src/one/pipe", "src/two/inner/pipe" })
        QVERIFY(fault != Fault::Pipes || mkfifo((root / pipe).c_str(), 0600) == 0);
    fs::remove_all(root / (fault == Fault::SourceGone ? "src" : fault == Fault::Vanished || fault == Fault::Link ? "src/one" : "none"));
    if (fault == Fault::Link)
        fs::create_directory_symlink(root / "outside/one", root / "src/one");
}

// What `command` prints, in one line.
QString shell(const std::string &command)
{
    QString printed;
    FILE *output = popen(command.c_str(), "r");
    for (char line[256]; fgets(line, sizeof line, output);)
        printed += QString::fromLocal8Bit(line).replace(u'\n', u' ');
    pclose(output);
    return printed.trimmed();
}

// Copies src/one and src/two into root/`into` (none when empty) as the window's run does, and
// says how it ended: "finished" with the problems and what was not kept, "failed <sub-folder>:
// <reason>" or "refused: <message>"; paths relative to `root`.
QString runCopy(Calls &calls, const Path &root, const QString &into = u"dst"_s)
{
    LocalFileSystem fileSystem(calls);
    CopyRun run(fileSystem);
    QString said;
    const char *goneAfter = calls.fault == Fault::Unmounted ? "one" : calls.fault == Fault::UnmountedAtEnd ? "two" : "-";
    QObject::connect(&run, &CopyRun::subFolderCopied, &run, [&](const QString &name) { calls.gone = calls.gone || name == goneAfter; });
    QObject::connect(&run, &CopyRun::refused, &run, [&](const QString &text) { said = "refused: " + text; });
    QObject::connect(&run, &CopyRun::failed, &run, [&](const QString &name, const QString &, const QString &reason)
                     { said = "failed " + name + ": " + reason; });
    QObject::connect(&run, &CopyRun::finished, &run, [&](const QStringList &problems, const QStringList &notKept)
                     { said = (QStringList { "finished" } + problems + notKept).join("; "); });
    CopyRequest request { root / "src", into.isEmpty() ? Path() : root / into.toStdString(), { "one", "two" } };
    request.destinationPlace = checkChosenFolder(fileSystem, QString::fromStdString(request.destination)).place;
    calls.gone = calls.fault == Fault::UnmountedBeforeRun;
    run.prepare(request);
    if (said.isEmpty())
        run.copy();
    return said.replace(QString::fromStdString(root.string() + '/'), QString());
}
// clang-format on

} // namespace

class TestCopySession : public QObject
{
    Q_OBJECT

private slots:
    void endsAsTheDestinationAllows_data()
    {
        // written: in dst
        addColumns<Fault, QString, QString, QString, QString>("fault", "into", "says", "written",
                                                              "flushed");
        const QString special = u"a special file (pipe, socket or device) is not copied"_s;
        const auto refused = [](const QString &why) -> QString {
            return u"refused: Nothing was copied: "_s + why;
        };
        const QString intoItself
            = u"would be copied into itself.\nChoose a destination outside it."_s;
        // clang-format off
        QTest::newRow("a problem in each sub-folder") << Fault::Pipes << "dst" << "finished; src/one/pipe: " + special + "; src/two/inner/pipe: " + special << "one two" << "dst";
        // Hard links are kept as cp -a one two dst keeps them, at any depth.
        QTest::newRow("linked across sub-folders") << Fault::Linked << "dst" << "finished" << "one two +2" << "dst";
        QTest::newRow("first copy deep, linked from the next sub-folder") << Fault::DeepLink << "dst" << "finished" << "one two +2" << "dst";
        QTest::newRow("first copy deep, linked within it and from the next") << Fault::DeepLinks << "dst" << "finished" << "one two +3" << "dst";
        QTest::newRow("destination emptied by a cancelled choice") << Fault::None << "" << refused("the destination \"\" is not an existing folder.\nChoose the destination folder again.") << "" << "";
        QTest::newRow("destination not a folder") << Fault::None << "nowhere" << refused("the destination \"nowhere\" is not an existing folder.\nChoose the destination folder again.") << "" << "";
        QTest::newRow("source vanished") << Fault::SourceGone << "dst" << refused("the source \"src\" is not an existing folder.\nChoose the source folder again.") << "" << "";
        QTest::newRow("destination inside a selected sub-folder") << Fault::None << "src/one/inner" << refused("the sub-folder \"one\" " + intoItself) << "" << "";
        QTest::newRow("destination is the source folder") << Fault::None << "src" << refused("the sub-folder \"one\" " + intoItself) << "" << "";
        QTest::newRow("sub-folder bind-mounted inside itself") << Fault::BindLoop << "dst" << "finished; src/one/inner/x: cannot be copied into itself" << "one two" << "dst";
        QTest::newRow("bind mount of the sub-folder") << Fault::BindSubFolder << "mnt" << refused("the sub-folder \"two\" " + intoItself) << "" << "";
        QTest::newRow("in a bind mount of a folder in it") << Fault::BindInside << "mnt/x" << refused("the sub-folder \"two\" " + intoItself) << "" << "";
        QTest::newRow("bind mount of the source folder") << Fault::BindSource << "mnt" << refused("the sub-folder \"one\" " + intoItself) << "" << "";
        QTest::newRow("sub-folder unreadable") << Fault::Unreadable << "dst" << "finished; src/one: Permission denied" << "two" << "dst";
        QTest::newRow("sub-folder vanished") << Fault::Vanished << "dst" << "finished; src/one: No such file or directory" << "two" << "dst";
        QTest::newRow("sub-folder now a link") << Fault::Link << "dst" << "finished; src/one: changed since it was listed" << "two" << "dst";
        QTest::newRow("unmounted between its choice and the run") << Fault::UnmountedBeforeRun << "dst" << refused("the destination was disconnected; \"dst\" is now another folder.\nChoose the destination folder again.") << "" << "";
        QTest::newRow("unmounted between sub-folders") << Fault::Unmounted << "dst" << "failed two: the destination was disconnected" << "one" << "";
        QTest::newRow("unmounted before the finish") << Fault::UnmountedAtEnd << "dst" << "failed two: the destination was disconnected" << "one two" << "dst";
        QTest::newRow("pulled while writing") << Fault::Pulled << "dst" << "failed two: the destination was disconnected" << "one two" << "";
        QTest::newRow("disk full") << Fault::DiskFull << "dst" << "failed one: No space left on device" << "one" << "";
        QTest::newRow("sub-folder on a second drive") << Fault::SecondDrive << "dst" << "finished" << "one two" << "dst dst/one";
        QTest::newRow("second drive fails its flush") << Fault::SecondDriveFails << "dst" << "failed two: Input/output error" << "one two" << "dst dst/one";
        // clang-format on
    }

    // Only a stop or a destination gone, full or failing ends a run; a sub-folder that cannot
    // be copied is a problem of its own, and a run that could land anywhere but inside the
    // destination chosen does not start. Every drive written is flushed before the finish,
    // and nothing is written once the destination held is no longer where it was chosen, nor
    // ever outside it.
    void endsAsTheDestinationAllows()
    {
        const auto [fault, into] = fetch<Fault, QString>("fault", "into");
        const Folder folder;
        const Path root = folder.path();
        const auto remove = qScopeGuard([&] { std::system(("rm -rf " + root.string()).c_str()); });
        makeScene(root, fault);
        // clang-format off
        const std::map<Fault, std::pair<Path, Path>> binds = { { Fault::BindLoop, { "src/one", "src/one/inner/x" } },
            { Fault::BindSubFolder, { "src/two", "mnt" } }, { Fault::BindInside, { "src/two/inner", "mnt" } },
            { Fault::BindSource, { "src", "mnt" } } }; // what is mounted where
        // clang-format on
        const auto [bound, on] = binds.contains(fault) ? binds.at(fault) : std::pair<Path, Path>();
        if (!on.empty()
            && (geteuid() != 0
                || mount((root / bound).c_str(), (root / on).c_str(), 0, MS_BIND, 0) != 0))
            QSKIP("bind mounts take root");
        const auto unmount = qScopeGuard([&] { umount2((root / on).c_str(), MNT_DETACH); });
        const std::string outsideDst
            = "find " + root.string() + " -path " + root.string() + "/dst -prune -o -print | wc -l";
        const QString before = shell(outsideDst);
        Calls calls(fault, root);

        QTEST(runCopy(calls, root, into), "says");
        // The names in dst, then +N for each file there with N names.
        QTEST(shell("cd " + root.string()
                    + "/dst && echo $(ls) $(find -type f -links +1 -printf "
                      "'%i\\n' | sort | uniq -c | sed 's/ *\\([0-9]*\\) .*/+\\1/')"),
              "written");
        QTEST(calls.flushed.join(u' '), "flushed");
        QCOMPARE(shell(outsideDst), before);
    }

    void eightExbibyteFiles_data()
    {
        addColumns<int, quint64, QString>("files", "counted", "sizeField");
        QTest::newRow("one") << 1 << quint64(INT64_MAX) << u"8,388,608 TB "_s;
        QTest::newRow("three: the totals saturate") << 3 << quint64(UINT64_MAX) << u"16,384 PB+"_s;
    }

    // Sparse files of 8 EiB on a RAM disk: the count before a copy and the look inside stop
    // at the largest total and say so; they never wrap round to a few bytes.
    void eightExbibyteFiles()
    {
        QFETCH(int, files);
        if (!fs::is_directory("/dev/shm"))
            QSKIP("no RAM file system at /dev/shm");
        const Folder folder(u"/dev/shm"_s);
        const Path one = folder.path() / "src/one";
        fs::create_directories(one);
        fs::create_directory(folder.path() / "dst");
        for (int i = 0; i < files; ++i) {
            writeFile(one / std::to_string(i), "");
            if (truncate((one / std::to_string(i)).c_str(), INT64_MAX) != 0)
                QSKIP("the RAM file system here holds no file of 8 EiB");
        }
        LocalFileSystem fileSystem;
        CopyRun run(fileSystem);
        QSignalSpy counted(&run, &CopyRun::counted);
        run.prepare({ folder.path() / "src", folder.path() / "dst", { "one" } });
        QCOMPARE(counted.size(), 1);
        QTEST(counted.front().front().toULongLong(), "counted");
        const struct stat info = statusOf(one);
        const std::atomic_bool stop = false;
        const InsideTotals inside = fileSystem.lookInside(one, { info.st_dev, info.st_ino }, stop);
        QTEST(sizeText(inside.bytes, inside.complete, QLocale::c()), "sizeField");
    }

    // Cancel while the run is inside a large file on a 1 MB/s drive: the run stops within half
    // a second, the file being written is discarded, the one it would replace stays whole, and
    // the run names it. Until then it says where it stands, ten times a second at most.
    void cancelsInsideLargeFile()
    {
        const Folder folder;
        const Path root = folder.path();
        makeScene(root, Fault::None);
        const std::string large(8 << 20, 'n');
        writeFile(root / "src/two/large.bin", large);
        fs::create_directories(root / "dst/two");
        writeFile(root / "dst/two/large.bin", "old");
        Calls calls(Fault::None, root);
        calls.perByte = std::chrono::microseconds(1);
        LocalFileSystem fileSystem(calls);
        CopyRun run(fileSystem);
        QSignalSpy counted(&run, &CopyRun::counted), progressed(&run, &CopyRun::progressed),
            cancelled(&run, &CopyRun::cancelled);
        const auto last = [&] {
            return progressed.last().at(0).value<CopyProgress>();
        };
        QElapsedTimer sinceCopy, sinceStop;
        calls.beforeStep = [&] { // once the run has said it copies data of "two"
            if (sinceStop.isValid() || progressed.isEmpty() || last().bytesDone <= 10)
                return;
            sinceStop.start();
            run.requestStop();
        };
        run.prepare({ root / "src", root / "dst", { "one", "two" } });
        sinceCopy.start();
        run.copy();

        QVERIFY2(sinceStop.elapsed() < 500, qPrintable(QString::number(sinceStop.elapsed())));
        // What the bar counts against: the bytes of exactly the selected sub-folders.
        QCOMPARE(counted.front().at(0).toULongLong(), quint64(7 + 3 + 7 + 3 + large.size()));
        QCOMPARE(last().bytesTotal, counted.front().at(0).toULongLong());
        QCOMPARE(last().subFolder, u"two"_s);
        QCOMPARE(last().subFolderNumber, 2);
        // The rate is measured from the first byte copied.
        QVERIFY(last().copyingMs > 0 && last().copyingMs <= sinceCopy.elapsed());
        // About ten updates a second at most, one more as each sub-folder starts.
        QVERIFY(progressed.size() <= sinceCopy.elapsed() / 100 + 3);
        QCOMPARE(cancelled.front(),
                 QVariantList({ u"two"_s, QStringList { "one" }, QStringList { "two" } }));
        QCOMPARE(readFile(root / "dst/two/large.bin"), "old");
        QCOMPARE(std::system(("find " + root.string() + "/dst | grep -q sprigwell-").c_str()), 256);
    }

    void pauses_data()
    {
        // smallFiles: else one large file; after: what is done once paused: resume, cancel, fill
        addColumns<bool, QString, QString>("smallFiles", "after", "says");
        for (const bool small : { false, true }) {
            const QString where = small ? u"among small files"_s : u"mid large file"_s;
            // clang-format off
            QTest::addRow("%s, resumed", qPrintable(where)) << small << u"resume"_s << u"finished"_s;
            QTest::addRow("%s, Cancel while paused", qPrintable(where)) << small << u"cancel"_s << u"cancelled"_s;
            QTest::addRow("%s, full disk after resume", qPrintable(where)) << small << u"fill"_s << u"failed one: No space left on device"_s;
            // clang-format on
        }
    }

    // A pause holds the copy within half a second, with nothing half-written under a real
    // name, until Resume; Cancel while paused ends the run, and a disk found full after the
    // resume ends it as it would have before. The rate leaves the pause out.
    void pauses()
    {
        const auto [smallFiles, after, says]
            = fetch<bool, QString, QString>("smallFiles", "after", "says");
        const Folder folder;
        const Path root = folder.path();
        makeScene(root, Fault::None);
        const Path data = root / "src/one/data";
        fs::create_directories(data);
        const std::string content(smallFiles ? 16 << 10 : 4 << 20, 'p');
        for (int i = 0; i < (smallFiles ? 100 : 1); ++i)
            writeFile(data / std::to_string(i), content);
        Calls calls(Fault::None, root);
        calls.perByte = std::chrono::nanoseconds(smallFiles ? 1000 : 250);
        LocalFileSystem fileSystem(calls);
        CopyRun run(fileSystem);
        QSignalSpy progressed(&run, &CopyRun::progressed), finished(&run, &CopyRun::finished),
            cancelled(&run, &CopyRun::cancelled), failed(&run, &CopyRun::failed);
        using Clock = std::chrono::steady_clock;
        std::vector<Clock::time_point> steps; // when each step of data began
        std::thread pauser;
        Clock::time_point pausedAt, resumedAt;
        bool halfWritten = false; // a name of data/ held fewer bytes than its source
        const auto pauseFor = [&](std::chrono::milliseconds length) {
            pausedAt = Clock::now();
            run.setPaused(true);
            std::this_thread::sleep_for(length);
            for (const auto &entry : fs::recursive_directory_iterator(root / "dst"))
                halfWritten |= entry.path().parent_path().filename() == "data"
                    && entry.file_size() != content.size();
            resumedAt = Clock::now();
            if (after == u"cancel")
                return run.requestStop();
            calls.fullNow = after == u"fill";
            run.setPaused(false);
        };
        std::mutex stepsLock; // steps of several files in flight come from their threads
        calls.beforeStep = [&] {
            const std::lock_guard lock(stepsLock);
            steps.push_back(Clock::now());
            if (steps.size() == (smallFiles ? 30 : 8))
                pauser = std::thread(pauseFor, std::chrono::milliseconds(1000));
        };
        run.prepare({ root / "src", root / "dst", { "one", "two" } });
        const auto started = Clock::now();
        run.copy();
        const auto ended = Clock::now();
        pauser.join();

        using std::chrono::milliseconds;
        const auto late = std::find_if(steps.begin(), steps.end(), [&](Clock::time_point step) {
            return step > pausedAt + milliseconds(500) && step < resumedAt;
        });
        QVERIFY2(late == steps.end(), "a step of data began more than 0.5 s into the pause");
        QVERIFY(!halfWritten);
        QCOMPARE(std::system(("find " + root.string() + "/dst | grep -q sprigwell-").c_str()), 256);
        if (says == u"finished") {
            QCOMPARE(finished.size(), 1);
            QCOMPARE(readFile(root / "dst/one/data/0"), content);
            const auto pause = std::chrono::duration_cast<milliseconds>(resumedAt - pausedAt);
            const auto total = std::chrono::duration_cast<milliseconds>(ended - started);
            QVERIFY2(progressed.last().at(0).value<CopyProgress>().copyingMs
                         <= (total - pause).count(),
                     "the rate counts the pause");
        } else if (says == u"cancelled") {
            QVERIFY(ended - resumedAt < milliseconds(500));
            QCOMPARE(cancelled.size(), 1);
        } else {
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed.front().at(0).toString() + u": "_s + failed.front().at(2).toString(),
                     says.mid(7));
        }
    }
};

QTEST_GUILESS_MAIN(TestCopySession)
#include "tst_copy_session.moc"
