#include "stale_temporaries.h"

#include "pending_entry.h"
#include "system_calls.h"

Result<std::vector<std::string>> staleTemporaries(SystemCalls &calls, int folder)
{
    Result<std::vector<FolderEntry>> entries = calls.readFolder(folder);
    if (!entries)
        return entries.error();
    std::vector<std::string> stale;
    for (const FolderEntry &entry : *entries) {
        if (!PendingEntry::isTemporaryName(entry.name))
            continue;
        const Result<FileStatus> status = calls.statusAt(folder, entry.name.c_str());
        if (status && status->kind() == EntryKind::File)
            stale.push_back(entry.name);
    }
    return stale;
}

bool removeTemporaries(SystemCalls &calls, int folder, Result<std::vector<std::string>> stale)
{
    const std::vector<std::string> names = std::move(stale).orThrow(Side::Destination);
    for (const std::string &name : names)
        calls.unlinkAt(folder, name.c_str(), 0);
    return !names.empty();
}

void sweepTemporaries(SystemCalls &calls, int folder, bool &mayHold)
{
    if (!mayHold)
        return;
    mayHold = false;
    removeTemporaries(calls, folder, staleTemporaries(calls, folder));
}
