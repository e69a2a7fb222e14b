#include "folder_choice/folder_choice.h"
#include "window_fixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFolderChoice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_w.reset(); }

    void classification_data();
    void classification();
    void choice_data();
    void choice();
    void destinationDoesNotSteerListing();
    void fileSystemFailureDuringChoice();

private:
    void choose(QPushButton *button, const QString &picked)
    {
        if (!picked.isEmpty())
            m_w->fakes.folderPicker.answers.push_back(picked);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::unique_ptr<WindowFixture> m_w;
};

// The picker's "/" is the temporary folder, which holds /src (two sub-folders) and /backup.
void TestFolderChoice::init()
{
    m_w = std::make_unique<WindowFixture>();
    FakeFileSystem &fileSystem = m_w->fakes.fileSystem;
    fileSystem.drives = QStringList { "C:", "E:", "EX" };
    fileSystem.readyDrives = QStringList { "C:" };
    const qint64 recent = TempTree::localSecs(m_w->fakes.clock.day, 60);
    TempTree::makeFolder(m_w->disk("src"), "one", recent);
    TempTree::makeFolder(m_w->disk("src"), "two", recent);
    std::filesystem::create_directory(m_w->disk("backup"));
}

void TestFolderChoice::classification_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("empty") << u""_s << int(EmptyPath);
    QTest::newRow("folder") << u"/src"_s << int(FolderPresent);
    QTest::newRow("root") << u"/"_s << int(FolderPresent);
    QTest::newRow("vanished, ready drive") << u"C:\\gone"_s << int(PathNotPresent);
    QTest::newRow("drive not ready") << u"E:\\Photos"_s << int(DriveNotReady);
    QTest::newRow("unknown drive") << u"Q:\\x"_s << int(PathNotPresent);
    QTest::newRow("no colon, drive not ready") << u"EX\\y"_s << int(PathNotPresent);
}

void TestFolderChoice::classification()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    const ChosenFolder chosen = checkChosenFolder(m_w->fakes.fileSystem, path);
    QCOMPARE(int(chosen.status), status);
    // Only an existing folder gets the separator a sub-folder name can follow.
    QCOMPARE(chosen.path, path + (status == FolderPresent && path != "/" ? "/" : ""));
}

void TestFolderChoice::choice_data()
{
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("message");

    // Each row starts from /src/ listed, with an entry selected behind the counter's
    // back: "1/2" shows that the counter alone was refreshed, "0/2" a new listing or none.
    QTest::newRow("source folder gets one separator")
        << true << u"/src"_s << u"/src/"_s << u"0/2"_s << u""_s;
    QTest::newRow("source root as it is") << true << u"/"_s << u"/"_s << u"0/2"_s << u""_s;
    QTest::newRow("source cancelled") << true << u""_s << u"/src/"_s << u"1/2"_s << u""_s;
    QTest::newRow("source drive not ready") << true << u"E:\\"_s << u"E:\\"_s << u"0/0"_s
                                            << u"DRIVE E: CONTAINS NO READABLE DISK OR MEDIA"_s;
    QTest::newRow("destination folder")
        << false << u"/backup"_s << u"/backup/"_s << u"0/2"_s << u""_s;
    QTest::newRow("destination not a folder")
        << false << u"/nowhere"_s << u"/nowhere"_s << u"0/2"_s << u""_s;
    QTest::newRow("destination cancelled") << false << u""_s << u""_s << u"0/2"_s << u""_s;
}

void TestFolderChoice::choice()
{
    QFETCH(bool, source);
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(QString, counter);
    QFETCH(QString, message);

    choose(m_w->button("cmdSource"), QStringLiteral("/src"));
    m_w->field("Text2")->setText(QStringLiteral("/old/"));
    {
        const QSignalBlocker quiet(m_w->list()->selectionModel());
        m_w->select(1);
    }

    choose(m_w->button(source ? "cmdSource" : "cmdDest"), picked);
    QCOMPARE(m_w->field(source ? "Text1" : "Text2")->text(), shown);
    QCOMPARE(m_w->fakes.messageBox.informed.join(QString()), message);
    QCOMPARE(m_w->counter(), counter + QStringLiteral(" Folders"));
    if (!source) // nothing follows a destination choice, the copy button included
        QVERIFY(!m_w->button("Command2")->isEnabled());
}

// Cancelling a choice or choosing a bad destination must not empty the source's listing
// at the next edit of the day count.
void TestFolderChoice::destinationDoesNotSteerListing()
{
    choose(m_w->button("cmdSource"), QStringLiteral("/src"));
    choose(m_w->button("cmdSource"), QString());
    choose(m_w->button("cmdDest"), QString());
    choose(m_w->button("cmdDest"), QStringLiteral("/nowhere"));
    QTest::keyClick(m_w->field("daysold"), '0');
    QVERIFY(m_w->fakes.messageBox.informed.isEmpty());
    QCOMPARE(m_w->counter(), QStringLiteral("0/2 Folders"));
}

void TestFolderChoice::fileSystemFailureDuringChoice()
{
    choose(m_w->button("cmdSource"), QStringLiteral("/src"));
    m_w->fakes.fileSystem.folderExistsFailure = std::errc::io_error;
    choose(m_w->button("cmdSource"), QStringLiteral("/backup"));
    choose(m_w->button("cmdDest"), QStringLiteral("/backup"));
    QCOMPARE(m_w->fakes.messageBox.warned.size(), 2);
    QVERIFY(m_w->fakes.messageBox.warned.back().contains(QStringLiteral("Input/output error")));
    QCOMPARE(m_w->field("Text1")->text(), QStringLiteral("/src/"));
    QCOMPARE(m_w->field("Text2")->text(), QString());

    m_w->fakes.fileSystem.folderExistsFailure.reset(); // and the window still works
    choose(m_w->button("cmdDest"), QStringLiteral("/backup"));
    QCOMPARE(m_w->field("Text2")->text(), QStringLiteral("/backup/"));
}

QTEST_MAIN(TestFolderChoice)
#include "tst_folder_choice.moc"
