#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char **environ;

namespace {

std::string commandLine(const std::vector<std::string> &argv)
{
    std::string line;
    for (const std::string &each : argv)
        line += (line.empty() ? "" : " ") + each;
    return line;
}

class SpawnActions
{
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions &) = delete;
    SpawnActions &operator=(const SpawnActions &) = delete;
    posix_spawn_file_actions_t *get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

} // namespace

ChildResult runChild(const std::vector<std::string> &argv, const std::string &outputPath)
{
    std::vector<char *> args;
    for (const std::string &each : argv)
        args.push_back(const_cast<char *>(each.c_str()));
    args.push_back(nullptr);

    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawnError
        = posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ);
    if (spawnError != 0)
        throw std::runtime_error("cannot start " + commandLine(argv) + ": "
                                 + std::strerror(spawnError));

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("cannot wait for " + commandLine(argv) + ": "
                                     + std::strerror(errno));
    }
    ChildResult result;
    result.elapsed = std::chrono::steady_clock::now() - start;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ChildResult runChildChecked(const std::vector<std::string> &argv, const std::string &outputPath)
{
    ChildResult result = runChild(argv, outputPath);
    if (result.exitCode != 0)
        throw std::runtime_error(commandLine(argv) + " failed with exit code "
                                 + std::to_string(result.exitCode));
    return result;
}
