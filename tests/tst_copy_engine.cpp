#include "copy/copy_engine.h"
#include "copy/copy_plan.h"
#include "copy/folder_tree_copier.h"
#include "platform/posix_file_copy.h"
#include "temp_tree.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
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
    void failureLeavesDestinationAsItWas_data();
    void failureLeavesDestinationAsItWas();
    void namesVanishedSourceFile();
    void findsSubFolderCopiedIntoItself_data();
    void findsSubFolderCopiedIntoItself();
};

namespace {

// Every entry below `root` with what a copy must keep of it: type and mode, modification
// time, a file's bytes or a link's target. Leftover temporaries show up as entries.
std::map<std::string, std::string> snapshot(const Path &root)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info = {};
        lstat(entry.path().c_str(), &info);
        std::string &value = entries[entry.path().lexically_relative(root).string()];
        value = std::to_string(info.st_mode) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.'
            + std::to_string(info.st_mtim.tv_nsec) + ' ';
        if (S_ISLNK(info.st_mode))
            value += std::filesystem::read_symlink(entry).string();
        else if (S_ISREG(info.st_mode))
            value += TempTree::readFile(entry.path());
    }
    return entries;
}

// A user's entry: a "file", a "folder" with a file inside, a "fifo", or a link to `target`.
void makeEntry(const Path &path, const QString &kind, const Path &target)
{
    if (kind == "file") {
        writeFile(path, "user data");
    } else if (kind == "folder") {
        std::filesystem::create_directory(path);
        writeFile(path / "inside", "user data");
    } else if (kind == "fifo") {
        mkfifo(path.c_str(), 0600);
    } else {
        std::filesystem::create_symlink(target, path);
    }
}

// Moves each file's data as the test says, e.g. failing half-way as on a full disk.
struct ScriptedDataCopy final : FileDataCopy
{
    DataCopyResult copy(int from, int to, std::uint64_t n) override { return script(from, to, n); }
    std::function<DataCopyResult(int from, int to, std::uint64_t size)> script;
};

// Copies with `script` moving each file's data; the error the copy stopped with, if any.
std::optional<FileSystemError>
copyError(const Path &from, const Path &to,
          std::function<DataCopyResult(int, int, std::uint64_t)> script)
{
    ScriptedDataCopy dataCopy;
    dataCopy.script = std::move(script);
    SilentCopyMonitor monitor;
    try {
        FolderTreeCopier(dataCopy, monitor).copy(from, to);
    } catch (const FileSystemError &error) {
        return error;
    }
    return std::nullopt;
}

} // namespace

void TestCopyEngine::copiesTreeOverOlderCopy_data()
{
    QTest::addColumn<QString>("kind"); // of one more entry "x"
    QTest::addColumn<QString>("target"); // of a link

    QTest::newRow("link loop") << u"link"_s << u"x"_s;
    QTest::newRow("link outside") << u"link"_s << u"../.."_s;
    QTest::newRow("link dangling") << u"link"_s << u"gone"_s;
    QTest::newRow("fifo skipped") << u"fifo"_s << u""_s;
}

// Same-named files are replaced, the others stay; everything keeps its mode and times.
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
    std::filesystem::create_directories(root / "dst/Photos/sub");
    writeFile(root / "dst/Photos/a.txt", "old a");
    writeFile(root / "dst/Photos/sub/keep.txt", "kept");
    // Times of the past, each its own, down to the nanosecond.
    long tick = 0;
    for (const auto &source : std::filesystem::recursive_directory_iterator(root / "src"))
        if (!source.is_symlink())
            TempTree::setModified(source.path(), 1'500'000'000, ++tick);
    auto expected = snapshot(root / "src");
    expected.merge(snapshot(root / "dst"));
    const bool special = kind == "fifo" && expected.erase("Photos/x") == 1;

    SilentCopyMonitor monitor;
    const CopyReport report = copyFolderTree(photos, root / "dst/Photos", monitor);

    QVERIFY(snapshot(root / "dst") == expected);
    QCOMPARE(report.problems.size(), std::size_t(special));
    QVERIFY(!special || report.problems.front().path == photos / "x");
}

void TestCopyEngine::failureLeavesDestinationAsItWas_data()
{
    QTest::addColumn<QString>("source"); // kind of the entry "x"
    QTest::addColumn<QString>("destination"); // kind of the same-named entry already there
    QTest::addColumn<int>("injected"); // 0: none; else the data copy fails half-way with it
    QTest::addColumn<QString>("failing"); // "src" or "dst": the side the error names

    QTest::newRow("disk full") << u"file"_s << u"file"_s << ENOSPC << u"dst"_s;
    QTest::newRow("read error") << u"file"_s << u"file"_s << EIO << u"src"_s;
    QTest::newRow("folder onto file") << u"folder"_s << u"file"_s << 0 << u"dst"_s;
    QTest::newRow("file onto folder") << u"file"_s << u"folder"_s << 0 << u"dst"_s;
    QTest::newRow("folder onto link") << u"folder"_s << u"link"_s << 0 << u"dst"_s;
}

void TestCopyEngine::failureLeavesDestinationAsItWas()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(int, injected);
    QFETCH(QString, failing);
    TempTree::Folder folder;
    const Path root = folder.path();
    for (const char *path : { "src/P", "dst/P", "outside" })
        std::filesystem::create_directories(root / path);
    makeEntry(root / "src/P/x", source, {});
    makeEntry(root / "dst/P/x", destination, root / "outside");
    const auto before = snapshot(root / "dst/P");
    const auto error = copyError(root / "src/P", root / "dst/P", [&](int from, int to, auto size) {
        if (injected == 0 || write(to, "half", 4) < 0)
            return copyFileData(from, to, size);
        return DataCopyResult { injected, failing == "dst" };
    });

    QVERIFY(error);
    QVERIFY(error->path() == root / failing.toStdString() / "P/x");
    const QString inTheWay = u"a "_s + destination + u" of the same name is in the way"_s;
    QCOMPARE(QString::fromStdString(error->reason()),
             injected ? QString::fromLocal8Bit(std::strerror(injected)) : inTheWay);
    QVERIFY(snapshot(root / "dst/P") == before);
    QVERIFY(std::filesystem::is_empty(root / "outside"));
}

void TestCopyEngine::namesVanishedSourceFile()
{
    TempTree::Folder folder;
    const Path photos = TempTree::makeFolder(folder.path(), "Photos", 0);
    writeFile(photos / "a", "a");
    writeFile(photos / "b", "b");

    // The first file to be copied takes the source away: the second is gone at its turn.
    const auto error = copyError(photos, folder.path() / "copy", [&](int from, int to, auto size) {
        std::filesystem::remove_all(photos);
        return copyFileData(from, to, size);
    });

    QVERIFY(error);
    QVERIFY(error->path() == photos / "a" || error->path() == photos / "b");
    QCOMPARE(error->reason(), std::string(std::strerror(ENOENT)));
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
