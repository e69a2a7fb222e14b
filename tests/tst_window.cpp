#include "copy/copy_messages.h"
#include "platform/termination_signals.h"
#include "selection/selection_summary.h"
#include "window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <csignal>

using TempTree::readFile;
using TempTree::writeFile;
using Flags = QList<bool>;

using namespace Qt::StringLiterals;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_w.reset(); }

    void tabOrderAndFocus();
    void choice_data();
    void choice();
    void destinationDoesNotSteerListing();
    void fileSystemFailureDuringChoice();
    void mouseKeysAndButtons_data();
    void mouseKeysAndButtons();
    void doubleClickListsTestFolder();
    void daysField_data();
    void daysField();
    void copyRun_data();
    void copyRun();
    void longRun_data();
    void longRun();

private:
    // Lists /src/ (one, three, two), shows the destination and selects the given rows.
    void listAndSelect(const QString &destination, const QList<int> &rows);
    void choose(const char *button, const QString &picked)
    {
        if (!picked.isEmpty())
            m_w->fakes.folderPicker.answers.push_back(picked);
        QTest::mouseClick(m_w->button(button), Qt::LeftButton);
    }
    bool waitForRunEnd() const
    {
        return QTest::qWaitFor([this] { return m_w->button("cmdSource")->isEnabled(); }, 20000);
    }

    std::unique_ptr<WindowFixture> m_w;
};

// /src holds one, three and two (each with a file and a nested folder) from today;
// /backup is empty.
void TestWindow::init()
{
    m_w = std::make_unique<WindowFixture>();
    const qint64 recent = TempTree::localSecs(m_w->fakes.clock.day, 60);
    for (const char *name : { "one", "three", "two" }) {
        const auto folder = TempTree::makeFolder(m_w->disk("src"), name, recent);
        std::filesystem::create_directories(folder / "inner");
        writeFile(folder / "data.bin", std::string("new ") + name);
        writeFile(folder / "inner" / "deep.txt", name);
    }
    std::filesystem::create_directories(m_w->disk("backup"));
}

void TestWindow::listAndSelect(const QString &destination, const QList<int> &rows)
{
    m_w->window.listSourceFolder(QStringLiteral("/src/"));
    m_w->field("Text2")->setText(destination);
    for (int row : rows)
        m_w->select(row);
    QVERIFY(m_w->button("Command2")->isEnabled());
}

void TestWindow::tabOrderAndFocus()
{
    MainWindow &window = m_w->window;
    m_w->button("Command2")->setEnabled(true); // a disabled button is skipped
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), m_w->control("Text1"));
    for (const char *next : { "Command2", "cmdSource", "ListSourceFiles", "cmdSelectNone",
                              "cmdSelectAll", "daysold", "cmdDest", "Text2", "Text1" }) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_w->control(next));
    }
}

void TestWindow::choice_data()
{
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("message");

    // Each row starts from /src/ listed, with an entry selected behind the counter's
    // back: "1/2" shows that the counter alone was refreshed, "0/2" a new listing or none.
    QTest::newRow("source folder gets one separator")
        << true << u"/src"_s << u"/src/"_s << u"0/3"_s << u""_s;
    QTest::newRow("source root as it is")
        << true << u"/"_s << u"/"_s << u"0/2"_s << u""_s; // src, backup
    QTest::newRow("source cancelled") << true << u""_s << u"/src/"_s << u"1/3"_s << u""_s;
    QTest::newRow("source not present") << true << u"/gone"_s << u"/gone"_s << u"0/0"_s
                                        << u"SOURCE NOT PRESENT OR IS UNAVAILABLE"_s;
    QTest::newRow("destination folder")
        << false << u"/backup"_s << u"/backup/"_s << u"0/3"_s << u""_s;
    QTest::newRow("destination not a folder")
        << false << u"/nowhere"_s << u"/nowhere"_s << u"0/3"_s << u""_s;
    QTest::newRow("destination cancelled") << false << u""_s << u""_s << u"0/3"_s << u""_s;
}

void TestWindow::choice()
{
    QFETCH(bool, source);
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(QString, counter);
    QFETCH(QString, message);

    choose("cmdSource", QStringLiteral("/src"));
    m_w->field("Text2")->setText(QStringLiteral("/old/"));
    {
        const QSignalBlocker quiet(m_w->list()->selectionModel());
        m_w->select(1);
    }

    choose(source ? "cmdSource" : "cmdDest", picked);
    QCOMPARE(m_w->field(source ? "Text1" : "Text2")->text(), shown);
    QCOMPARE(m_w->fakes.messageBox.informed.join(QString()), message);
    QCOMPARE(m_w->counter(), counter + QStringLiteral(" Folders"));
    if (!source) // nothing follows a destination choice, the copy button included
        QVERIFY(!m_w->button("Command2")->isEnabled());
}

// Cancelling a choice or choosing a bad destination must not empty the source's listing
// at the next edit of the day count.
void TestWindow::destinationDoesNotSteerListing()
{
    choose("cmdSource", QStringLiteral("/src"));
    choose("cmdSource", QString());
    choose("cmdDest", QString());
    choose("cmdDest", QStringLiteral("/nowhere"));
    QTest::keyClick(m_w->field("daysold"), '0');
    QVERIFY(m_w->fakes.messageBox.informed.isEmpty());
    QCOMPARE(m_w->counter(), QStringLiteral("0/3 Folders"));
}

void TestWindow::fileSystemFailureDuringChoice()
{
    choose("cmdSource", QStringLiteral("/src"));
    m_w->fakes.fileSystem.folderExistsFailure = std::errc::io_error;
    choose("cmdSource", QStringLiteral("/backup"));
    choose("cmdDest", QStringLiteral("/backup"));
    QCOMPARE(m_w->fakes.messageBox.warned.size(), 2);
    QVERIFY(m_w->fakes.messageBox.warned.back().contains(QStringLiteral("Input/output error")));
    QCOMPARE(m_w->field("Text1")->text(), QStringLiteral("/src/"));
    QCOMPARE(m_w->field("Text2")->text(), QString());

    m_w->fakes.fileSystem.folderExistsFailure.reset(); // and the window still works
    choose("cmdDest", QStringLiteral("/backup"));
    QCOMPARE(m_w->field("Text2")->text(), QStringLiteral("/backup/"));
}

void TestWindow::mouseKeysAndButtons_data()
{
    // Digits click that row, A and N press All and None, S is Space on the current row, D
    // the down arrow; P chooses a destination, C cancels that choice (emptying the field);
    // R and B release the right and left button over the list's blank area.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<Flags>("expected");
    QTest::newRow("clicks") << "03" << Flags { true, false, false, true };
    QTest::newRow("All, then a click") << "A1" << Flags { true, false, true, true };
    QTest::newRow("None") << "02N" << Flags(4, false);
    QTest::newRow("keys") << "0DS" << Flags { true, true, false, false };
    QTest::newRow("destination chosen, then a right-click")
        << "C0PR" << Flags { true, false, false, false };
    QTest::newRow("destination emptied, then a release on blank")
        << "01CB" << Flags { true, true, false, false };
    QTest::newRow("destination chosen, then a click")
        << "C0P2" << Flags { true, false, true, false };
}

// The counter and the copy button follow every change and every mouse release over the
// list, but not a destination choice; the copy takes exactly the rows the counter counts.
void TestWindow::mouseKeysAndButtons()
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

    bool enabled = false;
    for (const QChar action : actions) {
        switch (action.unicode()) {
        case 'P':
            w.fakes.folderPicker.answers.push_back(QStringLiteral("/backup"));
            [[fallthrough]];
        case 'C':
            QTest::mouseClick(w.button("cmdDest"), Qt::LeftButton);
            break;
        case 'R':
        case 'B':
            QTest::mouseClick(list->viewport(), action == 'R' ? Qt::RightButton : Qt::LeftButton,
                              Qt::NoModifier, QPoint(5, list->viewport()->height() - 5));
            break;
        case 'A':
            QTest::mouseClick(w.button("cmdSelectAll"), Qt::LeftButton);
            break;
        case 'N':
            QTest::mouseClick(w.button("cmdSelectNone"), Qt::LeftButton);
            break;
        case 'S':
            QTest::keyClick(list, Qt::Key_Space);
            break;
        case 'D':
            QTest::keyClick(list, Qt::Key_Down);
            break;
        default:
            click(action.digitValue(), Qt::LeftButton);
        }
        const auto selected = list->selectionModel()->selectedRows().size();
        QCOMPARE(w.counter(), QStringLiteral("%1/4 Folders").arg(selected));
        if (action != 'P' && action != 'C')
            enabled = selected > 0 && !w.field("Text2")->text().isEmpty();
        QCOMPARE(w.button("Command2")->isEnabled(), enabled);
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

// A double-click lists the fixed test folder; while it cannot be read, the last listing
// and its selection stay.
void TestWindow::doubleClickListsTestFolder()
{
    listAndSelect(QStringLiteral("/backup/"), { 0 });
    QTest::mouseDClick(m_w->field("Text1"), Qt::LeftButton);
    QCOMPARE(m_w->field("Text1")->text(), QStringLiteral("/test/"));
    QCOMPARE(m_w->fakes.messageBox.warned.size(), 1);
    QVERIFY(m_w->fakes.messageBox.warned.front().contains(QStringLiteral("No such file")));
    QCOMPARE(m_w->counter(), QStringLiteral("1/3 Folders"));

    std::filesystem::rename(m_w->disk("src"), m_w->disk("test"));
    QTest::mouseDClick(m_w->field("Text1"), Qt::LeftButton);
    QCOMPARE(m_w->counter(), QStringLiteral("0/3 Folders"));
}

void TestWindow::daysField_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<int>("scans");
    // /src's folders are from today, so every count lists all three.
    QTest::newRow("digit relists") << u"1"_s << u"2"_s << u""_s << u"12"_s << 1;
    QTest::newRow("digit by digit") << u""_s << u"120"_s << u""_s << u"120"_s << 3;
    QTest::newRow("non-digits refused") << u"60"_s << u"a-. +"_s << u""_s << u"60"_s << 0;
    QTest::newRow("backspace to empty is 0 days") << u"6"_s << u"\b"_s << u""_s << u""_s << 1;
    QTest::newRow("a million stays") << u"100000"_s << u"0"_s << u""_s << u"1000000"_s << 1;
    QTest::newRow("above a million, one scan")
        << u"1000000"_s << u"0"_s << u""_s << u"999999"_s << 1;
    QTest::newRow("pasted letters refused") << u"60"_s << u""_s << u"12a"_s << u"60"_s << 0;
    QTest::newRow("pasted digits taken") << u"6"_s << u""_s << u"0"_s << u"60"_s << 1;
}

void TestWindow::daysField()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, fieldAfter);
    QFETCH(int, scans);

    QLineEdit *days = m_w->field("daysold");
    days->setText(start);
    m_w->window.listSourceFolder(QStringLiteral("/src/"));
    const int scansBefore = m_w->fakes.fileSystem.subFoldersCalls;
    days->end(false);
    QTest::keyClicks(days, typed);
    if (!pasted.isEmpty()) {
        QApplication::clipboard()->setText(pasted);
        days->paste();
    }
    QCOMPARE(days->text(), fieldAfter);
    QCOMPARE(m_w->fakes.fileSystem.subFoldersCalls - scansBefore, scans);
    QCOMPARE(m_w->counter(), QStringLiteral("0/3 Folders"));

    // Without a source, edits change only the field.
    m_w->field("Text1")->clear();
    QTest::keyClicks(days, QStringLiteral("1"));
    QCOMPARE(m_w->fakes.fileSystem.subFoldersCalls - scansBefore, scans);
}

void TestWindow::copyRun_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<qint64>("freeBytes"); // -1: what the disk says
    QTest::addColumn<bool>("copyAnyway");
    QTest::addColumn<QString>("progressLine");
    QTest::addColumn<QString>("prompt");
    const QString two = "Confirm Copy|Copy the 2 selected folders\r\n\r\ninto /backup/ now?";
    QTest::newRow("cancelled at the confirmation")
        << u"/backup/"_s << QList<int> { 0 } << false << qint64(-1) << true << u"PREPARE TO COPY"_s
        << u"Confirm Copy|Copy the 1 selected folder\r\n\r\ninto /backup/ now?"_s;
    QTest::newRow("copies in list order") << u"/backup/"_s << QList<int> { 2, 0 } << true
                                          << qint64(-1) << true << u"FINISHED COPYING"_s << two;
    QTest::newRow("destination without separator")
        << u"/backup"_s << QList<int> { 0, 2 } << true << qint64(-1) << true
        << u"FINISHED COPYING"_s
        << u"Confirm Copy|Copy the 2 selected folders\r\n\r\ninto /backup now?"_s;
    QTest::newRow("short of space, copy anyway")
        << u"/backup/"_s << QList<int> { 0, 2 } << true << qint64(10) << true
        << u"FINISHED COPYING"_s << two;
    QTest::newRow("short of space, do not copy")
        << u"/backup/"_s << QList<int> { 0, 2 } << true << qint64(10) << false
        << u"PREPARE TO COPY"_s << two;
    // A pipe in "two" is left out: the finish says so, and the details name it.
    QTest::newRow("a pipe left out") << u"/backup/"_s << QList<int> { 0, 2 } << true << qint64(-1)
                                     << true << u"FINISHED COPYING WITH 1 PROBLEM"_s << two;
}

void TestWindow::copyRun()
{
    QFETCH(QString, destination);
    QFETCH(QList<int>, rows);
    QFETCH(bool, confirmed);
    QFETCH(qint64, freeBytes);
    QFETCH(bool, copyAnyway);
    QFETCH(QString, progressLine);
    QFETCH(QString, prompt);

    FakeServices &fakes = m_w->fakes;
    if (freeBytes >= 0)
        fakes.fileSystem.syntheticFreeBytes = quint64(freeBytes);
    fakes.messageBox.confirmAnswer = confirmed;
    fakes.messageBox.askAnswer = copyAnyway;
    const bool withPipe = progressLine.contains(QStringLiteral("PROBLEM"));
    if (withPipe)
        QCOMPARE(mkfifo(m_w->disk("src/two/pipe").c_str(), 0600), 0);
    listAndSelect(destination, rows);
    QTest::mouseClick(m_w->button("Command2"), Qt::LeftButton);
    QVERIFY(waitForRunEnd());

    QCOMPARE(fakes.messageBox.confirmTexts, QStringList { prompt });
    QCOMPARE(m_w->progress(), progressLine);
    QCOMPARE(fakes.messageBox.questions.size(), freeBytes >= 0 ? 1 : 0);
    if (freeBytes >= 0)
        QCOMPARE(fakes.messageBox.questions.front(),
                 QStringLiteral("The selected sub-folders hold 20 bytes; the destination has "
                                "10 bytes free. Copy anyway?"));
    const bool copied = progressLine.startsWith(QStringLiteral("FINISHED COPYING"));
    QCOMPARE(fakes.fileSystem.copies.size(), copied ? 2u : 0u);
    if (copied) {
        QCOMPARE(fakes.fileSystem.copies.front(), std::filesystem::path("/src/one"));
        QCOMPARE(readFile(m_w->disk("backup/two/inner/deep.txt")), std::string("two"));
    } else {
        QVERIFY(std::filesystem::is_empty(m_w->disk("backup")));
    }
    QVERIFY(fakes.messageBox.warned.isEmpty());
    QCOMPARE(fakes.messageBox.informed.size(), withPipe ? 1 : 0);
    if (withPipe)
        QVERIFY(fakes.messageBox.details.front().contains(QStringLiteral("/src/two/pipe")));
    // Nothing is refreshed: pressing again would repeat the same copy.
    QCOMPARE(m_w->counter(), QStringLiteral("%1/3 Folders").arg(rows.size()));
    QVERIFY(m_w->button("Command2")->isEnabled());
}

void TestWindow::longRun_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("progressLine");
    QTest::newRow("Cancel") << u"Cancel"_s << u"CANCELLED COPYING one"_s;
    QTest::newRow("close, stop the copy") << u"yes"_s << u"CANCELLED COPYING one"_s;
    QTest::newRow("close, let it go on") << u"no"_s << u"FINISHED COPYING"_s;
    // A logout or a kill: stops like Cancel, asks nothing.
    QTest::newRow("SIGTERM") << u"SIGTERM"_s << u"CANCELLED COPYING one"_s;
    // The final flush cannot be cancelled: the dialog and the close question say so, and
    // the run ends when the flush does, closing the window where asked to.
    QTest::newRow("Cancel at the flush") << u"Cancel at flush"_s << u"FINISHED COPYING"_s;
    QTest::newRow("close at the flush") << u"yes at flush"_s << u"FINISHED COPYING"_s;
    QTest::newRow("SIGTERM at the flush") << u"SIGTERM at flush"_s << u"FINISHED COPYING"_s;
}

// A run long enough for the "Copying" dialog: the window's own timers keep firing, what
// changes what is copied is blocked, and each way of stopping ends the run cleanly.
void TestWindow::longRun()
{
    QFETCH(QString, how);
    QFETCH(QString, progressLine);
    const bool stops = progressLine.startsWith(QStringLiteral("CANCELLED"));
    const bool atFlush = how.endsWith(u" at flush");
    const bool closes = how.startsWith(u"yes") || how.startsWith(u"SIGTERM");
    writeFile(m_w->disk("src/one/large.bin"), std::string(64 << 20, 'x'));
    m_w->fakes.fileSystem.delayPerChunk = std::chrono::milliseconds(150);
    m_w->fakes.fileSystem.holdFlush = atFlush;
    // Let go on any way out, or the run would never end.
    const auto letGo = qScopeGuard([this] { m_w->fakes.fileSystem.holdFlush = false; });
    m_w->fakes.messageBox.askAnswer = how.startsWith(u"yes");
    TerminationSignals termination;
    connect(&termination, &TerminationSignals::received, &m_w->window, &MainWindow::stopAndClose);
    m_w->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_w->window));
    listAndSelect(QStringLiteral("/backup/"), { 0, 1 });
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(20);

    QTest::mouseClick(m_w->button("Command2"), Qt::LeftButton);
    const char *const blocked[] = { "cmdSource", "cmdDest", "cmdSelectAll",   "cmdSelectNone",
                                    "Command2",  "daysold", "ListSourceFiles" };
    for (const char *name : blocked)
        QVERIFY2(!m_w->control(name)->isEnabled(), name);
    QPointer<QProgressDialog> dialog;
    QTRY_VERIFY_WITH_TIMEOUT(
        (dialog = m_w->window.findChild<QProgressDialog *>()) && dialog->isVisible(), 5000);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Copying"));
    QPushButton *cancel = dialog->findChild<QPushButton *>();
    if (atFlush) {
        QTRY_VERIFY_WITH_TIMEOUT(dialog->labelText() == flushingText(), 10000);
        QVERIFY(!cancel->isEnabled());
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
    } else {
        QTRY_VERIFY(dialog && dialog->labelText().contains(QStringLiteral("one (1 of 2)")));
    }
    // The window's thread is free while the worker copies.
    QTRY_VERIFY(ticks > 20);
    QVERIFY(!m_w->button("cmdSource")->isEnabled());

    if (how.startsWith(u"Cancel")) {
        QTest::mouseClick(cancel, Qt::LeftButton);
    } else if (how.startsWith(u"SIGTERM")) {
        QCOMPARE(::raise(SIGTERM), 0);
    } else {
        QVERIFY(!m_w->window.close()); // the question comes first; the run ends on its thread
        QCOMPARE(m_w->fakes.messageBox.questions.size(), 1);
        QCOMPARE(m_w->fakes.messageBox.questions.front().startsWith(flushingText()), atFlush);
    }
    if (atFlush) { // nothing ends before the flush does, however long a signal takes
        QTest::qWait(100);
        QVERIFY(dialog->isVisible() && m_w->window.isVisible());
        m_w->fakes.fileSystem.holdFlush = false;
    }
    QVERIFY(waitForRunEnd());
    QCOMPARE(m_w->progress(), progressLine);
    QCOMPARE(std::filesystem::exists(m_w->disk("backup/one/large.bin")), !stops);
    QCOMPARE(m_w->window.isVisible(), !closes);
    // Only Cancel says what was copied; a closing program leaves no message waiting.
    QCOMPARE(m_w->fakes.messageBox.informed.size(), how == QStringLiteral("Cancel") ? 1 : 0);
    for (const char *name : blocked)
        QVERIFY2(m_w->control(name)->isEnabled(), name);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
