#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

// A file-system operation that failed: the path it failed on and the system's error.
// what() reads "<path>: <reason>"; the reason is the system's text for the error unless
// a sentence of our own says more ("a link of the same name is in the way").
class FileSystemError : public std::runtime_error
{
public:
    FileSystemError(std::filesystem::path path, std::error_code code, std::string reason = {})
        : FileSystemError(std::move(path), code,
                          reason.empty() ? code.message() : std::move(reason), 0)
    { }

    const std::filesystem::path &path() const { return m_path; }
    std::error_code code() const { return m_code; }
    const std::string &reason() const { return m_reason; }

private:
    FileSystemError(std::filesystem::path path, std::error_code code, std::string reason, int)
        : std::runtime_error(path.string() + ": " + reason)
        , m_path(std::move(path))
        , m_code(code)
        , m_reason(std::move(reason))
    { }

    std::filesystem::path m_path;
    std::error_code m_code;
    std::string m_reason;
};
