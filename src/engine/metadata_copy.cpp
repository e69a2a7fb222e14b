#include "metadata_copy.h"

#include "run_policy.h"
#include "system_calls.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

constexpr mode_t specialBits = S_ISUID | S_ISGID | S_ISVTX;

bool isAccessControlList(std::string_view name)
{
    return name == "system.posix_acl_access" || name == "system.posix_acl_default";
}

} // namespace

MetadataCopy::MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept)
    : m_calls(calls)
    , m_notKept(notKept)
    , m_privileged(calls.effectiveUser() == 0)
{ }

void MetadataCopy::notKept(MetadataKind kind, std::error_code error)
{
    // A full disk may refuse an attribute that needs a block of its own; the data is
    // there, so that is no reason to stop.
    const Failure failure(error, Side::Destination);
    if (stopsRun(failure) && !isDestinationFull(error))
        throw failure;
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
    if (const std::error_code error = m_calls.setTimes(target, times))
        notKept(MetadataKind::Times, error);
    noteWhatWasNotKept(target, mode, from.st_mtim);
}

void MetadataCopy::noteWhatWasNotKept(int target, mode_t mode, const struct timespec &modified)
{
    // exFAT through FUSE answers a chmod with success and keeps 0777, and keeps times to
    // the hundredth of a second: only a look at what arrived tells. Once both are noted
    // there is nothing more to learn, and no file pays for the look.
    if (m_notKept.contains(MetadataKind::Permissions) && m_notKept.contains(MetadataKind::Times))
        return;
    const Result<FileStatus> kept = m_calls.status(target);
    if (!kept)
        return;
    const struct stat &info = kept->info();
    if ((info.st_mode & 0777) != (mode & 0777))
        m_notKept.insert(MetadataKind::Permissions);
    if (info.st_mtim.tv_sec != modified.tv_sec || info.st_mtim.tv_nsec != modified.tv_nsec)
        m_notKept.insert(MetadataKind::Times);
}

void MetadataCopy::applyToLink(int folder, const char *name, const struct stat &from)
{
    const std::error_code owner = m_calls.changeLinkOwner(folder, name, from.st_uid, from.st_gid);
    if (owner && (m_privileged || owner != std::errc::operation_not_permitted))
        notKept(MetadataKind::Owner, owner);
    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (const std::error_code error = m_calls.setLinkTimes(folder, name, times))
        notKept(MetadataKind::Times, error);
}

bool MetadataCopy::applyOwner(int target, const struct stat &current, const struct stat &from)
{
    if (current.st_uid == from.st_uid && current.st_gid == from.st_gid)
        return true;
    const std::error_code error = m_calls.changeOwner(target, from.st_uid, from.st_gid);
    if (!error)
        return true;
    if (!m_privileged
        && (error == std::errc::operation_not_permitted || error == std::errc::invalid_argument)) {
        // A user may not give files away but may keep a group of their own, and is
        // not told when even that fails, as with cp -a.
        m_calls.changeOwner(target, uid_t(-1), from.st_gid);
        return false;
    }
    notKept(MetadataKind::Owner, error);
    return false;
}

void MetadataCopy::applyMode(int target, const struct stat &current, mode_t mode)
{
    if ((current.st_mode & 07777) == mode)
        return;
    const std::error_code error = m_calls.changeMode(target, mode);
    if (!error)
        return;
    // Some file systems refuse the set-ID bits alone.
    if ((mode & specialBits) != 0 && !stopsRun(Failure(error, Side::Destination))
        && !m_calls.changeMode(target, mode & ~specialBits)) {
        m_notKept.insert(MetadataKind::SetIdBits);
        return;
    }
    notKept(MetadataKind::Permissions, error);
}

void MetadataCopy::copyAttributes(int source, int target)
{
    // A source file system without attributes has none to copy, and one removed between
    // the list and the read is gone; any other error leaves the entry unread.
    const auto absent = [](std::error_code error) {
        return error == std::errc::operation_not_supported || error == systemError(ENODATA);
    };
    Result<std::string> names = m_calls.attributeNames(source);
    if (!names && absent(names.error()))
        return;
    const std::string list = std::move(names).orThrow(Side::Source);
    for (std::size_t at = 0; at < list.size();) {
        const char *name = list.data() + at;
        at += std::strlen(name) + 1;
        Result<std::string> value = m_calls.attribute(source, name);
        if (!value && absent(value.error()))
            continue;
        if (const std::error_code error
            = m_calls.setAttribute(target, name, std::move(value).orThrow(Side::Source)))
            notKept(isAccessControlList(name) ? MetadataKind::AccessControlLists
                                              : MetadataKind::ExtendedAttributes,
                    error);
    }
}
