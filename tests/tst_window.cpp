#include "fake_services.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w = std::make_unique<WindowFixture>(); }
    void cleanup() { m_w.reset(); }

    void startUpState();
    void tabOrderAndFocus();
    void screenReaderNames();

private:
    std::unique_ptr<WindowFixture> m_w;
};

void TestWindow::startUpState()
{
    Form1 &form = m_w->form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Sprigwell v1.0 beta"));
    QCOMPARE(form.size(), QSize(532, 533));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.palette().color(QPalette::Window), QColor(128, 0, 128));
    QVERIFY(form.ListSourceFiles->font().fixedPitch());
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.daysold->text(), QStringLiteral("60"));
    QCOMPARE(form.txtFiles->text(), QStringLiteral("0/0 Folders"));
    QCOMPARE(form.Label2->text(), QStringLiteral("RUDIMENTARY PROGRESS SHOWN HERE"));
    QCOMPARE(form.txtGoGo, QStringLiteral("2"));
    QCOMPARE(form.txtSelected, QStringLiteral("0"));
    QVERIFY(form.Text1->text().isEmpty() && form.Text2->text().isEmpty());
    QVERIFY(form.Text1->isReadOnly() && form.Text2->isReadOnly());
    QCOMPARE(form.ListSourceFiles->count() + form.ListSourceFilesOnly.count(), 0);
    QVERIFY(!form.Command2->isEnabled());
    QCOMPARE(m_w->fakes.fileSystem.subFoldersCalls, 0); // nothing is scanned at start-up
}

void TestWindow::tabOrderAndFocus()
{
    Form1 &form = m_w->form;
    form.Command2->setEnabled(true); // a disabled button is skipped
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.Text1);
    const QList<QWidget *> order { form.Command2,      form.cmdSource,    form.ListSourceFiles,
                                   form.cmdSelectNone, form.cmdSelectAll, form.daysold,
                                   form.cmdDest,       form.Text2,        form.Text1 };
    for (QWidget *next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

// The fields and the list have no caption of their own: a screen reader must still
// tell them apart.
void TestWindow::screenReaderNames()
{
    m_w->form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_w->form));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&m_w->form);
    QVERIFY(window);
    QSet<QString> names;
    int uncaptioned = 0;
    for (int i = 0; i < window->childCount(); ++i) {
        QAccessibleInterface *child = window->child(i);
        const QString name = child->text(QAccessible::Name);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(child->object()->objectName()));
        if (child->role() == QAccessible::EditableText || child->role() == QAccessible::List) {
            ++uncaptioned;
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
    }
    QCOMPARE(uncaptioned, 5);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
