// Copies one folder tree with the real copy engine and prints what the engine reported,
// one line each, for scripts that check a copy onto a mounted file system.
//
// Usage: sprigwell_copy_tree SOURCE DESTINATION
// Exit status: 0 when the copy got to its end, 1 when it failed, 2 on wrong use.

#include "copy/copy_engine.h"

#include <iostream>

namespace {

const char *kindName(MetadataKind kind)
{
    switch (kind) {
    case MetadataKind::Permissions:
        return "permissions";
    case MetadataKind::SetIdBits:
        return "set-ID bits";
    case MetadataKind::Owner:
        return "owner";
    case MetadataKind::Times:
        return "times";
    case MetadataKind::ExtendedAttributes:
        return "extended attributes";
    case MetadataKind::AccessControlLists:
        return "access control lists";
    case MetadataKind::HardLinks:
        return "hard links";
    }
    return "unknown";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " SOURCE DESTINATION\n";
        return 2;
    }
    SilentCopyMonitor monitor;
    try {
        const CopyReport report = copyFolderTree(argv[1], argv[2], monitor);
        for (const CopyProblem &problem : report.problems)
            std::cout << "problem: " << problem.path.string() << ": " << problem.reason << '\n';
        for (const MetadataKind kind : report.notKept)
            std::cout << "not kept: " << kindName(kind) << '\n';
    } catch (const FileSystemError &error) {
        std::cout << "failed: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
