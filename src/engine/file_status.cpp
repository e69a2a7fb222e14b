#include "file_status.h"

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

bool FileStatus::mayHaveHoles() const
{
    return m_info.st_blocks * 512 < m_info.st_size;
}
