#include "metadata_copy.h"

#include "run_policy.h"
#include "source_record.h"
#include "system_calls.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

constexpr mode_t specialBits = S_ISUID | S_ISGID | S_ISVTX;

constexpr std::string_view accessList = "system.posix_acl_access";
constexpr std::string_view defaultList = "system.posix_acl_default";

// Whether `copy` is `source` cut down to a multiple of `step`, as a drive that keeps no finer
// does; exactly the same for a time too far from 1970 to count in nanoseconds.
bool keptAs(const struct timespec &source, const struct timespec &copy, TimeStep step)
{
    const std::optional<std::int64_t> given = nanosOf(source);
    if (!given)
        return source.tv_sec == copy.tv_sec && source.tv_nsec == copy.tv_nsec;
    const std::int64_t rest = *given % step;
    return *given - (rest < 0 ? rest + step : rest) == nanosOf(copy);
}

} // namespace

TimeStep timeStepOf(const struct timespec &given, const struct timespec &kept)
{
    // NTFS keeps 100 ns, exFAT 10 ms, SFTP and small ext4 inodes a second, FAT two.
    for (const TimeStep step : std::initializer_list<TimeStep> {
             1, 100, 1'000, 1'000'000, 10'000'000, 1'000'000'000, 2'000'000'000 })
        if (keptAs(given, kept, step))
            return step;
    return 1;
}

MetadataCopy::MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept)
    : MetadataCopy(calls, notKept, calls.effectiveUser() == 0)
{ }

MetadataCopy::MetadataCopy(SystemCalls &calls, std::set<MetadataKind> &notKept, bool privileged)
    : m_calls(calls)
    , m_notKept(notKept)
    , m_privileged(privileged)
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

template<typename Names, typename Value, typename Set>
MetadataCopy::SourceLists MetadataCopy::copyAttributes(Names &&names, Value &&value, Set &&set)
{
    // A source file system without attributes has none to copy, and one removed between
    // the list and the read is gone (so is a link, read by its name); any other error
    // leaves the entry unread.
    const auto absent = [](std::error_code error) {
        return error == std::errc::operation_not_supported || error == systemError(ENODATA)
            || error == std::errc::no_such_file_or_directory;
    };
    SourceLists had;
    Result<std::string> listed = names();
    if (!listed && absent(listed.error()))
        return had;
    const std::string list = std::move(listed).orThrow(Side::Source);
    for (std::size_t at = 0; at < list.size();) {
        const char *name = list.data() + at;
        at += std::strlen(name) + 1;
        // The source's own record, if it is a copy too, says nothing of this copy: the copy
        // gets a record of its own, or none.
        if (name == std::string_view(kSourceRecordAttribute))
            continue;
        Result<std::string> read = value(name);
        if (!read && absent(read.error()))
            continue;
        const bool access = name == accessList, folderDefault = name == defaultList;
        had.access |= access;
        had.folderDefault |= folderDefault;
        if (const std::error_code error = set(name, std::move(read).orThrow(Side::Source)))
            notKept(access || folderDefault ? MetadataKind::AccessControlLists
                                            : MetadataKind::ExtendedAttributes,
                    error);
    }
    return had;
}

mode_t MetadataCopy::applyOwnerAndMode(int target, const struct stat &current,
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
    return mode;
}

void MetadataCopy::bringUpToDate(int target, const struct stat &current, int source,
                                 const struct stat &from, DestinationDrive &drive)
{
    applyOwnerAndMode(target, current, from);
    const SourceLists had
        = copyAttributes([&] { return m_calls.attributeNames(source); },
                         [&](const char *name) { return m_calls.attribute(source, name); },
                         [&](const char *name, const std::string &value) {
                             const Result<std::string> old = m_calls.attribute(target, name);
                             return old && *old == value
                                 ? std::error_code()
                                 : m_calls.setAttribute(target, name, value);
                         });
    // An access list the source lacks (handed down by the folder, or given at the
    // destination since) goes, as it would from a new copy. On a share or a FUSE drive the
    // call is a round trip a file, to learn what the first one told.
    if (drive.holdsLists)
        drive.holdsLists = removeListsHandedDown(target, had, false);
    // Setting a time the drive cannot keep would cost a round trip a file on a share at
    // every run, and change nothing.
    if (keptAs(from.st_mtim, current.st_mtim, drive.step == 0 ? 1 : drive.step))
        return;
    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (const std::error_code error = m_calls.setTimes(target, times)) {
        notKept(MetadataKind::Times, error);
        return;
    }
    if (drive.step != 0)
        return;
    const Result<FileStatus> kept = m_calls.status(target);
    drive.step = kept ? timeStepOf(from.st_mtim, kept->info().st_mtim) : 1;
}

void MetadataCopy::apply(int target, const struct stat &current, int source,
                         const struct stat &from, bool listsHandedDown)
{
    const mode_t mode = applyOwnerAndMode(target, current, from);
    // After the mode: an access control list sets the group bits to its mask.
    const SourceLists had
        = copyAttributes([&] { return m_calls.attributeNames(source); },
                         [&](const char *name) { return m_calls.attribute(source, name); },
                         [&](const char *name, const std::string &value) {
                             return m_calls.setAttribute(target, name, value);
                         });
    if (listsHandedDown)
        removeListsHandedDown(target, had, S_ISDIR(from.st_mode));
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
    m_keptModified = info.st_mtim;
    if ((info.st_mode & 0777) != (mode & 0777))
        m_notKept.insert(MetadataKind::Permissions);
    if (info.st_mtim.tv_sec != modified.tv_sec || info.st_mtim.tv_nsec != modified.tv_nsec)
        m_notKept.insert(MetadataKind::Times);
}

void MetadataCopy::applyToLink(int folder, const char *name, int sourceFolder,
                               const char *sourceName, const struct stat &from)
{
    const std::error_code owner = m_calls.changeLinkOwner(folder, name, from.st_uid, from.st_gid);
    if (owner && (m_privileged || owner != std::errc::operation_not_permitted))
        notKept(MetadataKind::Owner, owner);
    // trusted.* and security.* only: the system holds no user.* on links.
    copyAttributes([&] { return m_calls.linkAttributeNames(sourceFolder, sourceName); },
                   [&](const char *attribute) {
                       return m_calls.attributeAt(sourceFolder, sourceName, attribute);
                   },
                   [&](const char *attribute, const std::string &value) {
                       return m_calls.setLinkAttribute(folder, name, attribute, value);
                   });
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

bool MetadataCopy::handsDownLists(int folder)
{
    const Result<std::string> list = m_calls.attribute(folder, defaultList.data());
    return list && !list->empty();
}

bool MetadataCopy::removeListsHandedDown(int target, SourceLists had, bool folder)
{
    // The mode set before stays: taking the access list away keeps the group bits.
    for (const auto &[name, keep] : { std::pair(accessList, had.access),
                                      std::pair(defaultList, had.folderDefault || !folder) }) {
        if (keep)
            continue;
        const std::error_code error = m_calls.removeAttribute(target, name.data());
        if (error == std::errc::operation_not_supported)
            return false;
        if (error && error != systemError(ENODATA))
            notKept(MetadataKind::AccessControlLists, error);
    }
    return true;
}
