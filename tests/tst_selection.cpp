#include "fake_services.h"
#include "main_window/form1.h"
#include "temp_tree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void allAndNone_data();
    void allAndNone();
    void allAndNoneOnEmptyLists();
    void clicksToggleOneEntry_data();
    void clicksToggleOneEntry();
    void releaseOverEmptyListDoesNothing();
    void keyboardChangesReachMirrorAndCounter_data();
    void keyboardChangesReachMirrorAndCounter();
    void rescanClearsSelection();

private:
    void fillList(int count);
    void clickEntry(int row, Qt::MouseButton button = Qt::LeftButton);
    QList<bool> displayFlags() const;
    QList<bool> mirrorFlags() const;

    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<Form1> m_form;
};

void TestSelection::init()
{
    m_fakes = std::make_unique<FakeServices>();
    m_form = std::make_unique<Form1>(m_fakes->services());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestSelection::cleanup()
{
    m_form.reset();
    m_fakes.reset();
}

void TestSelection::fillList(int count)
{
    std::vector<SubFolder> folders;
    const qint64 recent = TempTree::localSecs(m_fakes->clock.day, 60);
    for (int i = 0; i < count; ++i)
        folders.push_back({ "folder" + std::to_string(i), recent });
    m_fakes->fileSystem.syntheticSubFolders = folders;
    m_form->Text2->setText(QStringLiteral("/backup/"));
    m_form->FillEm(QStringLiteral("/source/"));
    QCOMPARE(m_form->ListSourceFiles->count(), count);
}

void TestSelection::clickEntry(int row, Qt::MouseButton button)
{
    QListWidget *list = m_form->ListSourceFiles;
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), button, Qt::NoModifier, centre);
}

QList<bool> TestSelection::displayFlags() const
{
    QList<bool> flags;
    for (int i = 0; i < m_form->ListSourceFiles->count(); ++i)
        flags.append(m_form->ListSourceFiles->item(i)->isSelected());
    return flags;
}

QList<bool> TestSelection::mirrorFlags() const
{
    QList<bool> flags;
    for (int i = 0; i < m_form->ListSourceFilesOnly.count(); ++i)
        flags.append(m_form->ListSourceFilesOnly.isSelected(i));
    return flags;
}

void TestSelection::allAndNone_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<bool>("copyEnabled");
    QTest::newRow("All selects every entry of both lists") << true << "5/5 Folders" << true;
    QTest::newRow("None clears every entry of both lists") << false << "0/5 Folders" << false;
}

void TestSelection::allAndNone()
{
    QFETCH(bool, all);
    QFETCH(QString, counter);
    QFETCH(bool, copyEnabled);

    fillList(5);
    clickEntry(1); // a mixed start
    QTest::mouseClick(all ? m_form->cmdSelectAll : m_form->cmdSelectNone, Qt::LeftButton);
    const QList<bool> expected(5, all);
    QCOMPARE(displayFlags(), expected);
    QCOMPARE(mirrorFlags(), expected);
    QCOMPARE(m_form->txtFiles->text(), counter);
    QCOMPARE(m_form->Command2->isEnabled(), copyEnabled);
}

void TestSelection::allAndNoneOnEmptyLists()
{
    for (QPushButton *button : { m_form->cmdSelectAll, m_form->cmdSelectNone }) {
        m_form->txtFiles->setText(QStringLiteral("stale"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/0 Folders"));
        QVERIFY(!m_form->Command2->isEnabled());
    }
}

void TestSelection::clicksToggleOneEntry_data()
{
    QTest::addColumn<bool>("startWithAll");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QList<bool>>("flags");

    QTest::newRow("one click selects")
        << false << QList<int> { 2 } << Qt::LeftButton << QList<bool> { false, false, true, false };
    QTest::newRow("second click deselects") << false << QList<int> { 2, 2 } << Qt::LeftButton
                                            << QList<bool> { false, false, false, false };
    QTest::newRow("clicks leave the others alone") << false << QList<int> { 0, 3 } << Qt::LeftButton
                                                   << QList<bool> { true, false, false, true };
    QTest::newRow("All, then a click deselects that one")
        << true << QList<int> { 1 } << Qt::LeftButton << QList<bool> { true, false, true, true };
}

void TestSelection::clicksToggleOneEntry()
{
    QFETCH(bool, startWithAll);
    QFETCH(QList<int>, clicks);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QList<bool>, flags);

    fillList(4);
    if (startWithAll)
        QTest::mouseClick(m_form->cmdSelectAll, Qt::LeftButton);
    for (int row : clicks) {
        clickEntry(row, button);
        // The counter follows every click.
        QCOMPARE(m_form->txtFiles->text(),
                 QStringLiteral("%1/4 Folders").arg(displayFlags().count(true)));
    }
    QCOMPARE(displayFlags(), flags);
    QCOMPARE(mirrorFlags(), flags);
    QCOMPARE(m_form->Command2->isEnabled(), flags.contains(true));
}

void TestSelection::releaseOverEmptyListDoesNothing()
{
    m_form->txtFiles->setText(QStringLiteral("stale"));
    QTest::mouseClick(m_form->ListSourceFiles->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, 20));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("stale"));
}

void TestSelection::keyboardChangesReachMirrorAndCounter_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("selected");
    QTest::newRow("space toggles the current entry") << QKeySequence(Qt::Key_Space) << 0;
    QTest::newRow("arrow and space") << QKeySequence(Qt::Key_Down, Qt::Key_Space) << 2;
    QTest::newRow("select all from the keyboard") << QKeySequence(QKeySequence::SelectAll) << 6;
    QTest::newRow("space twice") << QKeySequence(Qt::Key_Space, Qt::Key_Space) << 1;
}

void TestSelection::keyboardChangesReachMirrorAndCounter()
{
    QFETCH(QKeySequence, keys);
    QFETCH(int, selected);

    fillList(6);
    clickEntry(0); // entry 0 selected and current
    m_form->ListSourceFiles->setFocus();
    QTest::keySequence(m_form->ListSourceFiles, keys);

    QCOMPARE(displayFlags().count(true), selected);
    QCOMPARE(mirrorFlags(), displayFlags());
    QCOMPARE(m_form->txtSelected, QString::number(selected));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("%1/6 Folders").arg(selected));
}

void TestSelection::rescanClearsSelection()
{
    fillList(3);
    QTest::mouseClick(m_form->cmdSelectAll, Qt::LeftButton);
    m_form->FillEm(QStringLiteral("/source/"));
    QCOMPARE(displayFlags(), QList<bool>(3, false));
    QCOMPARE(mirrorFlags(), QList<bool>(3, false));
    QCOMPARE(m_form->txtFiles->text(), QStringLiteral("0/3 Folders"));
    QVERIFY(!m_form->Command2->isEnabled());
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
