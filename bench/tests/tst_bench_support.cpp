// The benchmark's numbers are only as good as its checks: these tests make sure the copy
// check catches a wrong copy and that the scan and find are asked the same question.

#include "child_process.h"
#include "data_sets.h"
#include "find_command.h"
#include "tree_compare.h"

#include "listing/subfolder_scan.h"
#include "platform/local_file_system.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <set>

namespace {

std::filesystem::path pathOf(const QTemporaryDir &dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

void writeText(const std::filesystem::path &file, const std::string &text)
{
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

class TestBenchSupport : public QObject
{
    Q_OBJECT

private slots:
    void treeDifference_data();
    void treeDifference();
    void scanAndFindAgree_data();
    void scanAndFindAgree();
};

void TestBenchSupport::treeDifference_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("expected");
    QTest::newRow("faithful copy") << "none"
                                   << "";
    QTest::newRow("file left out") << "remove file"
                                   << "missing: folder-0/file-0001.dat";
    QTest::newRow("file too many") << "add file"
                                   << "unexpected: folder-1/extra.txt";
    QTest::newRow("one byte differs") << "flip byte"
                                      << "different contents: big-0.bin";
    QTest::newRow("file cut short") << "truncate"
                                    << "different contents: big-0.bin";
    QTest::newRow("folder where a file was") << "file to folder"
                                             << "different kind of entry: folder-0/file-0002.dat";
}

void TestBenchSupport::treeDifference()
{
    QFETCH(QString, change);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path original = pathOf(dir) / "original";
    const std::filesystem::path copy = pathOf(dir) / "copy";
    makeFileTree(original, { 2, 0, 3, 64, 1, 70000 });
    std::filesystem::copy(original, copy, std::filesystem::copy_options::recursive);

    if (change == QLatin1String("remove file")) {
        std::filesystem::remove(copy / "folder-0/file-0001.dat");
    } else if (change == QLatin1String("add file")) {
        writeText(copy / "folder-1/extra.txt", "x");
    } else if (change == QLatin1String("flip byte")) {
        std::fstream big(copy / "big-0.bin", std::ios::in | std::ios::out | std::ios::binary);
        big.seekg(69999);
        const char last = char(big.get());
        big.seekp(69999);
        big.put(char(last ^ 1));
    } else if (change == QLatin1String("truncate")) {
        std::filesystem::resize_file(copy / "big-0.bin", 69999);
    } else if (change == QLatin1String("file to folder")) {
        std::filesystem::remove(copy / "folder-0/file-0002.dat");
        std::filesystem::create_directory(copy / "folder-0/file-0002.dat");
    }
    QCOMPARE(QString::fromStdString(firstTreeDifference(original, copy)), expected);
}

void TestBenchSupport::scanAndFindAgree_data()
{
    QTest::addColumn<int>("days");
    QTest::newRow("since yesterday") << 1;
    QTest::newRow("the window's default") << 60;
    QTest::newRow("all but the oldest day") << 119;
    QTest::newRow("beyond the spread") << 121;
}

// The scan against find comparison means something only if both list the same folders:
// the same cut-off, local time, strictly later.
void TestBenchSupport::scanAndFindAgree()
{
    QFETCH(int, days);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path root = pathOf(dir) / "source";
    makeSubFolderSource(root, 240, 120, QDateTime::currentSecsSinceEpoch());
    const QDate today = QDate::currentDate();

    LocalFileSystem fileSystem;
    std::set<std::string> scanned;
    for (const SubFolder &folder : scanRecentSubFolders(fileSystem, root, days, today))
        scanned.insert(folder.name.string());

    const std::filesystem::path output = pathOf(dir) / "found.txt";
    runChildChecked(findRecentFoldersCommand(root, days, today), output.string());
    std::set<std::string> found;
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);)
        found.insert(std::filesystem::path(line).filename().string());

    QVERIFY(!scanned.empty());
    QCOMPARE(found, scanned);
}

QTEST_GUILESS_MAIN(TestBenchSupport)
#include "tst_bench_support.moc"
