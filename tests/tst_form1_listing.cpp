#include "fake_services.h"
#include "main_window/form1.h"
#include "temp_tree.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using TempTree::localSecs;
using TempTree::makeFolder;

class TestForm1Listing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void tabOrder();
    void sourceLists();
    void statusMessages_data();
    void statusMessages();
    void unreadableSourceKeepsLists();
    void doubleClickListsTestFolder();
    void doubleClickOnMissingTestFolder();
    void keyFilter_data();
    void keyFilter();
    void typingRelists();
    void dayCountCap();
    void editsWithoutSourceDoNotScan();
    void refusedPaste_data();
    void refusedPaste();
    void copyButtonRule_data();
    void copyButtonRule();
    void moreEntriesThanSixteenBits();
    void rawNamesInMirror();

private:
    std::filesystem::path sourceRoot() const { return m_dir->path() / "src"; }
    QString sourceText() const { return m_dir->text() + QStringLiteral("/src/"); }
    void makeSource();

    std::unique_ptr<TempTree::Folder> m_dir;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<Form1> m_form;
};

void TestForm1Listing::init()
{
    m_dir = std::make_unique<TempTree::Folder>();
    QVERIFY(m_dir->isValid());
    m_fakes = std::make_unique<FakeServices>();
    m_form = std::make_unique<Form1>(m_fakes->services());
}

void TestForm1Listing::cleanup()
{
    m_form.reset();
    m_fakes.reset();
    m_dir.reset();
}

// Sub-folders 5, 50 and 100 days old at noon, relative to the fake clock.
void TestForm1Listing::makeSource()
{
    const QDate today = m_fakes->clock.day;
    for (const int age : { 5, 50, 100 })
        makeFolder(sourceRoot(), "age" + std::to_string(age),
                   localSecs(today.addDays(-age), 12 * 3600));
}

void TestForm1Listing::startUpState()
{
    Form1 &form = *m_form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Sprigwell v1.0 beta"));
    QCOMPARE(form.size(), QSize(532, 533));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.Text1->text(), QString());
    QCOMPARE(form.Text2->text(), QString());
    QCOMPARE(form.daysold->text(), QStringLiteral("60"));
    QCOMPARE(form.txtFiles->text(), QStringLiteral("0/0 Folders"));
    QCOMPARE(form.txtSelected, QStringLiteral("0"));
    QCOMPARE(form.txtGoGo, QStringLiteral("2"));
    QCOMPARE(form.ListSourceFiles->count(), 0);
    QCOMPARE(form.ListSourceFilesOnly.count(), 0);
    QVERIFY(!form.Command2->isEnabled());
    QCOMPARE(form.Label2->text(), QStringLiteral("RUDIMENTARY PROGRESS SHOWN HERE"));
    QCOMPARE(form.ListSourceFiles->selectionMode(), QAbstractItemView::MultiSelection);
    QVERIFY(form.Text1->isReadOnly());
    QVERIFY(form.Text2->isReadOnly());
    QCOMPARE(form.palette().color(QPalette::Window), QColor(128, 0, 128));
    QVERIFY(form.ListSourceFiles->font().fixedPitch());
    QVERIFY(!form.windowIcon().isNull());
    // Nothing scanned at start-up.
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls, 0);
    // Every control is an objectName away, and none overlaps the window's edge.
    for (const char *name :
         { "cmdSource", "Text1", "Label4_0", "Label1", "daysold", "Label4_2", "cmdSelectNone",
           "cmdSelectAll", "Label8", "txtFiles", "ListSourceFiles", "Label7", "cmdDest", "Text2",
           "Command2", "Label2" }) {
        const auto *control = form.findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(control, name);
        QVERIFY2(form.rect().contains(control->geometry()), name);
    }
}

void TestForm1Listing::tabOrder()
{
    Form1 &form = *m_form;
    form.Command2->setEnabled(true); // so it takes part in the chain
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.Text1);

    const QList<QWidget *> expected { form.Command2,      form.cmdSource,    form.ListSourceFiles,
                                      form.cmdSelectNone, form.cmdSelectAll, form.daysold,
                                      form.cmdDest,       form.Text2,        form.Text1 };
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestForm1Listing::sourceLists()
{
    makeSource();
    m_form->FillEm(sourceText());
    QCOMPARE(m_form->Text1->text(), sourceText());
    QCOMPARE(m_form->ListSourceFiles->count(), 2);
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
    QCOMPARE(m_form->ListSourceFilesOnly.name(0).native(), std::string("age5"));
    QCOMPARE(m_form->ListSourceFilesOnly.name(1).native(), std::string("age50"));
    const QString line = m_form->ListSourceFiles->item(1)->text();
    QVERIFY(line.startsWith(QStringLiteral("age50 ")));
    QCOMPARE(line.size(), 82);
    QCOMPARE(line.mid(48, 19),
             QDateTime(m_fakes->clock.day.addDays(-50), QTime(12, 0))
                 .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/2 Folders"));
    QVERIFY(m_fakes->messageBox.informed.isEmpty());
    QVERIFY(m_fakes->messageBox.warned.isEmpty());
}

void TestForm1Listing::statusMessages_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty source") << "-1"
                                  << "/srv/x/"
                                  << "EMPTY SOURCE";
    QTest::newRow("not present") << "0"
                                 << "/srv/gone"
                                 << "SOURCE NOT PRESENT OR IS UNAVAILABLE";
    QTest::newRow("drive without medium") << "1"
                                          << "E:\\"
                                          << "DRIVE E: CONTAINS NO READABLE DISK OR MEDIA";
    QTest::newRow("drive message names the path's first two characters")
        << "1"
        << "/media/cd"
        << "DRIVE /m CONTAINS NO READABLE DISK OR MEDIA";
    QTest::newRow("unknown status") << "5"
                                    << "/srv/x/"
                                    << "...";
}

void TestForm1Listing::statusMessages()
{
    QFETCH(QString, status);
    QFETCH(QString, path);
    QFETCH(QString, message);

    makeSource();
    m_form->FillEm(sourceText());
    QCOMPARE(m_form->ListSourceFiles->count(), 2);

    m_form->txtGoGo = status;
    m_form->FillEm(path);
    QCOMPARE(m_fakes->messageBox.informed, QStringList { message });
    QCOMPARE(m_form->Text1->text(), path);
    QCOMPARE(m_form->ListSourceFiles->count(), 0);
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 0);
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/0 Folders"));
}

void TestForm1Listing::unreadableSourceKeepsLists()
{
    makeSource();
    m_form->FillEm(sourceText());
    m_form->ListSourceFiles->item(0)->setSelected(true);

    m_fakes->fileSystem.subFoldersFailure = "Permission denied";
    m_form->FillEm(sourceText());
    QCOMPARE(m_fakes->messageBox.warned.size(), 1);
    QVERIFY(m_fakes->messageBox.warned.front().contains(sourceText()));
    QVERIFY(m_fakes->messageBox.warned.front().contains(QStringLiteral("Permission denied")));
    QCOMPARE(m_form->ListSourceFiles->count(), 2);
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 2);
    QVERIFY(m_form->ListSourceFiles->item(0)->isSelected());
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("1/2 Folders"));
}

void TestForm1Listing::doubleClickListsTestFolder()
{
    m_fakes->fileSystem.root = m_dir->path();
    makeFolder(m_fakes->fileSystem.root / "test", "recent", localSecs(m_fakes->clock.day, 60));

    QTest::mouseDClick(m_form->Text1, Qt::LeftButton);
    QCOMPARE(m_form->Text1->text(), QStringLiteral("/test/"));
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 1);
    QCOMPARE(m_form->ListSourceFilesOnly.name(0).native(), std::string("recent"));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/1 Folders"));
}

void TestForm1Listing::doubleClickOnMissingTestFolder()
{
    m_fakes->fileSystem.root = m_dir->path(); // holds no "test"
    QTest::mouseDClick(m_form->Text1, Qt::LeftButton);
    QCOMPARE(m_fakes->messageBox.warned.size(), 1);
    QVERIFY(m_fakes->messageBox.warned.front().contains(QStringLiteral("/test/")));
    QVERIFY(m_fakes->messageBox.warned.front().contains(QStringLiteral("No such file")));
    QCOMPARE(m_form->ListSourceFiles->count(), 0);
    QVERIFY(m_form->isEnabled());
}

void TestForm1Listing::keyFilter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fieldAfter");

    // The field holds "60" with the cursor at its end.
    QTest::newRow("digit") << int(Qt::Key_7) << "7"
                           << "607";
    QTest::newRow("letter") << int(Qt::Key_A) << "a"
                            << "60";
    QTest::newRow("minus") << int(Qt::Key_Minus) << "-"
                           << "60";
    QTest::newRow("point") << int(Qt::Key_Period) << "."
                           << "60";
    QTest::newRow("blank") << int(Qt::Key_Space) << " "
                           << "60";
    QTest::newRow("plus") << int(Qt::Key_Plus) << "+"
                          << "60";
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b"
                               << "6";
    QTest::newRow("arrow moves the cursor, types nothing") << int(Qt::Key_Left) << ""
                                                           << "60";
}

void TestForm1Listing::keyFilter()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, fieldAfter);

    makeSource();
    m_form->FillEm(sourceText());
    const int scansBefore = m_fakes->fileSystem.subFoldersCalls;
    m_form->daysold->setFocus();
    m_form->daysold->end(false);

    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(m_form->daysold, &press);

    QCOMPARE(m_form->daysold->text(), fieldAfter);
    const int expectedScans = fieldAfter == QLatin1String("60") ? 0 : 1;
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls - scansBefore, expectedScans);
}

void TestForm1Listing::typingRelists()
{
    makeSource();
    m_form->FillEm(sourceText());
    m_form->daysold->clear(); // an empty field counts as 0 days
    QCOMPARE(m_form->ListSourceFiles->count(), 0);
    const int scansBefore = m_fakes->fileSystem.subFoldersCalls;

    const QList<QPair<QString, int>> steps { { "1", 0 }, { "12", 1 }, { "120", 3 } };
    for (const auto &[text, listed] : steps) {
        QTest::keyClick(m_form->daysold, text.back().toLatin1());
        QCOMPARE(m_form->daysold->text(), text);
        QCOMPARE(m_form->ListSourceFiles->count(), listed);
        QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/%1 Folders").arg(listed));
    }
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls - scansBefore, 3);

    QTest::keyClick(m_form->daysold, Qt::Key_Backspace);
    QCOMPARE(m_form->ListSourceFiles->count(), 1);
}

void TestForm1Listing::dayCountCap()
{
    makeSource();
    m_form->FillEm(sourceText());
    m_form->daysold->setText(QStringLiteral("100000"));
    m_form->daysold->end(false);
    const int scansBefore = m_fakes->fileSystem.subFoldersCalls;

    QTest::keyClick(m_form->daysold, '0');
    QCOMPARE(m_form->daysold->text(), QStringLiteral("1000000"));
    QTest::keyClick(m_form->daysold, '0');
    QCOMPARE(m_form->daysold->text(), QStringLiteral("999999"));
    // One listing per keystroke, also for the one that was capped.
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls - scansBefore, 2);
    QCOMPARE(m_form->ListSourceFiles->count(), 3);
}

void TestForm1Listing::editsWithoutSourceDoNotScan()
{
    QTest::keyClick(m_form->daysold, '5');
    QCOMPARE(m_form->daysold->text(), QStringLiteral("605"));
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls, 0);
    QVERIFY(m_fakes->messageBox.informed.isEmpty());
}

void TestForm1Listing::refusedPaste_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("fieldAfter");
    QTest::newRow("letters after digits") << "12a"
                                          << "60";
    QTest::newRow("negative number") << "-5"
                                     << "60";
    QTest::newRow("fraction") << "2.5"
                              << "60";
    QTest::newRow("blanks") << "  "
                            << "60";
    QTest::newRow("digits pass") << "12"
                                 << "6012";
}

void TestForm1Listing::refusedPaste()
{
    QFETCH(QString, pasted);
    QFETCH(QString, fieldAfter);

    makeSource();
    m_form->FillEm(sourceText());
    const int scansBefore = m_fakes->fileSystem.subFoldersCalls;
    m_form->daysold->end(false);

    QApplication::clipboard()->setText(pasted);
    m_form->daysold->paste();
    QCOMPARE(m_form->daysold->text(), fieldAfter);
    // A drop arrives through the same insertion.
    m_form->daysold->insert(pasted);
    const bool accepted = fieldAfter != QLatin1String("60");
    QCOMPARE(m_form->daysold->text(), accepted ? fieldAfter + pasted : fieldAfter);
    QCOMPARE(m_fakes->fileSystem.subFoldersCalls - scansBefore, accepted ? 2 : 0);
    QVERIFY(m_fakes->messageBox.warned.isEmpty());
}

void TestForm1Listing::copyButtonRule_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("nothing selected") << 0 << "/backup/" << false;
    QTest::newRow("selection, source and destination") << 2 << "/backup/" << true;
    QTest::newRow("empty destination") << 2 << "" << false;
    QTest::newRow("root as destination") << 1 << "/" << true;
}

void TestForm1Listing::copyButtonRule()
{
    QFETCH(int, selected);
    QFETCH(QString, destination);
    QFETCH(bool, enabled);

    makeSource();
    m_form->daysold->setText(QStringLiteral("200"));
    m_form->FillEm(sourceText());
    m_form->Text2->setText(destination);
    for (int i = 0; i < selected; ++i)
        m_form->ListSourceFiles->item(i)->setSelected(true);
    m_form->RefreshCounts();
    QCOMPARE(m_form->txtSelected, QString::number(selected));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("%1/3 Folders").arg(selected));
    QCOMPARE(m_form->Command2->isEnabled(), enabled);
}

void TestForm1Listing::moreEntriesThanSixteenBits()
{
    constexpr int count = 40'000;
    std::vector<SubFolder> many;
    const qint64 recent = localSecs(m_fakes->clock.day, 60);
    for (int i = 0; i < count; ++i)
        many.push_back({ "f" + std::to_string(100'000 + i), recent });
    m_fakes->fileSystem.syntheticSubFolders = many;

    m_form->Text2->setText(QStringLiteral("/backup/"));
    m_form->FillEm(QStringLiteral("/anywhere/"));
    QCOMPARE(m_form->ListSourceFiles->count(), count);
    QCOMPARE(m_form->ListSourceFilesOnly.count(), count);
    QCOMPARE(m_form->ListSourceFilesOnly.name(count - 1).native(),
             "f" + std::to_string(100'000 + count - 1));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/40000 Folders"));

    m_form->ListSourceFiles->item(count - 1)->setSelected(true);
    m_form->ListSourceFiles->item(33'000)->setSelected(true);
    m_form->RefreshCounts();
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("2/40000 Folders"));
    QVERIFY(m_form->Command2->isEnabled());
}

void TestForm1Listing::rawNamesInMirror()
{
    const std::string rawName = "caf\xe9";
    makeFolder(sourceRoot(), rawName, localSecs(m_fakes->clock.day, 60));
    m_form->FillEm(sourceText());
    QCOMPARE(m_form->ListSourceFilesOnly.count(), 1);
    QCOMPARE(m_form->ListSourceFilesOnly.name(0).native(), rawName);
    // The display line shows something readable in its place.
    QVERIFY(m_form->ListSourceFiles->item(0)->text().startsWith(QStringLiteral("caf")));
}

QTEST_MAIN(TestForm1Listing)
#include "tst_form1_listing.moc"
