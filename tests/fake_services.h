#pragma once

// Stand-ins for the window's platform services. The file system is the real one,
// rooted in a test folder, with failures that a test can switch on.

#include "main_window/form1.h"
#include "main_window/platform_services.h"
#include "platform/clock.h"
#include "platform/folder_picker.h"
#include "platform/local_file_system.h"
#include "platform/message_box_service.h"
#include "temp_tree.h"

#include <QStringList>

#include <deque>
#include <optional>

class FakeFileSystem : public FileSystemService
{
public:
    // Every path the window names is looked up below this folder, so "/test/" can be
    // a real folder inside a temporary one.
    std::filesystem::path root;
    // Names of drives that exist, and of those among them that are ready.
    QStringList drives;
    QStringList readyDrives;
    // When set, folder tests and sub-folder listings fail with these errors.
    std::optional<std::errc> folderExistsFailure;
    std::optional<std::errc> subFoldersFailure;
    // When set, replaces what the disk holds.
    std::optional<std::vector<SubFolder>> syntheticSubFolders;

    // When set, the copy of the sub-folder of this name fails part-way.
    std::optional<std::string> copyFailureFor;

    int subFoldersCalls = 0;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> copies;
    std::vector<std::filesystem::path> folderExistsAsked;

    std::filesystem::path onDisk(const std::filesystem::path &path) const
    {
        return root.empty() ? path : root / path.relative_path();
    }

    bool folderExists(const std::filesystem::path &path) override
    {
        folderExistsAsked.push_back(path);
        if (folderExistsFailure)
            throw FileSystemError(path, std::make_error_code(*folderExistsFailure));
        return !path.empty() && m_local.folderExists(onDisk(path));
    }
    bool driveExists(const QString &drive) override { return drives.contains(drive); }
    bool driveReady(const QString &drive) override { return readyDrives.contains(drive); }
    std::vector<SubFolder> subFolders(const std::filesystem::path &folder) override
    {
        ++subFoldersCalls;
        if (subFoldersFailure)
            throw FileSystemError(folder, std::make_error_code(*subFoldersFailure));
        if (syntheticSubFolders)
            return *syntheticSubFolders;
        return m_local.subFolders(onDisk(folder));
    }

    CopyReport copyFolder(const std::filesystem::path &source,
                          const std::filesystem::path &destination, CopyMonitor &monitor) override
    {
        copies.emplace_back(source, destination);
        if (copyFailureFor && source.filename() == *copyFailureFor)
            throw FileSystemError(source / "data.bin",
                                  std::make_error_code(std::errc::no_space_on_device));
        return m_local.copyFolder(onDisk(source), onDisk(destination), monitor);
    }

private:
    LocalFileSystem m_local;
};

class FakeFolderPicker : public FolderPicker
{
public:
    std::deque<QString> answers; // taken in order; empty means the user cancels
    QStringList prompts;

    QString browseForFolder(const QString &prompt) override
    {
        prompts.append(prompt);
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
    QStringList confirmTexts;
    QStringList confirmTitles;
    bool confirmAnswer = true;

    void inform(const QString &text) override { informed.append(text); }
    void warn(const QString &text) override { warned.append(text); }
    bool confirm(const QString &text, const QString &title) override
    {
        confirmTexts.append(text);
        confirmTitles.append(title);
        return confirmAnswer;
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

// A window on fake services whose "/" is a fresh temporary folder; made anew for each
// test function so no state leaks between them.
struct WindowFixture
{
    TempTree::Folder dir;
    FakeServices fakes;
    Form1 form { fakes.services() };

    WindowFixture() { fakes.fileSystem.root = dir.path(); }
    std::filesystem::path disk(const std::string &relative) const { return dir.path() / relative; }
};
