#include "data_table.h"
#include "ui/desktop_notifier.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

const QString serviceName = u"org.freedesktop.Notifications"_s;
const QString objectPath = u"/org/freedesktop/Notifications"_s;

// A notification service of the test's own, on a connection of its own to the bus.
class NoticeService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList received; // "<program>: <summary>: <body>"

public slots:
    // clang-format off
    uint Notify(const QString &program, uint, const QString &, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &, int)
    { received << program + u": "_s + summary + u": "_s + body; return uint(received.size()); }
    // clang-format on
    // Answered after every call sent before it: nothing more is on its way.
    int Received() { return int(received.size()); }
};

} // namespace

class TestNotice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(u"Sprigwell"_s); }

    void noticeAtTheEnd_data()
    {
        // problems: a pipe in the copied sub-folder
        addColumns<bool, bool, bool, QStringList>("service", "inFront", "problems", "notices");
        const QString finished = u"Sprigwell: Copy finished: FINISHED COPYING"_s;
        QTest::newRow("window behind") << true << false << false << QStringList { finished };
        // clang-format off
        QTest::newRow("window behind, problems") << true << false << true << QStringList { finished + u" WITH 1 PROBLEM"_s };
        // clang-format on
        QTest::newRow("window in front") << true << true << false << QStringList();
        QTest::newRow("window behind, no service") << false << false << false << QStringList();
    }

    // A run's end is told on the desktop once, only while another window is in front, and
    // nothing goes wrong where no notification service or no session bus is there.
    void noticeAtTheEnd()
    {
        const auto [service, inFront, problems]
            = fetch<bool, bool, bool>("service", "inFront", "problems");
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (service && !bus.isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QDBusConnection serviceBus
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"notices"_s);
        const auto disconnect
            = qScopeGuard([] { QDBusConnection::disconnectFromBus(u"notices"_s); });
        NoticeService serviceObject;
        if (service) {
            QVERIFY(serviceBus.registerObject(objectPath, &serviceObject,
                                              QDBusConnection::ExportAllSlots));
            QVERIFY(serviceBus.registerService(serviceName));
        }

        DesktopNotifier notifier;
        WindowFixture w(&notifier);
        const auto folder = makeFolder(w.disk("src"), "one", localSecs(w.fakes.clock.day, 60));
        writeFile(folder / "data.bin", "data");
        QVERIFY(!problems || mkfifo((folder / "pipe").c_str(), 0600) == 0);
        fs::create_directories(w.disk("backup"));
        QWidget other;
        QWidget &front = inFront ? static_cast<QWidget &>(w.window) : other;
        w.window.show();
        other.show();
        QApplication::setActiveWindow(&front);
        QVERIFY(QTest::qWaitForWindowActive(&front));

        w.listAndSelect(u"/backup/"_s, { 0 });
        QVERIFY(w.copy());

        QFETCH(QStringList, notices);
        if (service) {
            const QDBusMessage asked = bus.call(
                QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, u"Received"_s),
                QDBus::BlockWithGui);
            QCOMPARE(asked.arguments().value(0).toInt(), notices.size());
        }
        QCOMPARE(serviceObject.received, notices);
    }
};

QTEST_MAIN(TestNotice)
#include "tst_notice.moc"
