#include "listing/subfolder_scan.h"
#include "platform/local_file_system.h"
#include "temp_tree.h"

#include <QTest>

using TempTree::localSecs;
using TempTree::makeFolder;

namespace {

const QDate kToday(2026, 12, 6);

std::vector<std::string> names(const std::vector<SubFolder> &folders)
{
    std::vector<std::string> result;
    for (const SubFolder &folder : folders)
        result.push_back(folder.name.native());
    return result;
}

} // namespace

class TestSubfolderScan : public QObject
{
    Q_OBJECT

private slots:
    void ageBoundary_data();
    void ageBoundary();
    void largestDayCountListsEverything();
    void listsRealSubFoldersInNameOrder();
    void unreadableFolderThrows();

private:
    LocalFileSystem m_fileSystem;
};

void TestSubfolderScan::ageBoundary_data()
{
    QTest::addColumn<qint64>("days");
    QTest::addColumn<qint64>("modifiedSecs");
    QTest::addColumn<qint64>("extraNanos");
    QTest::addColumn<bool>("listed");

    const QDate back60 = kToday.addDays(-60);
    QTest::newRow("exactly midnight 60 days back") << 60LL << localSecs(back60) << 0LL << false;
    QTest::newRow("a second after midnight 60 days back")
        << 60LL << localSecs(back60, 1) << 0LL << true;
    QTest::newRow("a fraction after midnight counts as midnight")
        << 60LL << localSecs(back60) << 999'999'999LL << false;
    QTest::newRow("day count 0, midnight today") << 0LL << localSecs(kToday) << 0LL << false;
    QTest::newRow("day count 0, a second after midnight today")
        << 0LL << localSecs(kToday, 1) << 0LL << true;
    QTest::newRow("modified in the future") << 60LL << localSecs(kToday.addDays(3)) << 0LL << true;
    // July is summer time in Europe/Berlin, December is not: the cutoff is local
    // midnight, not a multiple of 24 hours before today's.
    const QDate summer(2026, 7, 1);
    const qint64 toSummer = summer.daysTo(kToday);
    QTest::newRow("summer day, a second after local midnight")
        << toSummer << localSecs(summer, 1) << 0LL << true;
    QTest::newRow("summer day, exactly local midnight")
        << toSummer << localSecs(summer) << 0LL << false;
}

void TestSubfolderScan::ageBoundary()
{
    QFETCH(qint64, days);
    QFETCH(qint64, modifiedSecs);
    QFETCH(qint64, extraNanos);
    QFETCH(bool, listed);

    TempTree::Folder dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path root = dir.path();
    makeFolder(root, "probe", modifiedSecs, extraNanos);

    const auto found = scanRecentSubFolders(m_fileSystem, root, days, kToday);
    QCOMPARE(found.size(), listed ? 1u : 0u);
    if (listed)
        QCOMPARE(found.front().modifiedSecs, modifiedSecs);
}

void TestSubfolderScan::largestDayCountListsEverything()
{
    TempTree::Folder dir;
    const std::filesystem::path root = dir.path();
    // As old as this file system's clock allows, and from the far future.
    makeFolder(root, "old", localSecs(QDate(1901, 1, 1)));
    makeFolder(root, "new", localSecs(QDate(2400, 1, 1)));

    for (const qint64 days : { 999'999LL, 1'000'000LL }) {
        const auto found = scanRecentSubFolders(m_fileSystem, root, days, kToday);
        QCOMPARE(found.size(), 2u);
    }
    // The cutoff moves back with the count and never wraps round.
    const qint64 counts[] = { 0, 1, 365, 100'000, 700'000, 740'000, 999'999, 1'000'000 };
    for (std::size_t i = 1; i < std::size(counts); ++i)
        QVERIFY(ageCutoffSecs(kToday, counts[i]) <= ageCutoffSecs(kToday, counts[i - 1]));
    QVERIFY(ageCutoffSecs(kToday, 999'999) < localSecs(QDate(1901, 1, 1)));
}

void TestSubfolderScan::listsRealSubFoldersInNameOrder()
{
    TempTree::Folder dir;
    const std::filesystem::path root = dir.path();
    QVERIFY(scanRecentSubFolders(m_fileSystem, root, 60, kToday).empty());

    const qint64 recent = localSecs(kToday, 3600);
    for (const char *name : { "beta", "Alpha", "gamma", "ALPHA2", "alpha", "Zulu", "caf\xe9" })
        makeFolder(root, name, recent);
    // Neither a file nor a link to a folder is a sub-folder.
    TempTree::writeFile(root / "file.txt", "x");
    std::filesystem::create_directory_symlink(root / "beta", root / "link-to-folder");

    const std::vector<std::string> expected { "Alpha",   "alpha", "ALPHA2", "beta",
                                              "caf\xe9", "gamma", "Zulu" };
    QCOMPARE(names(scanRecentSubFolders(m_fileSystem, root, 1, kToday)), expected);
}

void TestSubfolderScan::unreadableFolderThrows()
{
    TempTree::Folder dir;
    const std::filesystem::path missing = dir.path() / "gone";
    try {
        scanRecentSubFolders(m_fileSystem, missing, 60, kToday);
        QFAIL("a missing folder must not scan as empty");
    } catch (const FileSystemError &error) {
        QCOMPARE(error.path(), missing);
        QCOMPARE(QString::fromStdString(error.reason()),
                 QStringLiteral("No such file or directory"));
    }
}

QTEST_GUILESS_MAIN(TestSubfolderScan)
#include "tst_subfolder_scan.moc"
