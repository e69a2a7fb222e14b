// Copies one folder tree as the program does and prints what it reported, a line each, for
// scripts that check a copy onto a mounted file system.
// Usage: sprigwell_copy_tree SOURCE DESTINATION; exit 1 when the copy failed.

#include "copy/copy_messages.h"
#include "platform/local_file_system.h"

#include <iostream>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " SOURCE DESTINATION\n";
        return 2;
    }
    SilentCopyMonitor monitor;
    LocalFileSystem fileSystem;
    try {
        const CopyReport report = fileSystem.copyFolder(argv[1], argv[2], monitor);
        for (const QString &line : problemTexts(report.problems))
            std::cout << "problem: " << line.toStdString() << '\n';
        for (const QString &line : notKeptTexts(report.notKept))
            std::cout << "not kept: " << line.toStdString() << '\n';
    } catch (const Failure &failure) {
        std::cout << "failed: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
