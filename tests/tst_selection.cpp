#include "fake_services.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using Flags = QList<bool>;

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_w.reset(); }

    void mouseAndButtons_data();
    void mouseAndButtons();
    void keyboard_data();
    void keyboard();
    void releaseOverEmptyList();

private:
    Flags flags(bool mirror) const
    {
        Flags result;
        for (int i = 0; i < m_w->form.ListSourceFiles->count(); ++i)
            result.append(mirror ? m_w->form.ListSourceFilesOnly.isSelected(i)
                                 : m_w->form.ListSourceFiles->item(i)->isSelected());
        return result;
    }
    void click(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QListWidget *list = m_w->form.ListSourceFiles;
        QTest::mouseClick(list->viewport(), button, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
    }

    std::unique_ptr<WindowFixture> m_w;
};

// Four listed sub-folders and a destination, so the copy button follows the selection.
void TestSelection::init()
{
    m_w = std::make_unique<WindowFixture>();
    m_w->fakes.fileSystem.syntheticSubFolders
        = std::vector<SubFolder> { { "a", 0 }, { "b", 0 }, { "c", 0 }, { "d", 0 } };
    m_w->form.daysold->setText(QStringLiteral("1000000"));
    m_w->form.Text2->setText(QStringLiteral("/backup/"));
    m_w->form.FillEm(QStringLiteral("/source/"));
    m_w->form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_w->form));
}

void TestSelection::mouseAndButtons_data()
{
    QTest::addColumn<QString>("actions"); // digits click that row, A is All, N is None
    QTest::addColumn<Flags>("expected");
    QTest::newRow("click selects") << "2" << Flags { false, false, true, false };
    QTest::newRow("second click deselects") << "22" << Flags(4, false);
    QTest::newRow("clicks leave others alone") << "03" << Flags { true, false, false, true };
    QTest::newRow("All") << "1A" << Flags(4, true);
    QTest::newRow("All, then a click") << "A1" << Flags { true, false, true, true };
    QTest::newRow("None") << "02N" << Flags(4, false);
    QTest::newRow("right button leaves the flag") << "0R" << Flags { true, false, false, false };
}

void TestSelection::mouseAndButtons()
{
    QFETCH(QString, actions);
    QFETCH(Flags, expected);

    for (const QChar action : actions) {
        if (action == QLatin1Char('A'))
            QTest::mouseClick(m_w->form.cmdSelectAll, Qt::LeftButton);
        else if (action == QLatin1Char('N'))
            QTest::mouseClick(m_w->form.cmdSelectNone, Qt::LeftButton);
        else if (action == QLatin1Char('R'))
            click(0, Qt::RightButton);
        else
            click(action.digitValue());
        // The counter and the copy button follow every step.
        const auto selected = flags(false).count(true);
        QCOMPARE(m_w->form.txtFiles->text(), QStringLiteral("%1/4 Folders").arg(selected));
        QCOMPARE(m_w->form.Command2->isEnabled(), selected > 0);
    }
    QCOMPARE(flags(false), expected);
    QCOMPARE(flags(true), expected);

    // Without a destination the button stays off, whatever is selected.
    m_w->form.Text2->clear();
    QTest::mouseClick(m_w->form.cmdSelectAll, Qt::LeftButton);
    QVERIFY(!m_w->form.Command2->isEnabled());
}

void TestSelection::keyboard_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("selected");
    QTest::newRow("space toggles the current entry") << QKeySequence(Qt::Key_Space) << 0;
    QTest::newRow("arrow and space") << QKeySequence(Qt::Key_Down, Qt::Key_Space) << 2;
    QTest::newRow("select all") << QKeySequence(QKeySequence::SelectAll) << 4;
}

// Keyboard changes must reach the mirror list and the counter like clicks do, or the
// copy would take other folders than the counter shows.
void TestSelection::keyboard()
{
    QFETCH(QKeySequence, keys);
    QFETCH(int, selected);

    click(0);
    QTest::keySequence(m_w->form.ListSourceFiles, keys);
    QCOMPARE(flags(false).count(true), selected);
    QCOMPARE(flags(true), flags(false));
    QCOMPARE(m_w->form.txtFiles->text(), QStringLiteral("%1/4 Folders").arg(selected));
}

void TestSelection::releaseOverEmptyList()
{
    m_w->fakes.fileSystem.syntheticSubFolders = std::vector<SubFolder> {};
    m_w->form.FillEm(QStringLiteral("/source/"));
    m_w->form.txtFiles->setText(QStringLiteral("stale"));
    QTest::mouseClick(m_w->form.ListSourceFiles->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, 20));
    QCOMPARE(m_w->form.txtFiles->text(), QStringLiteral("stale"));
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
