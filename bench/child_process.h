#pragma once

#include <chrono>
#include <string>
#include <vector>

// What one finished child process left behind.
struct ChildResult
{
    int exitCode = -1; // -1 when it ended by a signal
    std::chrono::nanoseconds elapsed {};
};

// Runs argv[0] from PATH with the given arguments, its standard output written to
// outputPath (truncated), and waits for it. The time covers spawn to reaped exit, as a
// user at a shell would see it. Throws std::runtime_error when it cannot be started.
ChildResult runChild(const std::vector<std::string> &argv,
                     const std::string &outputPath = "/dev/null");

// As runChild, but throws unless the child exits with status 0.
ChildResult runChildChecked(const std::vector<std::string> &argv,
                            const std::string &outputPath = "/dev/null");
