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
    void copyButtonRule_data();
    void copyButtonRule();

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

void TestWindow::copyButtonRule_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("nothing selected") << 0 << "/src/"
                                      << "/backup/" << false;
    QTest::newRow("selection and both paths") << 2 << "/src/"
                                              << "/backup/" << true;
    QTest::newRow("empty destination") << 2 << "/src/"
                                       << "" << false;
    QTest::newRow("empty source") << 1 << ""
                                  << "/backup/" << false;
    QTest::newRow("roots count as paths") << 1 << "/"
                                          << "/" << true;
}

void TestWindow::copyButtonRule()
{
    QFETCH(int, selected);
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(bool, enabled);

    m_w->fakes.fileSystem.syntheticSubFolders
        = std::vector<SubFolder> { { "a", 0 }, { "b", 0 }, { "c", 0 } };
    m_w->form.daysold->setText(QStringLiteral("1000000")); // lists 1970 too
    m_w->form.FillEm(QStringLiteral("/src/"));
    m_w->form.Text1->setText(source);
    m_w->form.Text2->setText(destination);
    for (int i = 0; i < selected; ++i)
        m_w->form.ListSourceFiles->item(i)->setSelected(true);
    QCOMPARE(m_w->form.txtSelected, QString::number(selected));
    QCOMPARE(m_w->form.txtFiles->text(), QStringLiteral("%1/3 Folders").arg(selected));
    QCOMPARE(m_w->form.Command2->isEnabled(), enabled);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
