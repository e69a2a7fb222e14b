#pragma once

#include "failure.h"
#include "file_status.h"
#include "folder_entry.h"
#include "system_calls.h"
#include "unique_fd.h"

#include <fcntl.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

// An open folder and the object it was when it was opened, so that reopening it later
// can tell whether it is still the same.
struct OpenFolder
{
    UniqueFd fd;
    FileIdentity identity;
};

// How every folder below the top of a walk is opened: never through a link.
inline constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// "/dst/Photos/" names the folder Photos, as "/dst/Photos" does; kept, the separator would
// also follow a link there.
inline std::filesystem::path withoutTrailingSeparator(const std::filesystem::path &path)
{
    return path.has_filename() ? path : path.parent_path();
}

// The one walk down a folder tree: the count before a copy, the copy, and the look inside
// sub-folders all go through it, so what is counted is what is copied. Depth first, on a
// stack of its own instead of the program's, so that depth costs neither call stack nor
// more than a few descriptors: only the deepest levels keep their folders open (a source
// and, when copying, a destination); a level whose folders were closed gets them back
// through ".." of the level below when the walk returns to it, checked to be the same
// folders. Links are never followed below the top, and a folder already on the walk (met
// again through a bind mount) is not entered again.
//
// What happens to each entry is the visitor's, whose State is kept with each level:
//   bool stopRequested()       asked before each entry; yes ends the walk with stopAt()
//   void visit(FolderEntry)    each entry of the deepest level; may enter() a folder
//   void leave(Level &)        a level whose entries are done, before it is dropped
template<typename State> class TreeWalk
{
public:
    struct Level
    {
        std::string name; // within the level above; the top level's is empty
        OpenFolder source;
        OpenFolder destination; // a copy's; stays closed in a walk that only reads
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
        State state;
        FileStatus sourceStatus; // the source folder as it was opened
    };

    // Levels below the top that keep their folders open.
    static constexpr std::size_t openLevels = 16;

    explicit TreeWalk(SystemCalls &calls)
        : m_calls(calls)
    { }

    // The folder at `path` as the top level, its entries not read yet. The folders above it
    // were chosen by the user and may be reached through links; the top itself was a folder
    // when it was listed, so a link there is not followed (ELOOP). Throws Failure on the
    // source side.
    Level openTop(const std::filesystem::path &path, int extraFlags = 0)
    {
        m_root = withoutTrailingSeparator(path);
        Level level;
        level.source.fd = m_calls.openPath(m_root, kFolderFlags | extraFlags).orThrow(Side::Source);
        describe(level);
        return level;
    }

    // The folder `name` in the deepest level's source folder as the next level, its entries
    // not read yet. Throws Failure on the source side, ELOOP for a folder on the walk, ENOENT
    // when it is not the `expected` folder (it was replaced since it was looked at).
    Level openChild(const std::string &name, int extraFlags = 0,
                    const FileIdentity *expected = nullptr)
    {
        Level level;
        level.name = name;
        level.source.fd
            = m_calls.openAt(current().source.fd.get(), name.c_str(), kFolderFlags | extraFlags)
                  .orThrow(Side::Source);
        describe(level);
        if (expected && *expected != level.source.identity)
            throw Failure(std::errc::no_such_file_or_directory, Side::Source,
                          "was replaced while it was read");
        if (m_onWalk.contains(level.source.identity))
            throw Failure(std::errc::too_many_symbolic_link_levels, Side::Source,
                          "cannot be copied into itself");
        return level;
    }

    // Throws Failure on the source side.
    void readEntries(Level &level)
    {
        level.entries = m_calls.readFolder(level.source.fd.get()).orThrow(Side::Source);
    }

    // Makes `level` the deepest.
    void enter(Level level)
    {
        m_onWalk.insert(level.source.identity);
        if (level.destination.fd.isOpen())
            m_onWalk.insert(level.destination.identity);
        m_levels.push_back(std::move(level));
        if (m_levels.size() > openLevels + 1) {
            Level &closing = m_levels[m_levels.size() - 1 - openLevels];
            closing.source.fd.reset();
            closing.destination.fd.reset();
        }
    }

    // Walks from `top` until every level is left. False when the walk could not get back
    // into a level because its folder moved meanwhile; sourcePathOf({}) then names it.
    template<typename Visitor> bool run(Level top, Visitor &visitor)
    {
        m_levels.clear();
        m_onWalk.clear();
        enter(std::move(top));
        while (!m_levels.empty()) {
            Level &level = m_levels.back();
            if (level.next == level.entries.size()) {
                visitor.leave(level);
                if (!pop())
                    return false;
                continue;
            }
            // Taken out of the list: what is done costs no memory while the walk is below.
            const FolderEntry entry = std::move(level.entries[level.next++]);
            if (visitor.stopRequested())
                throw stopAt(pathOf(m_root, entry.name));
            visitor.visit(entry);
        }
        return true;
    }

    Level &current() { return m_levels.back(); }
    const Level &current() const { return m_levels.back(); }

    // An entry the walk has yet to meet, and the level whose source folder holds it.
    struct Upcoming
    {
        const FolderEntry *entry = nullptr; // none when the walk does not know it yet
        const Level *level = nullptr;
    };
    // The entry the walk meets `ahead` entries after the one it is visiting: past the
    // deepest level's last entry the walk goes on in the level above, whose next entries
    // are known; further up, nothing is.
    Upcoming peek(std::size_t ahead) const
    {
        std::size_t index = ahead;
        for (std::size_t up = 1; up <= 2 && up <= m_levels.size(); ++up) {
            const Level &level = m_levels[m_levels.size() - up];
            const std::size_t left = level.entries.size() - level.next;
            if (index < left)
                return { &level.entries[level.next + index], &level };
            index -= left;
        }
        return {};
    }
    std::size_t depth() const { return m_levels.size(); }

    // The path of `name` in the deepest level below `root` (the top folder of the source or
    // of the destination, or empty for a path relative to it).
    std::filesystem::path pathOf(const std::filesystem::path &root, const std::string &name) const
    {
        std::filesystem::path path = root;
        for (std::size_t i = 1; i < m_levels.size(); ++i)
            path /= m_levels[i].name;
        return name.empty() ? path : path / name;
    }
    std::filesystem::path sourcePathOf(const std::string &name) const
    {
        return pathOf(m_root, name);
    }
    const std::filesystem::path &root() const { return m_root; }

private:
    void describe(Level &level)
    {
        level.sourceStatus = m_calls.status(level.source.fd.get()).orThrow(Side::Source);
        level.source.identity = level.sourceStatus.identity();
    }

    // Drops the deepest level and makes sure the one above has its folders open again.
    // False when one of them is no longer where it was: it stays closed.
    bool pop()
    {
        Level dropped = std::move(m_levels.back());
        m_levels.pop_back();
        m_onWalk.erase(dropped.source.identity);
        m_onWalk.erase(dropped.destination.identity);
        if (m_levels.empty())
            return true;
        Level &above = m_levels.back();
        return reopen(above.source, dropped.source)
            && reopen(above.destination, dropped.destination);
    }

    bool reopen(OpenFolder &folder, const OpenFolder &child)
    {
        if (folder.fd.isOpen() || !child.fd.isOpen())
            return true;
        Result<UniqueFd> fd
            = m_calls.openAt(child.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (!fd)
            return false;
        const Result<FileStatus> status = m_calls.status(fd->get());
        if (!status || status->identity() != folder.identity)
            return false;
        folder.fd = std::move(*fd);
        return true;
    }

    SystemCalls &m_calls;
    std::filesystem::path m_root;
    std::vector<Level> m_levels;
    // The folders on the walk, on both sides: meeting one of them again below means a loop
    // that would never end.
    std::unordered_set<FileIdentity> m_onWalk;
};
