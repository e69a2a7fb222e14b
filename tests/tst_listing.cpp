#include "fake_services.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class TestListing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_w.reset(); }

    void listsRecentSubFolders();
    void statusMessages_data();
    void statusMessages();
    void unreadableSourceKeepsLists();
    void doubleClickListsTestFolder();
    void daysField_data();
    void daysField();
    void moreEntriesThanSixteenBits();

private:
    std::unique_ptr<WindowFixture> m_w;
};

// /src holds sub-folders 5, 50 and 100 days old at noon, and one from today whose
// name is not valid UTF-8.
void TestListing::init()
{
    m_w = std::make_unique<WindowFixture>();
    const QDate today = m_w->fakes.clock.day;
    for (const int age : { 5, 50, 100 })
        TempTree::makeFolder(m_w->disk("src"), "age" + std::to_string(age),
                             TempTree::localSecs(today.addDays(-age), 12 * 3600));
    TempTree::makeFolder(m_w->disk("src"), "caf\xe9", TempTree::localSecs(today, 60));
}

void TestListing::listsRecentSubFolders()
{
    auto &[dir, fakes, form] = *m_w;
    form.FillEm(QStringLiteral("/src/"));
    QCOMPARE(form.Text1->text(), QStringLiteral("/src/"));
    QCOMPARE(form.txtFiles->text(), QStringLiteral("0/3 Folders"));
    QCOMPARE(form.ListSourceFiles->count(), 3);
    const std::vector<std::string> names { "age5", "age50", "caf\xe9" };
    for (int i = 0; i < 3; ++i)
        QCOMPARE(form.ListSourceFilesOnly.name(i).native(), names[std::size_t(i)]);
    const QString line = form.ListSourceFiles->item(1)->text();
    QCOMPARE(line.size(), 82);
    QCOMPARE(line.left(6), QStringLiteral("age50 "));
    const QDateTime noon(fakes.clock.day.addDays(-50), QTime(12, 0));
    QCOMPARE(line.mid(48, 19), noon.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    QVERIFY(fakes.messageBox.informed.isEmpty() && fakes.messageBox.warned.isEmpty());
}

void TestListing::statusMessages_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "-1"
                           << "/srv/x/"
                           << "EMPTY SOURCE";
    QTest::newRow("not present") << "0"
                                 << "/gone"
                                 << "SOURCE NOT PRESENT OR IS UNAVAILABLE";
    QTest::newRow("drive") << "1"
                           << "E:\\"
                           << "DRIVE E: CONTAINS NO READABLE DISK OR MEDIA";
    QTest::newRow("other") << "5"
                           << "/srv/x/"
                           << "...";
}

void TestListing::statusMessages()
{
    QFETCH(QString, status);
    QFETCH(QString, path);
    QFETCH(QString, message);

    auto &[dir, fakes, form] = *m_w;
    form.FillEm(QStringLiteral("/src/"));
    form.txtGoGo = status;
    form.FillEm(path);
    QCOMPARE(fakes.messageBox.informed, QStringList { message });
    QCOMPARE(form.Text1->text(), path);
    QCOMPARE(form.ListSourceFiles->count() + form.ListSourceFilesOnly.count(), 0);
    QCOMPARE(form.txtFiles->text(), QStringLiteral("0/0 Folders"));
}

void TestListing::unreadableSourceKeepsLists()
{
    auto &[dir, fakes, form] = *m_w;
    form.FillEm(QStringLiteral("/src/"));
    form.ListSourceFiles->item(0)->setSelected(true);
    fakes.fileSystem.subFoldersFailure = std::errc::permission_denied;
    form.FillEm(QStringLiteral("/src/"));

    QCOMPARE(fakes.messageBox.warned.size(), 1);
    QVERIFY(fakes.messageBox.warned.front().contains(QStringLiteral("/src/")));
    QVERIFY(fakes.messageBox.warned.front().contains(QStringLiteral("Permission denied")));
    QCOMPARE(form.ListSourceFilesOnly.count(), 3);
    QCOMPARE(form.txtFiles->text(), QStringLiteral("1/3 Folders"));
}

void TestListing::doubleClickListsTestFolder()
{
    auto &[dir, fakes, form] = *m_w;
    QTest::mouseDClick(form.Text1, Qt::LeftButton);
    QCOMPARE(form.Text1->text(), QStringLiteral("/test/"));
    QCOMPARE(fakes.messageBox.warned.size(), 1); // there is no "test" folder yet
    QVERIFY(fakes.messageBox.warned.front().contains(QStringLiteral("No such file")));

    std::filesystem::rename(m_w->disk("src"), m_w->disk("test"));
    QTest::mouseDClick(form.Text1, Qt::LeftButton);
    QCOMPARE(form.txtFiles->text(), QStringLiteral("0/3 Folders"));
}

void TestListing::daysField_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<int>("scans");
    QTest::addColumn<int>("listed");

    QTest::newRow("digit relists") << "1"
                                   << "2"
                                   << ""
                                   << "12" << 1 << 2;
    QTest::newRow("digit by digit") << ""
                                    << "120"
                                    << ""
                                    << "120" << 3 << 4;
    QTest::newRow("non-digits refused") << "60"
                                        << "a-. +"
                                        << ""
                                        << "60" << 0 << 3;
    QTest::newRow("backspace to empty is 0 days") << "6"
                                                  << "\b"
                                                  << ""
                                                  << "" << 1 << 1;
    QTest::newRow("a million stays") << "100000"
                                     << "0"
                                     << ""
                                     << "1000000" << 1 << 4;
    QTest::newRow("above a million, one scan") << "1000000"
                                               << "0"
                                               << ""
                                               << "999999" << 1 << 4;
    QTest::newRow("pasted letters refused") << "60"
                                            << ""
                                            << "12a"
                                            << "60" << 0 << 3;
    QTest::newRow("pasted fraction refused") << "60"
                                             << ""
                                             << "2.5"
                                             << "60" << 0 << 3;
    QTest::newRow("pasted digits taken") << "6"
                                         << ""
                                         << "0"
                                         << "60" << 1 << 3;
}

void TestListing::daysField()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, fieldAfter);
    QFETCH(int, scans);
    QFETCH(int, listed);

    auto &[dir, fakes, form] = *m_w;
    form.daysold->setText(start);
    form.FillEm(QStringLiteral("/src/"));
    const int scansBefore = fakes.fileSystem.subFoldersCalls;
    form.daysold->end(false);
    QTest::keyClicks(form.daysold, typed);
    if (!pasted.isEmpty()) {
        QApplication::clipboard()->setText(pasted);
        form.daysold->paste();
    }
    QCOMPARE(form.daysold->text(), fieldAfter);
    QCOMPARE(fakes.fileSystem.subFoldersCalls - scansBefore, scans);
    QCOMPARE(form.ListSourceFiles->count(), listed);

    // Without a source, edits change only the field.
    form.Text1->clear();
    QTest::keyClicks(form.daysold, QStringLiteral("1"));
    QCOMPARE(fakes.fileSystem.subFoldersCalls - scansBefore, scans);
}

void TestListing::moreEntriesThanSixteenBits()
{
    auto &[dir, fakes, form] = *m_w;
    constexpr int count = 40'000;
    const qint64 recent = TempTree::localSecs(fakes.clock.day, 60);
    std::vector<SubFolder> many;
    for (int i = 0; i < count; ++i)
        many.push_back({ "f" + std::to_string(100'000 + i), recent });
    fakes.fileSystem.syntheticSubFolders = many;
    form.Text2->setText(QStringLiteral("/backup/"));
    form.FillEm(QStringLiteral("/anywhere/"));
    QCOMPARE(form.ListSourceFilesOnly.count(), count);
    QCOMPARE(form.ListSourceFilesOnly.name(count - 1).native(), std::string("f139999"));

    form.ListSourceFiles->item(count - 1)->setSelected(true);
    form.ListSourceFiles->item(33'000)->setSelected(true);
    QCOMPARE(form.txtFiles->text(), QStringLiteral("2/40000 Folders"));
    QVERIFY(form.Command2->isEnabled());
}

QTEST_MAIN(TestListing)
#include "tst_listing.moc"
