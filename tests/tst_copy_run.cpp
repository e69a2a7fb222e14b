#include "fake_services.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

using TempTree::writeFile;

namespace {

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

class TestCopyRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_w.reset(); }

    void confirmationAndCancel_data();
    void confirmationAndCancel();
    void copiesSelectedInListOrder_data();
    void copiesSelectedInListOrder();
    void refusedPlans_data();
    void refusedPlans();
    void failureStopsTheRun();
    void specialFilesReported();

private:
    void chooseAndSelect(const QString &destination, const QList<int> &rows);
    std::filesystem::path disk(const std::string &relative) const { return m_w->disk(relative); }

    std::unique_ptr<WindowFixture> m_w;
};

// /src holds one, three and two, each with a file and a nested folder; /backup is empty.
void TestCopyRun::init()
{
    m_w = std::make_unique<WindowFixture>();
    for (const char *name : { "one", "three", "two" }) {
        std::filesystem::create_directories(disk("src") / name / "inner");
        writeFile(disk("src") / name / "data.bin", std::string("new ") + name);
        writeFile(disk("src") / name / "inner" / "deep.txt", name);
    }
    std::filesystem::create_directories(disk("backup"));
}

// Lists /src/ (one, three, two), shows the destination and selects the given rows.
void TestCopyRun::chooseAndSelect(const QString &destination, const QList<int> &rows)
{
    m_w->form.FillEm(QStringLiteral("/src/"));
    QCOMPARE(m_w->form.ListSourceFiles->count(), 3);
    m_w->form.Text2->setText(destination);
    for (int row : rows)
        m_w->form.ListSourceFiles->item(row)->setSelected(true);
    QVERIFY(m_w->form.Command2->isEnabled());
}

void TestCopyRun::confirmationAndCancel_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("one folder") << QList<int> { 0 }
                                << "Copy the 1 selected folder\r\n\r\ninto /backup/ now?";
    QTest::newRow("two folders") << QList<int> { 0, 2 }
                                 << "Copy the 2 selected folders\r\n\r\ninto /backup/ now?";
}

void TestCopyRun::confirmationAndCancel()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, prompt);

    chooseAndSelect(QStringLiteral("/backup/"), rows);
    m_w->fakes.messageBox.confirmAnswer = false;
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);
    QCOMPARE(m_w->fakes.messageBox.confirmTexts, QStringList { prompt });
    QCOMPARE(m_w->fakes.messageBox.confirmTitles, QStringList { "Confirm Copy" });
    QVERIFY(m_w->fakes.fileSystem.copies.empty());
    QVERIFY(std::filesystem::is_empty(disk("backup")));
    QCOMPARE(m_w->form.Label2->text(), QStringLiteral("PREPARE TO COPY"));
}

void TestCopyRun::copiesSelectedInListOrder_data()
{
    QTest::addColumn<QString>("destination");
    QTest::newRow("destination with separator") << "/backup/";
    QTest::newRow("destination without one") << "/backup";
}

void TestCopyRun::copiesSelectedInListOrder()
{
    QFETCH(QString, destination);
    // What the destination already holds: a same-named file to replace, another to keep.
    std::filesystem::create_directories(disk("backup/two"));
    writeFile(disk("backup/two/data.bin"), "old two, longer than the new one");
    writeFile(disk("backup/two/mine.txt"), "keep me");

    chooseAndSelect(destination, { 0, 2 });
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);

    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>> expected {
        { "/src/one", "/backup/one" }, { "/src/two", "/backup/two" }
    };
    QCOMPARE(m_w->fakes.fileSystem.copies, expected);
    QCOMPARE(readFile(disk("backup/one/inner/deep.txt")), std::string("one"));
    QCOMPARE(readFile(disk("backup/two/data.bin")), std::string("new two"));
    QCOMPARE(readFile(disk("backup/two/mine.txt")), std::string("keep me"));
    QVERIFY(!std::filesystem::exists(disk("backup/three")));
    QCOMPARE(m_w->form.Label2->text(), QStringLiteral("FINISHED COPYING"));
    QVERIFY(m_w->fakes.messageBox.warned.isEmpty());
    // Nothing is refreshed: pressing again would repeat the same copy.
    QCOMPARE(m_w->form.txtFiles->text(), QStringLiteral("2/3 Folders"));
    QVERIFY(m_w->form.Command2->isEnabled());
}

void TestCopyRun::refusedPlans_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("named");

    QTest::newRow("destination emptied by a cancelled choice") << ""
                                                               << "/src/"
                                                               << "";
    QTest::newRow("destination that is not a folder") << "/nowhere/"
                                                      << "/src/"
                                                      << "/nowhere/";
    QTest::newRow("source that vanished") << "/backup/"
                                          << "/gone/"
                                          << "/gone/";
    QTest::newRow("destination inside a selected sub-folder") << "/src/one/inner/"
                                                              << "/src/"
                                                              << "one";
    QTest::newRow("destination is the source folder") << "/src/"
                                                      << "/src/"
                                                      << "one";
}

void TestCopyRun::refusedPlans()
{
    QFETCH(QString, destination);
    QFETCH(QString, source);
    QFETCH(QString, named);

    chooseAndSelect(QStringLiteral("/backup/"), { 0 });
    m_w->form.Text1->setText(source);
    m_w->form.Text2->setText(destination); // the button stays enabled until the next refresh
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);

    QVERIFY(m_w->fakes.fileSystem.copies.empty());
    QCOMPARE(m_w->fakes.messageBox.warned.size(), 1);
    QVERIFY(m_w->fakes.messageBox.warned.front().contains(named));
    QVERIFY(m_w->form.Label2->text() != QStringLiteral("FINISHED COPYING"));
    QVERIFY(!std::filesystem::exists(disk("src/one/inner/one")));
    QVERIFY(std::filesystem::is_empty(disk("backup")));
}

void TestCopyRun::failureStopsTheRun()
{
    m_w->fakes.fileSystem.copyFailureFor = "three";
    chooseAndSelect(QStringLiteral("/backup/"), { 0, 1, 2 });
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);

    QCOMPARE(m_w->fakes.fileSystem.copies.size(), 2u); // "two" was never started
    QVERIFY(std::filesystem::exists(disk("backup/one/data.bin")));
    QVERIFY(!std::filesystem::exists(disk("backup/two")));
    QCOMPARE(m_w->form.Label2->text(), QStringLiteral("FAILED COPYING three"));
    QCOMPARE(m_w->fakes.messageBox.warned.size(), 1);
    const QString message = m_w->fakes.messageBox.warned.front();
    QVERIFY(message.contains(QStringLiteral("three")));
    QVERIFY(message.contains(QStringLiteral("/src/three/data.bin")));
    QVERIFY(message.contains(QStringLiteral("No space left on device")));
    // The window goes on: the next run copies again.
    m_w->fakes.fileSystem.copyFailureFor.reset();
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);
    QCOMPARE(m_w->form.Label2->text(), QStringLiteral("FINISHED COPYING"));
}

void TestCopyRun::specialFilesReported()
{
    QVERIFY(mkfifo((disk("src/two") / "pipe").c_str(), 0600) == 0);
    chooseAndSelect(QStringLiteral("/backup/"), { 2 });
    QTest::mouseClick(m_w->form.Command2, Qt::LeftButton);

    QCOMPARE(m_w->form.Label2->text(), QStringLiteral("FINISHED COPYING"));
    QCOMPARE(m_w->fakes.messageBox.informed.size(), 1);
    QVERIFY(m_w->fakes.messageBox.informed.front().contains(QStringLiteral("pipe")));
    QVERIFY(!std::filesystem::exists(disk("backup/two/pipe")));
    QVERIFY(std::filesystem::exists(disk("backup/two/data.bin")));
}

QTEST_MAIN(TestCopyRun)
#include "tst_copy_run.moc"
