#include "listing/source_listing.h"
#include "listing/subfolder_list_model.h"
#include "listing/subfolder_scan.h"
#include "platform/local_file_system.h"
#include "selection/selection_summary.h"
#include "temp_tree.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QTest>

using TempTree::localSecs;
using TempTree::makeFolder;

using namespace Qt::StringLiterals;

class TestListing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_dir.reset(); }

    void ageBoundary_data();
    void ageBoundary();
    void largestDayCountListsEverything();
    void listsSubFoldersIntoModel();
    void statusAndFailures_data();
    void statusAndFailures();
    void selectionBeyondSixteenBits();

private:
    std::vector<SubFolder> scan(std::int64_t days)
    {
        return scanRecentSubFolders(m_fileSystem, m_dir->path(), days, m_today);
    }

    const QDate m_today { 2026, 12, 6 };
    std::unique_ptr<TempTree::Folder> m_dir;
    LocalFileSystem m_fileSystem;
};

void TestListing::init()
{
    m_dir = std::make_unique<TempTree::Folder>();
}

void TestListing::ageBoundary_data()
{
    QTest::addColumn<qint64>("days");
    QTest::addColumn<qint64>("modifiedSecs");
    QTest::addColumn<qint64>("extraNanos");
    QTest::addColumn<bool>("listed");
    const QDate back60 = m_today.addDays(-60);
    QTest::newRow("exactly midnight 60 days back") << 60LL << localSecs(back60) << 0LL << false;
    QTest::newRow("a second later") << 60LL << localSecs(back60, 1) << 0LL << true;
    QTest::newRow("a fraction later counts as midnight")
        << 60LL << localSecs(back60) << 999'999'999LL << false;
    QTest::newRow("day count 0, midnight today") << 0LL << localSecs(m_today) << 0LL << false;
    QTest::newRow("in the future") << 60LL << localSecs(m_today.addDays(3)) << 0LL << true;
    // July is summer time in Europe/Berlin, December is not: the cutoff is local
    // midnight, not a multiple of 24 hours before today's.
    const QDate summer(2026, 7, 1);
    QTest::newRow("summer day, a second after local midnight")
        << summer.daysTo(m_today) << localSecs(summer, 1) << 0LL << true;
    QTest::newRow("summer day, local midnight")
        << summer.daysTo(m_today) << localSecs(summer) << 0LL << false;
}

void TestListing::ageBoundary()
{
    QFETCH(qint64, days);
    QFETCH(qint64, modifiedSecs);
    QFETCH(qint64, extraNanos);
    QFETCH(bool, listed);
    makeFolder(m_dir->path(), "probe", modifiedSecs, extraNanos);
    const auto found = scan(days);
    QCOMPARE(found.size(), listed ? 1u : 0u);
    QVERIFY(!listed || found.front().modifiedSecs == modifiedSecs);
}

void TestListing::largestDayCountListsEverything()
{
    // As old as this file system's clock allows, and from the far future.
    makeFolder(m_dir->path(), "old", localSecs(QDate(1901, 1, 1)));
    makeFolder(m_dir->path(), "new", localSecs(QDate(2400, 1, 1)));
    QCOMPARE(scan(999'999).size(), 2u);
    QCOMPARE(scan(1'000'000).size(), 2u);
    // The cutoff moves back with the count and never wraps round.
    const qint64 counts[] = { 0, 1, 365, 100'000, 700'000, 740'000, 999'999, 1'000'000 };
    for (std::size_t i = 1; i < std::size(counts); ++i)
        QVERIFY(ageCutoffSecs(m_today, counts[i]) <= ageCutoffSecs(m_today, counts[i - 1]));
}

// Sub-folders only (no files, no links to folders), in case-insensitive order, into a
// model whose lines are the fixed-column lines and whose name role is the raw name.
void TestListing::listsSubFoldersIntoModel()
{
    const std::filesystem::path root = m_dir->path();
    for (const char *name : { "beta", "Alpha", "ALPHA2", "alpha", "caf\xe9" })
        makeFolder(root, name, localSecs(m_today, 12 * 3600));
    makeFolder(root, "old", localSecs(m_today.addDays(-100)));
    TempTree::writeFile(root / "file.txt", "x");
    std::filesystem::create_directory_symlink(root / "beta", root / "link-to-folder");

    SubFolderListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SourceListing listing
        = scanSourceFolder(m_fileSystem, m_dir->text(), FolderPresent, u"60", m_today);
    QCOMPARE(listing.outcome, SourceListing::Outcome::Listed);
    model.setListing(std::move(listing.folders), listing.cutoff);

    const std::vector<std::string> names { "Alpha", "alpha", "ALPHA2", "beta", "caf\xe9" };
    QCOMPARE(model.rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        const QVariant name = model.index(row).data(SubFolderListModel::NameRole);
        QCOMPARE(name.value<std::filesystem::path>().native(), names[std::size_t(row)]);
    }
    const QString line = model.index(3).data().toString();
    QCOMPARE(line.size(), 82);
    QCOMPARE(line.left(5), QStringLiteral("beta "));
    QCOMPARE(line.mid(48, 19), QStringLiteral("06/12/2026 12:00:00"));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestListing::statusAndFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    const int none = int(SourceListing::Outcome::NoFolder);
    QTest::newRow("empty") << int(EmptyPath) << u"/srv/x/"_s << none << u"EMPTY SOURCE"_s;
    QTest::newRow("not present") << int(PathNotPresent) << u"/gone"_s << none
                                 << u"SOURCE NOT PRESENT OR IS UNAVAILABLE"_s;
    QTest::newRow("unreadable")
        << int(FolderPresent) << u"/no/such/"_s << int(SourceListing::Outcome::Unreadable)
        << u"The folder /no/such/ cannot be read:\nNo such file or directory"_s;
}

void TestListing::statusAndFailures()
{
    QFETCH(int, status);
    QFETCH(QString, path);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    const SourceListing listing
        = scanSourceFolder(m_fileSystem, path, PathStatus(status), u"60", m_today);
    QCOMPARE(int(listing.outcome), outcome);
    QCOMPARE(listing.message, message);
    QVERIFY(listing.folders.empty());
}

// Rows and counts are never 16-bit: the selection reaches past row 32,767 and the copy
// takes exactly the rows selected, in list order.
void TestListing::selectionBeyondSixteenBits()
{
    constexpr int count = 40'000;
    std::vector<SubFolder> many;
    for (int i = 0; i < count; ++i)
        many.push_back({ "f" + std::to_string(100'000 + i), 0 });
    SubFolderListModel model;
    model.setListing(std::move(many));
    QItemSelectionModel selection(&model);
    selection.select(model.index(count - 1), QItemSelectionModel::Select);
    selection.select(model.index(33'000), QItemSelectionModel::Select);

    QCOMPARE(selectionCounterText(selection.selectedRows().size(), model.rowCount()),
             QStringLiteral("2/40000 Folders"));
    const auto names = selectedNames(selection);
    QCOMPARE(names.size(), 2u);
    QCOMPARE(names[0].native(), std::string("f133000"));
    QCOMPARE(names[1].native(), std::string("f139999"));
}

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
