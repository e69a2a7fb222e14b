#include "copy/copy_messages.h"
#include "data_table.h"
#include "platform/termination_signals.h"
#include "selection/selection_summary.h"
#include "ui/copy_progress_dialog.h"
#include "window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace TempTree;

class TestWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_w;

    QStringList &shown() const { return m_w->fakes.messageBox.shown; }

private slots:
    // /src holds one, three and two (each with a file and a nested folder) from today;
    // /backup is empty.
    void init()
    {
        m_w = std::make_unique<WindowFixture>();
        const qint64 recent = localSecs(m_w->fakes.clock.day, 60);
        for (const char *name : { "one", "three", "two" }) {
            const auto folder = makeFolder(m_w->disk("src"), name, recent);
            fs::create_directories(folder / "inner");
            writeFile(folder / "data.bin", std::string("new ") + name);
            writeFile(folder / "inner" / "deep.txt", name);
        }
        fs::create_directories(m_w->disk("backup"));
    }
    void cleanup() { m_w.reset(); }

    void tabOrderAndFocus()
    {
        m_w->button("Command2")->setEnabled(true); // a disabled button is skipped
        m_w->window.show();
        QApplication::setActiveWindow(&m_w->window);
        QVERIFY(QTest::qWaitForWindowActive(&m_w->window));
        QCOMPARE(QApplication::focusWidget(), m_w->control("Text1"));
        for (const char *next : { "Command2", "cmdSource", "ListSourceFiles", "cmdSelectNone",
                                  "cmdSelectAll", "daysold", "cmdDest", "Text2", "Text1" }) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), m_w->control(next));
        }
    }

    void labelFitsItsBox_data()
    {
        QTest::addColumn<QString>("label");
        for (const char *label : { "Label4_0", "Label7" })
            QTest::newRow(label) << QString::fromLatin1(label);
    }

    // The wrapped text of each long label shows whole inside its fixed box.
    void labelFitsItsBox()
    {
        QFETCH(QString, label);
        const auto *shown = m_w->control<QLabel>(qPrintable(label));
        QVERIFY(shown->heightForWidth(shown->width()) <= shown->height());
    }

    void choice_data()
    {
        // action: a button, or a double-click on the source field
        addColumns<QString, QString, QString, QString, QString>("action", "picked", "shown",
                                                                "counter", "message");
        // Each row starts from /src/ listed, with an entry selected behind the counter's back
        // and a destination: "1/2" shows that the counter alone was refreshed, "0/2" a new
        // listing or none. Nothing follows a destination choice, the copy button included.
        // clang-format off
        QTest::newRow("source folder gets one separator") << u"cmdSource"_s << u"/src"_s << u"/src/"_s << u"0/3"_s << u""_s;
        QTest::newRow("source root as it is") << u"cmdSource"_s << u"/"_s << u"/"_s << u"0/2"_s << u""_s; // src, backup
        QTest::newRow("source cancelled") << u"cmdSource"_s << u""_s << u"/src/"_s << u"1/3"_s << u""_s;
        QTest::newRow("source not present") << u"cmdSource"_s << u"/gone"_s << u"/gone"_s << u"0/0"_s << u"inform: SOURCE NOT PRESENT OR IS UNAVAILABLE"_s;
        QTest::newRow("source check fails") << u"cmdSource"_s << u"/failing"_s << u"/src/"_s << u"0/3"_s << u"warn: The folder could not be chosen:\n/failing: Input/output error"_s;
        // A double-click lists the fixed test folder; while it cannot be read, the last listing
        // and its selection stay.
        QTest::newRow("double-click, test folder missing") << u"double-click"_s << u""_s << u"/test/"_s << u"1/3"_s << u"warn: The folder /test/ cannot be read:\nNo such file or directory"_s;
        QTest::newRow("destination folder") << u"cmdDest"_s << u"/backup"_s << u"/backup/"_s << u"0/3"_s << u""_s;
        QTest::newRow("destination not a folder") << u"cmdDest"_s << u"/nowhere"_s << u"/nowhere"_s << u"0/3"_s << u""_s;
        QTest::newRow("destination check fails") << u"cmdDest"_s << u"/failing"_s << u"/old/"_s << u"0/3"_s << u"warn: The folder could not be chosen:\n/failing: Input/output error"_s;
        QTest::newRow("destination cancelled") << u"cmdDest"_s << u""_s << u""_s << u"0/3"_s << u""_s;
        // clang-format on
    }

    void choice()
    {
        const auto [action, picked, counter]
            = fetch<QString, QString, QString>("action", "picked", "counter");
        m_w->choose("cmdSource", u"/src"_s);
        m_w->field("Text2")->setText(u"/old/"_s);
        m_w->list()->selectionModel()->blockSignals(true);
        m_w->select(1);
        m_w->list()->selectionModel()->blockSignals(false);

        if (action == u"double-click")
            QTest::mouseDClick(m_w->field("Text1"), Qt::LeftButton);
        else
            m_w->choose(qPrintable(action), picked);
        QTEST(m_w->field(action == u"cmdDest" ? "Text2" : "Text1")->text(), "shown");
        QTEST(shown().join(QString()), "message");
        QCOMPARE(m_w->counter(), counter + u" Folders"_s);
        QCOMPARE(m_w->button("Command2")->isEnabled(), m_w->counter().startsWith(u"1/"));
    }

    void mouseKeysAndButtons_data()
    {
        // Digits click that row, A and N press All and None; P chooses a destination, W a path
        // that is no folder, C cancels that choice (emptying the field); O chooses the source
        // again, S cancels that choice; R and B release the right and left button over the
        // list's blank area; K types a digit into the day count; D and U press and release
        // the left button over row 0, apart.
        addColumns<QString, QString>("actions", "copied");
        // clang-format off
        QTest::newRow("clicks") << "02" << "one two";
        QTest::newRow("All, then a click") << "A1" << "one two";
        QTest::newRow("None") << "02N" << "";
        QTest::newRow("destination chosen, then a right-click") << "C0PR" << "one";
        QTest::newRow("destination emptied, then a release on blank") << "01CB" << "one three";
        QTest::newRow("destination chosen, then a click") << "C0P2" << "one two";
        QTest::newRow("destination chosen between press and release") << "CDPU" << "one";
        // Cancelled or bad choices do not steer the listing that the day count redoes.
        QTest::newRow("choices cancelled or bad, then the day count edited") << "1OSCWK" << "";
        // clang-format on
    }

    // The counter and the copy button follow every change and every mouse release over the
    // list, but not a destination choice; the copy takes exactly the rows the counter counts.
    void mouseKeysAndButtons()
    {
        QFETCH(QString, actions);
        m_w->field("Text2")->setText(u"/backup/"_s);
        m_w->window.listSourceFolder(u"/src/"_s);
        m_w->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_w->window));
        QListView *list = m_w->list();
        const QPoint blank(5, list->viewport()->height() - 5);
        const QPoint rowZero = list->visualRect(list->model()->index(0, 0)).center();

        // clang-format off
        const std::map<QChar, std::pair<const char *, QString>> choices = {
            { u'A', { "cmdSelectAll", {} } }, { u'N', { "cmdSelectNone", {} } }, { u'C', { "cmdDest", {} } },
            { u'P', { "cmdDest", u"/backup"_s } }, { u'W', { "cmdDest", u"/nowhere"_s } },
            { u'O', { "cmdSource", u"/src"_s } }, { u'S', { "cmdSource", {} } } };
        // clang-format on
        bool enabled = false;
        for (const QChar action : actions) {
            if (action.isDigit())
                QTest::mouseClick(
                    list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(action.digitValue(), 0)).center());
            else if (action == u'R' || action == u'B')
                QTest::mouseClick(list->viewport(),
                                  action == u'R' ? Qt::RightButton : Qt::LeftButton, {}, blank);
            else if (action == u'D')
                QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rowZero);
            else if (action == u'U')
                QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rowZero);
            else if (action == u'K')
                QTest::keyClick(m_w->field("daysold"), '0');
            else
                m_w->choose(choices.at(action).first, choices.at(action).second);
            const auto selected = list->selectionModel()->selectedRows().size();
            QCOMPARE(m_w->counter(), u"%1/3 Folders"_s.arg(selected));
            if (!u"PWC"_s.contains(action))
                enabled = selected > 0 && !m_w->field("Text2")->text().isEmpty();
            QCOMPARE(m_w->button("Command2")->isEnabled(), enabled);
        }
        QStringList copied;
        for (const auto &name : selectedNames(*list->selectionModel()))
            copied << QString::fromStdString(name);
        QTEST(copied.join(u' '), "copied");
        QCOMPARE(shown(), QStringList());

        // Without a destination the button stays off, whatever is selected.
        m_w->field("Text2")->clear();
        QTest::mouseClick(m_w->button("cmdSelectAll"), Qt::LeftButton);
        QVERIFY(!m_w->button("Command2")->isEnabled());
    }

    void daysField_data()
    {
        // shortcuts: pressed after the typing; menuPaste: as the field's context menu pastes
        addColumns<QString, QString, QString, QString, bool, QString, int>(
            "start", "typed", "shortcuts", "clipboard", "menuPaste", "fieldAfter", "scans");
        // /src's folders are from today, so every count lists all three.
        // clang-format off
        QTest::newRow("digit relists") << u"1"_s << u"2"_s << u""_s << u""_s << false << u"12"_s << 1;
        QTest::newRow("digit by digit") << u""_s << u"120"_s << u""_s << u""_s << false << u"120"_s << 3;
        QTest::newRow("non-digits refused") << u"60"_s << u"a-. +"_s << u""_s << u""_s << false << u"60"_s << 0;
        QTest::newRow("backspace to empty is 0 days") << u"6"_s << u"\b"_s << u""_s << u""_s << false << u""_s << 1;
        QTest::newRow("a million stays") << u"100000"_s << u"0"_s << u""_s << u""_s << false << u"1000000"_s << 1;
        QTest::newRow("above a million, one scan") << u"1000000"_s << u"0"_s << u""_s << u""_s << false << u"999999"_s << 1;
        QTest::newRow("cut refused") << u"60"_s << u""_s << u"Shift+Home, Ctrl+X"_s << u""_s << false << u"60"_s << 0;
        QTest::newRow("undo refused") << u"6"_s << u"2"_s << u"Ctrl+Z"_s << u""_s << false << u"62"_s << 1;
        QTest::newRow("paste key refused") << u"6"_s << u""_s << u"Ctrl+V"_s << u"0"_s << false << u"6"_s << 0;
        QTest::newRow("pasted letters refused") << u"60"_s << u""_s << u""_s << u"12a"_s << true << u"60"_s << 0;
        QTest::newRow("pasted digits taken") << u"6"_s << u""_s << u""_s << u"0"_s << true << u"60"_s << 1;
        // clang-format on
    }

    void daysField()
    {
        const auto [start, typed, shortcuts, clipboard, menuPaste, scans]
            = fetch<QString, QString, QString, QString, bool, int>(
                "start", "typed", "shortcuts", "clipboard", "menuPaste", "scans");
        QLineEdit *days = m_w->field("daysold");
        days->setText(start);
        m_w->window.listSourceFolder(u"/src/"_s);
        const int scansBefore = m_w->fakes.fileSystem.subFoldersCalls;
        QApplication::clipboard()->setText(clipboard);
        days->end(false);
        QTest::keyClicks(days, typed);
        const QKeySequence keys = QKeySequence::fromString(shortcuts);
        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(days, keys[i].key(), keys[i].keyboardModifiers());
        if (menuPaste)
            days->paste();
        QTEST(days->text(), "fieldAfter");
        QCOMPARE(m_w->fakes.fileSystem.subFoldersCalls - scansBefore, scans);
        QCOMPARE(m_w->counter(), u"0/3 Folders"_s);

        // Without a source, edits change only the field.
        m_w->field("Text1")->clear();
        QTest::keyClicks(days, u"1"_s);
        QCOMPARE(m_w->fakes.fileSystem.subFoldersCalls - scansBefore, scans);
    }

    void copyRun_data()
    {
        // copied: in order; replaced: another folder at the destination since its choice
        addColumns<QString, QList<int>, bool, quint64, bool, QString, QString, QStringList, bool>(
            "destination", "rows", "confirmed", "freeBytes", "copyAnyway", "progressLine", "copied",
            "shown", "replaced");
        const QString prompt
            = u"confirm Confirm Copy: Copy the %1 selected folder%2\r\n\r\ninto %3 now?"_s;
        const QString two = prompt.arg(2).arg(u"s"_s, u"/backup/"_s), done = u"FINISHED COPYING"_s;
        const QString question
            = u"ask: The selected sub-folders hold 20 bytes; the destination has 10 bytes free. Copy anyway?"_s;
        const quint64 plenty = UINT64_MAX;
        // clang-format off
        QTest::newRow("cancelled at the confirmation") << u"/backup/"_s << QList { 0 } << false << plenty << true << u"PREPARE TO COPY"_s << u""_s << QStringList { prompt.arg(1).arg(u""_s, u"/backup/"_s) } << false;
        QTest::newRow("copies in list order") << u"/backup/"_s << QList { 2, 0 } << true << plenty << true << done << u"one two"_s << QStringList { two } << false;
        QTest::newRow("destination without separator") << u"/backup"_s << QList { 0, 2 } << true << plenty << true << done << u"one two"_s << QStringList { prompt.arg(2).arg(u"s"_s, u"/backup"_s) } << false;
        QTest::newRow("short of space, copy anyway") << u"/backup/"_s << QList { 0, 2 } << true << quint64(10) << true << done << u"one two"_s << QStringList { two, question } << false;
        QTest::newRow("short of space, do not copy") << u"/backup/"_s << QList { 0, 2 } << true << quint64(10) << false << u"PREPARE TO COPY"_s << u""_s << QStringList { two, question } << false;
        // A pipe in "three" is left out: the finish says so, and the details name it.
        QTest::newRow("a pipe left out") << u"/backup/"_s << QList { 0, 1 } << true << plenty << true << done + u" WITH 1 PROBLEM"_s << u"one three"_s << QStringList { two, u"inform: 1 entry was not copied; the details name it and say why."_s, u"details: /src/three/pipe: a special file (pipe, socket or device) is not copied"_s } << false;
        // A drive unmounted meanwhile leaves the bare mount point: nothing is written there.
        QTest::newRow("another folder there since its choice") << u"/backup/"_s << QList { 0 } << true << plenty << true << u"PREPARE TO COPY"_s << u""_s << QStringList { prompt.arg(1).arg(u""_s, u"/backup/"_s), u"warn: Nothing was copied: the destination was disconnected; \"/backup/\" is now another folder.\nChoose the destination folder again."_s } << true;
        // clang-format on
    }

    void copyRun()
    {
        FakeServices &fakes = m_w->fakes;
        const auto [destination, rows, replaced]
            = fetch<QString, QList<int>, bool>("destination", "rows", "replaced");
        std::tie(fakes.messageBox.confirmAnswer, fakes.messageBox.askAnswer,
                 fakes.fileSystem.mostFreeBytes)
            = fetch<bool, bool, quint64>("confirmed", "copyAnyway", "freeBytes");
        QCOMPARE(mkfifo(m_w->disk("src/three/pipe").c_str(), 0600), 0);
        m_w->listAndSelect(destination, rows);
        if (replaced) {
            fs::rename(m_w->disk("backup"), m_w->disk("ejected"));
            fs::create_directory(m_w->disk("backup"));
        }

        QVERIFY(m_w->copy());
        QTEST(m_w->progress(), "progressLine");
        QTEST(shown().replaceInStrings(m_w->dir.text(), QString()), "shown");
        QStringList copied;
        for (const auto &path : fakes.fileSystem.copies)
            copied << QString::fromStdString(path.filename());
        QTEST(copied.join(u' '), "copied");
        QVERIFY(!fs::exists(m_w->disk("ejected/one")));
        // Nothing is refreshed: pressing again would repeat the same copy.
        QCOMPARE(m_w->counter(), u"%1/3 Folders"_s.arg(rows.size()));
        QVERIFY(m_w->button("Command2")->isEnabled());
    }

    void longRun_data()
    {
        addColumns<QString, QString>("how", "progressLine");
        QTest::newRow("Cancel") << u"Cancel"_s << u"CANCELLED COPYING one"_s;
        QTest::newRow("close, stop the copy") << u"yes"_s << u"CANCELLED COPYING one"_s;
        QTest::newRow("Cancel while paused") << u"paused Cancel"_s << u"CANCELLED COPYING one"_s;
        QTest::newRow("close while paused") << u"paused yes"_s << u"CANCELLED COPYING one"_s;
        // The check of the copies after the flush: a phase of its own, which Cancel ends;
        // the copies stay, and the closing message says what was not read back.
        QTest::newRow("Cancel in the check") << u"check Cancel"_s << u"FINISHED COPYING"_s;
        // clang-format off
        QTest::newRow("Cancel in the check, paused") << u"paused check Cancel"_s << u"FINISHED COPYING"_s;
        // clang-format on
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
    void longRun()
    {
        auto [how, progressLine] = fetch<QString, QString>("how", "progressLine");
        const bool paused = how.startsWith(u"paused "), checks = how.contains(u"check ");
        how.remove(u"paused "_s).remove(u"check "_s);
        m_w->fakes.messageBox.checkAnswer = checks;
        const bool stops = progressLine.startsWith(u"CANCELLED"),
                   atFlush = how.endsWith(u" at flush");
        const bool closes = how.startsWith(u"yes") || how.startsWith(u"SIGTERM");
        // 12 MiB at 4 MB/s: about three seconds.
        writeFile(m_w->disk("src/one/large.bin"), std::string(12 << 20, 'x'));
        SlowCalls &drive = m_w->fakes.fileSystem.calls;
        drive.perByte = std::chrono::nanoseconds(250);
        drive.holdFlush = atFlush;
        // Let go on any way out, or the run would never end.
        const auto letGo = qScopeGuard([&drive] { drive.holdFlush = false; });
        m_w->fakes.messageBox.askAnswer = how.startsWith(u"yes");
        TerminationSignals termination;
        connect(&termination, &TerminationSignals::received, &m_w->window,
                &MainWindow::stopAndClose);
        m_w->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_w->window));
        m_w->listAndSelect(u"/backup/"_s, { 0, 1 });
        QTimer timer;
        QSignalSpy ticks(&timer, &QTimer::timeout);
        timer.start(20);

        QTest::mouseClick(m_w->button("Command2"), Qt::LeftButton);
        const char *const blocked[] = { "cmdSource", "cmdDest", "cmdSelectAll",   "cmdSelectNone",
                                        "Command2",  "daysold", "ListSourceFiles" };
        for (const char *name : blocked)
            QVERIFY2(!m_w->control(name)->isEnabled(), name);
        QPointer<QProgressDialog> dialog;
        QTRY_VERIFY_WITH_TIMEOUT(
            (dialog = m_w->window.findChild<QProgressDialog *>()) && dialog->isVisible(), 5000);
        QCOMPARE(dialog->windowTitle(), u"Copying"_s);
        QPushButton *cancel = dialog->findChild<QPushButton *>();
        if (atFlush) {
            QTRY_VERIFY_WITH_TIMEOUT(dialog->labelText() == flushingText(), 10000);
            QVERIFY(!cancel->isEnabled());
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
        } else if (checks) { // its own bytes and rate
            QTRY_VERIFY_WITH_TIMEOUT(dialog->labelText().startsWith(checkingText()), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(dialog->labelText().contains(u"/s, about"_s), 10000);
            QVERIFY(dialog->labelText().contains(u"backup/one/large.bin"_s));
            QVERIFY(cancel->isEnabled());
        } else {
            QTRY_VERIFY(dialog && dialog->labelText().contains(u"one (1 of 2)"));
        }
        auto *pause = dialog->findChild<QPushButton *>(u"pauseButton"_s);
        QCOMPARE(pause->isEnabled(), !atFlush);
        if (paused) { // Cancel and close work as during the run, the progress line unchanged
            const QString line = m_w->progress();
            QTest::mouseClick(pause, Qt::LeftButton);
            QCOMPARE(pause->text(), u"Resume"_s);
            QVERIFY(dialog->labelText().endsWith(u"\nPaused"_s));
            QTest::qWait(300);
            QCOMPARE(m_w->progress(), line);
        }
        // The window's thread is free while the worker copies.
        QTRY_VERIFY(ticks.size() > 20);
        QVERIFY(!m_w->button("cmdSource")->isEnabled());

        if (how.startsWith(u"Cancel")) {
            QTest::mouseClick(cancel, Qt::LeftButton);
        } else if (how.startsWith(u"SIGTERM")) {
            QCOMPARE(::raise(SIGTERM), 0);
        } else {
            QVERIFY(!m_w->window.close()); // the question comes first; the run ends on its thread
            QCOMPARE(shown().filter(u"ask: "_s).size(), 1);
            QCOMPARE(shown().back().startsWith(u"ask: "_s + flushingText()), atFlush);
        }
        if (atFlush) { // nothing ends before the flush does, however long a signal takes
            QTest::qWait(100);
            QVERIFY(dialog->isVisible() && m_w->window.isVisible());
            drive.holdFlush = false;
        }
        QVERIFY(m_w->runEnded());
        QCOMPARE(m_w->progress(), progressLine);
        QCOMPARE(fs::exists(m_w->disk("backup/one/large.bin")), !stops);
        QCOMPARE(m_w->window.isVisible(), !closes);
        // Only Cancel says what was copied; a closing program leaves no message waiting.
        QCOMPARE(shown().filter(u"inform: "_s).size(), how == u"Cancel"_s ? 1 : 0);
        QCOMPARE(shown().filter(u"read back"_s).size(), checks ? 1 : 0);
        for (const char *name : blocked)
            QVERIFY2(m_w->control(name)->isEnabled(), name);
    }

    // The rate shown is the run's, measured from its first byte, not since the dialog was
    // made: a long count or question before the copy does not lower it. The files already up
    // to date have a line of their own.
    void dialogShowsTheRunsRate()
    {
        CopyProgressDialog dialog(nullptr);
        dialog.showProgress(
            { u"one"_s, 1, 1, u"/src/one/f"_s, 10'000'000, 25'000'000, 1000, 18412, 0 });
        QCOMPARE(dialog.labelText().section(u'\n', 2, 2), u"10.0 MB/s, about 2 s left"_s);
        QVERIFY(dialog.labelText().endsWith(u"\n18,412 files were already up to date"_s));
        // A run that ended within its first second: the dialog's own timer must not show
        // it later, beside the closing message.
        CopyProgressDialog ended(nullptr);
        ended.showCounting();
        ended.end();
        QTest::qWait(1200);
        QVERIFY(!ended.isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
