#include "data_table.h"
#include "listing/source_listing.h"
#include "listing/subfolder_scan.h"
#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "selection/selection_summary.h"
#include "temp_tree.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

struct FixedClock : Clock
{
    QDate day;
    QDate today() const override { return day; }
};

} // namespace

class TestListing : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_dir.reset(); }

    void init()
    {
        m_clock.day = QDate(2026, 12, 6);
        m_dir = std::make_unique<Folder>();
    }

    void ageBoundary_data()
    {
        addColumns<QString, qint64, qint64, bool>("days", "modifiedSecs", "extraNanos", "listed");
        const QDate today = QDate(2026, 12, 6), back60 = today.addDays(-60);
        // clang-format off
        QTest::newRow("exactly midnight 60 days back") << u"60"_s << localSecs(back60) << 0LL << false;
        QTest::newRow("a second later") << u"60"_s << localSecs(back60, 1) << 0LL << true;
        QTest::newRow("a fraction later counts as midnight") << u"60"_s << localSecs(back60) << 999'999'999LL << false;
        // clang-format on
        QTest::newRow("day count 0, midnight today") << u"0"_s << localSecs(today) << 0LL << false;
        QTest::newRow("empty count is 0 days") << u""_s << localSecs(today, 1) << 0LL << true;
        QTest::newRow("in the future") << u"60"_s << localSecs(today.addDays(3)) << 0LL << true;
        // July is summer time in Europe/Berlin, December is not: the cutoff is local
        // midnight, not a multiple of 24 hours before today's.
        const QDate summer(2026, 7, 1);
        const QString toSummer = QString::number(summer.daysTo(today));
        // clang-format off
        QTest::newRow("summer day, a second after local midnight") << toSummer << localSecs(summer, 1) << 0LL << true;
        QTest::newRow("summer day, local midnight") << toSummer << localSecs(summer) << 0LL << false;
        // clang-format on
    }

    void ageBoundary()
    {
        const auto [days, modifiedSecs, extraNanos, listed]
            = fetch<QString, qint64, qint64, bool>("days", "modifiedSecs", "extraNanos", "listed");
        makeFolder(m_dir->path(), "probe", modifiedSecs, extraNanos);
        QCOMPARE(this->listed(days), listed ? QStringList { u"probe"_s } : QStringList());
    }

    void largestDayCountListsEverything()
    {
        // As old as this file system's clock allows, and from the far future.
        makeFolder(m_dir->path(), "old", localSecs(QDate(1901, 1, 1)));
        makeFolder(m_dir->path(), "new", localSecs(QDate(2400, 1, 1)));
        QCOMPARE(listed(u"999999"_s), QStringList({ u"new"_s, u"old"_s }));
        QCOMPARE(listed(u"1000000"_s), QStringList({ u"new"_s, u"old"_s }));
        // The cutoff moves back with the count and never wraps round.
        const qint64 counts[] = { 0, 1, 365, 100'000, 700'000, 740'000, 999'999, 1'000'000 };
        for (std::size_t i = 1; i < std::size(counts); ++i)
            QVERIFY(ageCutoffSecs(m_clock.day, counts[i])
                    <= ageCutoffSecs(m_clock.day, counts[i - 1]));
    }

    // Sub-folders only (no files, no links to folders), in case-insensitive order, into a
    // model whose lines are the fixed-column lines and whose name role is the raw name.
    void listsSubFoldersIntoModel()
    {
        const fs::path root = m_dir->path();
        for (const char *name : { "beta", "Alpha", "ALPHA2", "alpha", "caf\xe9" })
            makeFolder(root, name, localSecs(m_clock.day, 12 * 3600));
        makeFolder(root, "old", localSecs(m_clock.day.addDays(-100)));
        writeFile(root / "file.txt", "x");
        fs::create_directory_symlink(root / "beta", root / "link-to-folder");

        SourceListing listing(m_fileSystem, m_clock);
        SubFolderListModel &model = listing.model();
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(listing.list(listing.choose(m_dir->text()), u"60").kind,
                 ListingNotice::Kind::None);

        const std::vector<std::string> names { "Alpha", "alpha", "ALPHA2", "beta", "caf\xe9" };
        QCOMPARE(model.rowCount(), 5);
        for (int row = 0; row < 5; ++row) {
            const QVariant name = model.index(row).data(SubFolderListModel::NameRole);
            QCOMPARE(name.value<fs::path>().native(), names[std::size_t(row)]);
        }
        QCOMPARE(
            model.index(3).data().toString(),
            u"beta                                            06/12/2026 12:00:00               "_s);
    }

    void insideKnownByIdentity_data()
    {
        // names: of the second listing, in the system's order; sizes: of its lines, in name order
        addColumns<QString, QList<quint64>, QString>("names", "inodes", "sizes");
        // The first listing holds "a" as inode 1, with 5 KB inside.
        // clang-format off
        QTest::newRow("the same folder again") << u"a"_s << QList<quint64> { 1 } << u"5 KB"_s;
        QTest::newRow("renamed") << u"b"_s << QList<quint64> { 1 } << u"5 KB"_s;
        QTest::newRow("moved in the system's order") << u"0 a"_s << QList<quint64> { 2, 1 } << u"- 5 KB"_s;
        QTest::newRow("replaced by a new one of the same name") << u"a"_s << QList<quint64> { 2 } << u"-"_s;
        QTest::newRow("replaced, another took its place") << u"a c"_s << QList<quint64> { 2, 1 } << u"- 5 KB"_s;
        // clang-format on
    }

    // What a look found is known by device and inode: a folder renamed keeps it, a new folder
    // under an old name starts unknown.
    void insideKnownByIdentity()
    {
        const auto [names, inodes] = fetch<QString, QList<quint64>>("names", "inodes");
        const std::int64_t recent = localSecs(m_clock.day, 60);
        SubFolderListModel model;
        model.setListing({ { "a", recent, { 7, 1 } } });
        model.setInside(0, { { recent, 0 }, 5000, true });
        std::vector<SubFolder> again;
        for (int i = 0; i < inodes.size(); ++i)
            again.push_back({ names.section(u' ', i, i).toStdString(), recent, { 7, inodes[i] } });
        model.setListing(std::move(again));
        QStringList sizes;
        for (int row = 0; row < model.rowCount(); ++row)
            sizes << model.index(row).data().toString().mid(69).trimmed();
        QTEST(sizes.replaceInStrings(QRegularExpression(u"^$"_s), u"-"_s).join(u' '), "sizes");
    }

    // Rows and counts are never 16-bit: the selection reaches past row 32,767 and the copy
    // takes exactly the rows selected, in list order.
    void selectionBeyondSixteenBits()
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
        QCOMPARE(selectedNames(selection), (std::vector<fs::path> { "f133000", "f139999" }));
    }

private:
    // The names of the rows the window's list shows for the temporary folder, `days` typed.
    QStringList listed(const QString &days)
    {
        SourceListing listing(m_fileSystem, m_clock);
        listing.list(listing.choose(m_dir->text()), days);
        QStringList names;
        for (int row = 0; row < listing.model().rowCount(); ++row)
            names << listing.model().index(row).data().toString().section(u' ', 0, 0);
        return names;
    }

    FixedClock m_clock;
    std::unique_ptr<Folder> m_dir;
    LocalFileSystem m_fileSystem;
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
