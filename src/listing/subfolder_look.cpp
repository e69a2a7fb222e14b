#include "subfolder_look.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace {
// Two walks keep two cores busy on folders in the page cache; more only queue on the disk.
constexpr int kWorkers = 2;
} // namespace

struct SubFolderLook::Job
{
    struct Target
    {
        qsizetype index;
        std::filesystem::path path;
        FileIdentity identity;
    };
    std::vector<Target> targets;
    std::atomic_size_t next = 0;
    std::atomic_bool stop = false;

    // Found and not yet handed over; one delivery waits at most, so that a burst of small
    // folders reaches the window as a few batches and not as a flood of events.
    std::mutex mutex;
    std::vector<std::pair<qsizetype, InsideTotals>> found;
    bool deliveryPosted = false;

    qsizetype delivered = 0; // on the owner's thread only
};

SubFolderLook::SubFolderLook(FileSystemService &fileSystem, QObject *parent)
    : QObject(parent)
    , m_fileSystem(fileSystem)
{
    m_pool.setMaxThreadCount(std::min(kWorkers, std::max(1, QThread::idealThreadCount())));
}

SubFolderLook::~SubFolderLook()
{
    stop();
    m_pool.waitForDone();
}

void SubFolderLook::start(const std::filesystem::path &source,
                          const std::vector<SubFolder> &folders,
                          const std::vector<std::size_t> &order)
{
    stop();
    auto job = std::make_shared<Job>();
    job->targets.reserve(order.size());
    for (std::size_t index : order)
        job->targets.push_back(
            { qsizetype(index), source / folders[index].name, folders[index].identity });
    m_job = job;
    emit progressed(0, qsizetype(job->targets.size()));
    const int workers = std::min(m_pool.maxThreadCount(), int(job->targets.size()));
    for (int i = 0; i < workers; ++i)
        m_pool.start([this, job] { work(job); });
}

void SubFolderLook::stop()
{
    if (m_job)
        m_job->stop = true;
    m_job.reset();
}

bool SubFolderLook::isLooking() const
{
    return m_job && m_job->delivered < qsizetype(m_job->targets.size());
}

// On a worker of the pool.
void SubFolderLook::work(const std::shared_ptr<Job> &job)
{
    for (;;) {
        const std::size_t next = job->next++;
        if (next >= job->targets.size() || job->stop)
            return;
        const Job::Target &target = job->targets[next];
        InsideTotals totals; // nothing known, not all read: what a failure leaves
        try {
            totals = m_fileSystem.lookInside(target.path, target.identity, job->stop);
        } catch (const Failure &failure) {
            if (failure.isStop())
                return;
        }
        const std::lock_guard lock(job->mutex);
        job->found.emplace_back(target.index, totals);
        if (!std::exchange(job->deliveryPosted, true))
            QMetaObject::invokeMethod(
                this, [this, job] { deliver(job); }, Qt::QueuedConnection);
    }
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
    emit progressed(job->delivered, qsizetype(job->targets.size()));
}

QString lookProgressText(qsizetype done, qsizetype total)
{
    const QString folders
        = total == 1 ? QStringLiteral("SUB-FOLDER") : QStringLiteral("SUB-FOLDERS");
    if (done < total)
        return QStringLiteral("LOOKING INSIDE %1 OF %2 ").arg(done).arg(total) + folders;
    return QStringLiteral("LOOKED INSIDE %1 ").arg(total) + folders;
}
