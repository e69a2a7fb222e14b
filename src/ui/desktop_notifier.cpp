#include "desktop_notifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Lets the desktop take the program's name and icon from its menu entry.
    const QVariantMap hints { { QStringLiteral("desktop-entry"),
                                QGuiApplication::desktopFileName() } };
    call << QCoreApplication::applicationName() << 0u << QStringLiteral("sprigwell") << summary
         << body << QStringList() << hints << -1;
    call.setAutoStartService(true);
    bus.send(call);
}
