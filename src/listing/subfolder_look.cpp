#include "subfolder_look.h"

#include <QCoreApplication>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

struct SubFolderLook::Job
{
    std::filesystem::path source;
    std::shared_ptr<const std::vector<SubFolder>> folders;
    std::vector<std::size_t> order;
    bool started = false; // on the owner's thread only
    std::atomic_bool driveAsked = false;
    std::atomic_size_t next = 0;
    std::atomic_bool stop = false;

    // Found and not yet handed over; one delivery waits at most, so that a burst of small
    // folders reaches the window as a few batches and not as a flood of events.
    std::mutex mutex;
    std::vector<std::pair<qsizetype, InsideTotals>> found;
    bool deliveryPosted = false;

    qsizetype delivered = 0; // on the owner's thread only
};

SubFolderLook::SubFolderLook(FileSystemService &fileSystem, int workers, QObject *parent)
    : QObject(parent)
    , m_fileSystem(fileSystem)
    , m_workers(std::max(1, workers))
{
    m_pool.setMaxThreadCount(m_workers);
}

SubFolderLook::~SubFolderLook()
{
    stop();
    m_pool.waitForDone();
}

void SubFolderLook::start(const std::filesystem::path &source,
                          std::shared_ptr<const std::vector<SubFolder>> folders,
                          const std::vector<std::size_t> &order)
{
    stop();
    m_pool.setMaxThreadCount(m_workers);
    auto job = std::make_shared<Job>();
    job->source = source;
    job->folders = std::move(folders);
    job->order = order;
    m_job = job;
    emit progressed(0, qsizetype(order.size()));
    // Behind the events already waiting, the list's repaint among them (Qt posts it at this
    // priority too): the first lines show before the workers take the cores.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User), Qt::LowEventPriority);
}

bool SubFolderLook::event(QEvent *event)
{
    if (event->type() != QEvent::User)
        return QObject::event(event);
    if (m_job && !std::exchange(m_job->started, true)) {
        const auto job = m_job;
        const int workers = std::min(m_workers, int(job->order.size()));
        for (int i = 0; i < workers; ++i)
            m_pool.start([this, job] { work(job); });
    }
    return true;
}

void SubFolderLook::stop()
{
    if (m_job)
        m_job->stop = true;
    m_job.reset();
}

// On a worker of the pool.
void SubFolderLook::work(const std::shared_ptr<Job> &job)
{
    // Behind the window's thread whenever both want a core: a look can wait, a repaint
    // cannot. Linux takes a thread's own id for its niceness.
    static thread_local const bool lowered = ::setpriority(PRIO_PROCESS, id_t(::gettid()), 5) == 0;
    Q_UNUSED(lowered);
    if (!job->driveAsked.exchange(true))
        addWorkersForRoundTrips(job);
    for (;;) {
        const std::size_t next = job->next++;
        if (next >= job->order.size() || job->stop)
            return;
        const std::size_t index = job->order[next];
        const SubFolder &folder = (*job->folders)[index];
        InsideTotals totals; // nothing known, not all read: what a failure leaves
        try {
            totals = m_fileSystem.lookInside(job->source / folder.name, folder.identity, job->stop);
        } catch (const Failure &failure) {
            if (failure.isStop())
                return;
        }
        const std::lock_guard lock(job->mutex);
        job->found.emplace_back(qsizetype(index), totals);
        if (!std::exchange(job->deliveryPosted, true))
            QMetaObject::invokeMethod(
                this, [this, job] { deliver(job); }, Qt::QueuedConnection);
    }
}

void SubFolderLook::addWorkersForRoundTrips(const std::shared_ptr<Job> &job)
{
    // Asked here, not on the owner's thread: on a share the question itself is a round trip.
    if (!m_fileSystem.answersAfterRoundTrips(job->source))
        return;
    const int more
        = std::min(m_workers * (kRoundTripFactor - 1), int(job->order.size()) - m_workers);
    if (more > 0)
        m_pool.setMaxThreadCount(m_workers * kRoundTripFactor);
    for (int i = 0; i < more && !job->stop; ++i)
        m_pool.start([this, job] { work(job); });
}

void SubFolderLook::deliver(const std::shared_ptr<Job> &job)
{
    std::vector<std::pair<qsizetype, InsideTotals>> batch;
    {
        const std::lock_guard lock(job->mutex);
        batch.swap(job->found);
        job->deliveryPosted = false;
    }
    if (job != m_job)
        return; // a newer look, or none, has taken over
    for (const auto &[index, totals] : batch)
        emit looked(index, totals);
    job->delivered += qsizetype(batch.size());
    emit progressed(job->delivered, qsizetype(job->order.size()));
}

QString lookProgressText(qsizetype done, qsizetype total)
{
    const QString folders
        = total == 1 ? QStringLiteral("SUB-FOLDER") : QStringLiteral("SUB-FOLDERS");
    if (done < total)
        return QStringLiteral("LOOKING INSIDE %1 OF %2 ").arg(done).arg(total) + folders;
    return QStringLiteral("LOOKED INSIDE %1 ").arg(total) + folders;
}
