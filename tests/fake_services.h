#pragma once

// Stand-ins for the window's platform services, shared by the tests and the benchmark.
// The file system is the real one, rooted in a test folder, on a drive a test can slow down.

#include "platform/clock.h"
#include "platform/local_file_system.h"
#include "slow_calls.h"
#include "ui/folder_picker.h"
#include "ui/message_box_service.h"
#include "ui/notifier.h"
#include "ui/platform_services.h"

#include <QScopeGuard>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <thread>

class FakeFileSystem : public FileSystemService
{
public:
    // Every path the window names is looked up below this folder, so "/test/" can be
    // a real folder inside a temporary one.
    std::filesystem::path root;
    SlowCalls calls;
    // Looking for this folder fails, as on a failing disk.
    std::filesystem::path failingFolder = "/failing";
    // The most the disk says it has free.
    std::uint64_t mostFreeBytes = UINT64_MAX;
    // Each look inside a sub-folder returns this much later, so a test can list anew after
    // it has found what it found.
    std::chrono::milliseconds delayPerLook { 0 };
    // The drive answers after round trips, as a share does.
    bool roundTrips = false;

    // Written on the copying thread; read once the run has reported its end.
    int subFoldersCalls = 0;
    std::atomic_int looksStarted = 0, looksEnded = 0; // looks inside a sub-folder
    std::vector<std::filesystem::path> copies;

    std::filesystem::path onDisk(const std::filesystem::path &path) const
    {
        return root.empty() ? path : root / path.relative_path();
    }
    // clang-format off
    bool folderExists(const std::filesystem::path &path) override
    { if (path == failingFolder)
          throw Failure(std::errc::io_error, Side::Source, {}, path);
      return !path.empty() && m_local.folderExists(onDisk(path)); }
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override
    { ++subFoldersCalls; return m_local.subFolders(onDisk(folder)); }
    // A slow look, over once it is told to stop.
    InsideTotals lookInside(const std::filesystem::path &folder, const FileIdentity &identity,
                            const std::atomic_bool &stop) override
    { ++looksStarted;
      const auto ended = qScopeGuard([&] {
          const auto end = std::chrono::steady_clock::now() + delayPerLook;
          while (!stop && std::chrono::steady_clock::now() < end)
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
          ++looksEnded;
      });
      return m_local.lookInside(onDisk(folder), identity, stop); }
    bool answersAfterRoundTrips(const std::filesystem::path &) override { return roundTrips; }
    std::unique_ptr<CopySession> holdDestination(const std::filesystem::path &destination) override
    { return std::make_unique<Session>(*this, onDisk(destination)); }
    std::optional<FolderPlace> folderPlace(const std::filesystem::path &path) override
    { return m_local.folderPlace(onDisk(path)); }
    std::uint64_t freeBytes(const std::filesystem::path &folder) override
    { return std::min(mostFreeBytes, m_local.freeBytes(onDisk(folder))); }
    // clang-format on

private:
    // The real session on the disk, with the paths the window names.
    // clang-format off
    struct Session : CopySession
    {
        FakeFileSystem &fake;
        Session(FakeFileSystem &fileSystem, const std::filesystem::path &destination)
            : CopySession(fileSystem.calls, destination), fake(fileSystem) { }
        TreeTotals measure(const std::filesystem::path &source, CopyMonitor &monitor) override
        { return CopySession::measure(fake.onDisk(source), monitor); }
        CopyReport copyFolder(const std::filesystem::path &source, const std::string &name, CopyMonitor &monitor) override
        { fake.copies.push_back(source); return CopySession::copyFolder(fake.onDisk(source), name, monitor); }
    };
    // clang-format on

    LocalFileSystem m_local { calls };
};

// clang-format off
class FakeFolderPicker : public FolderPicker
{
public:
    QStringList answers; // taken in order; none left means the user cancels
    QString browseForFolder(const QString &) override { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};
// clang-format on

// Answers as told, and keeps what it showed in order, each text after "inform: ", "warn: ",
// "confirm <title>: ", "ask: " or "details: ".
class FakeMessageBox : public MessageBoxService
{
public:
    QStringList shown;
    bool confirmAnswer = true;
    bool optionAnswer = false; // the confirmation's first check box
    bool checkAnswer = false; // its second: check the copies
    QStringList options; // offered by each confirmation
    bool askAnswer = true;

    // clang-format off
    void inform(const QString &text) override { shown << QStringLiteral("inform: ") + text; }
    void warn(const QString &text) override { shown << QStringLiteral("warn: ") + text; }
    bool confirm(const QString &text, const QString &title, const QStringList &offered, QList<bool> &checked) override
    { shown << QStringLiteral("confirm ") + title + QStringLiteral(": ") + text;
      options += offered;
      checked = { optionAnswer, checkAnswer };
      return confirmAnswer; }
    bool ask(const QString &text, const QString &) override
    { shown << QStringLiteral("ask: ") + text; return askAnswer; }
    void informWithDetails(const QString &text, const QString &details) override
    { inform(text); shown << QStringLiteral("details: ") + details; }
    // clang-format on
    bool showedAnything() const { return !shown.isEmpty(); }
};

class FakeClock : public Clock
{
public:
    QDate day { 2026, 12, 6 };
    QDate today() const override { return day; }
};

// Keeps each notice as "<summary>: <body>".
// clang-format off
class FakeNotifier : public Notifier
{
public:
    QStringList notices;
    void notify(const QString &summary, const QString &body) override { notices << summary + QStringLiteral(": ") + body; }
};
// clang-format on

struct FakeServices
{
    FakeFileSystem fileSystem;
    FakeFolderPicker folderPicker;
    FakeMessageBox messageBox;
    FakeClock clock;
    FakeNotifier notifier;

    // clang-format off
    PlatformServices services(Notifier *realNotifier = nullptr)
    { return { fileSystem, folderPicker, messageBox, clock, realNotifier ? *realNotifier : notifier }; }
    // clang-format on
};
