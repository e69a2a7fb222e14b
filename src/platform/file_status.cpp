#include "file_status.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

FileStatus FileStatus::ofOpenFile(int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        throw std::system_error(errno, std::generic_category());
    return FileStatus(info);
}

EntryKind FileStatus::kind() const
{
    if (S_ISREG(m_info.st_mode))
        return EntryKind::File;
    if (S_ISDIR(m_info.st_mode))
        return EntryKind::Folder;
    if (S_ISLNK(m_info.st_mode))
        return EntryKind::Link;
    return EntryKind::Special;
}

FileIdentity FileStatus::identity() const
{
    return { std::uint64_t(m_info.st_dev), std::uint64_t(m_info.st_ino) };
}

std::uint64_t FileStatus::size() const
{
    return m_info.st_size > 0 ? std::uint64_t(m_info.st_size) : 0;
}

mode_t FileStatus::copyPermissions() const
{
    static const uid_t ownUser = geteuid();
    static const gid_t ownGroup = getegid();
    mode_t mode = m_info.st_mode & 07777;
    if (m_info.st_uid != ownUser)
        mode &= ~mode_t(S_ISUID);
    if (m_info.st_gid != ownGroup)
        mode &= ~mode_t(S_ISGID);
    return mode;
}

std::array<struct timespec, 2> FileStatus::accessAndModifyTimes() const
{
    return { m_info.st_atim, m_info.st_mtim };
}
