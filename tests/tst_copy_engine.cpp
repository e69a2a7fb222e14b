#include "copy/copy_engine.h"
#include "copy/folder_tree_copier.h"
#include "copy_tree.h"
#include "platform/posix_file_copy.h"

#include <QTest>

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;
using CopyTree::readFile;
using CopyTree::snapshot;
using TempTree::writeFile;
using Path = std::filesystem::path;

class TestCopyEngine : public QObject
{
    Q_OBJECT

private slots:
    void copiesWholeTree();
    void mergesIntoExistingFolder_data();
    void mergesIntoExistingFolder();
    void copiesLinksAsLinks_data();
    void copiesLinksAsLinks();
    void skipsAndReportsSpecialFiles_data();
    void skipsAndReportsSpecialFiles();
    void keepsTimesAndPermissions_data();
    void keepsTimesAndPermissions();
    void copiesNamesThatAreNotUtf8ByteForByte();
    void neverReplacesAnotherKind_data();
    void neverReplacesAnotherKind();
    void reportsMissingFolders_data();
    void reportsMissingFolders();
    void reportsFileVanishingDuringCopy();
    void reportsUnreadableFile();
    void failedFileLeavesOldFileIntact_data();
    void failedFileLeavesOldFileIntact();
    void refusesToCopyIntoItself_data();
    void refusesToCopyIntoItself();
};

namespace {

QString text(const Path &path)
{
    return QString::fromStdString(path.string());
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

template<typename Copy> std::optional<CopyError> errorOf(Copy &&copy)
{
    try {
        copy();
    } catch (const CopyError &error) {
        return error;
    }
    return std::nullopt;
}

// The name of the file an open descriptor reads.
std::string nameOf(int fd)
{
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename();
}

// Copies every file normally but `victim`: of that one it writes half, then fails as
// a full disk or a bad sector would.
class FailingDataCopy : public FileDataCopy
{
public:
    FailingDataCopy(std::string victim, DataCopyResult failure)
        : m_victim(std::move(victim))
        , m_failure(failure)
    { }
    DataCopyResult copy(int from, int to, std::uint64_t sizeHint) override
    {
        if (nameOf(from) != m_victim)
            return copyFileData(from, to, sizeHint);
        std::string half(sizeHint / 2, '\0');
        if (read(from, half.data(), half.size()) < 0 || write(to, half.data(), half.size()) < 0)
            return { errno, false };
        return m_failure;
    }

private:
    std::string m_victim;
    DataCopyResult m_failure;
};

// Before the first file is copied, deletes the other files of `folder`.
class VanishingDataCopy : public FileDataCopy
{
public:
    explicit VanishingDataCopy(Path folder)
        : m_folder(std::move(folder))
    { }
    DataCopyResult copy(int from, int to, std::uint64_t sizeHint) override
    {
        if (deleted.empty()) {
            for (const auto &entry : std::filesystem::directory_iterator(m_folder)) {
                if (entry.path().filename() != nameOf(from))
                    deleted.push_back(entry.path());
            }
            for (const Path &path : deleted)
                std::filesystem::remove(path);
        }
        return copyFileData(from, to, sizeHint);
    }
    std::vector<Path> deleted;

private:
    Path m_folder;
};

// A source folder "Photos" below `root`/src with files, nested and empty folders.
Path makePhotos(const Path &root)
{
    const Path photos = root / "src/Photos";
    std::filesystem::create_directories(photos / "sub/deeper");
    std::filesystem::create_directories(photos / "sub/emptyToo");
    std::filesystem::create_directories(photos / "empty");
    std::filesystem::create_directories(root / "dst");
    writeFile(photos / "a.txt", "new a");
    writeFile(photos / "empty.txt", "");
    writeFile(photos / "sub/deeper/c.txt", "new c");
    return photos;
}

// An entry of the given kind ("file", "folder", "link" to `linkTarget`) holding user data.
void makeEntry(const Path &path, const QString &kind, const Path &linkTarget)
{
    if (kind == u"file"_s) {
        writeFile(path, "user data");
    } else if (kind == u"folder"_s) {
        std::filesystem::create_directory(path);
        writeFile(path / "inside.txt", "user data");
    } else {
        std::filesystem::create_symlink(linkTarget, path);
    }
}

} // namespace

void TestCopyEngine::copiesWholeTree()
{
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    writeFile(photos / "sub/big.bin", CopyTree::randomBytes(5 * 1024 * 1024 + 3, 1));

    const CopyReport report = copyFolderTree(photos, folder.path() / "dst/Photos", true);

    QVERIFY(snapshot(folder.path() / "dst/Photos") == snapshot(photos));
    QCOMPARE(snapshot(photos).size(), std::size_t(8));
    QVERIFY(report.skippedSpecialFiles.empty());
    QCOMPARE(CopyTree::temporariesBelow(folder.path()), 0);
}

void TestCopyEngine::mergesIntoExistingFolder_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QString>("sameNamedAfter");
    QTest::addColumn<bool>("stops");

    QTest::newRow("overwrite replaces same-named file") << true << u"new a"_s << false;
    QTest::newRow("without overwrite same-named file stops the copy")
        << false << u"old a"_s << true;
}

void TestCopyEngine::mergesIntoExistingFolder()
{
    QFETCH(bool, overwrite);
    QFETCH(QString, sameNamedAfter);
    QFETCH(bool, stops);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    const Path copy = folder.path() / "dst/Photos";
    std::filesystem::create_directories(copy / "sub/deeper");
    writeFile(copy / "a.txt", "old a");
    writeFile(copy / "keep.txt", "kept");
    writeFile(copy / "sub/deeper/keep.txt", "kept too");

    const auto error = errorOf([&] { copyFolderTree(photos, copy, overwrite); });

    QCOMPARE(QString::fromStdString(readFile(copy / "a.txt")), sameNamedAfter);
    QCOMPARE(readFile(copy / "keep.txt"), "kept");
    QCOMPARE(readFile(copy / "sub/deeper/keep.txt"), "kept too");
    QCOMPARE(CopyTree::temporariesBelow(copy), 0);
    QCOMPARE(error.has_value(), stops);
    if (stops) {
        QCOMPARE(text(error->file()), text(copy / "a.txt"));
        QCOMPARE(error->reason(), systemReason(EEXIST));
    } else {
        QCOMPARE(readFile(copy / "sub/deeper/c.txt"), "new c");
    }
}

void TestCopyEngine::copiesLinksAsLinks_data()
{
    QTest::addColumn<QString>("target"); // "<outside>" stands for a folder outside the tree
    QTest::addColumn<QString>("existing"); // what the destination has there before

    QTest::newRow("relative link to a sibling") << u"a.txt"_s << u""_s;
    QTest::newRow("link to a folder outside the tree") << u"<outside>"_s << u""_s;
    QTest::newRow("dangling link") << u"missing"_s << u""_s;
    QTest::newRow("link to itself") << u"link"_s << u""_s;
    QTest::newRow("link to the folder that holds it") << u"."_s << u""_s;
    QTest::newRow("link replaces a file") << u"a.txt"_s << u"file"_s;
    QTest::newRow("link replaces a link") << u"a.txt"_s << u"link"_s;
}

void TestCopyEngine::copiesLinksAsLinks()
{
    QFETCH(QString, target);
    QFETCH(QString, existing);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    const Path outside = folder.path() / "outside";
    std::filesystem::create_directory(outside);
    writeFile(outside / "secret.txt", "not to be copied");
    const Path linkTarget = target == u"<outside>"_s ? outside : Path(target.toStdString());
    std::filesystem::create_symlink(linkTarget, photos / "link");
    const Path copy = folder.path() / "dst/Photos";
    if (!existing.isEmpty()) {
        std::filesystem::create_directory(copy);
        makeEntry(copy / "link", existing, "elsewhere");
    }

    copyFolderTree(photos, copy, true);

    QVERIFY(std::filesystem::is_symlink(copy / "link"));
    QCOMPARE(text(std::filesystem::read_symlink(copy / "link")), text(linkTarget));
    QVERIFY(snapshot(copy) == snapshot(photos));
    QCOMPARE(snapshot(outside).size(), std::size_t(1));
    QCOMPARE(CopyTree::temporariesBelow(copy), 0);
}

void TestCopyEngine::skipsAndReportsSpecialFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << u"fifo"_s;
    QTest::newRow("socket") << u"socket"_s;
    QTest::newRow("character device") << u"device"_s;
}

void TestCopyEngine::skipsAndReportsSpecialFiles()
{
    QFETCH(QString, kind);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    const Path special = photos / "sub/special";
    if (kind == u"fifo"_s) {
        QCOMPARE(mkfifo(special.c_str(), 0600), 0);
    } else if (kind == u"socket"_s) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, special.c_str(), sizeof(address.sun_path) - 1);
        const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
        const int bound = bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        close(socketFd);
        QCOMPARE(bound, 0);
    } else if (mknod(special.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        QSKIP("Device files cannot be made here");
    }

    const CopyReport report = copyFolderTree(photos, folder.path() / "dst/Photos", true);

    QCOMPARE(report.skippedSpecialFiles, std::vector<Path> { special });
    QVERIFY(!std::filesystem::exists(
        std::filesystem::symlink_status(folder.path() / "dst/Photos/sub/special")));
    QCOMPARE(readFile(folder.path() / "dst/Photos/sub/deeper/c.txt"), "new c");
}

void TestCopyEngine::keepsTimesAndPermissions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mode"); // -1: links have none of their own
    QTest::addColumn<int>("copiedMode");
    QTest::addColumn<int>("owner"); // -1: the running user
    QTest::addColumn<qint64>("secs");
    QTest::addColumn<int>("nanos");

    QTest::newRow("file rw-r-----") << u"file"_s << 0640 << 0640 << -1 << 1600000000LL << 123456789;
    QTest::newRow("executable file") << u"file"_s << 0755 << 0755 << -1 << 1500000000LL << 1;
    QTest::newRow("read-only file") << u"file"_s << 0444 << 0444 << -1 << 1700000000LL << 999999999;
    QTest::newRow("set-user-ID file of the running user")
        << u"file"_s << 04755 << 04755 << -1 << 1LL << 0;
    // The copy belongs to the running user: it must not become set-user-ID for them.
    QTest::newRow("set-user-ID file of another user")
        << u"file"_s << 04755 << 0755 << 54321 << 1LL << 0;
    QTest::newRow("folder with contents") << u"folder"_s << 0750 << 0750 << -1 << 1600000000LL << 5;
    QTest::newRow("read-only folder with contents")
        << u"folder"_s << 0555 << 0555 << -1 << 1400000000LL << 7;
    QTest::newRow("link") << u"link"_s << -1 << -1 << -1 << 1300000000LL << 11;
}

void TestCopyEngine::keepsTimesAndPermissions()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(int, copiedMode);
    QFETCH(int, owner);
    QFETCH(qint64, secs);
    QFETCH(int, nanos);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    const Path entry = photos / "sub/entry";
    makeEntry(entry, kind, "a.txt");
    if (owner >= 0 && lchown(entry.c_str(), uid_t(owner), gid_t(-1)) != 0)
        QSKIP("Files cannot be given to another user here");
    if (mode >= 0)
        std::filesystem::permissions(entry, std::filesystem::perms(mode));
    // Times last: they are what the copy must keep although it writes the contents later.
    CopyTree::setTimes(entry, secs, nanos);
    CopyTree::setTimes(photos, secs + 60, nanos);

    const Path copy = folder.path() / "dst/Photos";
    copyFolderTree(photos, copy, true);

    for (const Path &relative : { Path("sub/entry"), Path() }) {
        const struct stat original = CopyTree::linkStatus(photos / relative);
        const struct stat copied = CopyTree::linkStatus(copy / relative);
        QCOMPARE(copied.st_mtim.tv_sec, original.st_mtim.tv_sec);
        QCOMPARE(copied.st_mtim.tv_nsec, original.st_mtim.tv_nsec);
    }
    const auto modeOf = [](const Path &path) {
        return CopyTree::linkStatus(path).st_mode;
    };
    QCOMPARE(modeOf(copy), modeOf(photos));
    if (copiedMode >= 0)
        QCOMPARE(int(modeOf(copy / "sub/entry") & 07777), copiedMode);
}

void TestCopyEngine::copiesNamesThatAreNotUtf8ByteForByte()
{
    TempTree::Folder folder;
    const Path latin1 = folder.path() / "src/caf\xe9";
    std::filesystem::create_directories(latin1 / "\xff\xfe folder");
    writeFile(latin1 / "na\xefve.txt", "bytes");
    writeFile(latin1 / "\xff\xfe folder/\x80.txt", "more bytes");
    std::filesystem::create_directory(folder.path() / "dst");

    copyFolderTree(latin1, folder.path() / "dst/caf\xe9", true);

    QCOMPARE(readFile(folder.path() / "dst/caf\xe9/na\xefve.txt"), "bytes");
    QCOMPARE(readFile(folder.path() / "dst/caf\xe9/\xff\xfe folder/\x80.txt"), "more bytes");
    QVERIFY(snapshot(folder.path() / "dst/caf\xe9") == snapshot(latin1));
}

void TestCopyEngine::neverReplacesAnotherKind_data()
{
    QTest::addColumn<QString>("sourceKind");
    QTest::addColumn<QString>("destinationKind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder onto a file")
        << u"folder"_s << u"file"_s << u"a file of the same name is in the way"_s;
    QTest::newRow("file onto a folder")
        << u"file"_s << u"folder"_s << u"a folder of the same name is in the way"_s;
    QTest::newRow("link onto a folder")
        << u"link"_s << u"folder"_s << u"a folder of the same name is in the way"_s;
    QTest::newRow("folder onto a link to a folder outside")
        << u"folder"_s << u"link"_s << u"a link of the same name is in the way"_s;
}

void TestCopyEngine::neverReplacesAnotherKind()
{
    QFETCH(QString, sourceKind);
    QFETCH(QString, destinationKind);
    QFETCH(QString, reason);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    const Path outside = folder.path() / "outside";
    std::filesystem::create_directory(outside);
    const Path copy = folder.path() / "dst/Photos";
    std::filesystem::create_directory(copy);
    makeEntry(photos / "x", sourceKind, "a.txt");
    makeEntry(copy / "x", destinationKind, outside);
    const auto before = snapshot(copy);

    const auto error = errorOf([&] { copyFolderTree(photos, copy, true); });

    QVERIFY(error);
    QCOMPARE(text(error->file()), text(copy / "x"));
    QCOMPARE(QString::fromStdString(error->reason()), reason);
    const auto after = snapshot(copy);
    QCOMPARE(after.at("x"), before.at("x"));
    if (destinationKind == u"folder"_s)
        QCOMPARE(after.at("x/inside.txt"), before.at("x/inside.txt"));
    QVERIFY(std::filesystem::is_empty(outside));
    QCOMPARE(CopyTree::temporariesBelow(copy), 0);
}

void TestCopyEngine::reportsMissingFolders_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("failing"); // the path the error names
    QTest::addColumn<QString>("reason");

    const QString noSuchFile = QString::fromStdString(systemReason(ENOENT));
    QTest::newRow("source folder gone")
        << u"src/Gone"_s << u"dst/Gone"_s << u"src/Gone"_s << noSuchFile;
    QTest::newRow("destination's parent missing")
        << u"src/Photos"_s << u"dst/missing/Photos"_s << u"dst/missing/Photos"_s << noSuchFile;
    QTest::newRow("destination is a file") << u"src/Photos"_s << u"dst/file"_s << u"dst/file"_s
                                           << u"a file of the same name is in the way"_s;
}

void TestCopyEngine::reportsMissingFolders()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, failing);
    QFETCH(QString, reason);
    TempTree::Folder folder;
    makePhotos(folder.path());
    writeFile(folder.path() / "dst/file", "user data");
    const auto before = snapshot(folder.path() / "dst");

    const auto error = errorOf([&] {
        copyFolderTree(folder.path() / source.toStdString(),
                       folder.path() / destination.toStdString(), true);
    });

    QVERIFY(error);
    QCOMPARE(text(error->file()), text(folder.path() / failing.toStdString()));
    QCOMPARE(QString::fromStdString(error->reason()), reason);
    QVERIFY(snapshot(folder.path() / "dst") == before);
}

void TestCopyEngine::reportsFileVanishingDuringCopy()
{
    TempTree::Folder folder;
    const Path photos = folder.path() / "src/Photos";
    std::filesystem::create_directories(photos);
    writeFile(photos / "a.txt", "a");
    writeFile(photos / "b.txt", "b");
    VanishingDataCopy vanishing(photos);

    const auto error
        = errorOf([&] { FolderTreeCopier(vanishing, true).copy(photos, folder.path() / "dst"); });

    QVERIFY(error);
    QCOMPARE(vanishing.deleted.size(), std::size_t(1));
    QCOMPARE(text(error->file()), text(vanishing.deleted.front()));
    QCOMPARE(error->reason(), systemReason(ENOENT));
}

void TestCopyEngine::reportsUnreadableFile()
{
    if (geteuid() == 0)
        QSKIP("Permission bits do not stop root from reading");
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    std::filesystem::permissions(photos / "a.txt", std::filesystem::perms::none);

    const auto error = errorOf([&] { copyFolderTree(photos, folder.path() / "dst/Photos", true); });

    QVERIFY(error);
    QCOMPARE(text(error->file()), text(photos / "a.txt"));
    QCOMPARE(error->reason(), systemReason(EACCES));
}

void TestCopyEngine::failedFileLeavesOldFileIntact_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("whileWriting");
    QTest::addColumn<bool>("realLimit"); // a real kernel error instead of an injected one

    QTest::newRow("disk full mid-file") << ENOSPC << true << false;
    QTest::newRow("read error mid-file") << EIO << false << false;
    QTest::newRow("file size limit reached mid-file") << EFBIG << true << true;
}

void TestCopyEngine::failedFileLeavesOldFileIntact()
{
    QFETCH(int, error);
    QFETCH(bool, whileWriting);
    QFETCH(bool, realLimit);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    writeFile(photos / "sub/victim.bin", CopyTree::randomBytes(1024 * 1024, 2));
    const Path copy = folder.path() / "dst/Photos";
    std::filesystem::create_directories(copy / "sub");
    writeFile(copy / "a.txt", "old a");
    writeFile(copy / "sub/victim.bin", "old victim");

    std::optional<CopyError> failure;
    if (realLimit) {
        CopyTree::FileSizeLimit limit(512 * 1024);
        failure = errorOf([&] { copyFolderTree(photos, copy, true); });
    } else {
        FailingDataCopy failing("victim.bin", { error, whileWriting });
        failure = errorOf([&] { FolderTreeCopier(failing, true).copy(photos, copy); });
    }

    QVERIFY(failure);
    QCOMPARE(text(failure->file()), text((whileWriting ? copy : photos) / "sub/victim.bin"));
    QCOMPARE(failure->reason(), systemReason(error));
    QCOMPARE(readFile(copy / "sub/victim.bin"), "old victim");
    QCOMPARE(CopyTree::temporariesBelow(copy), 0);
    // Files copied before the failure are whole; none is half-written.
    const std::string a = readFile(copy / "a.txt");
    QVERIFY2(a == "old a" || a == "new a", a.c_str());
}

void TestCopyEngine::refusesToCopyIntoItself_data()
{
    QTest::addColumn<QString>("destination");
    QTest::newRow("onto itself") << u"src/Photos"_s;
    QTest::newRow("into its own sub-folder") << u"src/Photos/sub/Photos"_s;
    QTest::newRow("through a link into its sub-folder") << u"linkToSub/Photos"_s;
}

void TestCopyEngine::refusesToCopyIntoItself()
{
    QFETCH(QString, destination);
    TempTree::Folder folder;
    const Path photos = makePhotos(folder.path());
    std::filesystem::create_directory_symlink(photos / "sub", folder.path() / "linkToSub");
    const auto before = snapshot(photos);

    const auto error
        = errorOf([&] { copyFolderTree(photos, folder.path() / destination.toStdString(), true); });

    QVERIFY(error);
    QCOMPARE(text(error->file()), text(photos));
    QCOMPARE(error->reason(), "cannot be copied into itself");
    QVERIFY(snapshot(photos) == before);
}

QTEST_GUILESS_MAIN(TestCopyEngine)
#include "tst_copy_engine.moc"
