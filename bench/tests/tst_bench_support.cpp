// The benchmark's numbers are only as good as its data sets and its checks: these tests
// make sure the data sets have the promised shape and that the copy check catches a
// wrong copy.

#include "child_process.h"
#include "data_sets.h"
#include "find_command.h"
#include "result_table.h"
#include "timing.h"
#include "tree_compare.h"

#include "listing/subfolder_scan.h"
#include "platform/local_file_system.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <fstream>
#include <set>
#include <sstream>

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
    void subFolderTimesSpread_data();
    void subFolderTimesSpread();
    void fileTreeShape_data();
    void fileTreeShape();
    void treeDifference_data();
    void treeDifference();
    void medianOfSamples_data();
    void medianOfSamples();
    void turnsAlternateAfterWarmUp();
    void childExitAndOutput();
    void scanAndFindAgree_data();
    void scanAndFindAgree();
    void tableColumnsLineUp();
};

void TestBenchSupport::subFolderTimesSpread_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("ten folders") << 10;
    QTest::newRow("two hundred folders") << 200;
    QTest::newRow("odd count") << 333;
}

// Every folder gets its own time slot within the spread, so a cut-off at half the spread
// lists half of them: the scan and find then have real work on both sides of it.
void TestBenchSupport::subFolderTimesSpread()
{
    QFETCH(int, count);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path root = pathOf(dir) / "source";
    const std::int64_t now = 1'700'000'000;
    makeSubFolderSource(root, count, 120, now);

    std::set<std::int64_t> times;
    int newerThanHalf = 0;
    int folders = 0;
    for (const auto &entry : std::filesystem::directory_iterator(root)) {
        QVERIFY(entry.is_directory());
        struct stat info;
        QCOMPARE(::stat(entry.path().c_str(), &info), 0);
        QVERIFY(info.st_mtime <= now);
        QVERIFY(info.st_mtime > now - 120 * 86400);
        times.insert(info.st_mtime);
        newerThanHalf += info.st_mtime > now - 60 * 86400 ? 1 : 0;
        ++folders;
    }
    QCOMPARE(folders, count);
    QCOMPARE(int(times.size()), count);
    QCOMPARE(newerThanHalf, (count + 1) / 2);
}

void TestBenchSupport::fileTreeShape_data()
{
    QTest::addColumn<int>("topFolders");
    QTest::addColumn<int>("subFoldersEach");
    QTest::addColumn<int>("filesPerFolder");
    QTest::addColumn<int>("fileBytes");
    QTest::addColumn<int>("bigFiles");
    QTest::addColumn<int>("bigFileBytes");
    QTest::newRow("small files in nested folders") << 3 << 2 << 4 << 4096 << 0 << 0;
    QTest::newRow("big files only") << 0 << 0 << 0 << 0 << 2 << (3 << 20) + 5;
    QTest::newRow("both") << 2 << 1 << 3 << 100 << 1 << (1 << 20);
}

void TestBenchSupport::fileTreeShape()
{
    QFETCH(int, topFolders);
    QFETCH(int, subFoldersEach);
    QFETCH(int, filesPerFolder);
    QFETCH(int, fileBytes);
    QFETCH(int, bigFiles);
    QFETCH(int, bigFileBytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path root = pathOf(dir) / "tree";
    makeFileTree(root,
                 { topFolders, subFoldersEach, filesPerFolder, std::size_t(fileBytes), bigFiles,
                   std::size_t(bigFileBytes) });

    const TreeSize size = measureTree(root);
    const std::uint64_t folders = std::uint64_t(topFolders) * (1 + subFoldersEach);
    QCOMPARE(size.folders, folders);
    QCOMPARE(size.files, folders * filesPerFolder + bigFiles);
    QCOMPARE(size.bytes,
             folders * filesPerFolder * fileBytes + std::uint64_t(bigFiles) * bigFileBytes);
}

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

void TestBenchSupport::medianOfSamples_data()
{
    QTest::addColumn<QList<double>>("samples");
    QTest::addColumn<double>("expected");
    QTest::newRow("odd count, unordered") << QList<double> { 9, 1, 5, 7, 3 } << 5.0;
    QTest::newRow("even count takes the middle two") << QList<double> { 4, 1, 10, 2 } << 3.0;
    QTest::newRow("one outlier does not move it") << QList<double> { 2, 2, 2, 2, 500 } << 2.0;
}

void TestBenchSupport::medianOfSamples()
{
    QFETCH(QList<double>, samples);
    QFETCH(double, expected);
    std::vector<Duration> durations;
    for (double each : samples)
        durations.emplace_back(each);
    QCOMPARE(median(durations).count(), expected);
}

void TestBenchSupport::turnsAlternateAfterWarmUp()
{
    std::string order;
    int value = 0;
    const Contender first { [&] {
                               order += 'A';
                               return Duration(++value);
                           },
                            [&] {
                                order += 'p';
                            } };
    const Contender second { [&] {
        order += 'B';
        return Duration(100 + ++value);
    } };
    const PairTiming timing = timeInTurns(first, second, 3);

    QCOMPARE(order, std::string("pABpABpABpAB"));
    // The warm-up round (values 1 and 2) is not among the samples.
    QCOMPARE(timing.first.size(), std::size_t(3));
    QCOMPARE(timing.first.front().count(), 3.0);
    QCOMPARE(timing.second.back().count(), 108.0);
}

void TestBenchSupport::childExitAndOutput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path output = pathOf(dir) / "out.txt";
    const ChildResult result = runChild({ "sh", "-c", "echo listed; exit 3" }, output.string());
    QCOMPARE(result.exitCode, 3);
    QVERIFY(result.elapsed.count() > 0);
    std::ifstream in(output);
    std::string line;
    std::getline(in, line);
    QCOMPARE(line, std::string("listed"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, runChildChecked({ "false" }));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, runChild({ "/no/such/program" }));
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

void TestBenchSupport::tableColumnsLineUp()
{
    ResultTable table({ "Data set", "Ratio" });
    table.addRow({ "(b) small files", "0.94" });
    table.addRow({ "(c)", "12.25" });
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, table.addRow({ "one cell" }));

    std::ostringstream out;
    table.print(out);
    std::istringstream lines(out.str());
    std::vector<std::string> printed;
    for (std::string line; std::getline(lines, line);)
        printed.push_back(line);
    QCOMPARE(printed.size(), std::size_t(4));
    QCOMPARE(printed[0], std::string("| Data set        | Ratio |"));
    QCOMPARE(printed[1], std::string("| --------------- | ----- |"));
    QCOMPARE(printed[3], std::string("| (c)             | 12.25 |"));
}

QTEST_GUILESS_MAIN(TestBenchSupport)
#include "tst_bench_support.moc"
