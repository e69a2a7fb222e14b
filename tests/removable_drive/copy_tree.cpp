// Copies sub-folders into a destination folder as the program's copy run does (the
// destination held, the count, each sub-folder in turn, the check and the flush) and prints
// what the run reported, a line each, and the number of files found up to date, for scripts
// that check copies onto mounted drives.
// Usage: sprigwell_copy_tree [--pause FILE | --chosen-before FILE | --stop-after SECONDS]
//                            [--check FILE] SOURCE... INTO
//   The SOURCEs are sub-folders of one folder; each is copied to INTO/<its name>. With
//   --pause, after each sub-folder but the last it prints "copied NAME" and waits while
//   FILE exists. With --chosen-before, it takes INTO as the window's choice does, prints
//   "chosen" and waits while FILE exists before the run. With --stop-after, it asks the run to
//   stop SECONDS after the copy began and prints "stopped in S s", the time the run took to end
//   after that. With --check the copies are read back after the flush; before that it prints
//   "checking" and waits while FILE exists. Exit 0 when the run finished, 1 when it did not.

#include "copy/copy_run.h"
#include "folder_choice/folder_choice.h"
#include "platform/local_file_system.h"

#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>
#include <thread>

int main(int argc, char *argv[])
{
    std::map<std::string, std::string> options;
    int first = 1;
    for (; first + 2 < argc && argv[first][0] == '-'; first += 2)
        options[argv[first]] = argv[first + 1];
    const std::string pause = options["--pause"], chosenWait = options["--chosen-before"],
                      stopAfter = options["--stop-after"], beforeCheck = options["--check"];
    const auto waitWhile = [](const std::string &file) {
        while (std::filesystem::exists(file))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    CopyRequest request { {}, argv[argc - 1], {} };
    request.checkCopies = !beforeCheck.empty();
    for (int i = first; i < argc - 1; ++i) {
        request.source = std::filesystem::path(argv[i]).parent_path();
        request.names.push_back(std::filesystem::path(argv[i]).filename());
    }
    if (request.names.empty()) {
        std::cerr << "usage: " << argv[0] << " [--pause FILE | --chosen-before FILE | "
                  << "--stop-after SECONDS] [--check FILE] SOURCE... INTO\n";
        return 2;
    }
    LocalFileSystem fileSystem;
    CopyRun run(fileSystem);
    std::string ended;
    std::size_t copied = 0;
    const auto print = [](const char *what, const QString &text) {
        std::cout << what << text.toStdString() << std::endl;
    };
    // clang-format off
    QObject::connect(&run, &CopyRun::refused, &run, [&](const QString &text) { print("refused: ", text); });
    QObject::connect(&run, &CopyRun::counted, &run, [&] { ended = "counted"; });
    QObject::connect(&run, &CopyRun::subFolderCopied, &run, [&](const QString &name) {
        if (!pause.empty() && ++copied < request.names.size())
            print("copied ", name), waitWhile(pause);
    });
    QObject::connect(&run, &CopyRun::failed, &run, [&](const QString &, const QString &file, const QString &reason)
                     { print("failed: ", file + QStringLiteral(": ") + reason); });
    QObject::connect(&run, &CopyRun::checking, &run, [&] { print("checking", {}), waitWhile(beforeCheck); });
    QObject::connect(&run, &CopyRun::finished, &run, [&](const QStringList &problems, const QStringList &notKept,
                                                         quint64 upToDate, const QStringList &notes) {
        ended = "finished";
        print("up to date: ", QString::number(upToDate));
        for (const auto &[what, lines] : { std::pair("note: ", notes), { "problem: ", problems }, { "not kept: ", notKept } })
            for (const QString &line : lines)
                print(what, line);
    });
    // clang-format on
    if (!chosenWait.empty()) {
        request.destinationPlace
            = checkChosenFolder(fileSystem, QString::fromLocal8Bit(argv[argc - 1])).place;
        print("chosen", {});
        waitWhile(chosenWait);
    }
    run.prepare(request);
    if (ended != "counted")
        return 1;
    std::chrono::steady_clock::time_point askedAt;
    std::thread stopper([&] {
        if (stopAfter.empty())
            return;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(stopAfter.c_str())));
        askedAt = std::chrono::steady_clock::now();
        run.requestStop();
    });
    run.copy();
    const auto done = std::chrono::steady_clock::now();
    stopper.join();
    const std::chrono::duration<double> took = done - askedAt;
    if (!stopAfter.empty() && ended != "finished")
        std::cout << "stopped in " << std::fixed << std::setprecision(3) << took.count() << " s\n";
    return ended == "finished" ? 0 : 1;
}
