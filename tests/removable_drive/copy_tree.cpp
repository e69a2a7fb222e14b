// Copies sub-folders into a destination folder as the program's copy run does (the
// destination held, the count, each sub-folder in turn, the check and the flush) and prints
// what the run reported, a line each, for scripts that check copies onto mounted drives.
// Usage: sprigwell_copy_tree [--pause FILE] SOURCE... INTO
//   The SOURCEs are sub-folders of one folder; each is copied to INTO/<its name>. With
//   --pause, after each sub-folder but the last it prints "copied NAME" and waits while
//   FILE exists. Exit 0 when the run finished, 1 when it did not.

#include "copy/copy_messages.h"
#include "copy/copy_run.h"
#include "platform/local_file_system.h"

#include <chrono>
#include <iostream>
#include <thread>

int main(int argc, char *argv[])
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::filesystem::path pause;
    if (arguments.size() > 2 && arguments.front() == "--pause") {
        pause = arguments[1];
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.size() < 2) {
        std::cerr << "usage: " << argv[0] << " [--pause FILE] SOURCE... INTO\n";
        return 2;
    }
    CopyRequest request { {}, arguments.back(), {} };
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        request.source = std::filesystem::path(arguments[i]).parent_path();
        request.names.push_back(std::filesystem::path(arguments[i]).filename());
    }
    LocalFileSystem fileSystem;
    CopyRun run(fileSystem);
    bool counted = false, finished = false;
    std::size_t copied = 0;
    const auto print = [](const char *what, const QString &text) {
        std::cout << what << text.toStdString() << std::endl;
    };
    QObject::connect(&run, &CopyRun::refused, &run,
                     [&](const QString &text) { print("refused: ", text); });
    QObject::connect(&run, &CopyRun::counted, &run, [&] { counted = true; });
    QObject::connect(&run, &CopyRun::subFolderCopied, &run, [&](const QString &name) {
        if (pause.empty() || ++copied == request.names.size())
            return;
        print("copied ", name);
        while (std::filesystem::exists(pause))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    QObject::connect(&run, &CopyRun::failed, &run,
                     [&](const QString &, const QString &file, const QString &reason) {
                         print("failed: ", file + QStringLiteral(": ") + reason);
                     });
    QObject::connect(&run, &CopyRun::finished, &run,
                     [&](const QStringList &problems, const QStringList &notKept) {
                         finished = true;
                         for (const QString &line : problems)
                             print("problem: ", line);
                         for (const QString &line : notKept)
                             print("not kept: ", line);
                     });
    run.prepare(request);
    if (counted)
        run.copy();
    return finished ? 0 : 1;
}
