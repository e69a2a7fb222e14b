#include "platform_start_guard.h"

#include <cstdio>
#include <cstdlib>

namespace {

PlatformStartGuard *activeGuard = nullptr;

// Names what the environment asked for, so the user sees which setting to look at.
QString failureLine(const QString &programName)
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString x11Display = qEnvironmentVariable("DISPLAY");
    const QString waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    const bool displayPlatform = platform.isEmpty() || platform.startsWith(QStringLiteral("xcb"))
        || platform.startsWith(QStringLiteral("wayland"));

    QString reason;
    if (!displayPlatform)
        reason = QStringLiteral("the window system \"%1\" could not be started").arg(platform);
    else if (x11Display.isEmpty() && waylandDisplay.isEmpty())
        reason = QStringLiteral("no display is set (neither DISPLAY nor WAYLAND_DISPLAY)");
    else
        reason = QStringLiteral("the display \"%1\" could not be opened")
                     .arg(x11Display.isEmpty() ? waylandDisplay : x11Display);
    return programName + QStringLiteral(": cannot open a window: ") + reason;
}

} // namespace

PlatformStartGuard::PlatformStartGuard(QString programName)
    : m_programName(std::move(programName))
{
    activeGuard = this;
    m_previousHandler = qInstallMessageHandler(&PlatformStartGuard::handleMessage);
}

PlatformStartGuard::~PlatformStartGuard()
{
    end();
    activeGuard = nullptr;
}

void PlatformStartGuard::end()
{
    std::vector<HeldMessage> held;
    {
        std::lock_guard lock(m_mutex);
        if (!m_holding)
            return;
        m_holding = false;
        held.swap(m_held);
    }
    qInstallMessageHandler(m_previousHandler);
    for (const HeldMessage &message : held) {
        const QMessageLogContext context(message.file.constData(), message.line,
                                         message.function.constData(),
                                         message.category.constData());
        m_previousHandler(message.type, context, message.text);
    }
}

void PlatformStartGuard::handleMessage(QtMsgType type, const QMessageLogContext &context,
                                       const QString &text)
{
    PlatformStartGuard *guard = activeGuard;
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(failureLine(guard->m_programName)));
        std::fflush(stderr);
        // Qt would abort next; nothing has been made yet that needs an orderly end.
        std::_Exit(EXIT_FAILURE);
    }
    std::unique_lock lock(guard->m_mutex);
    if (guard->m_holding) {
        guard->m_held.push_back({ type, QByteArray(context.file), context.line,
                                  QByteArray(context.function), QByteArray(context.category),
                                  text });
        return;
    }
    lock.unlock();
    guard->m_previousHandler(type, context, text);
}
