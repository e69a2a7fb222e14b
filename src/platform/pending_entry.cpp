#include "pending_entry.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <random>
#include <system_error>

namespace {

[[noreturn]] void throwSystemError()
{
    throw std::system_error(errno, std::generic_category());
}

// Keeps ".<name>.sprigwell-XXXXXX" within the 255 bytes a name may have.
constexpr std::size_t keptNameBytes = 255 - 1 - 11 - 6;
constexpr int attempts = 100;

std::string randomTemporaryName(const std::string &name)
{
    static constexpr char letters[]
        = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random { std::random_device {}() };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(letters) - 2);

    std::string temporary = ".";
    temporary.append(name, 0, keptNameBytes);
    temporary += ".sprigwell-";
    for (int i = 0; i < 6; ++i)
        temporary += letters[pick(random)];
    return temporary;
}

// Tries fresh names until `create` makes one that did not exist yet.
template<typename Create> std::string createUnderNewName(const std::string &name, Create &&create)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string temporary = randomTemporaryName(name);
        if (create(temporary))
            return temporary;
        if (errno != EEXIST)
            throwSystemError();
    }
    throwSystemError();
}

} // namespace

PendingEntry::PendingEntry(const PosixFolder &folder, std::string name)
    : m_folderFd(folder.fd())
    , m_name(std::move(name))
{
    m_temporaryName = createUnderNewName(m_name, [this](const std::string &temporary) {
        m_fd.reset(openat(m_folderFd, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        return m_fd.isOpen();
    });
}

PendingEntry::PendingEntry(const PosixFolder &folder, std::string name,
                           const std::string &linkTarget)
    : m_folderFd(folder.fd())
    , m_name(std::move(name))
{
    m_temporaryName = createUnderNewName(m_name, [&](const std::string &temporary) {
        return symlinkat(linkTarget.c_str(), m_folderFd, temporary.c_str()) == 0;
    });
}

PendingEntry::~PendingEntry()
{
    if (m_committed)
        return;
    m_fd.reset();
    unlinkat(m_folderFd, m_temporaryName.c_str(), 0);
}

void PendingEntry::applyStatus(const FileStatus &status)
{
    const auto times = status.accessAndModifyTimes();
    if (m_fd.isOpen()) {
        if (fchmod(m_fd.get(), status.copyPermissions()) != 0
            || futimens(m_fd.get(), times.data()) != 0)
            throwSystemError();
    } else if (utimensat(m_folderFd, m_temporaryName.c_str(), times.data(), AT_SYMLINK_NOFOLLOW)
               != 0) {
        throwSystemError();
    }
}

void PendingEntry::commit()
{
    if (m_fd.close() != 0)
        throwSystemError();
    if (renameat(m_folderFd, m_temporaryName.c_str(), m_folderFd, m_name.c_str()) != 0)
        throwSystemError();
    m_committed = true;
}
