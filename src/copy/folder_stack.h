#pragma once

#include "platform/file_status.h"
#include "platform/posix_folder.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// An open folder and the object it was when it was opened, so that reopening it later
// can tell whether it is still the same.
struct OpenFolder
{
    UniqueFd fd;
    FileIdentity identity;
};

// The folders from the top of a walk down to the one being worked on, each with the
// entries still to visit: the walk's own stack instead of the program's, so that depth
// costs neither call stack nor more than a few descriptors. Only the deepest levels keep
// their folders open (a source and, when copying, a destination); a level whose folders
// were closed gets them back through ".." of the level below when the walk returns to
// it, checked to be the same folders. The top level stays open throughout.
template<typename Extra> class FolderStack
{
public:
    struct Level
    {
        std::string name; // within the level above; the top level's is empty
        OpenFolder source;
        OpenFolder destination;
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
        Extra extra;
    };

    // Levels below the top that keep their folders open.
    static constexpr std::size_t openLevels = 16;

    bool empty() const { return m_levels.empty(); }
    std::size_t depth() const { return m_levels.size(); }
    Level &top() { return m_levels.back(); }
    const std::vector<Level> &levels() const { return m_levels; }

    void push(Level level)
    {
        m_levels.push_back(std::move(level));
        if (m_levels.size() > openLevels + 1) {
            Level &closing = m_levels[m_levels.size() - 1 - openLevels];
            closing.source.fd.reset();
            closing.destination.fd.reset();
        }
    }

    // Drops the deepest level and makes sure the one above has its folders open again.
    // False when one of them is no longer where it was (moved meanwhile): it stays closed.
    [[nodiscard]] bool pop()
    {
        Level dropped = std::move(m_levels.back());
        m_levels.pop_back();
        if (m_levels.empty())
            return true;
        Level &above = m_levels.back();
        return reopen(above.source, dropped.source)
            && reopen(above.destination, dropped.destination);
    }

    // The path of `name` in the deepest level below `root` (the top folder of the source or
    // of the destination, or empty for a path relative to it).
    std::filesystem::path pathOf(const std::filesystem::path &root, const std::string &name) const
    {
        std::filesystem::path path = root;
        for (std::size_t i = 1; i < m_levels.size(); ++i)
            path /= m_levels[i].name;
        return name.empty() ? path : path / name;
    }

private:
    static bool reopen(OpenFolder &folder, const OpenFolder &child)
    {
        if (folder.fd.isOpen() || !child.fd.isOpen())
            return true;
        UniqueFd fd(openat(child.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info;
        if (!fd.isOpen() || fstat(fd.get(), &info) != 0
            || FileStatus(info).identity() != folder.identity)
            return false;
        folder.fd = std::move(fd);
        return true;
    }

    std::vector<Level> m_levels;
};
