#include "metadata_copy.h"

#include "platform/system_calls.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr mode_t specialBits = S_ISUID | S_ISGID | S_ISVTX;

bool isAccessControlList(std::string_view name)
{
    return name == "system.posix_acl_access" || name == "system.posix_acl_default";
}

// Calls `read` with a buffer grown until the value fits; nullopt when it cannot be read.
template<typename Read> std::optional<std::vector<char>> readGrowing(Read &&read)
{
    std::vector<char> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size <= 0)
            return size == 0 ? std::optional(buffer) : std::nullopt;
        buffer.resize(std::size_t(size));
        const ssize_t got = read(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(std::size_t(got));
            return buffer;
        }
        if (errno != ERANGE) // ERANGE: it grew in between
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

MetadataCopy::MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept)
    : m_calls(calls)
    , m_notKept(notKept)
    , m_privileged(geteuid() == 0)
{ }

bool MetadataCopy::dooms(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EIO:
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ENOTCONN:
        return true;
    default:
        return false;
    }
}

void MetadataCopy::notKept(MetadataKind kind)
{
    // A full disk may refuse an attribute that needs a block of its own; the data is
    // there, so that is no reason to stop.
    if (dooms(errno) && errno != ENOSPC && errno != EDQUOT)
        throwSystemError();
    m_notKept.insert(kind);
}

void MetadataCopy::apply(int target, const struct stat &current, int source,
                         const struct stat &from)
{
    mode_t mode = from.st_mode & 07777;
    // As cp -a does: a copy whose owner is not the original's loses the bits that would
    // hand out the original owner's rights.
    if (!applyOwner(target, current, from) && (mode & specialBits) != 0) {
        if ((mode & (S_ISUID | S_ISGID)) != 0)
            m_notKept.insert(MetadataKind::SetIdBits);
        mode &= ~specialBits;
    }
    applyMode(target, current, mode);
    // After the mode: an access control list sets the group bits to its mask.
    copyAttributes(source, target);
    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (m_calls.setTimes(target, times) != 0)
        notKept(MetadataKind::Times);
    noteWhatWasNotKept(target, mode, from.st_mtim);
}

void MetadataCopy::noteWhatWasNotKept(int target, mode_t mode, const struct timespec &modified)
{
    // exFAT through FUSE answers a chmod with success and keeps 0777, and keeps times to
    // the hundredth of a second: only a look at what arrived tells. Once both are noted
    // there is nothing more to learn, and no file pays for the look.
    if (m_notKept.contains(MetadataKind::Permissions) && m_notKept.contains(MetadataKind::Times))
        return;
    struct stat kept;
    if (fstat(target, &kept) != 0)
        return;
    if ((kept.st_mode & 0777) != (mode & 0777))
        m_notKept.insert(MetadataKind::Permissions);
    if (kept.st_mtim.tv_sec != modified.tv_sec || kept.st_mtim.tv_nsec != modified.tv_nsec)
        m_notKept.insert(MetadataKind::Times);
}

void MetadataCopy::applyToLink(int folder, const char *name, const struct stat &from)
{
    if (m_calls.changeLinkOwner(folder, name, from.st_uid, from.st_gid) != 0
        && (m_privileged || errno != EPERM))
        notKept(MetadataKind::Owner);
    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (m_calls.setLinkTimes(folder, name, times) != 0)
        notKept(MetadataKind::Times);
}

bool MetadataCopy::applyOwner(int target, const struct stat &current, const struct stat &from)
{
    if (current.st_uid == from.st_uid && current.st_gid == from.st_gid)
        return true;
    if (m_calls.changeOwner(target, from.st_uid, from.st_gid) == 0)
        return true;
    if (!m_privileged && (errno == EPERM || errno == EINVAL)) {
        // A user may not give files away but may keep a group of their own, and is
        // not told when even that fails, as with cp -a.
        m_calls.changeOwner(target, uid_t(-1), from.st_gid);
        return false;
    }
    notKept(MetadataKind::Owner);
    return false;
}

void MetadataCopy::applyMode(int target, const struct stat &current, mode_t mode)
{
    if ((current.st_mode & 07777) == mode || m_calls.changeMode(target, mode) == 0)
        return;
    // Some file systems refuse the set-ID bits alone.
    if ((mode & specialBits) != 0 && !dooms(errno)
        && m_calls.changeMode(target, mode & ~specialBits) == 0) {
        m_notKept.insert(MetadataKind::SetIdBits);
        return;
    }
    notKept(MetadataKind::Permissions);
}

void MetadataCopy::copyAttributes(int source, int target)
{
    const std::vector<char> names = readGrowing([&](char *buffer, std::size_t size) {
                                        return flistxattr(source, buffer, size);
                                    }).value_or(std::vector<char>());
    for (std::size_t at = 0; at < names.size();) {
        const char *name = names.data() + at;
        at += std::strlen(name) + 1;
        const auto value = readGrowing(
            [&](char *buffer, std::size_t size) { return fgetxattr(source, name, buffer, size); });
        if (value && m_calls.setAttribute(target, name, value->data(), value->size()) != 0)
            notKept(isAccessControlList(name) ? MetadataKind::AccessControlLists
                                              : MetadataKind::ExtendedAttributes);
    }
}
