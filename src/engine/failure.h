#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

// Which tree a failure happened in.
enum class Side { Source, Destination };

// Something the engine could not do: the system's error, the side it happened on, the path
// it happened at (filled in where that is known) and the reason shown to the user, which is
// the system's text for the error unless a sentence of our own says more ("a link of the
// same name is in the way").
class Failure : public std::exception
{
public:
    Failure(std::error_code code, Side side, std::string reason = {},
            std::filesystem::path path = {});
    Failure(std::errc code, Side side, std::string reason = {}, std::filesystem::path path = {})
        : Failure(std::make_error_code(code), side, std::move(reason), std::move(path))
    { }

    std::error_code code() const { return m_code; }
    Side side() const { return m_side; }
    const std::filesystem::path &path() const { return m_path; }
    const std::string &reason() const { return m_reason; }
    bool isStop() const { return m_code == std::errc::operation_canceled; }

    // The same failure at `path`.
    Failure &at(std::filesystem::path path);

    // "<path>: <reason>", or the reason alone while the path is not known.
    const char *what() const noexcept override { return m_text.c_str(); }

private:
    std::error_code m_code;
    Side m_side;
    std::filesystem::path m_path;
    std::string m_reason;
    std::string m_text;
};

// The error code of an errno value.
inline std::error_code systemError(int error)
{
    return { error, std::generic_category() };
}

// A run stopped on request, as the failure that ends it.
Failure stopAt(const std::filesystem::path &path);
