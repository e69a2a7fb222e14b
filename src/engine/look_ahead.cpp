#include "look_ahead.h"

#include "stale_temporaries.h"
#include "system_calls.h"

#include <utility>

LookAhead::LookAhead(SystemCalls &calls, CopyWalk &walk, Look look)
    : m_calls(calls)
    , m_walk(walk)
    , m_look(std::move(look))
{ }

FileLook LookAhead::lookAt(const std::string &name, bool mayProve)
{
    CopyWalk::Level &level = m_walk.current();
    const bool lookedAt = !m_looks.empty() && m_looks.front().name == name;
    if (!lookedAt && mayProve && m_expectUpToDate) {
        m_looks.clear();
        lookAhead(name);
    }
    if (!m_looks.empty() && m_looks.front().name == name) {
        FileLook ahead = std::move(m_looks.front());
        m_looks.pop_front();
        // Looked at before files of the folder were written (on a folder that ignores case,
        // one may have taken its name): only a file found up to date is taken as found.
        m_expectUpToDate = ahead.verdict == UpToDate::Proven;
        if (m_expectUpToDate)
            return ahead;
    }
    m_looks.clear();
    sweepTemporaries(m_calls, level.destination.fd.get(), level.state->mayHoldTemporaries);
    FileLook found = m_look(name, mayProve);
    m_expectUpToDate = found.verdict == UpToDate::Proven;
    if (m_expectUpToDate)
        lookAhead({});
    return found;
}

std::optional<std::vector<FolderEntry>> LookAhead::takeFolder(const std::string &name,
                                                              const FileIdentity &identity)
{
    std::optional<ReadAhead> read = std::exchange(m_readAhead, std::nullopt);
    if (!read || read->name != name || read->identity != identity)
        return std::nullopt;
    return std::move(read->entries);
}

void LookAhead::lookAhead(const std::string &first)
{
    CopyWalk::Level &level = m_walk.current();
    std::vector<std::string> names;
    if (!first.empty())
        names.push_back(first);
    for (std::size_t i = 0; names.size() < kLookAhead; ++i) {
        const CopyWalk::Upcoming next = m_walk.peek(i);
        if (next.level != &level || next.entry->kind != EntryKind::File)
            break;
        names.push_back(next.entry->name);
    }
    m_looks.resize(names.size());
    // Beside the looks: the folder's sweep for stale temporaries, if due, and the read of
    // the next folder.
    const int folder = level.destination.fd.get();
    const bool sweep = level.state->mayHoldTemporaries;
    Result<std::vector<std::string>> stale = std::vector<std::string>();
    const std::optional<std::pair<int, std::string>> next = nextFolder();
    std::vector<std::function<void()>> beside;
    if (sweep)
        beside.emplace_back([&] { stale = staleTemporaries(m_calls, folder); });
    if (next)
        beside.emplace_back([&] { m_readAhead = readAhead(next->first, next->second); });
    m_split.run(beside.size() + names.size(), [&](std::size_t i) {
        if (i < beside.size())
            beside[i]();
        else
            m_looks[i - beside.size()] = m_look(names[i - beside.size()], true);
    });
    if (!sweep)
        return;
    level.state->mayHoldTemporaries = false;
    // A file found before its stale namesake was removed is looked at again.
    if (removeTemporaries(m_calls, folder, std::move(stale)))
        m_looks.clear();
}

std::optional<std::pair<int, std::string>> LookAhead::nextFolder() const
{
    const CopyWalk::Level &level = m_walk.current();
    std::size_t files = 0;
    for (CopyWalk::Upcoming next = m_walk.peek(0);
         next.level == &level && next.entry->kind == EntryKind::File; next = m_walk.peek(++files))
        if (files == kLookAhead)
            return std::nullopt;
    const CopyWalk::Upcoming next = m_walk.peek(files);
    if (!next.entry || next.entry->kind != EntryKind::Folder || !next.level->source.fd.isOpen())
        return std::nullopt;
    return std::pair { next.level->source.fd.get(), next.entry->name };
}

std::optional<LookAhead::ReadAhead> LookAhead::readAhead(int holder, const std::string &name) const
{
    const Result<UniqueFd> folder = m_calls.openAt(holder, name.c_str(), kFolderFlags);
    if (!folder)
        return std::nullopt;
    const Result<FileStatus> status = m_calls.status(folder->get());
    Result<std::vector<FolderEntry>> entries = m_calls.readFolder(folder->get());
    if (!status || !entries)
        return std::nullopt;
    return ReadAhead { name, status->identity(), std::move(*entries) };
}
