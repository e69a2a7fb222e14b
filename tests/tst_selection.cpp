#include "selection/selection_summary.h"
#include "window_fixture.h"

#include <QTest>

using Flags = QList<bool>;

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void mouseKeysAndButtons_data();
    void mouseKeysAndButtons();
};

void TestSelection::mouseKeysAndButtons_data()
{
    // Digits click that row, R right-clicks row 0, A and N press All and None, S is Space
    // on the current row, D the down arrow, K the select-all key.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<Flags>("expected");
    QTest::newRow("click selects") << "2" << Flags { false, false, true, false };
    QTest::newRow("second click deselects") << "22" << Flags(4, false);
    QTest::newRow("clicks leave others alone") << "03" << Flags { true, false, false, true };
    QTest::newRow("All, then a click") << "A1" << Flags { true, false, true, true };
    QTest::newRow("None") << "02N" << Flags(4, false);
    QTest::newRow("right button leaves the flag") << "0R" << Flags { true, false, false, false };
    QTest::newRow("space toggles the current row") << "0S" << Flags(4, false);
    QTest::newRow("arrow and space") << "0DS" << Flags { true, true, false, false };
    QTest::newRow("select-all key") << "0K" << Flags(4, true);
}

// The counter and the copy button follow every change, and the copy takes exactly the
// rows the counter counts.
void TestSelection::mouseKeysAndButtons()
{
    QFETCH(QString, actions);
    QFETCH(Flags, expected);
    WindowFixture w;
    w.fakes.fileSystem.syntheticSubFolders
        = std::vector<SubFolder> { { "a", 0 }, { "b", 0 }, { "c", 0 }, { "d", 0 } };
    w.field("daysold")->setText(QStringLiteral("1000000")); // the folders are from 1970
    w.field("Text2")->setText(QStringLiteral("/backup/"));
    w.window.listSourceFolder(QStringLiteral("/source/"));
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QListView *list = w.list();
    const auto click = [list](int row, Qt::MouseButton button) {
        QTest::mouseClick(list->viewport(), button, Qt::NoModifier,
                          list->visualRect(list->model()->index(row, 0)).center());
    };

    for (const QChar action : actions) {
        switch (action.unicode()) {
        case 'A':
            QTest::mouseClick(w.button("cmdSelectAll"), Qt::LeftButton);
            break;
        case 'N':
            QTest::mouseClick(w.button("cmdSelectNone"), Qt::LeftButton);
            break;
        case 'R':
            click(0, Qt::RightButton);
            break;
        case 'S':
            QTest::keyClick(list, Qt::Key_Space);
            break;
        case 'D':
            QTest::keyClick(list, Qt::Key_Down);
            break;
        case 'K':
            QTest::keySequence(list, QKeySequence::SelectAll);
            break;
        default:
            click(action.digitValue(), Qt::LeftButton);
        }
        const auto selected = list->selectionModel()->selectedRows().size();
        QCOMPARE(w.counter(), QStringLiteral("%1/4 Folders").arg(selected));
        QCOMPARE(w.button("Command2")->isEnabled(), selected > 0);
    }
    Flags copied(4, false);
    for (const auto &name : selectedNames(*list->selectionModel()))
        copied[name.native()[0] - 'a'] = true;
    QCOMPARE(copied, expected);

    // Without a destination the button stays off, whatever is selected.
    w.field("Text2")->clear();
    QTest::mouseClick(w.button("cmdSelectAll"), Qt::LeftButton);
    QVERIFY(!w.button("Command2")->isEnabled());
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
