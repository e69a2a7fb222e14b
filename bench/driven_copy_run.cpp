#include "driven_copy_run.h"

#include "comparisons.h"
#include "tree_compare.h"

#include <stdexcept>

std::unique_ptr<CopySession>
UnflushedFileSystem::holdDestination(const std::filesystem::path &destination)
{
    struct Unflushed : CopySession
    {
        using CopySession::CopySession;
        void flushAll() override { }
        void checkCopies(CopyMonitor &, CheckReport &) override { }
    };
    return std::make_unique<Unflushed>(m_calls, destination);
}

DrivenCopyRun::DrivenCopyRun(FileSystemService &fileSystem, CopyRequest request,
                             bool metadataMayBeLost)
    : m_run(fileSystem)
    , m_request(std::move(request))
{
    QObject::connect(&m_run, &CopyRun::counted, &m_run, [this] { m_ended = true; });
    QObject::connect(
        &m_run, &CopyRun::finished, &m_run,
        [this, metadataMayBeLost](const QStringList &problems, const QStringList &notKept,
                                  quint64 upToDate) {
            m_ended = true;
            m_upToDate = upToDate;
            m_trouble = (metadataMayBeLost ? problems : problems + notKept).join(QLatin1Char(' '));
        });
    QObject::connect(&m_run, &CopyRun::refused, &m_run,
                     [this](const QString &message) { m_trouble = message; });
    QObject::connect(&m_run, &CopyRun::failed, &m_run,
                     [this](const QString &, const QString &file, const QString &reason) {
                         m_trouble = file + QLatin1String(": ") + reason;
                     });
    QObject::connect(&m_run, &CopyRun::cancelled, &m_run,
                     [this] { m_trouble = QStringLiteral("cancelled"); });
}

void DrivenCopyRun::prepare()
{
    m_run.prepare(m_request);
    check("count");
}

void DrivenCopyRun::copy()
{
    m_run.copy();
    check("copy");
}

void DrivenCopyRun::run()
{
    prepare();
    copy();
}

void DrivenCopyRun::check(const std::string &step)
{
    const bool clean = m_ended && m_trouble.isEmpty();
    const QString trouble = m_trouble;
    m_ended = false;
    m_trouble.clear();
    if (!clean)
        throw std::runtime_error("the copy run's " + step
                                 + " did not end cleanly: " + trouble.toStdString());
}

void checkCopy(const std::filesystem::path &source, const std::filesystem::path &copy,
               const std::string &tool)
{
    const std::string difference = firstTreeDifference(source, copy);
    if (!difference.empty())
        throw std::runtime_error(tool + " made a wrong copy of " + source.string() + ": "
                                 + difference);
}

std::string sizeText(const TreeTotals &size)
{
    return std::to_string(size.files) + " files, " + fixed(double(size.bytes) / (1 << 20), 0)
        + " MiB";
}
