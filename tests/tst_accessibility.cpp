#include "fake_services.h"
#include "main_window/form1.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>

// What a screen reader finds when it walks the window's accessibility tree.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyControlInTree();
    void buttonsReadTheirCaptions_data();
    void buttonsReadTheirCaptions();
    void labelsReadTheirText_data();
    void labelsReadTheirText();
    void uncaptionedControlsNamed_data();
    void uncaptionedControlsNamed();
    void uncaptionedNamesDistinct();
    void listEntriesReadable();

private:
    // The interface of each control the window's tree reaches, by the control's name.
    QHash<QString, QAccessibleInterface *> controlsInTree() const;
    QAccessibleInterface *control(const QString &name) const;

    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<Form1> m_form;
};

void TestAccessibility::init()
{
    m_fakes = std::make_unique<FakeServices>();
    m_form = std::make_unique<Form1>(m_fakes->services());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestAccessibility::cleanup()
{
    m_form.reset();
    m_fakes.reset();
}

QHash<QString, QAccessibleInterface *> TestAccessibility::controlsInTree() const
{
    QHash<QString, QAccessibleInterface *> found;
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_form.get());
    if (!window)
        return found;
    for (int i = 0; i < window->childCount(); ++i) {
        QAccessibleInterface *child = window->child(i);
        if (child && child->object())
            found.insert(child->object()->objectName(), child);
    }
    return found;
}

QAccessibleInterface *TestAccessibility::control(const QString &name) const
{
    return controlsInTree().value(name);
}

void TestAccessibility::everyControlInTree()
{
    const QHash<QString, QAccessibleInterface *> tree = controlsInTree();
    const QList<QWidget *> controls
        = m_form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(!controls.isEmpty());
    for (const QWidget *each : controls) {
        QAccessibleInterface *node = tree.value(each->objectName());
        QVERIFY2(node, qPrintable(each->objectName()));
        QVERIFY2(!node->state().invisible, qPrintable(each->objectName()));
        QCOMPARE(node->parent()->object(), m_form.get());
    }
    QCOMPARE(tree.size(), controls.size());
}

void TestAccessibility::buttonsReadTheirCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("source button") << "cmdSource" << true;
    QTest::newRow("destination button") << "cmdDest" << true;
    QTest::newRow("all button") << "cmdSelectAll" << true;
    QTest::newRow("none button") << "cmdSelectNone" << true;
    QTest::newRow("copy button, disabled at start") << "Command2" << false;
}

void TestAccessibility::buttonsReadTheirCaptions()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);

    const auto *button = m_form->findChild<QPushButton *>(name);
    QVERIFY(button);
    QAccessibleInterface *node = control(name);
    QVERIFY(node);
    QCOMPARE(node->role(), QAccessible::Button);
    QVERIFY(!button->text().isEmpty());
    QCOMPARE(node->text(QAccessible::Name), button->text());
    QCOMPARE(!node->state().disabled, enabled);
    // A screen reader offers to press the button only while it can be pressed.
    QVERIFY(node->actionInterface());
    const QStringList actions = node->actionInterface()->actionNames();
    QCOMPARE(actions.contains(QAccessibleActionInterface::pressAction()), enabled);
}

void TestAccessibility::labelsReadTheirText_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("days explanation") << "Label4_0";
    QTest::newRow("set days") << "Label1";
    QTest::newRow("select/deselect") << "Label4_2";
    QTest::newRow("date heading") << "Label8";
    QTest::newRow("warning") << "Label7";
    QTest::newRow("progress line") << "Label2";
}

void TestAccessibility::labelsReadTheirText()
{
    QFETCH(QString, name);

    const auto *label = m_form->findChild<QLabel *>(name);
    QVERIFY(label);
    QAccessibleInterface *node = control(name);
    QVERIFY(node);
    QCOMPARE(node->role(), QAccessible::StaticText);
    QVERIFY(!label->text().trimmed().isEmpty());
    QCOMPARE(node->text(QAccessible::Name), label->text());
}

void TestAccessibility::uncaptionedControlsNamed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<bool>("readOnly");

    QTest::newRow("source field") << "Text1" << QAccessible::EditableText << true;
    QTest::newRow("days field") << "daysold" << QAccessible::EditableText << false;
    QTest::newRow("counter") << "txtFiles" << QAccessible::EditableText << true;
    QTest::newRow("destination field") << "Text2" << QAccessible::EditableText << true;
    QTest::newRow("display list") << "ListSourceFiles" << QAccessible::List << false;
}

void TestAccessibility::uncaptionedControlsNamed()
{
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);
    QFETCH(bool, readOnly);

    QAccessibleInterface *node = control(name);
    QVERIFY(node);
    QCOMPARE(node->role(), role);
    QVERIFY(!node->text(QAccessible::Name).trimmed().isEmpty());
    QCOMPARE(bool(node->state().readOnly), readOnly);
    // A field's content is read out as its value, so the counter's text is heard too.
    if (const auto *field = qobject_cast<QLineEdit *>(node->object()))
        QCOMPARE(node->text(QAccessible::Value), field->text());
}

void TestAccessibility::uncaptionedNamesDistinct()
{
    QSet<QString> names;
    int uncaptioned = 0;
    for (QAccessibleInterface *node : controlsInTree()) {
        if (node->role() != QAccessible::EditableText && node->role() != QAccessible::List)
            continue;
        ++uncaptioned;
        const QString name = node->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty(), qPrintable(node->object()->objectName()));
        QVERIFY2(!names.contains(name), qPrintable(name));
        names.insert(name);
    }
    QCOMPARE(uncaptioned, 5);
}

void TestAccessibility::listEntriesReadable()
{
    const qint64 noon = QDateTime(m_fakes->clock.day, QTime(12, 0)).toSecsSinceEpoch();
    m_fakes->fileSystem.syntheticSubFolders
        = std::vector<SubFolder> { { "Holidays", noon }, { "Invoices", noon } };
    m_form->FillEm(QStringLiteral("/source/"));
    QCOMPARE(m_form->ListSourceFiles->count(), 2);
    m_form->ListSourceFiles->item(1)->setSelected(true);

    QAccessibleInterface *list = control(QStringLiteral("ListSourceFiles"));
    QVERIFY(list);
    QCOMPARE(list->childCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QAccessibleInterface *entry = list->child(row);
        QVERIFY(entry);
        QCOMPARE(entry->text(QAccessible::Name), m_form->ListSourceFiles->item(row)->text());
        QVERIFY(entry->state().selectable);
        QCOMPARE(bool(entry->state().selected), row == 1);
    }
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
