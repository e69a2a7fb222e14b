#pragma once

#include "copy/copy_run.h"
#include "platform/local_file_system.h"

#include <filesystem>
#include <string>

// The local file system with a flush and a check of the copies that return at once, so
// that the copy alone is timed; the flush is timed in the comparisons with it.
class UnflushedFileSystem : public LocalFileSystem
{
public:
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override;

private:
    SystemCalls m_calls;
};

// A CopyRun driven by direct calls, as its worker thread drives it in the program, with
// its progress reports and stop checks on but nobody listening to the progress. Anything
// but a clean count or a clean finish stops the benchmark.
class DrivenCopyRun
{
public:
    // `metadataMayBeLost`: a destination that cannot keep all metadata (exFAT) is no trouble.
    DrivenCopyRun(FileSystemService &fileSystem, CopyRequest request,
                  bool metadataMayBeLost = false);

    void prepare();
    void copy();
    // The count, then the copy.
    void run();
    // Files the last finished copy found already up to date.
    quint64 upToDate() const { return m_upToDate; }

private:
    void check(const std::string &step);

    CopyRun m_run;
    CopyRequest m_request;
    bool m_ended = false;
    QString m_trouble;
    quint64 m_upToDate = 0;
};

// Throws unless `copy` holds what `source` holds.
void checkCopy(const std::filesystem::path &source, const std::filesystem::path &copy,
               const std::string &tool);

// "20000 files, 78 MiB".
std::string sizeText(const TreeTotals &size);
