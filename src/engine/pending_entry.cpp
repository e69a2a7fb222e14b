#include "pending_entry.h"

#include "system_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string_view>

namespace {

constexpr std::string_view prefix = ".sprigwell-";
constexpr std::string_view suffix = ".tmp";
constexpr std::string_view letters
    = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t randomLetters = 6;
constexpr int attempts = 100;

// Short and plain whatever the real name is, so that any file system that can hold the
// real name can hold this one too.
std::string randomTemporaryName()
{
    thread_local std::mt19937 random { std::random_device {}() };
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string name(prefix);
    for (std::size_t i = 0; i < randomLetters; ++i)
        name += letters[pick(random)];
    name += suffix;
    return name;
}

// An unnamed file is linked in through its /proc entry, which needs /proc mounted.
bool unnamedFilesLinkable(SystemCalls &calls)
{
    static const bool procMounted = !calls.checkAccess("/proc/self/fd", X_OK);
    return procMounted;
}

bool refusesUnnamedFiles(std::error_code error)
{
    return error == std::errc::operation_not_supported || error == std::errc::is_a_directory
        || error == std::errc::invalid_argument;
}

void check(std::error_code error)
{
    throwIfFailed(error, Side::Destination);
}

// The permissions a file under a temporary name may show while written: the source's
// (never its set-ID bits, given once the owner is right) where the copy keeps the owner and
// group the process makes it with, else none for others.
mode_t modeWhileNamed(const struct stat *source, const struct stat *folder)
{
    // The process's own, which a desktop program never changes while it runs.
    static const uid_t user = ::geteuid();
    static const gid_t group = ::getegid();
    constexpr mode_t ownerOnly = S_IRUSR | S_IWUSR;
    if (!source || !folder || source->st_uid != user)
        return ownerOnly;
    // A folder with the set-group-ID bit gives new entries its own group.
    const gid_t madeWith = (folder->st_mode & S_ISGID) != 0 ? folder->st_gid : group;
    return madeWith == source->st_gid ? (source->st_mode & 0777) | ownerOnly : ownerOnly;
}

} // namespace

template<typename Create> void PendingEntry::createUnderTemporaryName(Create &&create)
{
    std::error_code error;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string temporary = randomTemporaryName();
        error = create(temporary.c_str());
        if (!error) {
            m_temporaryName = std::move(temporary);
            return;
        }
        if (error != std::errc::file_exists)
            break;
    }
    check(error);
}

bool PendingEntry::isTemporaryName(const std::string &name)
{
    const std::string_view view(name);
    return view.size() == prefix.size() + randomLetters + suffix.size() && view.starts_with(prefix)
        && view.ends_with(suffix)
        && std::all_of(view.begin() + prefix.size(), view.end() - suffix.size(),
                       [](char c) { return letters.find(c) != std::string_view::npos; });
}

PendingEntry PendingEntry::file(SystemCalls &calls, int folder, std::string name,
                                bool &unnamedRefused, const struct stat *source,
                                const struct stat *folderStatus, bool readable)
{
    PendingEntry entry(calls, folder, std::move(name));
    const int access = readable ? O_RDWR : O_WRONLY;
    if (!unnamedRefused && unnamedFilesLinkable(calls)) {
        Result<UniqueFd> unnamed = calls.openAt(folder, ".", O_TMPFILE | access | O_CLOEXEC,
                                                source ? source->st_mode & 0777 : 0600);
        if (unnamed) {
            entry.m_fd = std::move(*unnamed);
            return entry;
        }
        if (!refusesUnnamedFiles(unnamed.error()))
            check(unnamed.error());
        unnamedRefused = true;
    }
    entry.createUnderTemporaryName([&](const char *temporary) {
        Result<UniqueFd> named
            = calls.openAt(folder, temporary, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           modeWhileNamed(source, folderStatus));
        if (named)
            entry.m_fd = std::move(*named);
        return named.error();
    });
    return entry;
}

PendingEntry PendingEntry::link(SystemCalls &calls, int folder, std::string name,
                                const std::string &target)
{
    PendingEntry entry(calls, folder, std::move(name));
    entry.createUnderTemporaryName(
        [&](const char *temporary) { return calls.symlinkAt(target.c_str(), folder, temporary); });
    return entry;
}

PendingEntry PendingEntry::hardLink(SystemCalls &calls, int folder, std::string name,
                                    int existingFolder, const std::string &existing)
{
    PendingEntry entry(calls, folder, std::move(name));
    entry.createUnderTemporaryName([&](const char *temporary) {
        return calls.linkAt(existingFolder, existing.c_str(), folder, temporary, 0);
    });
    return entry;
}

PendingEntry::PendingEntry(PendingEntry &&other) noexcept
    : m_calls(other.m_calls)
    , m_folder(other.m_folder)
    , m_name(std::move(other.m_name))
    , m_temporaryName(std::move(other.m_temporaryName))
    , m_fd(std::move(other.m_fd))
    , m_done(std::exchange(other.m_done, true))
{ }

PendingEntry::~PendingEntry()
{
    m_fd.reset();
    if (!m_done && !m_temporaryName.empty())
        m_calls->unlinkAt(m_folder, m_temporaryName.c_str(), 0);
}

void PendingEntry::commit()
{
    if (m_temporaryName.empty()) {
        // By its descriptor where the kernel lets us (from Linux 6.10, or with the right to
        // search any folder), else through its /proc entry, whose look-up costs more.
        static std::atomic_bool byDescriptorRefused = false;
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
        const auto linkAs = [&](const char *name) {
            if (!byDescriptorRefused) {
                const std::error_code linked
                    = m_calls->linkAt(m_fd.get(), "", m_folder, name, AT_EMPTY_PATH);
                if (linked != std::errc::no_such_file_or_directory)
                    return linked;
                byDescriptorRefused = true;
            }
            return m_calls->linkAt(AT_FDCWD, self.c_str(), m_folder, name, AT_SYMLINK_FOLLOW);
        };
        const std::error_code linked = linkAs(m_name.c_str());
        if (!linked) {
            m_done = true;
            if (const std::error_code closed = m_calls->closeFile(m_fd)) {
                // A write lost on the way: the name goes again, as it never held anything.
                m_calls->unlinkAt(m_folder, m_name.c_str(), 0);
                check(closed);
            }
            return;
        }
        if (linked != std::errc::file_exists)
            check(linked);
        // An entry is there already: a temporary name renamed over it replaces it in one step.
        createUnderTemporaryName(linkAs);
    }
    check(m_calls->closeFile(m_fd));
    check(m_calls->renameAt(m_folder, m_temporaryName.c_str(), m_name.c_str()));
    m_done = true;
}
