#include "first_copies.h"

#include "pending_entry.h"
#include "run_policy.h"
#include "system_calls.h"
#include "tree_walk.h"

const FirstCopy *FirstCopies::find(const FileIdentity &source) const
{
    const auto found = m_copies.find(source);
    return found == m_copies.end() ? nullptr : &found->second;
}

void FirstCopies::note(const FileIdentity &source, FirstCopy copy)
{
    m_copies.try_emplace(source, std::move(copy));
}

void FirstCopies::replace(const FileIdentity &source, FirstCopy copy)
{
    m_copies.insert_or_assign(source, std::move(copy));
}

bool FirstCopies::linkTo(SystemCalls &calls, int destination, int folder, const std::string &name,
                         const FirstCopy &first, std::set<MetadataKind> &notKept)
{
    try {
        // Down from the held destination a folder at a time: the whole path may be longer
        // than the system takes in one call (ENAMETOOLONG is no refusal of hard links), and
        // no link is followed on the way.
        UniqueFd step;
        int at = destination;
        for (const std::filesystem::path &part : first.path.parent_path()) {
            step = calls.openAt(at, part.c_str(), kFolderFlags).orThrow(Side::Destination);
            at = step.get();
        }
        PendingEntry pending
            = PendingEntry::hardLink(calls, folder, name, at, first.path.filename());
        // The first copy may have been replaced since; then this one is copied anew.
        const Result<FileStatus> linked = calls.statusAt(folder, pending.temporaryName().c_str());
        if (!linked || linked->identity() != first.identity)
            return false;
        pending.commit();
    } catch (const Failure &failure) {
        const std::error_code code = failure.code();
        // The first copy was removed or moved.
        if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory
            || code == std::errc::too_many_symbolic_link_levels)
            return false;
        if (stopsRun(failure))
            throw;
        // FAT and others hold no hard links, nor does a link reach another drive: the file
        // gets a copy of its own.
        notKept.insert(MetadataKind::HardLinks);
        return false;
    }
    return true;
}
