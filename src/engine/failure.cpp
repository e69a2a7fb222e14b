#include "failure.h"

#include <cerrno>

namespace {

// Our own sentence where the system's text would not tell the user what is wrong.
std::string defaultReason(std::error_code code, Side side)
{
    if (side == Side::Destination && code.category() == std::generic_category()) {
        switch (code.value()) {
        case EINVAL:
        case EILSEQ:
            return "the destination cannot hold this name";
        case EFBIG:
            return "the file is too large for the destination";
        }
    }
    return code.message();
}

} // namespace

Failure::Failure(std::error_code code, Side side, std::string reason, std::filesystem::path path)
    : m_code(code)
    , m_side(side)
    , m_reason(reason.empty() ? defaultReason(code, side) : std::move(reason))
{
    at(std::move(path));
}

Failure &Failure::at(std::filesystem::path path)
{
    m_path = std::move(path);
    m_text = m_path.empty() ? m_reason : m_path.string() + ": " + m_reason;
    return *this;
}

Failure stopAt(const std::filesystem::path &path)
{
    return Failure(std::errc::operation_canceled, Side::Source, {}, path);
}
