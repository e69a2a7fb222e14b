#include "copy/copy_run.h"
#include "platform/local_file_system.h"
#include "temp_tree.h"

#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>

using namespace Qt::StringLiterals;
using Path = std::filesystem::path;
namespace fs = std::filesystem;

namespace {

// What happens to the selected sub-folder A, or to the destination dst once the sub-folder
// named in the row is copied (or while B is written, when pulled), or to a second drive
// mounted on dst/A.
// clang-format off
enum class Fault { None, Unreadable, Vanished, Link, Unmounted, Pulled, SecondDrive, SecondDriveFails };

struct Calls : SystemCalls
{
    using S = SystemCalls;
    Fault fault;
    Path root;
    bool gone = false;
    QStringList flushed;
    Calls(Fault f, Path r) : fault(f), root(std::move(r)) { }
    std::string pathOf(int fd) const
    { return fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).lexically_relative(root); }
    bool onSecondDrive(int fd) const { return fault >= Fault::SecondDrive && pathOf(fd) == "dst/A"; }
    Result<UniqueFd> openPath(const Path &path, int flags) override
    { return fault == Fault::Unreadable && path.filename() == "A" ? systemError(EACCES) : S::openPath(path, flags); }
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
    { gone = gone || (fault == Fault::Pulled && pathOf(from).starts_with("src/B"));
      return fault == Fault::Pulled && gone ? (whileWriting = true, systemError(EIO))
                                            : S::copyData(from, to, at, length, method, whileWriting); }
};

// Copies `names` of root/src into root/`into` as the window's run does, and says how it
// ended: "finished" with the problems and what was not kept, "failed <sub-folder>:
// <reason>" or "refused: <message>"; paths relative to `root`.
QString runCopy(Calls &calls, const Path &root, std::vector<Path> names,
                const std::string &into = "dst", const QString &goneAfter = {})
{
    LocalFileSystem fileSystem(calls);
    CopyRun run(fileSystem);
    QString said;
    QObject::connect(&run, &CopyRun::subFolderCopied, &run, [&](const QString &name) { calls.gone |= name == goneAfter; });
    QObject::connect(&run, &CopyRun::refused, &run, [&](const QString &text) { said = "refused: " + text; });
    QObject::connect(&run, &CopyRun::failed, &run, [&](const QString &name, const QString &, const QString &reason)
                     { said = "failed " + name + ": " + reason; });
    QObject::connect(&run, &CopyRun::finished, &run, [&](const QStringList &problems, const QStringList &notKept)
                     { said = (QStringList { "finished" } + problems + notKept).join("; "); });
    run.prepare({ root / "src", root / into, std::move(names) });
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
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("goneAfter");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("written"); // in dst
        QTest::addColumn<QString>("flushed");
        // clang-format off
        QTest::newRow("sub-folder unreadable") << Fault::Unreadable << "" << "finished; src/A: Permission denied" << "B" << "dst";
        QTest::newRow("sub-folder vanished") << Fault::Vanished << "" << "finished; src/A: No such file or directory" << "B" << "dst";
        QTest::newRow("sub-folder now a link") << Fault::Link << "" << "finished; src/A: changed since it was listed" << "B" << "dst";
        QTest::newRow("unmounted between sub-folders") << Fault::Unmounted << "A" << "failed B: the destination was disconnected" << "A" << "";
        QTest::newRow("unmounted before the finish") << Fault::Unmounted << "B" << "failed B: the destination was disconnected" << "A B" << "dst";
        QTest::newRow("pulled while writing") << Fault::Pulled << "" << "failed B: the destination was disconnected" << "A B" << "";
        QTest::newRow("sub-folder on a second drive") << Fault::SecondDrive << "" << "finished" << "A B" << "dst dst/A";
        QTest::newRow("second drive fails its flush") << Fault::SecondDriveFails << "" << "failed B: Input/output error" << "A B" << "dst dst/A";
        // clang-format on
    }

    // Only a stop or a destination gone, full or failing ends a run; a sub-folder that cannot
    // be copied is a problem of its own. Every drive written is flushed before the finish,
    // and nothing is written once the destination held is no longer where it was chosen.
    void endsAsTheDestinationAllows()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, goneAfter);
        const TempTree::Folder folder;
        const Path root = folder.path();
        for (const char *name : { "src/A/inner", "src/B", "dst", "outside/A" })
            fs::create_directories(root / name);
        for (const char *name : { "src/A/inner/a", "src/B/b", "outside/A/key" })
            TempTree::writeFile(root / name, name);
        if (fault == Fault::Vanished || fault == Fault::Link)
            fs::remove_all(root / "src/A");
        if (fault == Fault::Link)
            fs::create_directory_symlink(root / "outside/A", root / "src/A");
        Calls calls(fault, root);

        QTEST(runCopy(calls, root, { "A", "B" }, "dst", goneAfter), "says");
        QStringList written;
        for (const auto &entry : fs::directory_iterator(root / "dst"))
            written << QString::fromStdString(entry.path().filename());
        written.sort();
        QTEST(written.join(u' '), "written");
        QTEST(calls.flushed.join(u' '), "flushed");
    }

    void keepsHardLinks_data()
    {
        QTest::addColumn<int>("depth"); // of the first copy, in A
        QTest::addColumn<QString>("linkIn");
        QTest::newRow("across sub-folders") << 0 << "B";
        QTest::newRow("first copy deep, link in the next sub-folder") << 17 << "B";
        QTest::newRow("first copy deep, link in the same sub-folder") << 17 << "A";
    }

    // As cp -a A B dst keeps them, at any depth, and with no note that they were not kept.
    void keepsHardLinks()
    {
        QFETCH(int, depth);
        QFETCH(QString, linkIn);
        const TempTree::Folder folder;
        const Path root = folder.path(), a = root / "src/A";
        const auto remove = qScopeGuard([&] { std::system(("rm -rf " + root.string()).c_str()); });
        for (const char *name : { "src/A/x", "src/B", "dst" })
            fs::create_directories(root / name);
        TempTree::writeFile(a / "x/f", "linked");
        fs::create_hard_link(a / "x/f", root / "src" / linkIn.toStdString() / "l");
        // Folders of 250-byte names, made from the inside out: deeper than a path may be long.
        for (int i = 0; i < depth; ++i) {
            fs::create_directory(a / "up");
            fs::rename(a / "x", a / "up" / std::string(250, 'n'));
            fs::rename(a / "up", a / "x");
        }
        Calls calls(Fault::None, root);

        QCOMPARE(runCopy(calls, root, { "A", "B" }), u"finished"_s);
        // Two names of one file with two links, and no other file.
        const std::string files = "find " + root.string() + "/dst -type f -printf '%i %n\\n'";
        QCOMPARE(std::system(
                     ("[ \"$(" + files + " | uniq -c | awk '{print $1, $3}')\" = '2 2' ]").c_str()),
                 0);
    }

    void refusesCopyIntoItself_data()
    {
        QTest::addColumn<std::string>("mounted"); // on mnt
        QTest::addColumn<std::string>("destination");
        QTest::addColumn<QString>("refused");
        QTest::newRow("bind mount of the sub-folder")
            << std::string("src/A") << std::string("mnt") << "A";
        QTest::newRow("in a bind mount of a folder in it")
            << std::string("src/A/in") << std::string("mnt/x") << "A";
        QTest::newRow("bind mount of the source folder")
            << std::string("src") << std::string("mnt") << "B";
    }

    // By identity, before anything is written, whatever the paths say.
    void refusesCopyIntoItself()
    {
        QFETCH(std::string, mounted);
        QFETCH(std::string, destination);
        QFETCH(QString, refused);
        if (geteuid() != 0)
            QSKIP("bind mounts take root");
        const TempTree::Folder folder;
        const Path root = folder.path(), mnt = root / "mnt";
        for (const char *name : { "src/A/in/x", "src/B", "mnt" })
            fs::create_directories(root / name);
        QVERIFY(mount((root / mounted).c_str(), mnt.c_str(), nullptr, MS_BIND, nullptr) == 0);
        const auto unmount = qScopeGuard([&] { umount2(mnt.c_str(), MNT_DETACH); });
        const auto entries = [&] {
            return std::distance(fs::recursive_directory_iterator(root / "src"), {});
        };
        const auto before = entries();
        Calls calls(Fault::None, root);

        QCOMPARE(runCopy(calls, root, { "B", "A" }, destination),
                 "refused: Nothing was copied: the sub-folder \"" + refused
                     + "\" would be copied into itself.\nChoose a destination outside it.");
        QCOMPARE(entries(), before);
    }
};

QTEST_GUILESS_MAIN(TestCopySession)
#include "tst_copy_session.moc"
