#pragma once

// Stand-ins for the window's platform services, shared by the tests and the benchmark.
// The file system is the real one, rooted in a test folder, with failures that a test
// can switch on.

#include "engine/copy_monitor.h"
#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "ui/folder_picker.h"
#include "ui/message_box_service.h"
#include "ui/platform_services.h"

#include <QStringList>

#include <atomic>
#include <chrono>
#include <deque>
#include <optional>
#include <thread>

class FakeFileSystem : public FileSystemService
{
public:
    // Every path the window names is looked up below this folder, so "/test/" can be
    // a real folder inside a temporary one.
    std::filesystem::path root;
    // When set, these operations fail with this error.
    std::optional<std::errc> folderExistsFailure;
    std::optional<std::errc> subFoldersFailure;
    std::optional<std::errc> flushFailure;
    // When set, the copy of the sub-folder of this name fails part-way with a full disk.
    std::optional<std::string> copyFailureFor;
    // When set, replace what the disk holds or reports.
    std::optional<std::vector<SubFolder>> syntheticSubFolders;
    std::optional<std::uint64_t> syntheticFreeBytes;
    // The count before a copy takes this long, as on a large tree.
    std::chrono::milliseconds countDelay { 0 };
    // Each chunk of file data takes this long, so a test can stop a run inside a file.
    std::chrono::milliseconds delayPerChunk { 0 };
    // While set, the flush waits, as one onto a slow drive does.
    std::atomic_bool holdFlush = false;
    // Each look inside a sub-folder returns this much later, so a test can list anew after
    // it has found what it found.
    std::chrono::milliseconds delayPerLook { 0 };

    // Written on the copying thread; read once the run has reported its end.
    int subFoldersCalls = 0;
    std::atomic_int looksStarted = 0, looksEnded = 0; // looks inside a sub-folder
    std::vector<std::filesystem::path> copies;
    int flushes = 0;

    std::filesystem::path onDisk(const std::filesystem::path &path) const
    {
        return root.empty() ? path : root / path.relative_path();
    }

    bool folderExists(const std::filesystem::path &path) override
    {
        if (folderExistsFailure)
            throw Failure(*folderExistsFailure, Side::Source, {}, path);
        return !path.empty() && m_local.folderExists(onDisk(path));
    }
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override
    {
        ++subFoldersCalls;
        if (subFoldersFailure)
            throw Failure(*subFoldersFailure, Side::Source, {}, folder);
        if (syntheticSubFolders)
            return *syntheticSubFolders;
        return m_local.subFolders(onDisk(folder));
    }
    InsideTotals lookInside(const std::filesystem::path &folder, const FileIdentity &identity,
                            const std::atomic_bool &stop) override
    {
        ++looksStarted;
        const struct Ended
        {
            std::atomic_int &count;
            std::chrono::milliseconds delay;
            ~Ended() { std::this_thread::sleep_for(delay), ++count; }
        } ended { looksEnded, delayPerLook };
        return m_local.lookInside(onDisk(folder), identity, stop);
    }
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override
    {
        return std::make_unique<Session>(*this, onDisk(destination));
    }
    std::uint64_t freeBytes(const std::filesystem::path &folder) override
    {
        return syntheticFreeBytes ? *syntheticFreeBytes : m_local.freeBytes(onDisk(folder));
    }

private:
    class SlowMonitor : public CopyMonitor
    {
    public:
        SlowMonitor(CopyMonitor &inner, std::chrono::milliseconds delay)
            : m_inner(inner)
            , m_delay(delay)
        { }
        bool stopRequested() const override { return m_inner.stopRequested(); }
        void fileStarted(const std::filesystem::path &source) override
        {
            m_inner.fileStarted(source);
        }
        void bytesCopied(std::uint64_t bytes) override
        {
            std::this_thread::sleep_for(m_delay);
            m_inner.bytesCopied(bytes);
        }

    private:
        CopyMonitor &m_inner;
        std::chrono::milliseconds m_delay;
    };

    // The real session on the disk, with the paths the window names and the failures asked for.
    class Session : public CopySession
    {
    public:
        Session(FakeFileSystem &fake, const std::filesystem::path &destination)
            : CopySession(fake.m_calls, destination)
            , m_fake(fake)
        { }
        TreeTotals measure(const std::filesystem::path &source, CopyMonitor &monitor) override
        {
            std::this_thread::sleep_for(m_fake.countDelay);
            return CopySession::measure(m_fake.onDisk(source), monitor);
        }
        CopyReport copyFolder(const std::filesystem::path &source, const std::string &name,
                              CopyMonitor &monitor) override
        {
            m_fake.copies.push_back(source);
            if (m_fake.copyFailureFor && source.filename() == *m_fake.copyFailureFor)
                throw Failure(std::errc::no_space_on_device, Side::Destination, {},
                              destination() / name / "data.bin");
            SlowMonitor slow(monitor, m_fake.delayPerChunk);
            return CopySession::copyFolder(m_fake.onDisk(source), name, slow);
        }
        void flushAll() override
        {
            ++m_fake.flushes;
            while (m_fake.holdFlush)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (m_fake.flushFailure)
                throw Failure(*m_fake.flushFailure, Side::Destination, {}, destination());
            CopySession::flushAll();
        }

    private:
        FakeFileSystem &m_fake;
    };

    SystemCalls m_calls;
    LocalFileSystem m_local;
};

class FakeFolderPicker : public FolderPicker
{
public:
    std::deque<QString> answers; // taken in order; none left means the user cancels

    QString browseForFolder(const QString &) override
    {
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class FakeMessageBox : public MessageBoxService
{
public:
    QStringList informed;
    QStringList warned;
    QStringList details;
    QStringList confirmTexts;
    QStringList questions;
    bool confirmAnswer = true;
    bool optionAnswer = false; // the confirmation's check box
    QStringList options;
    bool askAnswer = true;

    void inform(const QString &text) override { informed.append(text); }
    void warn(const QString &text) override { warned.append(text); }
    bool confirm(const QString &text, const QString &title, const QString &option,
                 bool &checked) override
    {
        confirmTexts.append(title + QLatin1Char('|') + text);
        options.append(option);
        checked = optionAnswer;
        return confirmAnswer;
    }
    bool ask(const QString &text, const QString &) override
    {
        questions.append(text);
        return askAnswer;
    }
    void informWithDetails(const QString &text, const QString &detailText) override
    {
        informed.append(text);
        details.append(detailText);
    }
    bool showedAnything() const
    {
        return !informed.isEmpty() || !warned.isEmpty() || !questions.isEmpty();
    }
};

class FakeClock : public Clock
{
public:
    QDate day { 2026, 12, 6 };
    QDate today() const override { return day; }
};

struct FakeServices
{
    FakeFileSystem fileSystem;
    FakeFolderPicker folderPicker;
    FakeMessageBox messageBox;
    FakeClock clock;

    PlatformServices services() { return { fileSystem, folderPicker, messageBox, clock }; }
};
