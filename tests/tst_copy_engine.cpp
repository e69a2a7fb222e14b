#include "copy/copy_engine.h"
#include "copy/copy_plan.h"
#include "copy/folder_tree_copier.h"
#include "platform/system_calls.h"
#include "recording_monitor.h"
#include "temp_tree.h"

#include <QFileInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>

using namespace Qt::StringLiterals;
using Path = std::filesystem::path;
using TempTree::writeFile;

class TestCopyEngine : public QObject
{
    Q_OBJECT

private slots:
    void copiesTreeOverOlderCopy_data();
    void copiesTreeOverOlderCopy();
    void singleEntryFailures_data();
    void singleEntryFailures();
    void copiesDeepChainWithFewDescriptors();
    void keepsWhatCpKeepsForUnprivilegedUser_data();
    void keepsWhatCpKeepsForUnprivilegedUser();
    void findsSubFolderCopiedIntoItself_data();
    void findsSubFolderCopiedIntoItself();
};

namespace {

// Every entry below `root` with what a copy must keep of it: type and mode, modification
// time, link count, extended attributes, a file's bytes or a link's target. Leftover
// temporaries show up as entries.
std::map<std::string, std::string> snapshot(const Path &root)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info = {};
        lstat(entry.path().c_str(), &info);
        std::string &value = entries[entry.path().lexically_relative(root).string()];
        value = std::to_string(info.st_mode) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.'
            + std::to_string(info.st_mtim.tv_nsec) + ' ' + std::to_string(info.st_nlink) + ' ';
        char names[1024] = {};
        const ssize_t size = llistxattr(entry.path().c_str(), names, sizeof names);
        for (const char *name = names; name < names + std::max<ssize_t>(size, 0);
             name += std::strlen(name) + 1) {
            char buffer[256] = {};
            const ssize_t got = lgetxattr(entry.path().c_str(), name, buffer, sizeof buffer);
            value += std::string(name) + '=' + std::string(buffer, std::max<ssize_t>(got, 0)) + ' ';
        }
        if (S_ISLNK(info.st_mode))
            value += std::filesystem::read_symlink(entry).string();
        else if (S_ISREG(info.st_mode))
            value += TempTree::readFile(entry.path());
    }
    return entries;
}

// A user's entry: a "file", a "folder" with a file inside, a "fifo", or a "link" to `target`.
void makeEntry(const Path &path, const QString &kind, const Path &target = "y")
{
    if (kind == "file") {
        writeFile(path, "user data");
    } else if (kind == "folder") {
        std::filesystem::create_directory(path);
        writeFile(path / "inside", "user data");
    } else if (kind == "fifo") {
        mkfifo(path.c_str(), 0600);
    } else if (kind == "link") {
        std::filesystem::create_symlink(target, path);
    }
}

// Gives `file` a user attribute, or an access list for the owner, user 1000 and the group
// as setfacl writes it; false where the file system holds neither.
bool addAttribute(const Path &file, bool accessList)
{
    const std::uint16_t acl[]
        = { 2, 0,      1,      6,    0xffff, 0xffff, 2,      4,    1000, 0,      4,
            4, 0xffff, 0xffff, 0x10, 4,      0xffff, 0xffff, 0x20, 0,    0xffff, 0xffff };
    return accessList ? setxattr(file.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0
                      : setxattr(file.c_str(), "user.note", "kept", 4, 0) == 0;
}

// clang-format off
enum class Call { None, Create, Open, Name, Symlink, HardLink, Mode, Owner, Times, Attribute,
                  ReadData, WriteData, Stop, StopNamed, Unnamed, FoldCase, FoldCaseOwnInodes };
// clang-format on

struct FaultyCalls : SystemCalls
{
    Call call = Call::None;
    std::string name;
    int error = 0;
    std::string destination; // the top folder of the copy
    int watched = -1; // the source file `name`, open for reading

    bool hits(Call c, const char *n = nullptr)
    {
        errno = error;
        return call == c && (!n || name == n);
    }
    std::string fold(int folder, const char *n)
    {
        char path[4096] = {};
        readlink(("/proc/self/fd/" + std::to_string(folder)).c_str(), path, sizeof path - 1);
        if ((call != Call::FoldCase && call != Call::FoldCaseOwnInodes)
            || !std::string_view(path).starts_with(destination))
            return n;
        return QString::fromUtf8(n).toLower().toStdString();
    }
    int openAt(int f, const char *n, int flags, mode_t mode) override
    {
        if (hits(Call::Open, n) || ((flags & O_WRONLY) && hits(Call::Create)))
            return -1;
        // As on FAT: no unnamed files, so the copy writes under a temporary name.
        if ((flags & O_TMPFILE) == O_TMPFILE && (call == Call::Unnamed || call == Call::StopNamed))
            return errno = EOPNOTSUPP, -1;
        const int fd = SystemCalls::openAt(f, fold(f, n).c_str(), flags, mode);
        const bool reading = (flags & O_ACCMODE) == O_RDONLY;
        watched = n == name && reading ? fd : fd == watched ? -1 : watched;
        return fd;
    }
    // clang-format off
    using S = SystemCalls;
    int makeFolderAt(int f, const char *n, mode_t m) override
    { return hits(Call::Name, n) ? -1 : S::makeFolderAt(f, fold(f, n).c_str(), m); }
    int unlinkAt(int f, const char *n, int flags) override
    { return S::unlinkAt(f, fold(f, n).c_str(), flags); }
    // As FUSE does, the file system may give each spelling an inode number of its own.
    int statAt(int f, const char *n, struct stat &info) override
    { const std::string as = fold(f, n);
      const bool own = call == Call::FoldCaseOwnInodes && as != n;
      return S::statAt(f, as.c_str(), info) == 0 ? (info.st_ino += own, 0) : -1; }
    int symlinkAt(const char *target, int f, const char *n) override
    { return hits(Call::Symlink) ? -1 : S::symlinkAt(target, f, n); }
    int linkAt(int ff, const char *from, int tf, const char *to, int flags) override
    { return hits(Call::Name, to) || (flags == 0 && hits(Call::HardLink))
                 ? -1 : S::linkAt(ff, fold(ff, from).c_str(), tf, fold(tf, to).c_str(), flags); }
    int renameAt(int f, const char *from, const char *to) override
    { return hits(Call::Name, to) ? -1
                                  : S::renameAt(f, fold(f, from).c_str(), fold(f, to).c_str()); }
    int changeMode(int fd, mode_t m) override
    { return hits(Call::Mode) ? -1 : S::changeMode(fd, m); }
    int changeOwner(int fd, uid_t u, gid_t g) override
    { return hits(Call::Owner) ? -1 : S::changeOwner(fd, u, g); }
    int setTimes(int fd, const struct timespec t[2]) override
    { return hits(Call::Times) ? -1 : S::setTimes(fd, t); }
    int setAttribute(int fd, const char *n, const void *v, std::size_t size) override
    { return hits(Call::Attribute) ? -1 : S::setAttribute(fd, n, v, size); }
    // clang-format on
    ssize_t copyData(int from, int to, std::uint64_t offset, std::size_t length,
                     DataCopyMethod &method, bool &whileWriting) override
    {
        whileWriting = call == Call::WriteData;
        if (from == watched && (hits(Call::ReadData) || hits(Call::WriteData)))
            return -1;
        return SystemCalls::copyData(from, to, offset, length, method, whileWriting);
    }
};

struct Outcome
{
    CopyReport report;
    std::optional<FileSystemError> error;
};

Outcome copyWith(SystemCalls &calls, CopyMonitor &monitor, const Path &from, const Path &to)
{
    try {
        return { FolderTreeCopier(calls, monitor).copy(from, to), std::nullopt };
    } catch (const FileSystemError &error) {
        return { {}, error };
    }
}

// Runs `work` in a child process as the unprivileged user 65534; its result is the child's.
bool asNobody(const std::function<bool()> &work)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0 && work()
                  ? 0
                  : 1);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void TestCopyEngine::copiesTreeOverOlderCopy_data()
{
    QTest::addColumn<QString>("kind"); // of one more entry "x"
    QTest::addColumn<QString>("target"); // of a link

    QTest::newRow("link loop") << u"link"_s << u"x"_s;
    QTest::newRow("link outside") << u"link"_s << u"../.."_s;
    QTest::newRow("link dangling") << u"link"_s << u"gone"_s;
    QTest::newRow("link of 4095 bytes") << u"link"_s << u"a/"_s.repeated(2047) + u'b';
    QTest::newRow("fifo skipped") << u"fifo"_s << QString();
    QTest::newRow("hard links") << u"hard link"_s << QString();
    QTest::newRow("sparse file") << u"sparse"_s << QString();
    QTest::newRow("user attribute") << u"xattr"_s << QString();
    QTest::newRow("access list") << u"acl"_s << QString();
    QTest::newRow("stale temporary") << u"temporary"_s << QString();
}

// Same-named files are replaced, the others stay; everything keeps its mode, times,
// attributes and links.
void TestCopyEngine::copiesTreeOverOlderCopy()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    TempTree::Folder folder;
    const Path root = folder.path();
    const Path photos = root / "src/Photos";
    std::filesystem::create_directories(photos / "sub/caf\xe9");
    std::filesystem::create_directories(photos / "empty");
    writeFile(photos / "a.txt", "new a");
    writeFile(photos / "sub/caf\xe9/c.txt", "new c");
    std::filesystem::permissions(photos / "sub/caf\xe9", std::filesystem::perms(0555));
    makeEntry(photos / "x", kind, target.toStdString());
    if (kind == "hard link")
        std::filesystem::create_hard_link(photos / "a.txt", photos / "sub/x");
    if (kind == "sparse")
        std::filesystem::resize_file(photos / "a.txt", 9 << 20); // more than a chunk
    if ((kind == "xattr" || kind == "acl") && !addAttribute(photos / "a.txt", kind == "acl"))
        QSKIP("the temporary folder holds no such attributes");
    std::filesystem::create_directories(root / "dst/Photos/sub");
    writeFile(root / "dst/Photos/a.txt", "old a");
    writeFile(root / "dst/Photos/sub/keep.txt", "kept");
    writeFile(root / "dst/Photos/.sprigwell-Ab12yZ.tmp", "left by a crash");
    writeFile(root / "dst/Photos/.sprigwell-Ab12y.tmp", "not ours");
    // Times of the past, each its own, down to the nanosecond.
    long tick = 0;
    for (const auto &source : std::filesystem::recursive_directory_iterator(root / "src"))
        if (!source.is_symlink())
            TempTree::setModified(source.path(), 1'500'000'000, ++tick);
    auto expected = snapshot(root / "src");
    expected.merge(snapshot(root / "dst"));
    expected.erase("Photos/.sprigwell-Ab12yZ.tmp");
    const bool special = kind == "fifo" && expected.erase("Photos/x") == 1;
    RecordingMonitor monitor;
    const TreeTotals totals = measureTree(photos, monitor);

    const CopyReport report = copyFolderTree(photos, root / "dst/Photos", monitor);

    QVERIFY(snapshot(root / "dst") == expected);
    QCOMPARE(report.problems.size(), std::size_t(special));
    QVERIFY(!special || report.problems.front().path == photos / "x");
    QVERIFY(report.notKept.empty());
    QCOMPARE(monitor.bytes, totals.bytes);
    QCOMPARE(totals.files, kind == "hard link" ? 3u : 2u);
    struct stat info;
    QVERIFY(stat((root / "dst/Photos/a.txt").c_str(), &info) == 0 && info.st_blocks < 1024);
}

void TestCopyEngine::singleEntryFailures_data()
{
    QTest::addColumn<QString>("source"); // kind of the entry "x" beside a file "y"
    QTest::addColumn<QString>("existing"); // kind of the same-named entry already there
    QTest::addColumn<Call>("call"); // the call that fails
    QTest::addColumn<int>("error"); // and how
    // "stop": the copy throws; "src" or "dst": a problem of x on that side with the reason
    // `detail`; "kept": copied, but the metadata `detail` (if any) not kept.
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("detail");

    const auto row = [](const char *tag, const char *source, const char *existing, Call call,
                        int error, const char *outcome, QString detail = {}) {
        if (outcome == std::string_view("src") || outcome == std::string_view("dst"))
            detail = detail.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : detail;
        QTest::newRow(tag) << QString::fromLatin1(source) << QString::fromLatin1(existing) << call
                           << error << QString::fromLatin1(outcome) << detail;
    };
    const QString way = u" of the same name is in the way"_s;
    const QString clash = u"a name that differs only in case was already copied here"_s;
    const QString noLinks = u"the destination cannot hold symbolic links"_s;
    const QString badName = u"the destination cannot hold this name"_s;
    // clang-format off
    row("folder onto file", "folder", "file", Call::None, 0, "dst", u"a file"_s + way);
    row("file onto folder", "file", "folder", Call::None, 0, "dst", u"a folder"_s + way);
    row("folder onto link", "folder", "link", Call::None, 0, "dst", u"a link"_s + way);
    row("file onto link", "file", "link", Call::None, 0, "dst", u"a link"_s + way);
    row("link onto file", "link", "file", Call::None, 0, "dst", u"a file"_s + way);
    row("top folder a link", "file", "top link", Call::None, 0, "dst", u"a link"_s + way);
    row("vanished", "file", "file", Call::Open, ENOENT, "src");
    row("read error", "file", "file", Call::ReadData, EIO, "src");
    row("disk full", "file", "file", Call::WriteData, ENOSPC, "stop");
    row("disk failing", "file", "file", Call::WriteData, EIO, "stop");
    row("read-only disk", "file", "file", Call::Create, EROFS, "stop");
    row("stopped in a large file", "large file", "file", Call::Stop, ECANCELED, "stop");
    row("stopped, named temporary", "large file", "file", Call::StopNamed, ECANCELED, "stop");
    row("no unnamed files", "file", "file", Call::Unnamed, 0, "kept");
    row("links refused", "link", "", Call::Symlink, EPERM, "dst", noLinks);
    row("name too long", "file", "", Call::Name, ENAMETOOLONG, "dst");
    row("name refused", "folder", "", Call::Name, EINVAL, "dst", badName);
    row("name refused as FUSE does", "file", "", Call::Name, ENOENT, "dst", badName);
    row("same name but case, files", "file", "", Call::FoldCase, 0, "dst", clash);
    row("same name but case, folders", "folder", "", Call::FoldCase, 0, "dst", clash);
    row("same name but case, no inodes", "file", "", Call::FoldCaseOwnInodes, 0, "dst", clash);
    row("modes refused", "file", "", Call::Mode, EPERM, "kept", u"Permissions"_s);
    row("times refused", "file", "", Call::Times, ENOSYS, "kept", u"Times"_s);
    row("owner refused", "owned file", "", Call::Owner, EPERM, "kept", u"Owner"_s);
    row("xattrs refused", "xattr", "", Call::Attribute, ENOTSUP, "kept", u"ExtendedAttributes"_s);
    row("ACLs refused", "acl", "", Call::Attribute, ENOTSUP, "kept", u"AccessControlLists"_s);
    row("hard links refused", "hard link", "", Call::HardLink, EPERM, "kept", u"HardLinks"_s);
    // clang-format on
}

// One entry's failure is a problem of that entry and the run goes on, unless it dooms
// the rest; either way nothing in the way is removed and no temporary is left.
void TestCopyEngine::singleEntryFailures()
{
    QFETCH(QString, source);
    QFETCH(QString, existing);
    QFETCH(Call, call);
    QFETCH(int, error);
    QFETCH(QString, outcome);
    QFETCH(QString, detail);
    TempTree::Folder folder;
    const Path root = folder.path();
    for (const char *path : { "src/P", "dst", "outside" })
        std::filesystem::create_directories(root / path);
    writeFile(root / "src/P/y", "y data");
    const Path x = root / "src/P/x";
    makeEntry(x, source);
    if (source == "large file")
        writeFile(x, std::string(20 << 20, 'x'));
    const bool attribute = source == "xattr" || source == "acl";
    if (source == "owned file" || attribute)
        writeFile(x, "with metadata");
    if (source == "owned file" && (geteuid() != 0 || chown(x.c_str(), 65534, 65534) != 0))
        QSKIP("only root may give a file away");
    if (attribute && !addAttribute(x, source == "acl"))
        QSKIP("the temporary folder holds no such attributes");
    if (source == "hard link")
        std::filesystem::create_hard_link(root / "src/P/y", x);
    const bool foldsCase = call == Call::FoldCase || call == Call::FoldCaseOwnInodes;
    if (foldsCase)
        makeEntry(root / "src/P/X", source);
    if (existing == "top link")
        std::filesystem::create_directory_symlink(root / "outside", root / "dst/P");
    else
        std::filesystem::create_directory(root / "dst/P");
    makeEntry(root / "dst/P/x", existing, root / "outside");
    auto before = snapshot(root / "dst");
    FaultyCalls calls;
    calls.call = call;
    calls.name = "x";
    calls.error = error;
    calls.destination = (root / "dst/P").string();
    RecordingMonitor monitor;
    monitor.stopAfterBytes = call == Call::Stop || call == Call::StopNamed ? 1000 : UINT64_MAX;

    const Outcome result = copyWith(calls, monitor, root / "src/P", root / "dst/P");

    // The top folder takes the source's times, and a named temporary moves them anyway.
    auto after = snapshot(root / "dst");
    before.erase("P");
    after.erase("P");
    for (const auto &[name, value] : after)
        QVERIFY2(name.find(".sprigwell-") == std::string::npos, name.c_str());
    QVERIFY(std::filesystem::is_empty(root / "outside"));
    QCOMPARE(result.error.has_value(), outcome == "stop");
    if (result.error) {
        QCOMPARE(result.error->code().value(), error);
        after.erase("P/y"); // copied or not, as it came before x or after
        QVERIFY(after == before);
        return;
    }
    QVERIFY(existing == "top link" || TempTree::readFile(root / "dst/P/y") == "y data");
    if (outcome == "kept") {
        QVERIFY(result.report.problems.empty());
        QCOMPARE(TempTree::readFile(root / "dst/P/x"), TempTree::readFile(x));
        const char *kinds[] = { "Permissions",        "SetIdBits",          "Owner",    "Times",
                                "ExtendedAttributes", "AccessControlLists", "HardLinks" };
        QCOMPARE(result.report.notKept.size(), std::size_t(!detail.isEmpty()));
        QVERIFY(detail.isEmpty() || kinds[int(*result.report.notKept.begin())] == detail);
        return;
    }
    QCOMPARE(result.report.problems.size(), 1u);
    const CopyProblem &problem = result.report.problems.front();
    QCOMPARE(QString::fromStdString(problem.reason), detail);
    if (foldsCase) { // x or X, whichever came second
        QCOMPARE(problem.path.parent_path(), root / "dst/P");
        QCOMPARE(after.size(), source == "folder" ? 3u : 2u);
        return;
    }
    QCOMPARE(problem.path, root / outcome.toStdString() / (existing == "top link" ? "P" : "P/x"));
    if (existing == "top link")
        return;
    QVERIFY(after.erase("P/y") == 1 && after == before);
}

// 10,000 levels, far beyond PATH_MAX and the descriptors a process may hold at once.
void TestCopyEngine::copiesDeepChainWithFewDescriptors()
{
    constexpr int depth = 10'000;
    // In memory where there is a tmpfs: on a disk, making and removing the levels is slow.
    TempTree::Folder folder(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QString());
    const Path root = folder.path();
    std::filesystem::create_directory(root / "src");
    UniqueFd level(open((root / "src").c_str(), O_RDONLY | O_DIRECTORY));
    for (int i = 0; i < depth; ++i) {
        if (i % 1000 == 0)
            UniqueFd(openat(level.get(), "f", O_WRONLY | O_CREAT, 0644)).reset();
        mkdirat(level.get(), "d", 0755);
        level.reset(openat(level.get(), "d", O_RDONLY | O_DIRECTORY));
    }
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit lowered { 1024, limit.rlim_max };
    setrlimit(RLIMIT_NOFILE, &lowered);
    RecordingMonitor monitor;
    std::ptrdiff_t mostOpen = 0;
    monitor.onFile = [&] {
        const std::filesystem::directory_iterator open("/proc/self/fd");
        mostOpen = std::max(mostOpen, std::distance(open, {}));
    };
    SystemCalls calls;

    const Outcome result = copyWith(calls, monitor, root / "src", root / "dst");
    const TreeTotals totals = measureTree(root / "src", monitor);

    setrlimit(RLIMIT_NOFILE, &limit);
    QCOMPARE(totals.files, std::uint64_t(depth / 1000));
    QVERIFY(!result.error && result.report.problems.empty());
    QVERIFY2(mostOpen < 48, std::to_string(mostOpen).c_str());
    level.reset(open((root / "dst").c_str(), O_RDONLY | O_DIRECTORY));
    int levels = 0;
    for (; level.isOpen(); ++levels) {
        struct stat info;
        QCOMPARE(fstatat(level.get(), "f", &info, 0) == 0, levels % 1000 == 0 && levels < depth);
        level.reset(openat(level.get(), "d", O_RDONLY | O_DIRECTORY));
    }
    QCOMPARE(levels, depth + 1);
    QCOMPARE(std::system(("rm -rf " + root.string()).c_str()), 0);
}

void TestCopyEngine::keepsWhatCpKeepsForUnprivilegedUser_data()
{
    QTest::addColumn<bool>("readOnlyFolder"); // else files with set-ID bits

    QTest::newRow("set-ID bits of own and others' files") << false;
    QTest::newRow("read-only folder copied twice") << true;
}

// As the user 65534 in a child process: the engine must keep what cp -a keeps, and copy
// into a read-only folder an earlier copy made.
void TestCopyEngine::keepsWhatCpKeepsForUnprivilegedUser()
{
    QFETCH(bool, readOnlyFolder);
    if (geteuid() != 0)
        QSKIP("switching to an unprivileged user takes root");
    TempTree::Folder folder;
    const Path root = folder.path();
    const Path src = root / "src";
    chmod(root.c_str(), 0755);
    for (const Path &path : { src / "ro", root / "dst" }) {
        std::filesystem::create_directories(path);
        QVERIFY(chown(path.c_str(), 65534, 65534) == 0);
    }
    for (const auto &[name, user, mode] :
         { std::tuple("ro/f", 65534, 0644), std::tuple("own", 65534, 07755),
           std::tuple("others", 0, 06755) }) {
        writeFile(src / name, "one");
        QVERIFY(chown((src / name).c_str(), user, user) == 0
                && chmod((src / name).c_str(), mode) == 0);
    }
    chmod((src / "ro").c_str(), 0555);

    const bool same = asNobody([&] {
        SilentCopyMonitor monitor;
        try {
            copyFolderTree(src, root / "dst/engine", monitor);
            if (readOnlyFolder) {
                chmod((src / "ro").c_str(), 0755);
                writeFile(src / "ro/f", "two");
                chmod((src / "ro").c_str(), 0555);
                return copyFolderTree(src, root / "dst/engine", monitor).problems.empty()
                    && TempTree::readFile(root / "dst/engine/ro/f") == "two"
                    && std::filesystem::status(root / "dst/engine/ro").permissions()
                    == std::filesystem::perms(0555);
            }
        } catch (const std::exception &) {
            return false;
        }
        if (std::system(("cp -a " + src.string() + ' ' + (root / "dst/cp").string()).c_str()) != 0)
            return false;
        const auto mode = [&](const char *path) {
            return std::filesystem::status(root / path).permissions();
        };
        return mode("dst/engine/own") == mode("dst/cp/own")
            && mode("dst/engine/others") == mode("dst/cp/others");
    });

    QVERIFY(same);
    chmod((root / "dst/engine/ro").c_str(), 0755);
    chmod((root / "dst/cp/ro").c_str(), 0755);
}

void TestCopyEngine::findsSubFolderCopiedIntoItself_data()
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

void TestCopyEngine::findsSubFolderCopiedIntoItself()
{
    QFETCH(QString, destination);
    QFETCH(QString, expected);
    TempTree::Folder folder;
    const std::filesystem::path root = folder.path();
    std::filesystem::create_directories(root / "src/a");
    std::filesystem::create_directories(root / "src/ab");
    std::filesystem::create_directory_symlink(root / "src/a", root / "linkToA");

    const auto found = findSelfCopy(root / "src", { "a", "ab" }, root / destination.toStdString());

    QCOMPARE(QString::fromStdString(found.value_or("").string()), expected);
}

QTEST_GUILESS_MAIN(TestCopyEngine)
#include "tst_copy_engine.moc"
