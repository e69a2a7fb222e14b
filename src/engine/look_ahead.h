#pragma once

#include "copy_walk.h"
#include "file_status.h"
#include "folder_entry.h"
#include "result.h"
#include "split_work.h"
#include "up_to_date_rule.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class SystemCalls;

// A file of the folder the walk is in, as found at the destination: its status there,
// whether it is already its source's copy, and whether its metadata is its source's.
struct FileLook
{
    std::string name;
    Result<FileStatus> target = FileStatus();
    Result<FileStatus> source = FileStatus();
    UpToDate verdict = UpToDate::Copy;
    bool sameMetadata = false;
    bool driveHoldsNoRecords = false; // found out by this look
};

// Where one file is found up to date, the files after it likely are too, in its folder and
// the next: checks are nearly all a second run does. So the look-ahead looks at the next
// files of the walk in one go, shared out over two threads, and meanwhile sweeps the
// folder's stale temporaries, if due, and reads the folder the walk enters next. It hands
// out the look of a name as the walk reaches it, and the folder read ahead.
class LookAhead
{
public:
    // The look at the destination's `name` in the walk's deepest folder; whether it is
    // proven up to date is looked at only when `mayProve`. Only reads: it runs on either
    // thread.
    using Look = std::function<FileLook(const std::string &name, bool mayProve)>;

    LookAhead(SystemCalls &calls, CopyWalk &walk, Look look);

    // The look at `name`, the file the walk is at; when it may be proven (`mayProve`) and
    // the file before it was, those after it are looked at along with it.
    FileLook lookAt(const std::string &name, bool mayProve);
    // The entries of the folder `name` read ahead, when they were read from the folder
    // `identity`; else none, and the caller reads the folder itself.
    std::optional<std::vector<FolderEntry>> takeFolder(const std::string &name,
                                                       const FileIdentity &identity);

private:
    // The entries of a folder read ahead of the walk, with the folder they were read from.
    struct ReadAhead
    {
        std::string name;
        FileIdentity identity;
        std::vector<FolderEntry> entries;
    };
    // Files looked at ahead in one go.
    static constexpr std::size_t kLookAhead = 256;

    // Looks at the files after the one the walk is at (and at `first` too, when given).
    void lookAhead(const std::string &first);
    // The folder the walk enters after the deepest level's files: the open source folder
    // that holds it, and its name; none when that is not known yet.
    std::optional<std::pair<int, std::string>> nextFolder() const;
    // The entries of the folder `name` in `holder`, read before the walk gets there.
    std::optional<ReadAhead> readAhead(int holder, const std::string &name) const;

    SystemCalls &m_calls;
    CopyWalk &m_walk;
    Look m_look;
    std::deque<FileLook> m_looks;
    bool m_expectUpToDate = false; // the last file looked at was up to date
    std::optional<ReadAhead> m_readAhead;
    SplitWork m_split;
};
