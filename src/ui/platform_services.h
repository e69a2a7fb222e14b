#pragma once

class Clock;
class FileSystemService;
class FolderPicker;
class MessageBoxService;
class Notifier;

// The outside world as the window sees it. The program passes the real services;
// tests pass fakes. The window does not own them.
struct PlatformServices
{
    FileSystemService &fileSystem;
    FolderPicker &folderPicker;
    MessageBoxService &messageBox;
    const Clock &clock;
    Notifier &notifier;
};
