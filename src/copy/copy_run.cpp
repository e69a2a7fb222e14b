#include "copy_run.h"

#include "copy/copy_messages.h"
#include "engine/saturating_add.h"
#include "platform/path_text.h"

#include <QElapsedTimer>

#include <limits>

namespace {

constexpr qint64 kProgressIntervalMs = 100;

} // namespace

// Hears the engine on the copying thread: answers its stop checks and passes progress
// on, at most every 100 ms, so a run of many small files does not flood the window.
class CopyRun::Monitor : public CopyMonitor
{
public:
    Monitor(CopyRun &run, CopyProgress &progress)
        : m_run(run)
        , m_progress(progress)
    {
        m_sinceReport.start();
    }

    bool stopRequested() const override { return m_run.m_stop.load(std::memory_order_relaxed); }
    void waitWhilePaused() const override
    {
        if (m_run.m_paused.load(std::memory_order_relaxed))
            m_run.waitWhilePaused();
    }
    void fileStarted(const std::filesystem::path &source) override
    {
        startClock();
        m_file = source;
        report();
    }
    void bytesCopied(std::uint64_t bytes) override
    {
        m_progress.bytesDone = saturatingAdd(m_progress.bytesDone, bytes);
        report();
    }
    void fileUpToDate(const std::filesystem::path &folder, const std::string &name,
                      std::uint64_t bytes) override
    {
        startClock();
        ++m_progress.filesUpToDate;
        m_progress.bytesUpToDate = saturatingAdd(m_progress.bytesUpToDate, bytes);
        m_progress.bytesDone = saturatingAdd(m_progress.bytesDone, bytes);
        if (!reportDue())
            return;
        m_file = folder / name;
        report(true);
    }
    bool reportDue() const { return m_sinceReport.elapsed() >= kProgressIntervalMs; }
    void report(bool now = false)
    {
        if (!now && !reportDue())
            return;
        m_sinceReport.restart();
        m_progress.file = pathText(m_file);
        m_progress.copyingMs = 0;
        if (m_sinceFirstByte.isValid())
            m_progress.copyingMs = m_sinceFirstByte.elapsed()
                - std::chrono::duration_cast<std::chrono::milliseconds>(m_run.pausedFor()
                                                                        - m_pausedBefore)
                      .count();
        emit m_run.progressed(m_progress);
    }

private:
    void startClock()
    {
        if (m_sinceFirstByte.isValid())
            return;
        m_sinceFirstByte.start();
        m_pausedBefore = m_run.pausedFor();
    }

    CopyRun &m_run;
    CopyProgress &m_progress;
    std::filesystem::path m_file;
    QElapsedTimer m_sinceReport;
    QElapsedTimer m_sinceFirstByte;
    std::chrono::steady_clock::duration m_pausedBefore {}; // pauses before the first byte
};

CopyRun::CopyRun(FileSystemService &fileSystem, QObject *parent)
    : QObject(parent)
    , m_fileSystem(fileSystem)
{
    qRegisterMetaType<CopyProgress>();
}

void CopyRun::requestStop()
{
    {
        // Under the lock, so that a thread about to wait sees it.
        const std::lock_guard lock(m_pauseLock);
        m_stop = true;
    }
    m_pauseEnded.notify_all();
}

void CopyRun::clearStop()
{
    m_stop = false;
    setPaused(false);
    const std::lock_guard lock(m_pauseLock);
    m_pausesEnded = {};
}

void CopyRun::setPaused(bool paused)
{
    {
        const std::lock_guard lock(m_pauseLock);
        if (paused == m_paused)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (paused)
            m_pausedSince = now;
        else
            m_pausesEnded += now - m_pausedSince;
        m_paused = paused;
    }
    m_pauseEnded.notify_all();
}

std::chrono::steady_clock::duration CopyRun::pausedFor()
{
    const std::lock_guard lock(m_pauseLock);
    return m_pausesEnded
        + (m_paused ? std::chrono::steady_clock::now() - m_pausedSince
                    : std::chrono::steady_clock::duration {});
}

void CopyRun::waitWhilePaused()
{
    std::unique_lock lock(m_pauseLock);
    m_pauseEnded.wait(lock, [this] { return !m_paused || m_stop; });
}

QString CopyRun::folderRefusal(const std::filesystem::path &folder, const QString &role)
{
    // Each folder must be there now: a cancelled choice empties the destination field
    // without disabling the copy button.
    try {
        if (!folder.empty() && m_fileSystem.folderExists(folder))
            return {};
    } catch (const Failure &failure) {
        return failureText(failure, role);
    }
    return tr("Nothing was copied: the %1 \"%2\" is not an existing folder.\n"
              "Choose the %1 folder again.")
        .arg(role, pathText(folder));
}

QString CopyRun::failureText(const Failure &failure, const QString &role)
{
    return tr("Nothing was copied: the %1 could not be checked:\n%2")
        .arg(role, QString::fromLocal8Bit(failure.what()));
}

QString CopyRun::selfCopyRefusal(const std::filesystem::path &name)
{
    return tr("Nothing was copied: the sub-folder \"%1\" would be copied into itself.\n"
              "Choose a destination outside it.")
        .arg(pathText(name));
}

QString CopyRun::refusal(const CopyRequest &request)
{
    QString reason = folderRefusal(request.destination, tr("destination"));
    if (reason.isEmpty())
        reason = folderRefusal(request.source, tr("source"));
    return reason;
}

void CopyRun::prepare(const CopyRequest &request)
{
    m_session.reset();
    if (const QString reason = refusal(request); !reason.isEmpty()) {
        emit refused(reason);
        return;
    }
    m_source = request.source;
    m_destination = request.destination;
    m_names = request.names;
    m_checkCopies = request.checkCopies;
    try {
        m_session = m_fileSystem.holdDestination(m_destination);
        m_session->rewriteUpToDate(request.rewriteUpToDate);
        m_session->keepHashes(request.checkCopies);
    } catch (const Failure &failure) {
        emit refused(failureText(failure, tr("destination")));
        return;
    }
    // An eject or a lazy unmount since the choice leaves the bare mount point at the path.
    if (request.destinationPlace && !m_session->holds(*request.destinationPlace)) {
        m_session.reset();
        emit refused(tr("Nothing was copied: the destination was disconnected; \"%1\" is now "
                        "another folder.\nChoose the destination folder again.")
                         .arg(pathText(m_destination)));
        return;
    }

    CopyProgress progress;
    Monitor monitor(*this, progress);
    m_bytesTotal = 0;
    try {
        for (const std::filesystem::path &name : m_names) {
            // The count walks each tree anyway: it also finds a destination inside one,
            // whatever the paths say.
            const TreeTotals totals = m_session->measure(m_source / name, monitor);
            if (totals.intoItself) {
                m_session.reset();
                emit refused(selfCopyRefusal(name));
                return;
            }
            m_bytesTotal = saturatingAdd(m_bytesTotal, totals.bytes);
        }
    } catch (const Failure &failure) {
        m_session.reset();
        if (failure.isStop())
            return reportCancelled(0);
        emit refused(tr("Nothing was copied: the selected sub-folders could not be read:\n%1")
                         .arg(QString::fromLocal8Bit(failure.what())));
        return;
    }

    quint64 freeBytes = std::numeric_limits<quint64>::max();
    try {
        freeBytes = m_fileSystem.freeBytes(m_destination);
    } catch (const Failure &) {
        // Unknown free space asks nothing; a full disk still ends as a failure.
    }
    quint64 bytesThere = 0;
    // A weekly copy onto the same drive needs hardly any new space: the destination may be
    // large, so it is measured only when the space looks short.
    for (std::size_t i = 0; m_bytesTotal > freeBytes && i < m_names.size(); ++i) {
        try {
            bytesThere = saturatingAdd(
                bytesThere, m_session->measure(m_destination / m_names[i], monitor).bytes);
        } catch (const Failure &failure) {
            if (failure.isStop()) {
                m_session.reset();
                return reportCancelled(0);
            }
            // Not there, or not readable: nothing of it is taken as there.
        }
    }
    emit counted(m_bytesTotal, freeBytes, bytesThere);
}

void CopyRun::abandon()
{
    m_session.reset();
}

void CopyRun::copy()
{
    // Let go when the run ends, so that the drive can be ejected.
    const std::unique_ptr<CopySession> session = std::move(m_session);
    if (!session) {
        emit refused(tr("Nothing was copied: the copy was not prepared."));
        return;
    }
    CopyProgress progress;
    progress.subFolderCount = int(m_names.size());
    progress.bytesTotal = m_bytesTotal;
    Monitor monitor(*this, progress);
    QStringList problems;
    std::set<MetadataKind> notKept;
    quint64 upToDate = 0;

    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const QString name = pathText(m_names[i]);
        if (m_stop)
            return reportCancelled(i);
        progress.subFolder = name;
        progress.subFolderNumber = int(i) + 1;
        monitor.report(true);
        try {
            session->checkStillAttached();
            const CopyReport report
                = session->copyFolder(m_source / m_names[i], m_names[i].string(), monitor);
            problems += problemTexts(report.problems);
            notKept.insert(report.notKept.begin(), report.notKept.end());
            upToDate += report.upToDate;
        } catch (const Failure &failure) {
            if (failure.isStop())
                return reportCancelled(i);
            emit failed(name, pathText(failure.path()), QString::fromLocal8Bit(failure.reason()));
            return;
        }
        emit subFolderCopied(name);
    }

    // Written data may still sit in memory; only what reached the drives, still attached
    // where they were chosen, is finished.
    emit flushing();
    try {
        session->flushAll();
        session->checkStillAttached();
    } catch (const Failure &failure) {
        const QString last = m_names.empty() ? QString() : pathText(m_names.back());
        emit failed(last, pathText(failure.path()), QString::fromLocal8Bit(failure.reason()));
        return;
    }
    QStringList notes;
    qsizetype notReadBack = 0;
    if (m_checkCopies) {
        const auto [checkProblems, checkNotes] = checkCopies(*session);
        problems += checkProblems;
        notes = checkNotes;
        notReadBack = checkProblems.size();
    }
    emit finished(problems, notKeptTexts(notKept), upToDate, notes, notReadBack);
}

std::pair<QStringList, QStringList> CopyRun::checkCopies(CopySession &session)
{
    emit checking();
    CopyProgress progress;
    progress.checking = true;
    progress.bytesTotal = session.bytesToCheck();
    Monitor monitor(*this, progress);
    CheckReport report;
    QStringList notes;
    try {
        session.checkCopies(monitor, report);
        notes += checkedText(report.checked - report.problems.size());
    } catch (const Failure &) {
        // Only a stop ends the check: a copy that cannot be read is a problem of its own.
        notes += checkCancelledText(session.copiesToCheck() - report.checked);
    }
    for (const std::filesystem::path &folder : report.notFromDrive)
        notes += notFromDriveText(pathText(folder));
    return { problemTexts(report.problems), notes };
}

void CopyRun::reportCancelled(std::size_t current)
{
    QStringList copied;
    QStringList notCopied;
    for (std::size_t i = 0; i < m_names.size(); ++i)
        (i < current ? copied : notCopied).append(pathText(m_names[i]));
    const QString name = current < m_names.size() ? pathText(m_names[current]) : QString();
    emit cancelled(name, copied, notCopied);
}
