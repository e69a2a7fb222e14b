#include "copy/copy_engine.h"
#include "copy/copy_plan.h"
#include "copy/folder_tree_copier.h"
#include "platform/file_data_copy.h"
#include "platform/system_calls.h"
#include "temp_tree.h"

#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <map>

using namespace Qt::StringLiterals;
using namespace TempTree;
using Path = std::filesystem::path;
namespace fs = std::filesystem;

namespace {

// Adds up what a copy reports and asks to stop once `stopAfter` bytes are done.
struct Monitor : CopyMonitor
{
    std::uint64_t bytes = 0, stopAfter = UINT64_MAX;
    std::function<void()> onFile = [] {
    }; // runs as each file starts
    bool stopRequested() const override { return bytes >= stopAfter; }
    void fileStarted(const Path &) override { onFile(); }
    void bytesCopied(std::uint64_t count) override { bytes += count; }
};

// Every entry below `root` with what a copy must keep of it: type and mode, modification
// time, a file's link count, extended attributes, a file's bytes or a link's target.
// Leftover temporaries show up as entries.
std::map<std::string, std::string> snapshot(const Path &root)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const char *path = entry.path().c_str();
        struct stat info = {};
        lstat(path, &info);
        std::ostringstream value;
        value << info.st_mode << ' ' << info.st_mtim.tv_sec << '.' << info.st_mtim.tv_nsec << ' '
              << (S_ISDIR(info.st_mode) ? 0 : info.st_nlink) << ' ';
        char names[1024] = {}, buffer[256];
        const char *end = names + std::max<ssize_t>(llistxattr(path, names, sizeof names), 0);
        for (const char *name = names; name < end; name += std::strlen(name) + 1) {
            const ssize_t got = lgetxattr(path, name, buffer, sizeof buffer);
            value << name << '=' << std::string(buffer, std::max<ssize_t>(got, 0)) << ' ';
        }
        value << (S_ISLNK(info.st_mode)       ? fs::read_symlink(entry).string()
                      : S_ISREG(info.st_mode) ? readFile(entry.path())
                                              : "");
        entries[entry.path().lexically_relative(root).string()] = value.str();
    }
    return entries;
}

// Makes a user's entry: a "folder" with a file inside, a "fifo", a "link" to `target`, a "hard
// link" to the file `target` beside it, or a "... file" (of 20 MiB if "large"), with a user
// attribute if "xattr", an access list as setfacl writes it (owner, user 1000, group) if "acl".
// False where the file system holds no such attributes.
bool makeEntry(const Path &path, const QString &kind, const Path &target = "y")
{
    if (kind == "folder" && fs::create_directory(path))
        writeFile(path / "inside", path.string());
    else if (kind == "fifo")
        mkfifo(path.c_str(), 0600);
    else if (kind == "link")
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
    if (kind == "acl file")
        return setxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
    return kind != "xattr file" || setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0;
}

// clang-format off
enum class Call { None, Create, Open, Name, Symlink, HardLink, Mode, Owner, Times, Attribute,
                  ReadData, WriteData, Unnamed, FoldCase, FoldCaseOwnInodes }; // folding ones last
// clang-format on

// Fails `call` with `error`, for the entry "x" where the call names one. FoldCase makes the
// destination ignore case as FAT does; FoldCaseOwnInodes also gives each spelling an inode
// number of its own, as FUSE does.
struct FaultyCalls : SystemCalls
{
    Call call;
    int error, xFd = -1; // the source file "x", open for reading
    using S = SystemCalls;
    // clang-format off
    FaultyCalls(Call c, int e) : call(c), error(e) { }
    // clang-format on

    bool hits(Call c, std::string_view n = "x") { return errno = error, call == c && n == "x"; }
    std::string fold(int folder, const char *n)
    {
        char path[4096] = {};
        readlink(("/proc/self/fd/" + std::to_string(folder)).c_str(), path, sizeof path - 1);
        const bool inside = std::string_view(path).find("/dst/P") != std::string_view::npos;
        return inside && call >= Call::FoldCase ? QByteArray(n).toLower().toStdString() : n;
    }
    int openAt(int f, const char *n, int flags, mode_t mode) override
    {
        if (hits(Call::Open, n) || ((flags & O_WRONLY) && hits(Call::Create)))
            return -1;
        // As on FAT: no unnamed files, so the copy writes under a temporary name.
        if ((flags & O_TMPFILE) == O_TMPFILE && call == Call::Unnamed)
            return errno = EOPNOTSUPP, -1;
        const int fd = S::openAt(f, fold(f, n).c_str(), flags, mode);
        xFd = n == std::string_view("x") && !(flags & O_ACCMODE) ? fd : fd == xFd ? -1 : xFd;
        return fd;
    }
    // clang-format off
    int makeFolderAt(int f, const char *n, mode_t m) override
    { return hits(Call::Name, n) ? -1 : S::makeFolderAt(f, fold(f, n).c_str(), m); }
    int unlinkAt(int f, const char *n, int flags) override
    { return S::unlinkAt(f, fold(f, n).c_str(), flags); }
    int statAt(int f, const char *n, struct stat &info) override
    { const std::string as = fold(f, n);
      const bool own = call == Call::FoldCaseOwnInodes && as != n;
      return S::statAt(f, as.c_str(), info) ? -1 : (info.st_ino += own, 0); }
    int symlinkAt(const char *target, int f, const char *n) override
    { return hits(Call::Symlink) ? -1 : S::symlinkAt(target, f, n); }
    int linkAt(int ff, const char *from, int tf, const char *to, int flags) override
    { return hits(Call::Name, to) || (flags == 0 && hits(Call::HardLink))
                 ? -1 : S::linkAt(ff, fold(ff, from).c_str(), tf, fold(tf, to).c_str(), flags); }
    int renameAt(int f, const char *from, const char *to) override
    { return hits(Call::Name, to) ? -1
                                  : S::renameAt(f, fold(f, from).c_str(), fold(f, to).c_str()); }
    int changeMode(int f, mode_t m) override { return hits(Call::Mode) ? -!!error : S::changeMode(f, m); }
    int changeOwner(int fd, uid_t u, gid_t g) override
    { return hits(Call::Owner) ? -1 : S::changeOwner(fd, u, g); }
    int setTimes(int fd, const timespec t[2]) override
    { return hits(Call::Times) ? -!!error : S::setTimes(fd, t); }
    int setAttribute(int fd, const char *n, const void *v, std::size_t size) override
    { return hits(Call::Attribute) ? -1 : S::setAttribute(fd, n, v, size); }
    ssize_t copyData(int from, int to, std::uint64_t at, std::size_t length, DataCopyMethod &method,
                     bool &whileWriting) override
    { whileWriting = call == Call::WriteData;
      return from == xFd && (hits(Call::ReadData) || hits(Call::WriteData))
          ? -1 : S::copyData(from, to, at, length, method, whileWriting); }
    // clang-format on
};

// One row of the tree copy's table: "x" beside a file "y" is a `source` ("link" to `target`),
// an `existing` entry of the same name may be at the destination, and `call` fails with
// `error`. What the copy says: "stop: " and the error it throws, or the metadata kinds not
// kept and the problems, each as "path: reason" (in lower case where names fold).
struct Case
{
    QString source, target, existing;
    Call call;
    int error;
    QString says;
};

} // namespace

class TestCopyEngine : public QObject
{
    Q_OBJECT

private slots:
    void copiesTreeOntoOlderCopy_data()
    {
        QTest::addColumn<Case>("row");
        // clang-format off
        QTest::newRow("link loop") << Case { "link", "x", "", Call::None, 0, "" };
        QTest::newRow("link outside") << Case { "link", "../..", "", Call::None, 0, "" };
        QTest::newRow("link of 4095 bytes") << Case { "link", u"a/"_s.repeated(2047) + u'b', "", Call::None, 0, "" };
        QTest::newRow("fifo skipped") << Case { "fifo", "", "", Call::None, 0, "src/P/x: a special file (pipe, socket or device) is not copied" };
        QTest::newRow("hard links") << Case { "hard link", "y", "", Call::None, 0, "" };
        QTest::newRow("sparse file") << Case { "sparse file", "", "", Call::None, 0, "" };
        QTest::newRow("user attribute") << Case { "xattr file", "", "", Call::None, 0, "" };
        QTest::newRow("access list") << Case { "acl file", "", "", Call::None, 0, "" };
        QTest::newRow("folder onto file") << Case { "folder", "", "file", Call::None, 0, "dst/P/x: a file of the same name is in the way" };
        QTest::newRow("file onto folder") << Case { "file", "", "folder", Call::None, 0, "dst/P/x: a folder of the same name is in the way" };
        QTest::newRow("folder onto link") << Case { "folder", "", "link", Call::None, 0, "dst/P/x: a link of the same name is in the way" };
        QTest::newRow("file onto link") << Case { "file", "", "link", Call::None, 0, "dst/P/x: a link of the same name is in the way" };
        QTest::newRow("link onto file") << Case { "link", "y", "file", Call::None, 0, "dst/P/x: a file of the same name is in the way" };
        QTest::newRow("top folder a link") << Case { "file", "", "top link", Call::None, 0, "dst/P: a link of the same name is in the way" };
        QTest::newRow("vanished") << Case { "file", "", "file", Call::Open, ENOENT, "src/P/x: No such file or directory" };
        QTest::newRow("read error") << Case { "file", "", "file", Call::ReadData, EIO, "src/P/x: Input/output error" };
        QTest::newRow("disk full") << Case { "file", "", "file", Call::WriteData, ENOSPC, "stop: No space left on device" };
        QTest::newRow("disk failing") << Case { "file", "", "file", Call::WriteData, EIO, "stop: Input/output error" };
        QTest::newRow("read-only disk") << Case { "file", "", "file", Call::Create, EROFS, "stop: Read-only file system" };
        QTest::newRow("stopped in a large file") << Case { "large file", "", "file", Call::None, ECANCELED, "stop: Operation canceled" };
        QTest::newRow("stopped, named temporary") << Case { "large file", "", "file", Call::Unnamed, ECANCELED, "stop: Operation canceled" };
        QTest::newRow("no unnamed files") << Case { "file", "", "file", Call::Unnamed, 0, "" };
        QTest::newRow("links refused") << Case { "link", "y", "", Call::Symlink, EPERM, "dst/P/x: the destination cannot hold symbolic links" };
        QTest::newRow("name too long") << Case { "file", "", "", Call::Name, ENAMETOOLONG, "dst/P/x: File name too long" };
        QTest::newRow("name refused") << Case { "folder", "", "", Call::Name, EINVAL, "dst/P/x: the destination cannot hold this name" };
        QTest::newRow("name refused as FUSE does") << Case { "file", "", "", Call::Name, ENOENT, "dst/P/x: the destination cannot hold this name" };
        QTest::newRow("same name but case, files") << Case { "file", "", "", Call::FoldCase, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("same name but case, folders") << Case { "folder", "", "", Call::FoldCase, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("same name but case, no inodes") << Case { "file", "", "", Call::FoldCaseOwnInodes, 0, "dst/p/x: a name that differs only in case was already copied here" };
        QTest::newRow("modes refused") << Case { "file", "", "", Call::Mode, EPERM, "Permissions" };
        QTest::newRow("times refused") << Case { "file", "", "", Call::Times, ENOSYS, "Times" };
        // Error 0: the call answers success and keeps nothing, as exFAT through FUSE does.
        QTest::newRow("modes taken, not kept") << Case { "file", "", "", Call::Mode, 0, "Permissions" };
        QTest::newRow("times taken, not kept") << Case { "file", "", "", Call::Times, 0, "Times" };
        QTest::newRow("owner refused") << Case { "owned file", "", "", Call::Owner, EPERM, "Owner" };
        QTest::newRow("xattrs refused") << Case { "xattr file", "", "", Call::Attribute, ENOTSUP, "ExtendedAttributes" };
        QTest::newRow("ACLs refused") << Case { "acl file", "", "", Call::Attribute, ENOTSUP, "AccessControlLists" };
        QTest::newRow("hard links refused") << Case { "hard link", "y", "", Call::HardLink, EPERM, "HardLinks" };
        // clang-format on
    }

    // Copies a tree onto an older copy of it: same-named files are replaced, the others stay,
    // a temporary a crash left is removed, and everything keeps its mode, times, attributes
    // and links. One entry's failure is a problem of that entry and the run goes on, unless
    // it dooms the rest; either way nothing in the way is removed and no temporary is left.
    void copiesTreeOntoOlderCopy()
    {
        QFETCH(Case, row);
        const Folder folder;
        const Path root = folder.path(), src = root / "src/P", x = src / "x", dst = root / "dst/P";
        for (const char *path : { "src/P/sub/caf\xe9", "src/P/empty", "dst", "outside" })
            fs::create_directories(root / path);
        for (const Path &file : { src / "y", src / "sub/caf\xe9/c" })
            writeFile(file, file.string());
        if (!makeEntry(x, row.source, row.target.toStdString()))
            QSKIP("the temporary folder holds no such attributes");
        if (row.source == "owned file" && (geteuid() != 0 || chown(x.c_str(), 65534, 65534) != 0))
            QSKIP("only root may give a file away");
        const bool foldsCase = row.call >= Call::FoldCase;
        if (foldsCase)
            makeEntry(src / "X", row.source);
        fs::permissions(src / "sub/caf\xe9", fs::perms(0555));
        // Times of the past, each its own, down to the nanosecond.
        long tick = 0;
        for (const auto &entry : fs::recursive_directory_iterator(root / "src"))
            if (!entry.is_symlink())
                setModified(entry.path(), 1'500'000'000, ++tick);
        if (row.existing == "top link")
            fs::create_directory_symlink(root / "outside", dst);
        else if (fs::create_directories(dst / "sub"))
            for (const char *name :
                 { "y", "sub/k", ".sprigwell-ab12yz.tmp", ".sprigwell-ab12y.tmp" })
                writeFile(dst / name, "old data");
        makeEntry(dst / "x", row.existing, root / "outside");
        const auto before = snapshot(root / "dst");
        auto expected = snapshot(root / "src");
        const auto files = std::ranges::count_if(
            expected, [](const auto &entry) { return S_ISREG(std::stoul(entry.second)); });
        FaultyCalls calls(row.call, row.error);
        Monitor monitor;
        monitor.stopAfter = row.error == ECANCELED ? 1000 : UINT64_MAX;
        const TreeTotals totals = measureTree(src, monitor);
        CopyReport report;
        int thrown = 0;
        try {
            report = FolderTreeCopier(calls, monitor).copy(src, dst);
        } catch (const FileSystemError &failure) {
            thrown = failure.code().value();
        }

        auto after = snapshot(root / "dst");
        const char *kinds[] = { "Permissions",        "SetIdBits",          "Owner",    "Times",
                                "ExtendedAttributes", "AccessControlLists", "HardLinks" };
        QString said
            = thrown ? u"stop: "_s + QString::fromLocal8Bit(std::strerror(thrown)) : QString();
        for (const MetadataKind kind : report.notKept)
            said += QString::fromLatin1(kinds[int(kind)]);
        for (const CopyProblem &problem : report.problems)
            said += QString::fromStdString(problem.path.lexically_relative(root).string() + ": "
                                           + problem.reason);
        QCOMPARE(foldsCase ? said.toLower() : said, row.says);
        for (const auto &[name, value] : after)
            QVERIFY2(name.find(".sprigwell-") > name.size() || before.contains(name), name.c_str());
        QVERIFY(fs::is_empty(root / "outside"));
        QVERIFY(!thrown || after.at("P/x") == before.at("P/x")); // the old target is intact
        QCOMPARE(totals.files, std::uint64_t(files));
        const bool kept = !thrown && report.problems.empty();
        QVERIFY(!kept || (monitor.bytes == totals.bytes && readFile(dst / "x") == readFile(x)));
        struct stat info;
        QVERIFY(row.source != "sparse file"
                || (stat((dst / "x").c_str(), &info) == 0 && info.st_blocks < 1024));
        if (thrown || row.existing == "top link" || !report.notKept.empty())
            return; // stopped, nothing copied, or the metadata differs
        // x or X, whichever came second, is not copied; the one first lands as "x".
        const std::string left = kept ? "-" : foldsCase ? "P/X" : "P/x";
        std::erase_if(expected, [&](const auto &entry) { return entry.first.starts_with(left); });
        for (auto *entries : { &expected, &after })
            for (auto &[name, value] : *entries)
                value = foldsCase && name.starts_with("P/x") ? std::string() : value;
        expected.merge(std::map(before));
        expected.erase("P/.sprigwell-ab12yz.tmp");
        QVERIFY(after == expected);
    }

    // 10,000 levels, far beyond PATH_MAX and the descriptors a process may hold at once.
    void copiesDeepChainWithFewDescriptors()
    {
        constexpr int depth = 10'000;
        // In memory where there is a tmpfs: on a disk, making and removing the levels is slow.
        const Folder folder(access("/dev/shm", W_OK) == 0 ? u"/dev/shm"_s : QString());
        const Path root = folder.path();
        fs::create_directory(root / "src");
        UniqueFd level(open((root / "src").c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < depth; ++i) {
            if (i % 1000 == 0)
                close(openat(level.get(), "f", O_WRONLY | O_CREAT, 0644));
            mkdirat(level.get(), "d", 0755);
            level.reset(openat(level.get(), "d", O_RDONLY | O_DIRECTORY));
        }
        rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit lowered { 1024, limit.rlim_max };
        setrlimit(RLIMIT_NOFILE, &lowered);
        Monitor monitor;
        std::ptrdiff_t mostOpen = 0;
        monitor.onFile = [&] {
            const fs::directory_iterator open("/proc/self/fd");
            mostOpen = std::max(mostOpen, std::distance(open, {}));
        };

        const CopyReport report = copyFolderTree(root / "src", root / "dst", monitor);

        setrlimit(RLIMIT_NOFILE, &limit);
        QVERIFY(report.problems.empty());
        QCOMPARE(measureTree(root / "dst", monitor).files, std::uint64_t(depth / 1000));
        QVERIFY2(mostOpen < 48, std::to_string(mostOpen).c_str());
        int levels = 0;
        for (level.reset(open((root / "dst").c_str(), O_RDONLY | O_DIRECTORY)); level.isOpen();
             ++levels)
            level.reset(openat(level.get(), "d", O_RDONLY | O_DIRECTORY));
        QCOMPARE(levels, depth + 1);
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

        const pid_t child = fork();
        if (child == 0) {
            const bool likeCp = setresgid(65534, 65534, 65534) == 0
                && setresuid(65534, 65534, 65534) == 0
                && copyFolderTree(src, dst / "engine", monitor).problems.empty()
                && std::system(("cp -a " + src.string() + ' ' + dst.string() + "/cp").c_str()) == 0
                && snapshot(dst / "engine") == snapshot(dst / "cp")
                && chmod((src / "ro").c_str(), 0755) == 0;
            writeFile(src / "ro/f", "two");
            _exit(likeCp && chmod((src / "ro").c_str(), 0555) == 0
                          && copyFolderTree(src, dst / "engine", monitor).problems.empty()
                          && readFile(dst / "engine/ro/f") == "two"
                          && fs::status(dst / "engine/ro").permissions() == fs::perms(0555)
                      ? 0
                      : 1);
        }
        int status = -1;
        QVERIFY(waitpid(child, &status, 0) == child && status == 0);
    }

    void findsSubFolderCopiedIntoItself_data()
    {
        QTest::addColumn<QString>("destination"); // relative to the test folder
        QTest::addColumn<QString>("expected"); // empty: the plan is safe
        QTest::newRow("equal") << u"src"_s << u"a"_s;
        QTest::newRow("inside selected") << u"src/a/new"_s << u"a"_s;
        QTest::newRow("via ..") << u"dst/../src/a/."_s << u"a"_s;
        QTest::newRow("via link") << u"linkToA"_s << u"a"_s;
        // "a" is a prefix of "ab" as text, not as a path: only "ab" lands in itself.
        QTest::newRow("sibling prefix") << u"src/ab"_s << u"ab"_s;
        QTest::newRow("safe parent") << u"."_s << u""_s;
    }

    void findsSubFolderCopiedIntoItself()
    {
        QFETCH(QString, destination);
        QFETCH(QString, expected);
        const Folder folder;
        const Path root = folder.path();
        fs::create_directories(root / "src/a");
        fs::create_directories(root / "src/ab");
        fs::create_directory_symlink(root / "src/a", root / "linkToA");
        const auto found
            = findSelfCopy(root / "src", { "a", "ab" }, root / destination.toStdString());
        QCOMPARE(QString::fromStdString(found.value_or("").string()), expected);
    }

    void copiesFileDataAsOpened_data()
    {
        QTest::addColumn<DataCopyMethod>("method");
        QTest::addColumn<QString>("change"); // what happens to the source
        // "grew": it grew after opening, and only the size at opening is copied. "shrank":
        // it is shorter than at opening, and the copy ends where it does. "holes": 24 MiB
        // with data at the start and near the middle only. "/dev/full": the in-kernel methods
        // are refused there, so read/write takes over and fails as on a full disk. "stopped":
        // the monitor asks to stop after the first chunk.
        for (const auto &[name, method] :
             { std::pair("copy_file_range", DataCopyMethod::CopyFileRange),
               std::pair("sendfile", DataCopyMethod::SendFile),
               std::pair("read/write", DataCopyMethod::ReadWrite) })
            for (const char *change : { "grew", "shrank", "holes", "/dev/full", "stopped" })
                QTest::addRow("%s, %s", name, change) << method << QString::fromLatin1(change);
    }

    void copiesFileDataAsOpened()
    {
        QFETCH(DataCopyMethod, method);
        QFETCH(QString, change);
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
        Monitor monitor;
        monitor.stopAfter = change == "stopped" ? 1 : UINT64_MAX;
        SystemCalls calls;

        const auto result = copyFileData(calls, in.get(), out.get(), size, holes, monitor, method);

        QCOMPARE(result.error, full ? ENOSPC : change == "stopped" ? ECANCELED : 0);
        QCOMPARE(result.whileWriting, full);
        struct stat info;
        QVERIFY(result.error || (monitor.bytes == size && readFile(to) == content));
        QVERIFY(!holes || (stat(to.c_str(), &info) == 0 && info.st_blocks * 512 < 4 << 20));
    }
};

QTEST_GUILESS_MAIN(TestCopyEngine)
#include "tst_copy_engine.moc"
