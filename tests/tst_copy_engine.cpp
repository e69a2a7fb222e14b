#include "copy_folder_tree.h"
#include "data_table.h"
#include "engine/file_data_copy.h"
#include "engine/source_record.h"
#include "slow_calls.h"
#include "temp_tree.h"

#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <optional>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

// Makes a user's entry: a "folder" with a file inside, a "fifo", a "link" to `target`, a "hard
// link" to the file `target` beside it, or a "... file" (of 20 MiB if "large", with a hole at
// its end if "sparse"), with a user attribute if "xattr", an access list as setfacl writes it
// (owner, user 1000, group) if "acl". A "default acl folder" hands that list down to new
// entries, not to the file made before it; an "xattr link" has a trusted attribute. False
// where the file system holds no such attributes.
bool makeEntry(const Path &path, const QString &kind, const Path &target = "y")
{
    if (kind.endsWith(u"folder") && fs::create_directory(path))
        writeFile(path / "inside", path.string());
    else if (kind == "fifo")
        mkfifo(path.c_str(), 0600);
    else if (kind == "link" || kind == "xattr link")
        fs::create_symlink(target, path);
    else if (kind == "hard link")
        fs::create_hard_link(path.parent_path() / target, path);
    else if (kind.endsWith(u"file"))
        writeFile(path, kind == "large file" ? std::string(20 << 20, 'x') : path.string());
    if (kind == "sparse file")
        fs::resize_file(path, 9 << 20); // more than a chunk, a hole after the path
    const std::uint16_t acl[]
        = { 2, 0,      1,      6,    0xffff, 0xffff, 2,      4,    1000, 0,      4,
            4, 0xffff, 0xffff, 0x10, 4,      0xffff, 0xffff, 0x20, 0,    0xffff, 0xffff };
    const char *list = kind == "acl file" ? "system.posix_acl_access" : "system.posix_acl_default";
    if (kind == "acl file" || kind == "default acl folder")
        return setxattr(path.c_str(), list, acl, sizeof acl, 0) == 0;
    if (kind == "xattr link")
        return lsetxattr(path.c_str(), "trusted.note", "kept", 4, 0) == 0;
    return kind != "xattr file" || setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0;
}

// clang-format off
enum class Call { None, Open, Status, ReadFolder, ReadLink, AttributeNames, ReadData, Create,
                  Name, Symlink, HardLink, Mode, Owner, Times, Attribute, WriteData, SetSize,
                  Close, Unnamed, FoldCase, FoldCaseOwnInodes }; // folding ones last
// clang-format on

// Fails `call` with `error`: for the entry "x" where the call names an entry or reads the
// source "x", else for every entry. Error 0 makes a call that changes something answer
// success and do nothing, as exFAT through FUSE does. FoldCase makes the destination ignore
// case as FAT does; FoldCaseOwnInodes also gives each spelling an inode of its own, as FUSE.
// clang-format off
struct FaultyCalls : SystemCalls
{
    using S = SystemCalls;
    Call call;
    std::error_code error;
    FaultyCalls(Call c, int e) : call(c), error(e, std::generic_category()) { }

    static std::string placeOf(int fd)
    { std::error_code none; // for AT_FDCWD
      return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), none); }
    bool hits(Call c, std::string_view name = "x") const { return call == c && name == "x"; }
    // `fd` is the source "x", open for reading.
    bool hitsX(Call c, int fd) const { return call == c && placeOf(fd).ends_with("/src/P/x"); }
    // The name as a folder that ignores case finds it: in lower case, below dst/P.
    std::string fold(int folder, const char *name) const
    { const bool folds = call >= Call::FoldCase && placeOf(folder).find("/dst/P") != std::string::npos;
      return folds ? QByteArray(name).toLower().toStdString() : name; }
    Result<UniqueFd> openAt(int f, const char *n, int flags, mode_t mode) override
    { if (hits(Call::Open, n) || ((flags & O_WRONLY) && hits(Call::Create)))
          return error;
      // As on FAT: no unnamed files, so the copy writes under a temporary name.
      if ((flags & O_TMPFILE) == O_TMPFILE && call == Call::Unnamed)
          return std::make_error_code(std::errc::operation_not_supported);
      return S::openAt(f, fold(f, n).c_str(), flags, mode); }
    Result<FileStatus> status(int fd) override
    { return hitsX(Call::Status, fd) ? Result<FileStatus>(error) : S::status(fd); }
    Result<FileStatus> statusAt(int f, const char *n) override
    { Result<FileStatus> found = S::statusAt(f, fold(f, n).c_str());
      if (found && call == Call::FoldCaseOwnInodes && fold(f, n) != n)
          found = FileStatus([&] { auto info = found->info(); ++info.st_ino; return info; }());
      return found; }
    Result<std::vector<FolderEntry>> readFolder(int fd) override
    { return hitsX(Call::ReadFolder, fd) ? Result<std::vector<FolderEntry>>(error) : S::readFolder(fd); }
    Result<std::string> readLink(int f, const char *n) override
    { return hits(Call::ReadLink, n) ? Result<std::string>(error) : S::readLink(f, n); }
    Result<std::string> attributeNames(int fd) override
    { return hitsX(Call::AttributeNames, fd) ? Result<std::string>(error) : S::attributeNames(fd); }
    std::error_code makeFolderAt(int f, const char *n, mode_t m) override
    { return hits(Call::Name, n) ? error : S::makeFolderAt(f, fold(f, n).c_str(), m); }
    std::error_code unlinkAt(int f, const char *n, int flags) override
    { return S::unlinkAt(f, fold(f, n).c_str(), flags); }
    std::error_code symlinkAt(const char *target, int f, const char *n) override
    { return hits(Call::Symlink) ? error : S::symlinkAt(target, f, n); }
    std::error_code linkAt(int ff, const char *from, int tf, const char *to, int flags) override
    { return hits(Call::Name, to) || (flags == 0 && hits(Call::HardLink))
                 ? error : S::linkAt(ff, fold(ff, from).c_str(), tf, fold(tf, to).c_str(), flags); }
    std::error_code renameAt(int f, const char *from, const char *to) override
    { return hits(Call::Name, to) ? error : S::renameAt(f, fold(f, from).c_str(), fold(f, to).c_str()); }
    std::error_code changeMode(int f, mode_t m) override
    { return hits(Call::Mode) ? error : S::changeMode(f, m); }
    std::error_code changeOwner(int fd, uid_t u, gid_t g) override
    { return hits(Call::Owner) ? error : S::changeOwner(fd, u, g); }
    std::error_code setTimes(int fd, const timespec t[2]) override
    { return hits(Call::Times) ? error : S::setTimes(fd, t); }
    std::error_code setAttribute(int fd, const char *n, const std::string &value) override
    { return hits(Call::Attribute) ? error : S::setAttribute(fd, n, value); }
    std::error_code setLinkAttribute(int f, const char *l, const char *n, const std::string &value) override
    { return hits(Call::Attribute) ? error : S::setLinkAttribute(f, l, n, value); }
    std::error_code setSize(int fd, std::uint64_t size) override
    { return hits(Call::SetSize) ? error : S::setSize(fd, size); }
    std::error_code closeFile(UniqueFd &fd) override
    { return hits(Call::Close) ? (fd.reset(), error) : S::closeFile(fd); }
    Result<std::size_t> copyData(int from, int to, std::uint64_t at, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { whileWriting = call == Call::WriteData;
      return hitsX(Call::ReadData, from) || hitsX(Call::WriteData, from)
          ? Result<std::size_t>(error) : S::copyData(from, to, at, length, method, whileWriting); }
    // clang-format on
};

// One row of the tree copy's tables: "x" beside a file "y" is a `source` ("link" to
// `target`), an `existing` entry of the same name may be at the destination, and `call`
// fails with `error`. What the copy says: the error it stops with, the metadata kinds not
// kept, or the problems, each "path: reason" (in lower case where names fold).
struct Case
{
    QString source, target, existing;
    Call call;
    int error;
    QString says;
};

// src/P holds y, a read-only folder sub/café with a file, an empty folder and the row's "x",
// each with a modification time of its own down to the nanosecond; dst/P is an older copy
// with y and sub/k of old data, the row's existing "x", a temporary a crash left and a file
// only named like one. The row's faulty calls copy src/P onto dst/P.
struct Scene
{
    Folder folder;
    Path root = folder.path(), src = root / "src/P", dst = root / "dst/P";
    std::map<std::string, std::string> before; // the older copy
    CountingMonitor monitor;
    CopyReport report;
    std::error_code stoppedWith;

    // False where the row's entry cannot be made here.
    bool make(const Case &row)
    {
        for (const char *path : { "src/P/sub/caf\xe9", "src/P/empty", "dst", "outside" })
            fs::create_directories(root / path);
        for (const Path &file : { src / "y", src / "sub/caf\xe9/c" })
            writeFile(file, file.string());
        if (!makeEntry(src / "x", row.source, row.target.toStdString())
            || (row.source == "owned file"
                && (geteuid() != 0 || chown((src / "x").c_str(), 65534, 65534) != 0)))
            return false;
        if (row.call >= Call::FoldCase)
            makeEntry(src / "X", row.source);
        fs::permissions(src / "sub/caf\xe9", fs::perms(0555));
        long tick = 0;
        for (const auto &entry : fs::recursive_directory_iterator(root / "src"))
            if (!entry.is_symlink())
                setModified(entry.path(), 1'500'000'000, ++tick);
        if (row.existing == "top link")
            fs::create_directory_symlink(root / "outside", dst);
        else if (row.existing != "nothing" && fs::create_directories(dst / "sub"))
            for (const char *name :
                 { "y", "sub/k", ".sprigwell-ab12yz.tmp", ".sprigwell-ab12y.tmp" })
                writeFile(dst / name, "old data");
        makeEntry(dst / "x", row.existing, root / "outside");
        before = snapshot(root / "dst", row.says);
        return true;
    }
    // The stop, or the problems, each "path: reason", then the kinds of metadata not kept;
    // in lower case where names fold.
    QString said(const Case &row) const
    {
        QStringList said;
        for (const CopyProblem &problem : report.problems)
            said += QString::fromStdString(problem.path.lexically_relative(root).string() + ": "
                                           + problem.reason);
        const char *kinds[] = { "Permissions",        "SetIdBits",          "Owner",    "Times",
                                "ExtendedAttributes", "AccessControlLists", "HardLinks" };
        for (const MetadataKind kind : report.notKept)
            said += QString::fromLatin1(kinds[int(kind)]);
        if (stoppedWith)
            said = QStringList { QString::fromStdString("stopped: " + stoppedWith.message()) };
        return row.call >= Call::FoldCase ? said.join(u"; ").toLower() : said.join(u"; ");
    }
};

// Writes under temporary names, as onto FUSE drives, and notes the permissions each file
// has while its data is written, and each change of a file's mode.
// clang-format off
struct ModeWatch : FaultyCalls
{
    std::vector<mode_t> whileWritten;
    int modeChanges = 0;
    ModeWatch() : FaultyCalls(Call::Unnamed, 0) { }
    static struct stat of(int fd) { struct stat info {}; fstat(fd, &info); return info; }
    Result<std::size_t> copyData(int from, int to, std::uint64_t at, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { whileWritten.push_back(of(to).st_mode & 07777);
      return FaultyCalls::copyData(from, to, at, length, method, whileWriting); }
    std::error_code changeMode(int f, mode_t m) override
    { modeChanges += S_ISREG(of(f).st_mode);
      return FaultyCalls::changeMode(f, m); }
};

// A slow drive that notes what the copy asks it to read ahead: each step's bytes before
// the step, and none twice.
struct ReadAheadWatch : SlowCalls
{
    std::uint64_t askedUntil = 0;
    bool askedAgain = false, readUnasked = false;
    void adviseReading(int fd, std::uint64_t offset, std::uint64_t length, int advice) override
    { askedAgain |= advice == POSIX_FADV_WILLNEED && offset < std::exchange(askedUntil, offset + length);
      SlowCalls::adviseReading(fd, offset, length, advice); }
    Result<std::size_t> copyData(int from, int to, std::uint64_t at, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { readUnasked |= at + length > askedUntil; return SlowCalls::copyData(from, to, at, length, method, whileWriting); }
};
// clang-format on

} // namespace

class TestCopyEngine : public QObject
{
    Q_OBJECT

private slots:
    void copiesOntoAnOlderCopy_data()
    {
        QTest::addColumn<Case>("row");
        // clang-format off
        QTest::newRow("link loop") << Case { "link", "x", "", Call::None, 0, "" };
        QTest::newRow("link outside") << Case { "link", "../..", "", Call::None, 0, "" };
        QTest::newRow("link of 4095 bytes") << Case { "link", u"a/"_s.repeated(2047) + u'b', "", Call::None, 0, "" };
        QTest::newRow("hard links") << Case { "hard link", "y", "", Call::None, 0, "" };
        QTest::newRow("sparse file") << Case { "sparse file", "", "", Call::None, 0, "" };
        QTest::newRow("user attribute") << Case { "xattr file", "", "", Call::None, 0, "" };
        QTest::newRow("access list") << Case { "acl file", "", "", Call::None, 0, "" };
        QTest::newRow("link attribute") << Case { "xattr link", "y", "", Call::None, 0, "" };
        // Copied again into a folder with a default list: its new entries keep only what
        // their sources have, as with cp -a; so does the folder.
        QTest::newRow("default list, copied again") << Case { "default acl folder", "", "default acl folder", Call::None, 0, "" };
        QTest::newRow("default list at the destination only") << Case { "folder", "", "default acl folder", Call::None, 0, "" };
        QTest::newRow("folder") << Case { "folder", "", "folder", Call::None, 0, "" };
        QTest::newRow("file replaced") << Case { "file", "", "file", Call::None, 0, "" };
        QTest::newRow("no unnamed files") << Case { "file", "", "file", Call::Unnamed, 0, "" };
        // What the destination cannot hold is noted once; the data arrives all the same.
        QTest::newRow("modes refused") << Case { "file", "", "", Call::Mode, EPERM, "Permissions" };
        QTest::newRow("times refused") << Case { "file", "", "", Call::Times, ENOSYS, "Times" };
        // Error 0: the call answers success and keeps nothing, as exFAT through FUSE does.
        QTest::newRow("modes taken, not kept") << Case { "file", "", "", Call::Mode, 0, "Permissions" };
        QTest::newRow("times taken, not kept") << Case { "file", "", "", Call::Times, 0, "Times" };
        QTest::newRow("owner refused") << Case { "owned file", "", "", Call::Owner, EPERM, "Owner" };
        QTest::newRow("xattrs refused") << Case { "xattr file", "", "", Call::Attribute, ENOTSUP, "ExtendedAttributes" };
        QTest::newRow("ACLs refused") << Case { "acl file", "", "", Call::Attribute, ENOTSUP, "AccessControlLists" };
        QTest::newRow("link attributes refused") << Case { "xattr link", "y", "", Call::Attribute, ENOTSUP, "ExtendedAttributes" };
        QTest::newRow("attribute on a full disk") << Case { "xattr file", "", "", Call::Attribute, ENOSPC, "ExtendedAttributes" };
        QTest::newRow("hard links refused") << Case { "hard link", "y", "", Call::HardLink, EPERM, "HardLinks" };
        // One entry's failure is a problem of that entry and the copy goes on with the others.
        QTest::newRow("fifo") << Case { "fifo", "", "", Call::None, 0, "src/P/x: a special file (pipe, socket or device) is not copied" };
        QTest::newRow("folder onto file") << Case { "folder", "", "file", Call::None, 0, "dst/P/x: a file of the same name is in the way" };
        QTest::newRow("file onto folder") << Case { "file", "", "folder", Call::None, 0, "dst/P/x: a folder of the same name is in the way" };
        QTest::newRow("folder onto link") << Case { "folder", "", "link", Call::None, 0, "dst/P/x: a link of the same name is in the way" };
        QTest::newRow("file onto link") << Case { "file", "", "link", Call::None, 0, "dst/P/x: a link of the same name is in the way" };
        QTest::newRow("link onto file") << Case { "link", "y", "file", Call::None, 0, "dst/P/x: a file of the same name is in the way" };
        QTest::newRow("top folder a link") << Case { "file", "", "top link", Call::None, 0, "dst/P: a link of the same name is in the way" };
        QTest::newRow("vanished") << Case { "file", "", "file", Call::Open, ENOENT, "src/P/x: No such file or directory" };
        QTest::newRow("status unreadable") << Case { "file", "", "file", Call::Status, EIO, "src/P/x: Input/output error" };
        QTest::newRow("read error") << Case { "file", "", "file", Call::ReadData, EIO, "src/P/x: Input/output error" };
        QTest::newRow("folder unreadable") << Case { "folder", "", "", Call::ReadFolder, EACCES, "src/P/x: Permission denied" };
        QTest::newRow("link unreadable") << Case { "link", "y", "", Call::ReadLink, EIO, "src/P/x: Input/output error" };
        QTest::newRow("attributes unreadable") << Case { "xattr file", "", "file", Call::AttributeNames, EIO, "src/P/x: Input/output error" };
        QTest::newRow("links refused") << Case { "link", "y", "", Call::Symlink, EPERM, "dst/P/x: the destination cannot hold symbolic links" };
        QTest::newRow("name too long") << Case { "file", "", "", Call::Name, ENAMETOOLONG, "dst/P/x: File name too long" };
        QTest::newRow("name refused") << Case { "folder", "", "", Call::Name, EINVAL, "dst/P/x: the destination cannot hold this name" };
        QTest::newRow("name refused as FUSE does") << Case { "file", "", "", Call::Name, ENOENT, "dst/P/x: the destination cannot hold this name" };
        QTest::newRow("same name but case, files") << Case { "file", "", "", Call::FoldCase, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("same name but case, folders") << Case { "folder", "", "", Call::FoldCase, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("same name but case, folder made by the run") << Case { "file", "", "nothing", Call::FoldCase, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("same name but case, no inodes") << Case { "file", "", "", Call::FoldCaseOwnInodes, 0, "dst/p/x: a name that differs only in case was already copied here" };
        // A full, failing or read-only destination, or a stop, ends the whole copy.
        QTest::newRow("disk full") << Case { "file", "", "file", Call::WriteData, ENOSPC, "stopped: No space left on device" };
        QTest::newRow("disk failing") << Case { "file", "", "file", Call::WriteData, EIO, "stopped: Input/output error" };
        QTest::newRow("read-only disk") << Case { "file", "", "file", Call::Create, EROFS, "stopped: Read-only file system" };
        QTest::newRow("length not set") << Case { "sparse file", "", "file", Call::SetSize, EIO, "stopped: Input/output error" };
        QTest::newRow("close reports the lost write") << Case { "file", "", "file", Call::Close, EIO, "stopped: Input/output error" };
        QTest::newRow("stopped in a large file") << Case { "large file", "", "file", Call::None, ECANCELED, "stopped: Operation canceled" };
        QTest::newRow("stopped, named temporary") << Case { "large file", "", "file", Call::Unnamed, ECANCELED, "stopped: Operation canceled" };
        // clang-format on
    }

    // Onto an older copy: same-named files are replaced, the others stay, a temporary a
    // crash left is removed, and everything keeps its mode, times, attributes and links but
    // what the copy says it could not keep. The count before the copy meets exactly the files
    // and bytes the copy writes. Where an entry fails (a row saying "path: reason"), that is a
    // problem of that entry and the copy goes on with the others; a failure that ends the
    // copy ("stopped: ...") discards the file being written. Whatever was in the way, or the
    // file a copy would have replaced, stays as it was.
    void copiesOntoAnOlderCopy()
    {
        QFETCH(Case, row);
        const bool fails = row.says.contains(u':');
        Scene scene;
        if (!scene.make(row)) {
            QVERIFY(!fails);
            QSKIP("the temporary folder holds no such entry, or only root may make it");
        }
        auto expected = snapshot(scene.root / "src", row.says);
        expected.merge(std::map(scene.before));
        expected.erase("P/.sprigwell-ab12yz.tmp");
        SystemCalls calls;
        const TreeTotals totals = measureTree(calls, scene.src, scene.monitor);

        FaultyCalls faulty(row.call, row.error);
        scene.monitor.stopAfter = row.error == ECANCELED ? 1000 : UINT64_MAX;
        try {
            scene.report = copyFolderTree(faulty, scene.src, scene.dst, scene.monitor);
        } catch (const Failure &failure) {
            scene.stoppedWith = failure.code();
        }

        QCOMPARE(scene.said(row), row.says);
        auto after = snapshot(scene.root / "dst"); // no temporary left, none outside
        for (const auto &[name, value] : after)
            QVERIFY2(name.find(".sprigwell-") == std::string::npos || scene.before.contains(name),
                     name.c_str());
        QVERIFY(fs::is_empty(scene.root / "outside"));
        if (fails) { // what was in the way, or would have been replaced, stays as it was
            QVERIFY(!scene.before.contains("P/x") || after["P/x"] == scene.before.at("P/x"));
            return;
        }
        QVERIFY(snapshot(scene.root / "dst", row.says) == expected);
        QCOMPARE(scene.monitor.bytes.load(), totals.bytes);
        QCOMPARE(scene.monitor.files.load(), totals.files);
        QVERIFY(statusOf(scene.dst / "x").st_blocks < 1024); // a hole stays a hole
    }

    // 10,000 levels, far beyond PATH_MAX and the descriptors a process may hold at once.
    void copiesDeepChainWithFewDescriptors()
    {
        constexpr int depth = 10'000;
        if (!timesAreTrue())
            QSKIP("under ThreadSanitizer 10,000 levels take minutes; the other builds walk them");
        // In memory where there is a tmpfs: on a disk, making and removing the levels is slow.
        const Folder folder(access("/dev/shm", W_OK) == 0 ? u"/dev/shm"_s : QString());
        const Path root = folder.path();
        fs::create_directory(root / "src");
        UniqueFd level(open((root / "src").c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 1; i <= depth; ++i) { // a file every 1000 levels, the deepest included
            mkdirat(level.get(), "d", 0755);
            level.reset(openat(level.get(), "d", O_RDONLY | O_DIRECTORY));
            if (i % 1000 == 0)
                close(openat(level.get(), "f", O_WRONLY | O_CREAT, 0644));
        }
        rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit lowered { 1024, limit.rlim_max };
        setrlimit(RLIMIT_NOFILE, &lowered);
        CountingMonitor monitor;
        const auto openNow = [] {
            return std::distance(fs::directory_iterator("/proc/self/fd"), {});
        };
        const std::ptrdiff_t before = openNow();
        std::ptrdiff_t mostOpen = 0;
        monitor.onFile = [&] {
            mostOpen = std::max(mostOpen, openNow());
        };
        SystemCalls calls;

        const CopyReport report = copyFolderTree(calls, root / "src", root / "dst", monitor);

        setrlimit(RLIMIT_NOFILE, &limit);
        QVERIFY(report.problems.empty());
        QCOMPARE(measureTree(calls, root / "dst", monitor).files, std::uint64_t(depth / 1000));
        // At its deepest: a source and a destination folder for each of the levels kept open, a
        // few more, and none for the levels above.
        QVERIFY2(mostOpen - before < 48, std::to_string(mostOpen - before).c_str());
        QCOMPARE(std::system(("rm -rf " + root.string()).c_str()), 0);
    }

    // As the user 65534 in a child process the engine keeps what cp -a keeps (set-ID bits of
    // its own files, not of others'), and copies again into a read-only folder it copied.
    void keepsWhatCpKeepsForUnprivilegedUser()
    {
        if (geteuid() != 0)
            QSKIP("switching to an unprivileged user takes root");
        const Folder folder;
        const Path root = folder.path(), src = root / "src", dst = root / "dst";
        chmod(root.c_str(), 0755);
        fs::create_directories(src / "ro");
        fs::create_directory(dst);
        for (const auto &[name, user, mode] :
             { std::tuple("src/ro/f", 65534, 0644), std::tuple("src/own", 65534, 07755),
               std::tuple("src/others", 0, 06755), std::tuple("src/ro", 65534, 0555),
               std::tuple("dst", 65534, 0755) }) {
            writeFile(root / name, "one"); // a folder takes no content
            QVERIFY(chown((root / name).c_str(), user, user) == 0
                    && chmod((root / name).c_str(), mode) == 0);
        }
        SilentCopyMonitor monitor;
        SystemCalls calls;

        QVERIFY(asUnprivilegedUser([&] {
            const bool likeCp = copyFolderTree(calls, src, dst / "engine", monitor).problems.empty()
                && std::system(("cp -a " + src.string() + ' ' + dst.string() + "/cp").c_str()) == 0
                && snapshot(dst / "engine") == snapshot(dst / "cp")
                && chmod((src / "ro").c_str(), 0755) == 0;
            writeFile(src / "ro/f", "two");
            return likeCp && chmod((src / "ro").c_str(), 0555) == 0
                && copyFolderTree(calls, src, dst / "engine", monitor).problems.empty()
                && readFile(dst / "engine/ro/f") == "two"
                && fs::status(dst / "engine/ro").permissions() == fs::perms(0555);
        }));
    }

    void showsNoMoreWhileWrittenThanWhenDone_data()
    {
        // The source file's owner and mode, the group a set-group-ID destination folder gives
        // (0: none); the mode the file has while written under a temporary name.
        addColumns<uid_t, mode_t, gid_t, mode_t>("owner", "mode", "folderGroup", "whileWritten");
        const uid_t self = geteuid();
        QTest::newRow("own file") << self << mode_t(0644) << gid_t(0) << mode_t(0644);
        QTest::newRow("own file, read-only") << self << mode_t(0444) << gid_t(0) << mode_t(0644);
        QTest::newRow("another user's file")
            << uid_t(65534) << mode_t(0644) << gid_t(0) << mode_t(0600);
        QTest::newRow("a folder giving another group")
            << self << mode_t(0640) << gid_t(65534) << mode_t(0600);
    }

    // Under a temporary name a file shows its source's permissions while written only where
    // the copy keeps the owner and group it is made with; then it needs no change of mode.
    void showsNoMoreWhileWrittenThanWhenDone()
    {
        const auto [owner, mode, folderGroup, whileWritten]
            = fetch<uid_t, mode_t, gid_t, mode_t>("owner", "mode", "folderGroup", "whileWritten");
        if ((owner != geteuid() || folderGroup != 0) && geteuid() != 0)
            QSKIP("files of another owner or group take root");
        const mode_t mask = umask(022);
        const Folder folder;
        const Path src = folder.path() / "src", dst = folder.path() / "dst";
        fs::create_directories(src);
        fs::create_directories(dst);
        writeFile(src / "x", "data");
        QVERIFY(chown((src / "x").c_str(), owner, owner == geteuid() ? getegid() : owner) == 0
                && chmod((src / "x").c_str(), mode) == 0);
        if (folderGroup != 0)
            QVERIFY(chown(dst.c_str(), uid_t(-1), folderGroup) == 0
                    && chmod(dst.c_str(), 02755) == 0);
        SilentCopyMonitor monitor;
        ModeWatch calls;

        const CopyReport report = copyFolderTree(calls, src, dst / "P", monitor);

        umask(mask);
        QVERIFY(report.problems.empty());
        QCOMPARE(calls.whileWritten, std::vector<mode_t> { whileWritten });
        QCOMPARE(calls.modeChanges, int(whileWritten != mode));
        QCOMPARE(statusOf(dst / "P/x").st_mode & 07777, mode);
    }

    void copiesFileDataAsOpened_data()
    {
        // change: what happens to the source
        addColumns<DataCopyMethod, QString>("method", "change");
        // "grew": it grew after opening, and only the size at opening is copied. "shrank":
        // it is shorter than at opening, and the copy ends where it does. "holes": 24 MiB
        // with data at the start and near the middle only. "/dev/full": the in-kernel methods
        // are refused there, so read/write takes over and fails as on a full disk. "stopped
        // in chunk N": asked to stop as that chunk starts, the worst moment for it, at full
        // speed or from a source read at 1 MB/s, as from a slow USB stick, or one whose
        // read-ahead served the first chunks from memory. In every row the drive is asked to
        // read each chunk ahead, and no part twice.
        for (const auto &[name, method] :
             { std::pair("copy_file_range", DataCopyMethod::CopyFileRange),
               std::pair("sendfile", DataCopyMethod::SendFile),
               std::pair("read/write", DataCopyMethod::ReadWrite) })
            for (const char *change :
                 { "grew", "shrank", "holes", "/dev/full", "stopped in chunk 2",
                   "1 MB/s, stopped in chunk 1", "1 MB/s, stopped in chunk 4",
                   "3 chunks read ahead, then 1 MB/s, stopped in chunk 4" })
                QTest::addRow("%s, %s", name, change) << method << QString::fromLatin1(change);
    }

    void copiesFileDataAsOpened()
    {
        const auto [method, change] = fetch<DataCopyMethod, QString>("method", "change");
        const Folder folder;
        const bool holes = change == "holes", full = change == "/dev/full";
        const Path from = folder.path() / "from", to = full ? "/dev/full" : folder.path() / "to";
        // More than a chunk, each 8 bytes their own offset, so a lost or repeated piece shows.
        std::string content(holes ? 3 << 20 : (9 << 20) + 17, '\0');
        for (std::size_t at = 0; at + 8 <= content.size(); at += 8)
            std::memcpy(content.data() + at, &at, 8);
        writeFile(from, content);
        std::uint64_t size
            = content.size() + (change == "shrank" ? 4096 : 0) - (change == "grew" ? 1 << 20 : 0);
        const UniqueFd in(open(from.c_str(), O_RDWR)),
            out(open(to.c_str(), O_WRONLY | O_CREAT, 0600));
        if (holes) // data at the start and at 12 MiB of 24 only
            QVERIFY(pwrite(in.get(), content.data(), 4096, 12 << 20) == 4096
                    && ftruncate(in.get(), size = 24 << 20) == 0);
        content = readFile(from).substr(0, size);
        CountingMonitor monitor;
        ReadAheadWatch calls;
        const int stopIn = change.contains(u"stopped") ? change.back().digitValue() : 0,
                  readAhead = change.contains(u"read ahead") ? change.front().digitValue() : 0;
        calls.perByte = std::chrono::microseconds(change.startsWith(u"1 MB/s") ? 1 : 0);
        int steps = 0;
        auto askedAt = std::chrono::steady_clock::now();
        calls.beforeStep = [&] {
            if (readAhead && steps == readAhead)
                calls.perByte = std::chrono::microseconds(1);
            if (++steps != stopIn)
                return;
            monitor.stopAfter = 0;
            askedAt = std::chrono::steady_clock::now();
        };
        std::optional<Failure> failure;

        try {
            copyFileData(calls, in.get(), out.get(), size, holes, monitor, method);
        } catch (const Failure &thrown) {
            failure = thrown;
        }

        // Within half a second of the request at any speed down to 1 MB/s.
        const auto stoppedIn = std::chrono::steady_clock::now() - askedAt;
        QVERIFY(stopIn == 0 || stoppedIn < std::chrono::milliseconds(500));
        QCOMPARE(failure ? failure->code().value() : 0, full ? ENOSPC : stopIn ? ECANCELED : 0);
        QCOMPARE(failure && failure->side() == Side::Destination, full);
        QVERIFY(failure || (monitor.bytes == size && readFile(to) == content));
        QVERIFY(!holes || statusOf(to).st_blocks * 512 < 4 << 20);
        QVERIFY(!calls.readUnasked && !calls.askedAgain);
    }
};

QTEST_GUILESS_MAIN(TestCopyEngine)
#include "tst_copy_engine.moc"
