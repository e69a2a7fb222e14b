#pragma once

#include "platform/file_system_service.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <filesystem>
#include <memory>
#include <vector>

// Looks inside the listed sub-folders off the thread that owns it, a few at a time, and
// reports on that thread what it found in each. Only the latest look reports: start() and
// stop() end the one under way at its next entry, and whatever it found after that never
// arrives. Nothing here waits for the disk but the destructor, for at most an entry.
class SubFolderLook : public QObject
{
    Q_OBJECT

public:
    // Two workers keep two cores busy on folders in the page cache; folders still on the disk
    // keep them waiting, and four keep the disk busier (on a million entries read cold, four
    // took 0.38 to 0.54 of find's time, two 0.65 to 0.87, eight no less than four).
    static constexpr int kWorkers = 4;
    // A share or a FUSE drive answers each call after a round trip and answers many at once:
    // there the workers are this many times as many.
    static constexpr int kRoundTripFactor = 4;

    explicit SubFolderLook(FileSystemService &fileSystem, int workers = kWorkers,
                           QObject *parent = nullptr);
    ~SubFolderLook() override;

    // Looks inside `folders` (the scanned sub-folders of `source`) in `order`, their indexes.
    void start(const std::filesystem::path &source,
               std::shared_ptr<const std::vector<SubFolder>> folders,
               const std::vector<std::size_t> &order);
    void stop();

protected:
    bool event(QEvent *event) override;

signals:
    void looked(qsizetype index, const InsideTotals &totals);
    // After start() and after each batch of looked(); done == total at the end.
    void progressed(qsizetype done, qsizetype total);

private:
    struct Job;
    void work(const std::shared_ptr<Job> &job);
    // On the first worker of a look: more workers where the drive rewards them.
    void addWorkersForRoundTrips(const std::shared_ptr<Job> &job);
    void deliver(const std::shared_ptr<Job> &job);

    FileSystemService &m_fileSystem;
    const int m_workers;
    QThreadPool m_pool;
    std::shared_ptr<Job> m_job; // the look that may report
};

// "LOOKING INSIDE 12 OF 40 SUB-FOLDERS" while a look goes on, "LOOKED INSIDE 40
// SUB-FOLDERS" when it is done.
QString lookProgressText(qsizetype done, qsizetype total);
