#include "selection/selection_summary.h"
#include "window_fixture.h"

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

private:
    // The rows selected as the view shows them, and as the copy would take them.
    Flags flags() const
    {
        Flags result;
        for (int i = 0; i < m_w->list()->model()->rowCount(); ++i)
            result.append(m_w->list()->selectionModel()->isRowSelected(i));
        return result;
    }
    Flags copied() const
    {
        Flags result(4, false);
        for (const auto &name : selectedNames(*m_w->list()->selectionModel()))
            result[name.native()[0] - 'a'] = true;
        return result;
    }
    void click(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QListView *list = m_w->list();
        QTest::mouseClick(list->viewport(), button, Qt::NoModifier,
                          list->visualRect(list->model()->index(row, 0)).center());
    }

    std::unique_ptr<WindowFixture> m_w;
};

// Four listed sub-folders and a destination, so the copy button follows the selection.
void TestSelection::init()
{
    m_w = std::make_unique<WindowFixture>();
    m_w->fakes.fileSystem.syntheticSubFolders
        = std::vector<SubFolder> { { "a", 0 }, { "b", 0 }, { "c", 0 }, { "d", 0 } };
    m_w->field("daysold")->setText(QStringLiteral("1000000"));
    m_w->field("Text2")->setText(QStringLiteral("/backup/"));
    m_w->window.listSourceFolder(QStringLiteral("/source/"));
    m_w->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_w->window));
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
            QTest::mouseClick(m_w->button("cmdSelectAll"), Qt::LeftButton);
        else if (action == QLatin1Char('N'))
            QTest::mouseClick(m_w->button("cmdSelectNone"), Qt::LeftButton);
        else if (action == QLatin1Char('R'))
            click(0, Qt::RightButton);
        else
            click(action.digitValue());
        // The counter and the copy button follow every step.
        const auto selected = flags().count(true);
        QCOMPARE(m_w->counter(), QStringLiteral("%1/4 Folders").arg(selected));
        QCOMPARE(m_w->button("Command2")->isEnabled(), selected > 0);
    }
    QCOMPARE(flags(), expected);
    QCOMPARE(copied(), expected);

    // Without a destination the button stays off, whatever is selected.
    m_w->field("Text2")->clear();
    QTest::mouseClick(m_w->button("cmdSelectAll"), Qt::LeftButton);
    QVERIFY(!m_w->button("Command2")->isEnabled());
}

void TestSelection::keyboard_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<int>("selected");
    QTest::newRow("space toggles the current entry") << QKeySequence(Qt::Key_Space) << 0;
    QTest::newRow("arrow and space") << QKeySequence(Qt::Key_Down, Qt::Key_Space) << 2;
    QTest::newRow("select all") << QKeySequence(QKeySequence::SelectAll) << 4;
}

// Keyboard changes must reach the counter like clicks do, and the copy must take the
// folders the counter counts.
void TestSelection::keyboard()
{
    QFETCH(QKeySequence, keys);
    QFETCH(int, selected);

    click(0);
    QTest::keySequence(m_w->list(), keys);
    QCOMPARE(flags().count(true), selected);
    QCOMPARE(copied(), flags());
    QCOMPARE(m_w->counter(), QStringLiteral("%1/4 Folders").arg(selected));
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
