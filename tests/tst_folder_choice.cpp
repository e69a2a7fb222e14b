#include "fake_services.h"
#include "folder_choice/path_check.h"
#include "main_window/form1.h"
#include "temp_tree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using TempTree::localSecs;
using TempTree::makeFolder;

class TestFolderChoice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void classification_data();
    void classification();
    void sourceChoice_data();
    void sourceChoice();
    void cancelledSourceOnlyRefreshesCounter();
    void destinationChoice_data();
    void destinationChoice();
    void destinationStatusDoesNotSteerListing();
    void driveWithoutMediumReported();
    void fileSystemFailureDuringChoice();

private:
    void listSource();

    std::unique_ptr<TempTree::Folder> m_dir;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<Form1> m_form;
};

void TestFolderChoice::init()
{
    m_dir = std::make_unique<TempTree::Folder>();
    QVERIFY(m_dir->isValid());
    m_fakes = std::make_unique<FakeServices>();
    // Paths the picker gives are looked up below the temporary folder: "/" is its root.
    m_fakes->fileSystem.root = m_dir->path();
    const qint64 recent = localSecs(m_fakes->clock.day, 60);
    makeFolder(m_dir->path() / "src", "one", recent);
    makeFolder(m_dir->path() / "src", "two", recent);
    makeFolder(m_dir->path(), "backup", recent);
    m_form = std::make_unique<Form1>(m_fakes->services());
}

void TestFolderChoice::cleanup()
{
    m_form.reset();
    m_fakes.reset();
    m_dir.reset();
}

void TestFolderChoice::listSource()
{
    m_fakes->folderPicker.answers.push_back(QStringLiteral("/src"));
    QTest::mouseClick(m_form->cmdSource, Qt::LeftButton);
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
}

void TestFolderChoice::classification_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");

    QTest::newRow("empty path") << "" << int(EmptyPath);
    QTest::newRow("existing folder") << "/src" << int(FolderPresent);
    QTest::newRow("root") << "/" << int(FolderPresent);
    QTest::newRow("vanished folder") << "/src/gone" << int(PathNotPresent);
    QTest::newRow("vanished folder on a ready drive") << "C:\\gone" << int(PathNotPresent);
    QTest::newRow("drive that is not ready") << "E:\\" << int(DriveNotReady);
    QTest::newRow("folder on a drive that is not ready") << "E:\\Photos" << int(DriveNotReady);
    QTest::newRow("unknown drive") << "Q:\\x" << int(PathNotPresent);
    QTest::newRow("second character not a colon, drive not ready")
        << "EX\\y" << int(PathNotPresent);
}

void TestFolderChoice::classification()
{
    QFETCH(QString, path);
    QFETCH(int, status);

    FakeFileSystem &fileSystem = m_fakes->fileSystem;
    fileSystem.drives = QStringList { "C:", "E:", "EX" };
    fileSystem.readyDrives = QStringList { "C:" };
    QCOMPARE(int(classifyPath(fileSystem, path)), status);
    // The folder test is asked of every path, the empty one included.
    QCOMPARE(fileSystem.folderExistsAsked.size(), 1u);

    QString holder = QStringLiteral("7");
    QCOMPARE(m_form->CheckFolderPath(path, holder), status);
    QCOMPARE(holder, QString::number(status));
}

void TestFolderChoice::sourceChoice_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("listed");
    QTest::newRow("ordinary folder gets one separator") << "/src"
                                                        << "/src/" << 2;
    QTest::newRow("root stays as it is") << "/"
                                         << "/" << 2; // "src" and "backup"
}

void TestFolderChoice::sourceChoice()
{
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(int, listed);

    m_fakes->folderPicker.answers.push_back(picked);
    QTest::mouseClick(m_form->cmdSource, Qt::LeftButton);
    QCOMPARE(m_fakes->folderPicker.prompts, QStringList { "Choose Source Folder" });
    QCOMPARE(m_form->Text1->text(), shown);
    QCOMPARE(m_form->txtGoGo, QStringLiteral("2"));
    QCOMPARE(m_form->ListSourceFilesOnly.count(), listed);
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/%1 Folders").arg(listed));
    QVERIFY(m_fakes->messageBox.informed.isEmpty());
}

void TestFolderChoice::cancelledSourceOnlyRefreshesCounter()
{
    listSource();
    // A selection the counter has not seen yet shows whether a refresh ran.
    m_form->ListSourceFiles->item(1)->setSelected(true);
    const int scans = m_fakes->fileSystem.subFoldersCalls;

    QTest::mouseClick(m_form->cmdSource, Qt::LeftButton); // the picker is cancelled
    QCOMPARE(m_form->Text1->text(), QStringLiteral("/src/"));
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls, scans);
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("1/2 Folders"));
    QCOMPARE(m_form->txtGoGo, QStringLiteral("2"));
    QVERIFY(m_fakes->messageBox.informed.isEmpty());
}

void TestFolderChoice::destinationChoice_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");
    QTest::newRow("existing folder gets one separator") << "/backup"
                                                        << "/backup/"
                                                        << "2";
    QTest::newRow("root stays as it is") << "/"
                                         << "/"
                                         << "2";
    QTest::newRow("not a folder, shown as picked") << "/nowhere"
                                                   << "/nowhere"
                                                   << "0";
    QTest::newRow("cancelled, field emptied") << ""
                                              << ""
                                              << "-1";
}

void TestFolderChoice::destinationChoice()
{
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(QString, status);

    listSource();
    m_form->Text2->setText(QStringLiteral("/old/"));
    m_form->ListSourceFiles->item(0)->setSelected(true);
    m_form->RefreshCounts();
    QVERIFY(m_form->Command2->isEnabled());
    const int scans = m_fakes->fileSystem.subFoldersCalls;

    if (!picked.isEmpty())
        m_fakes->folderPicker.answers.push_back(picked);
    QTest::mouseClick(m_form->cmdDest, Qt::LeftButton);
    QCOMPARE(m_fakes->folderPicker.prompts.back(), QStringLiteral("Choose Destination Folder"));
    QCOMPARE(m_form->Text2->text(), shown);
    QCOMPARE(m_form->txtDestStatus, status);
    // Nothing else follows: no listing, and the copy button waits for the next refresh.
    QCOMPARE(m_form->txtGoGo, QStringLiteral("2"));
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls, scans);
    QVERIFY(m_form->Command2->isEnabled());
}

void TestFolderChoice::destinationStatusDoesNotSteerListing()
{
    listSource();
    QTest::mouseClick(m_form->cmdDest, Qt::LeftButton); // cancelled
    m_fakes->folderPicker.answers.push_back(QStringLiteral("/nowhere"));
    QTest::mouseClick(m_form->cmdDest, Qt::LeftButton); // not a folder

    QTest::keyClick(m_form->daysold, '0');
    QCOMPARE(m_form->daysold->text(), QStringLiteral("600"));
    QVERIFY(m_fakes->messageBox.informed.isEmpty());
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/2 Folders"));
}

void TestFolderChoice::driveWithoutMediumReported()
{
    listSource();
    m_fakes->fileSystem.drives = QStringList { "E:" };
    m_fakes->folderPicker.answers.push_back(QStringLiteral("E:\\"));
    QTest::mouseClick(m_form->cmdSource, Qt::LeftButton);

    QCOMPARE(m_form->txtGoGo, QStringLiteral("1"));
    QCOMPARE(m_form->Text1->text(), QStringLiteral("E:\\"));
    QCOMPARE(m_fakes->messageBox.informed,
             QStringList { "DRIVE E: CONTAINS NO READABLE DISK OR MEDIA" });
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 0);
}

void TestFolderChoice::fileSystemFailureDuringChoice()
{
    listSource();
    m_fakes->fileSystem.folderExistsFailure = "Input/output error";
    m_fakes->folderPicker.answers = { QStringLiteral("/backup"), QStringLiteral("/backup") };

    QTest::mouseClick(m_form->cmdSource, Qt::LeftButton);
    QTest::mouseClick(m_form->cmdDest, Qt::LeftButton);
    QCOMPARE(m_fakes->messageBox.warned.size(), 2);
    QVERIFY(m_fakes->messageBox.warned.front().contains(QStringLiteral("Input/output error")));
    // Both fields and the listing are as they were, and the window still answers.
    QCOMPARE(m_form->Text1->text(), QStringLiteral("/src/"));
    QCOMPARE(m_form->Text2->text(), QString());
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
    m_fakes->fileSystem.folderExistsFailure.reset();
    m_fakes->folderPicker.answers.push_back(QStringLiteral("/backup"));
    QTest::mouseClick(m_form->cmdDest, Qt::LeftButton);
    QCOMPARE(m_form->Text2->text(), QStringLiteral("/backup/"));
}

QTEST_MAIN(TestFolderChoice)
#include "tst_folder_choice.moc"
