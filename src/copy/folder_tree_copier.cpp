#include "folder_tree_copier.h"

#include "copy_plan.h"
#include "platform/file_data_copy.h"
#include "platform/file_system_error.h"
#include "platform/pending_entry.h"
#include "platform/system_calls.h"

#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <utility>

namespace {

const char *const intoItself = "cannot be copied into itself";
const char *const specialFile = "a special file (pipe, socket or device) is not copied";
const char *const changed = "changed while it was being copied";
const char *const caseClash = "a name that differs only in case was already copied here";
const char *const nameRefused = "the destination cannot hold this name";

enum class Side { Source, Destination };

// Why one entry could not be copied. Thrown inside the copy of an entry and caught around
// it, where it becomes a problem of the report, or a FileSystemError when it dooms the rest.
struct EntryFailure
{
    int error;
    Side side;
    const char *reason = nullptr; // the system's text for the error when null
};

int fromSource(int result, const char *reason = nullptr)
{
    if (result < 0)
        throw EntryFailure { errno, Side::Source, reason };
    return result;
}

int atDestination(int result)
{
    if (result < 0)
        throw EntryFailure { errno, Side::Destination };
    return result;
}

// Runs `operation`, turning a std::system_error into a failure at the destination.
template<typename Operation> decltype(auto) atDestination(Operation &&operation)
{
    try {
        return operation();
    } catch (const std::system_error &error) {
        throw EntryFailure { error.code().value(), Side::Destination };
    }
}

const char *inTheWay(EntryKind kind)
{
    switch (kind) {
    case EntryKind::File:
        return "a file of the same name is in the way";
    case EntryKind::Folder:
        return "a folder of the same name is in the way";
    case EntryKind::Link:
        return "a link of the same name is in the way";
    case EntryKind::Special:
        break;
    }
    return "a special file of the same name is in the way";
}

// Our own sentence where the system's text would not tell the user what is wrong.
std::string reasonFor(const EntryFailure &failure)
{
    if (failure.reason)
        return failure.reason;
    if (failure.side == Side::Destination) {
        switch (failure.error) {
        case EINVAL:
        case EILSEQ:
            return nameRefused;
        case EFBIG:
            return "the file is too large for the destination";
        }
    }
    return std::generic_category().message(failure.error);
}

[[noreturn]] void throwCancelled(const std::filesystem::path &path)
{
    throw FileSystemError(path, std::make_error_code(std::errc::operation_canceled));
}

FileStatus statusOf(int fd, Side side)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        throw EntryFailure { errno, side };
    return FileStatus(info);
}

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string caseFolded(const std::string &name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().toStdString();
}

} // namespace

void FolderTreeCopier::FolderState::noteWritten(const std::string &name,
                                                const FileIdentity &identity)
{
    written.insert(identity);
    writtenNames.try_emplace(caseFolded(name), name);
}

bool FolderTreeCopier::clashesInCase(FolderState &folder, int fd, const std::string &name,
                                     const FileIdentity &there)
{
    if (folder.written.contains(there))
        return true;
    const auto spelled = folder.writtenNames.find(caseFolded(name));
    if (spelled == folder.writtenNames.end() || spelled->second == name)
        return false;
    if (!folder.ignoresCase) {
        // A temporary file found again under its name in capitals.
        bool named = true;
        const PendingEntry probe
            = atDestination([&] { return PendingEntry::file(m_calls, fd, {}, named); });
        std::string capitals = probe.temporaryName();
        std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        struct stat info;
        folder.ignoresCase = m_calls.statAt(fd, capitals.c_str(), info) == 0;
    }
    return *folder.ignoresCase;
}

FolderTreeCopier::FolderTreeCopier(SystemCalls &calls, CopyMonitor &monitor)
    : m_calls(calls)
    , m_monitor(monitor)
    , m_metadata(calls, m_report.notKept)
{ }

CopyReport FolderTreeCopier::copy(const std::filesystem::path &source,
                                  const std::filesystem::path &destination)
{
    m_report = {};
    m_stack = {};
    m_onStack.clear();
    m_firstCopies.clear();
    m_source = source;
    // "/dst/Photos/" names the folder Photos too.
    m_destination = destination.has_filename() ? destination : destination.parent_path();
    if (landsInsideItself(source, destination))
        throw FileSystemError(source, std::make_error_code(std::errc::invalid_argument),
                              intoItself);

    // The source and the folder that receives the copy were chosen by the user: links
    // there are followed. The copy itself is not.
    const auto open = [](const std::filesystem::path &path) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.isOpen())
            throw FileSystemError(path, std::error_code(errno, std::generic_category()));
        return fd;
    };
    Stack::Level top;
    top.source.fd = open(source);
    const UniqueFd parent = open(m_destination.parent_path().empty() ? std::filesystem::path(".")
                                                                     : m_destination.parent_path());
    try {
        top.extra.source = statusOf(top.source.fd.get(), Side::Source).info();
        top.entries = readFolderEntries(top.source.fd.get());
    } catch (const EntryFailure &failure) {
        throw FileSystemError(source, std::error_code(failure.error, std::generic_category()));
    } catch (const std::system_error &error) {
        throw FileSystemError(source, error.code());
    }
    top.source.identity = FileStatus(top.extra.source).identity();
    try {
        top.destination = openDestinationFolder(parent.get(), m_destination.filename(), nullptr,
                                                top.extra.source, top.extra);
    } catch (const EntryFailure &failure) {
        if (MetadataCopy::dooms(failure.error))
            throw FileSystemError(m_destination,
                                  std::error_code(failure.error, std::generic_category()));
        m_report.problems.push_back({ m_destination, reasonFor(failure) });
        return std::exchange(m_report, {});
    }
    m_onStack = { top.source.identity, top.destination.identity };
    m_stack.push(std::move(top));

    while (!m_stack.empty()) {
        Stack::Level &level = m_stack.top();
        if (level.next == level.entries.size()) {
            leaveFolder();
            continue;
        }
        // Taken out of the list: what is done costs no memory while the walk is below.
        const FolderEntry entry = std::move(level.entries[level.next++]);
        if (m_monitor.stopRequested())
            throwCancelled(m_stack.pathOf(m_source, entry.name));
        try {
            copyEntry(entry);
        } catch (EntryFailure &failure) {
            const bool atSource = failure.side == Side::Source;
            const auto path = m_stack.pathOf(atSource ? m_source : m_destination, entry.name);
            // exFAT through FUSE answers ENOENT to a name it cannot hold; only when the
            // folder itself is gone does ENOENT mean the destination is.
            if (!atSource && failure.error == ENOENT && destinationFolderStands())
                failure.reason = nameRefused;
            else if (!atSource && MetadataCopy::dooms(failure.error))
                throw FileSystemError(path, std::error_code(failure.error, std::generic_category()),
                                      reasonFor(failure));
            m_report.problems.push_back({ path, reasonFor(failure) });
        }
    }
    return std::exchange(m_report, {});
}

void FolderTreeCopier::copyEntry(const FolderEntry &entry)
{
    EntryKind kind;
    if (entry.kind) {
        kind = *entry.kind;
    } else {
        struct stat info;
        fromSource(m_calls.statAt(m_stack.top().source.fd.get(), entry.name.c_str(), info));
        kind = FileStatus(info).kind();
    }
    switch (kind) {
    case EntryKind::File:
        return copyFile(entry.name);
    case EntryKind::Folder:
        return enterFolder(entry.name);
    case EntryKind::Link:
        return copyLink(entry.name);
    case EntryKind::Special:
        throw EntryFailure { 0, Side::Source, specialFile };
    }
}

OpenFolder FolderTreeCopier::openDestinationFolder(int parent, const std::string &name,
                                                   FolderState *above, const struct stat &like,
                                                   FolderState &state)
{
    // Open to its owner until its contents are in; leaveFolder() sets the real mode.
    const bool created
        = m_calls.makeFolderAt(parent, name.c_str(), (like.st_mode & 0777) | S_IRWXU) == 0;
    if (!created && errno != EEXIST)
        atDestination(-1);
    OpenFolder folder;
    folder.fd.reset(m_calls.openAt(parent, name.c_str(), folderFlags));
    if (!folder.fd.isOpen()) {
        struct stat info;
        if ((errno == ENOTDIR || errno == ELOOP) && m_calls.statAt(parent, name.c_str(), info) == 0)
            throw EntryFailure { errno, Side::Destination, inTheWay(FileStatus(info).kind()) };
        atDestination(-1);
    }
    state.current = statusOf(folder.fd.get(), Side::Destination).info();
    folder.identity = FileStatus(state.current).identity();
    if (created)
        return folder;
    if (above && clashesInCase(*above, parent, name, folder.identity))
        throw EntryFailure { EEXIST, Side::Destination, caseClash };
    // A folder left read-only by an earlier copy is opened up while it is filled, as
    // rsync does; leaveFolder() gives it the source's mode again.
    const mode_t mode = state.current.st_mode & 07777;
    if ((mode & S_IRWXU) != S_IRWXU && state.current.st_uid == geteuid()
        && m_calls.changeMode(folder.fd.get(), mode | S_IRWXU) == 0)
        state.current.st_mode |= S_IRWXU;
    removeStaleTemporaries(folder.fd.get());
    return folder;
}

void FolderTreeCopier::removeStaleTemporaries(int folder)
{
    for (const FolderEntry &entry : atDestination([&] { return readFolderEntries(folder); })) {
        struct stat info;
        if (PendingEntry::isTemporaryName(entry.name)
            && m_calls.statAt(folder, entry.name.c_str(), info) == 0 && S_ISREG(info.st_mode))
            m_calls.unlinkAt(folder, entry.name.c_str(), 0);
    }
}

void FolderTreeCopier::enterFolder(const std::string &name)
{
    Stack::Level &parent = m_stack.top();
    Stack::Level level;
    level.name = name;
    level.source.fd.reset(
        fromSource(m_calls.openAt(parent.source.fd.get(), name.c_str(), folderFlags)));
    level.extra.source = statusOf(level.source.fd.get(), Side::Source).info();
    level.source.identity = FileStatus(level.extra.source).identity();
    if (m_onStack.contains(level.source.identity))
        throw EntryFailure { ELOOP, Side::Source, intoItself };
    level.destination = openDestinationFolder(parent.destination.fd.get(), name, &parent.extra,
                                              level.extra.source, level.extra);
    parent.extra.noteWritten(name, level.destination.identity);
    try {
        level.entries = readFolderEntries(level.source.fd.get());
    } catch (const std::system_error &error) {
        // The folder is there at the destination and gets its status; its contents are
        // what could not be copied.
        m_report.problems.push_back({ m_stack.pathOf(m_source, name), error.code().message() });
    }
    m_onStack.insert(level.source.identity);
    m_onStack.insert(level.destination.identity);
    m_stack.push(std::move(level));
}

void FolderTreeCopier::leaveFolder()
{
    Stack::Level &level = m_stack.top();
    try {
        m_metadata.apply(level.destination.fd.get(), level.extra.current, level.source.fd.get(),
                         level.extra.source);
    } catch (const std::system_error &error) {
        throw FileSystemError(m_stack.pathOf(m_destination, {}), error.code());
    }
    m_onStack.erase(level.source.identity);
    m_onStack.erase(level.destination.identity);
    if (!m_stack.pop()) {
        throw FileSystemError(m_stack.pathOf(m_source, {}),
                              std::make_error_code(std::errc::no_such_file_or_directory),
                              "was moved while it was being copied");
    }
}

bool FolderTreeCopier::destinationFolderStands()
{
    struct stat info;
    return fstat(m_stack.top().destination.fd.get(), &info) == 0 && info.st_nlink > 0;
}

void FolderTreeCopier::checkTarget(const std::string &name, EntryKind kind)
{
    Stack::Level &level = m_stack.top();
    struct stat info;
    if (m_calls.statAt(level.destination.fd.get(), name.c_str(), info) != 0) {
        if (errno == ENOENT)
            return;
        atDestination(-1);
    }
    const FileStatus there(info);
    if (there.kind() != kind)
        throw EntryFailure { EEXIST, Side::Destination, inTheWay(there.kind()) };
    if (clashesInCase(level.extra, level.destination.fd.get(), name, there.identity()))
        throw EntryFailure { EEXIST, Side::Destination, caseClash };
}

void FolderTreeCopier::copyFile(const std::string &name)
{
    Stack::Level &level = m_stack.top();
    const UniqueFd input(
        fromSource(m_calls.openAt(level.source.fd.get(), name.c_str(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)));
    const FileStatus status = statusOf(input.get(), Side::Source);
    if (status.kind() != EntryKind::File)
        throw EntryFailure { 0, Side::Source,
                             status.kind() == EntryKind::Special ? specialFile : changed };
    checkTarget(name, EntryKind::File);

    const bool severalNames = status.info().st_nlink > 1;
    if (severalNames) {
        const auto first = m_firstCopies.find(status.identity());
        if (first != m_firstCopies.end() && linkToFirstCopy(name, first->second)) {
            // Done as far as the owner's progress is concerned, as if copied.
            m_monitor.fileStarted(m_stack.pathOf(m_source, name));
            m_monitor.bytesCopied(status.size());
            return;
        }
    }

    PendingEntry pending = atDestination([&] {
        return PendingEntry::file(m_calls, level.destination.fd.get(), name, m_unnamedRefused);
    });
    const FileStatus created = statusOf(pending.fd(), Side::Destination);
    const auto sourcePath = [&] {
        return m_stack.pathOf(m_source, name);
    };
    m_monitor.fileStarted(sourcePath());
    const DataCopyResult copied = copyFileData(m_calls, input.get(), pending.fd(), status.size(),
                                               status.mayHaveHoles(), m_monitor);
    if (copied.error == ECANCELED)
        throwCancelled(sourcePath());
    if (copied.error != 0)
        throw EntryFailure { copied.error, copied.whileWriting ? Side::Destination : Side::Source };
    atDestination([&] {
        m_metadata.apply(pending.fd(), created.info(), input.get(), status.info());
        pending.commit();
    });
    level.extra.noteWritten(name, created.identity());
    if (severalNames)
        m_firstCopies.try_emplace(status.identity(),
                                  FirstCopy { m_stack.pathOf({}, name), created.identity() });
}

bool FolderTreeCopier::linkToFirstCopy(const std::string &name, const FirstCopy &first)
{
    const int folder = m_stack.top().destination.fd.get();
    const int top = m_stack.levels().front().destination.fd.get();
    try {
        PendingEntry pending = PendingEntry::hardLink(m_calls, folder, name, top, first.path);
        struct stat info;
        // The first copy may have been replaced since; then this one is copied anew.
        if (m_calls.statAt(folder, pending.temporaryName().c_str(), info) != 0
            || FileStatus(info).identity() != first.identity)
            return false;
        pending.commit();
    } catch (const std::system_error &error) {
        const int code = error.code().value();
        if (code == ENOENT) // the first copy was removed meanwhile
            return false;
        if (MetadataCopy::dooms(code))
            throw EntryFailure { code, Side::Destination };
        // FAT and others hold no hard links: the file gets a copy of its own.
        m_report.notKept.insert(MetadataKind::HardLinks);
        return false;
    }
    m_stack.top().extra.noteWritten(name, first.identity);
    return true;
}

void FolderTreeCopier::copyLink(const std::string &name)
{
    Stack::Level &level = m_stack.top();
    struct stat info;
    fromSource(m_calls.statAt(level.source.fd.get(), name.c_str(), info));
    if (!S_ISLNK(info.st_mode))
        throw EntryFailure { 0, Side::Source, changed };
    // Room for the longest target the system allows, and one more byte to see a cut.
    std::string target(std::size_t(std::max<off_t>(info.st_size, PATH_MAX)) + 1, '\0');
    const ssize_t length
        = readlinkat(level.source.fd.get(), name.c_str(), target.data(), target.size());
    if (length < 0 || std::size_t(length) == target.size())
        throw EntryFailure { length < 0 ? errno : ENAMETOOLONG, Side::Source };
    target.resize(std::size_t(length));
    checkTarget(name, EntryKind::Link);

    PendingEntry pending = [&] {
        try {
            return PendingEntry::link(m_calls, level.destination.fd.get(), name, target);
        } catch (const std::system_error &error) {
            const int code = error.code().value();
            const bool refused = code == EPERM || code == ENOSYS || code == EOPNOTSUPP;
            throw EntryFailure { code, Side::Destination,
                                 refused ? "the destination cannot hold symbolic links" : nullptr };
        }
    }();
    atDestination([&] {
        m_metadata.applyToLink(level.destination.fd.get(), pending.temporaryName().c_str(), info);
        pending.commit();
    });
    struct stat written;
    if (m_calls.statAt(level.destination.fd.get(), name.c_str(), written) == 0)
        level.extra.noteWritten(name, FileStatus(written).identity());
}
