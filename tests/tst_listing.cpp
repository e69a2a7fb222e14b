#include "fake_services.h"
#include "listing/source_listing.h"
#include "listing/subfolder_list_model.h"
#include "selection/selection_summary.h"
#include "temp_tree.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QTest>

using namespace Qt::StringLiterals;

class TestListing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsRecentSubFoldersIntoModel();
    void statusMessages_data();
    void statusMessages();
    void unreadableSource();
    void selectionBeyondSixteenBits();

private:
    std::unique_ptr<TempTree::Folder> m_dir;
    FakeFileSystem m_fileSystem;
    FakeClock m_clock;
};

// /src holds sub-folders 5, 50 and 100 days old at noon, and one from today whose
// name is not valid UTF-8.
void TestListing::init()
{
    m_dir = std::make_unique<TempTree::Folder>();
    m_fileSystem.root = m_dir->path();
    for (const int age : { 5, 50, 100 })
        TempTree::makeFolder(m_dir->path() / "src", "age" + std::to_string(age),
                             TempTree::localSecs(m_clock.day.addDays(-age), 12 * 3600));
    TempTree::makeFolder(m_dir->path() / "src", "caf\xe9", TempTree::localSecs(m_clock.day, 60));
}

void TestListing::cleanup()
{
    m_dir.reset();
    m_fileSystem.subFoldersFailure.reset();
    m_fileSystem.syntheticSubFolders.reset();
}

void TestListing::listsRecentSubFoldersIntoModel()
{
    SubFolderListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    SourceListing listing = listSourceFolder(m_fileSystem, QStringLiteral("/src/"), FolderPresent,
                                             u"60", m_clock.today());
    QCOMPARE(listing.outcome, SourceListing::Outcome::Listed);
    model.setFolders(std::move(listing.folders));

    QCOMPARE(model.rowCount(), 3);
    const std::vector<std::string> names { "age5", "age50", "caf\xe9" };
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = model.index(row);
        QCOMPARE(index.data(SubFolderListModel::NameRole).value<std::filesystem::path>().native(),
                 names[std::size_t(row)]);
    }
    const QString line = model.index(1).data().toString();
    QCOMPARE(line.size(), 82);
    QCOMPARE(line.left(6), QStringLiteral("age50 "));
    const QDateTime noon(m_clock.day.addDays(-50), QTime(12, 0));
    QCOMPARE(line.mid(48, 19), noon.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));

    // An empty day count is 0 days: only today's folder.
    model.setFolders(
        listSourceFolder(m_fileSystem, QStringLiteral("/src/"), FolderPresent, u"", m_clock.today())
            .folders);
    QCOMPARE(model.rowCount(), 1);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestListing::statusMessages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << int(EmptyPath) << u"/srv/x/"_s << u"EMPTY SOURCE"_s;
    QTest::newRow("not present") << int(PathNotPresent) << u"/gone"_s
                                 << u"SOURCE NOT PRESENT OR IS UNAVAILABLE"_s;
    QTest::newRow("drive") << int(DriveNotReady) << u"E:\\"_s
                           << u"DRIVE E: CONTAINS NO READABLE DISK OR MEDIA"_s;
}

void TestListing::statusMessages()
{
    QFETCH(int, status);
    QFETCH(QString, path);
    QFETCH(QString, message);
    const int scansBefore = m_fileSystem.subFoldersCalls;
    const SourceListing listing
        = listSourceFolder(m_fileSystem, path, PathStatus(status), u"60", m_clock.today());
    QCOMPARE(listing.outcome, SourceListing::Outcome::NoFolder);
    QCOMPARE(listing.message, message);
    QCOMPARE(m_fileSystem.subFoldersCalls, scansBefore);
}

void TestListing::unreadableSource()
{
    m_fileSystem.subFoldersFailure = std::errc::permission_denied;
    const SourceListing listing = listSourceFolder(m_fileSystem, QStringLiteral("/src/"),
                                                   FolderPresent, u"60", m_clock.today());
    QCOMPARE(listing.outcome, SourceListing::Outcome::Unreadable);
    QVERIFY(listing.message.contains(QStringLiteral("/src/")));
    QVERIFY(listing.message.contains(QStringLiteral("Permission denied")));
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
    model.setFolders(std::move(many));
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
