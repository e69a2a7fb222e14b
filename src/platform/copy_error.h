#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

// A folder copy that stopped; what() reads "<file>: <reason>". The file is the entry that
// failed (the source entry when reading failed, the destination entry when writing did),
// the reason the system's text for the error or a short sentence of our own.
class CopyError : public std::runtime_error
{
public:
    CopyError(std::filesystem::path file, std::string reason)
        : std::runtime_error(file.string() + ": " + reason)
        , m_file(std::move(file))
        , m_reason(std::move(reason))
    { }
    const std::filesystem::path &file() const { return m_file; }
    const std::string &reason() const { return m_reason; }

private:
    std::filesystem::path m_file;
    std::string m_reason;
};
