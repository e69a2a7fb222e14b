// Times the listing and the copy against the tools a Linux user would otherwise reach
// for, on data sets it makes itself in the folder it is given, and prints the results
// as Markdown tables. scripts/bench.sh builds it, gives it a temporary folder and
// removes that folder afterwards.

#include "comparisons.h"
#include "data_sets.h"
#include "named_sets.h"

#include <QApplication>
#include <QDateTime>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr int kMinRounds = 5;
constexpr int kEntriesPerSubFolder = 1000; // as the look's data set has

struct Arguments
{
    std::filesystem::path dataRoot;
    int rounds = 9;
    bool listing = true;
    bool copies = true;
    bool secondRuns = true;
    bool localSecondRun = true; // of (b), onto the data's own drive
    bool checks = true;
    std::filesystem::path ext4Root;
    CacheState cache = CacheState::Warm;
    std::filesystem::path memoryRoot;
    int lookEntries = 1'000'000;
    // Mounted drives the second run is also timed onto, each with what counts the bytes
    // read from it.
    std::filesystem::path exfatRoot, exfatReads;
    std::filesystem::path ntfsRoot, ntfsReads;
    std::filesystem::path sftpRoot, sftpReads;
    // A drive that answers every call after a delay (FUSE), and the folder behind it.
    std::filesystem::path latencyRoot, latencyBehind;
    // A drive whose writes are throttled, as a USB stick's.
    std::filesystem::path throttledRoot;
};

bool parseArguments(int argc, char *argv[], Arguments &arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            arguments.rounds = std::max(kMinRounds, std::atoi(argv[++i]));
        else if (arg == "--no-listing")
            arguments.listing = false;
        else if (arg == "--no-copy")
            arguments.copies = false;
        else if (arg == "--no-second-runs")
            arguments.secondRuns = false;
        else if (arg == "--only-drives")
            arguments.localSecondRun = false;
        else if (arg == "--no-check")
            arguments.checks = false;
        else if (arg == "--ext4" && i + 1 < argc)
            arguments.ext4Root = argv[++i];
        else if (arg == "--cold-cache")
            arguments.cache = CacheState::Cold;
        else if (arg == "--memory-fs" && i + 1 < argc)
            arguments.memoryRoot = argv[++i];
        else if (arg == "--look-entries" && i + 1 < argc)
            arguments.lookEntries = std::max(kEntriesPerSubFolder, std::atoi(argv[++i]));
        else if (arg == "--exfat" && i + 1 < argc)
            arguments.exfatRoot = argv[++i];
        else if (arg == "--exfat-reads" && i + 1 < argc)
            arguments.exfatReads = argv[++i];
        else if (arg == "--ntfs" && i + 1 < argc)
            arguments.ntfsRoot = argv[++i];
        else if (arg == "--ntfs-reads" && i + 1 < argc)
            arguments.ntfsReads = argv[++i];
        else if (arg == "--sftp" && i + 1 < argc)
            arguments.sftpRoot = argv[++i];
        else if (arg == "--sftp-reads" && i + 1 < argc)
            arguments.sftpReads = argv[++i];
        else if (arg == "--latency" && i + 2 < argc) {
            arguments.latencyRoot = argv[++i];
            arguments.latencyBehind = argv[++i];
        } else if (arg == "--throttled" && i + 1 < argc)
            arguments.throttledRoot = argv[++i];
        else if (arguments.dataRoot.empty() && !arg.starts_with("--"))
            arguments.dataRoot = arg;
        else
            return false;
    }
    return !arguments.dataRoot.empty();
}

void section(const std::string &title, const ResultTable &table, const std::string &note)
{
    std::cout << "\n### " << title << "\n\n";
    table.print(std::cout);
    std::cout << '\n' << note << '\n' << std::flush;
}

} // namespace

int main(int argc, char *argv[])
{
    // The window is timed off screen, here as in the tests.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int childExit = 0;
    if (runPeakMemoryChild(argc, argv, childExit))
        return childExit;

    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::cerr << "usage: " << argv[0]
                  << R"( DATA_FOLDER [--runs N] [--no-listing] [--no-copy] [--no-second-runs]
           [--cold-cache] [--memory-fs RAM_FOLDER] [--look-entries N]
           [--exfat FOLDER [--exfat-reads COUNTER]] [--ntfs FOLDER [--ntfs-reads COUNTER]]
           [--sftp FOLDER [--sftp-reads COUNTER]] [--only-drives]
           [--latency FOLDER BEHIND] [--throttled FOLDER]
           [--no-check] [--ext4 EXT4_FOLDER]
Makes the data sets in DATA_FOLDER (absent or empty) and leaves them there. Every
comparison runs one warm-up round and N timed rounds (at least 5, default 9).
Copies start with the source in the page cache, or with the cache dropped for
--cold-cache (needs root). --memory-fs also times the small-file copy in
RAM_FOLDER, on a RAM file system such as /dev/shm, where no disk allocator
hides the tools' own work. --look-entries sets the size of the tree the
look inside is timed on (default 1000000, in sub-folders of 1000 entries).
--exfat, --ntfs and --sftp also time a second run onto FOLDER, on exFAT mounted
through FUSE (files compared by their data), NTFS through ntfs-3g, or an SFTP
share through sshfs; a COUNTER (/sys/block/loopN/stat, or /proc/PID/io of the
process that reads the drive) counts what the second run reads from it. As root,
second runs start with the page cache dropped. --only-drives leaves out the copies
onto the data's own drive. --latency times first copies and the look inside on FOLDER,
a drive answering each call after a delay, which serves the folder BEHIND; --sftp
also times first copies there. --throttled times the copy with its flush onto FOLDER,
a drive of slow writes, against the same with one file in flight.
--no-check leaves out the check of the copies: the copy with its hashing, and
with --ext4 the read-back from EXT4_FOLDER, on a mounted ext4 image, against cat
(needs root).
)";
        return 2;
    }
    QApplication app(argc, argv);
    try {
        std::filesystem::create_directories(arguments.dataRoot);
        const std::string rounds = "Median of " + std::to_string(arguments.rounds)
            + " rounds after one warm-up round; the two contenders take turns within a round, each "
              "going first in every other round.";

        if (arguments.listing) {
            const auto subFolderSets = makeSubFolderSets(arguments.dataRoot);
            std::cerr << "Timing the scan...\n";
            section("Scan against find (day count 60)",
                    compareScanWithFind(subFolderSets, arguments.rounds),
                    rounds
                        + " find runs as `find SRC -mindepth 1 -maxdepth 1 -type d -newermt "
                          "DATE`, output to /dev/null, timed from spawn to exit.");

            std::cerr << "Timing the keystroke...\n";
            section(
                "One day-count keystroke against the bare scan",
                compareKeystrokeWithScan(subFolderSets, arguments.rounds),
                rounds
                    + " Keystroke: \"6\" -> \"60\" typed into daysold of the real window"
                      " (offscreen), through listSourceFolder(), the list refill and the repaint."
                      " Refill/scan = (keystroke - scan) / scan.");

            const LookSet lookSet = makeLookSet(arguments.dataRoot, arguments.lookEntries);
            std::cerr << "Timing the look inside...\n";
            section("Look inside against find", compareLookWithFind(lookSet, arguments.rounds),
                    rounds
                        + " Look: the window's SubFolderLook over every sub-folder, from"
                          " start() to its last report, on the workers named; find runs as"
                          " `find SRC -newermt DATE` (one fstatat per entry on one thread),"
                          " output to /dev/null. Cold: the page cache, dentries and inodes"
                          " dropped before each run of either.");

            std::cerr << "Timing the first lines...\n";
            section("First lines after a source choice against the bare scan",
                    compareFirstLinesWithScan(subFolderSets, arguments.rounds),
                    rounds
                        + " First lines: listSourceFolder() on the real window (offscreen)"
                          " and the repaint, the look then starting; scan: today's"
                          " scanRecentSubFolders(). Each starts once the look of the"
                          " listing before has ended.");

            const SubFolderSet insideSet = makeInsideSet(arguments.dataRoot);
            std::cerr << "Timing the keystroke with the insides known...\n";
            section("One day-count keystroke with the insides known",
                    compareKeystrokeWithInsidesKnown(insideSet, arguments.rounds),
                    rounds
                        + " 10,000 sub-folders with a file each; in a third of them the file"
                          " is new, so the old ones among those are listed only by what is"
                          " inside. Keystroke as above, after the window's look has ended;"
                          " \"at once\": the lines right after the keystroke's listing, before"
                          " any event of the look it starts.");

            std::cerr << "Measuring peak memory...\n";
            section("Peak memory",
                    measurePeakMemory(std::filesystem::read_symlink("/proc/self/exe"),
                                      subFolderSets.back(), lookSet, arguments.rounds),
                    "Peak resident set (VmHWM) of a fresh process of this program, read by the"
                    " process itself at its end, median of "
                        + std::to_string(arguments.rounds) + " runs.");
        }
        if (arguments.copies && arguments.localSecondRun) {
            const auto copySets = makeCopySets(arguments.dataRoot);
            const bool warm = arguments.cache == CacheState::Warm;
            std::cerr << "Timing the copies...\n";
            section("Copy run against cp -a",
                    compareCopyRunWithCp(copySets, arguments.dataRoot, arguments.rounds,
                                         arguments.cache, CopyTimed::CopyAlone),
                    rounds
                        + " Copy run: a real CopyRun driven by direct calls, as the window's"
                          " worker drives it, with its progress reports and stop checks on;"
                          " prepare() (the count) runs before the clock starts, copy() is"
                          " timed, the flush left out. Each run copies the data set into an"
                          " empty destination folder; before it, the previous copy is removed,"
                          " sync() writes everything out and "
                        + (warm ? "the source is read once, so both start with it in the"
                                  " page cache (warm)."
                                : "the page cache is dropped (cold).")
                        + " Time to return, so the written data may still be in the page"
                          " cache for both; MB/s = 10^6 bytes of file data per second."
                          " Both copies are checked byte for byte against the source.");

            std::cerr << "Timing the copies with their flush...\n";
            section("Copy run with its flush against cp -a and sync -f",
                    compareCopyRunWithCp({ copySets[0], copySets[1] }, arguments.dataRoot,
                                         arguments.rounds, arguments.cache,
                                         CopyTimed::WholeRunWithFlush),
                    rounds
                        + " The whole run as the window starts it: prepare(), copy() and the"
                          " flush (syncfs on the destination's file system), against"
                          " `cp -a SRC DST` and then `sync -f DST`, two children timed"
                          " together. The same start as above; the time ends when the"
                          " copy is on the disk.");
            for (const CopySet &set : copySets)
                std::filesystem::remove_all(set.folder);
        }
        if (arguments.secondRuns) {
            const auto secondRunOf
                = [&](const char *title, const char *folder, const FileTreeShape &shape,
                      const std::filesystem::path &root) {
                      SecondRunSet set;
                      set.copy = makeCopySet(title, arguments.dataRoot / folder, shape);
                      set.into = root / "second";
                      return set;
                  };
            std::vector<SecondRunSet> secondRuns;
            if (arguments.localSecondRun) {
                SecondRunSet local
                    = secondRunOf(kSmallFilesTitle, "again", kSmallFiles, arguments.dataRoot);
                local.firstRunTarget = 0.10;
                local.rsyncTarget = 0.50;
                secondRuns.push_back(local);
            }
            const auto onto
                = [&](const char *title, const char *folder, const FileTreeShape &shape,
                      const std::filesystem::path &root, const std::filesystem::path &reads) {
                      SecondRunSet set = secondRunOf(title, folder, shape, root);
                      set.metadataMayBeLost = true;
                      set.readCounter = reads;
                      return set;
                  };
            if (!arguments.exfatRoot.empty()) {
                SecondRunSet exfat = onto(kExfatFilesTitle, "again-exfat", kExfatFiles,
                                          arguments.exfatRoot, arguments.exfatReads);
                exfat.rsyncByData = true;
                secondRuns.push_back(exfat);
            }
            if (!arguments.ntfsRoot.empty()) {
                SecondRunSet ntfs = onto(kNtfsFilesTitle, "again-ntfs", kNtfsFiles,
                                         arguments.ntfsRoot, arguments.ntfsReads);
                ntfs.rsyncTarget = 0.50;
                ntfs.readShareTarget = 0.05;
                secondRuns.push_back(ntfs);
            }
            if (!arguments.sftpRoot.empty()) {
                SecondRunSet sftp = onto(kSftpFilesTitle, "again-sftp", kExfatFiles,
                                         arguments.sftpRoot, arguments.sftpReads);
                sftp.rsyncTarget = 2.0;
                secondRuns.push_back(sftp);
            }
            const CacheState cache = geteuid() == 0 ? CacheState::Cold : CacheState::Warm;
            std::cerr << "Timing second runs...\n";
            const SecondRunTables tables = compareSecondRuns(secondRuns, arguments.rounds, cache);
            section(
                "Second run onto the first copy", tables.times,
                rounds
                    + " A run: a real CopyRun's copy() of the data set into a folder that holds the"
                      " first run's copy, with the count (prepare()) before the clock"
                      " starts, as for cp -a above; the row \"count and copy\" times both."
                      " The flush is left out. The first run copies into an empty folder."
                      " rsync runs as `rsync -a SRC DST/` into a folder that holds its own"
                      " first copy, timed from spawn to exit. "
                    + (cache == CacheState::Cold
                           ? "Before each run of either the page cache is dropped (cold), and"
                             " for rsync the source's metadata read once, as the count reads it."
                           : "Warm: the source read once before each run.")
                    + " 1 %: every hundredth file rewritten in place with new contents of the"
                      " same size before the run. On exFAT (through FUSE, which holds no"
                      " record of a copy's source) files are compared by their data, and"
                      " rsync gets --checksum. Both copies are checked byte for byte against"
                      " the source.");
            section("Data read back from the destination's drive in a second run", tables.reads,
                    "One more second run of each tool over the unchanged tree, as above;"
                    " counted on the image's loop device (/sys/block/loopN/stat) for exFAT and"
                    " NTFS, and by the SFTP server process (/proc/PID/io, read_bytes) for"
                    " sshfs. Share: what the copy run read against the data set's size.");
            for (const SecondRunSet &set : secondRuns)
                std::filesystem::remove_all(set.copy.folder);
            if (arguments.localSecondRun) {
                const CopySet set = makeCopySet(kWindowFilesTitle,
                                                arguments.dataRoot / "window/files", kWindowFiles);
                std::cerr << "Timing a second run through the window...\n";
                section("Second run through the window against rsync -a",
                        compareWindowSecondRunWithRsync(set, arguments.dataRoot, arguments.rounds),
                        rounds
                            + " The window off screen, every message answered at once: from a"
                              " click on the copy button (the count, the copy, the flush, the"
                              " finish) until the source button is back; rsync as above. Warm.");
                std::filesystem::remove_all(set.folder.parent_path());
            }
        }
        if (arguments.checks && arguments.localSecondRun) {
            const auto copySets = makeCopySets(arguments.dataRoot);
            std::cerr << "Timing the copies with their hashing...\n";
            section("Copy run hashing its data for the check, against the run without",
                    compareHashedCopy(copySets, arguments.dataRoot, arguments.rounds),
                    rounds
                        + " The copy run as above (copy() timed, warm, the flush left out) with"
                          " the check of the copies asked for: the data passes through a"
                          " buffer to be hashed (XXH3-128) as it is written; the read-back"
                          " after the flush is left out. Plain: the same run without.");
            if (!arguments.ext4Root.empty()) {
                std::cerr << "Timing the check against cat...\n";
                section("The check's read-back against cat",
                        compareCheckWithCat(copySets[1], arguments.ext4Root, arguments.rounds),
                        rounds
                            + " The set copied once onto an ext4 image mounted through a loop"
                              " device and flushed; then CopySession::checkCopies() (each"
                              " copy's cached pages dropped, read back and hashed) against"
                              " `find COPY -type f -exec cat {} +` to /dev/null, the whole"
                              " page cache dropped before each. Check speed / cat = cat's"
                              " time / the check's.");
            }
            for (const CopySet &set : copySets)
                std::filesystem::remove_all(set.folder);
        }
        if (arguments.copies && (!arguments.latencyRoot.empty() || !arguments.sftpRoot.empty())) {
            const CopySet set
                = makeCopySet(kDriveFilesTitle, arguments.dataRoot / "to-drives", kExfatFiles);
            std::vector<DriveCopySet> drives;
            if (!arguments.latencyRoot.empty())
                drives.push_back({ set, arguments.latencyRoot, 0.25 });
            if (!arguments.sftpRoot.empty())
                drives.push_back({ set, arguments.sftpRoot, 0.50, true });
            std::cerr << "Timing first copies onto drives of round trips...\n";
            section("First copy onto drives of round trips against cp -a",
                    compareFirstCopiesOnDrives(drives, arguments.rounds),
                    rounds
                        + " As the copy run above, into an empty folder on the drive, the source"
                          " warm: latency, every call answered 1 ms late (the tests' FUSE"
                          " file system over a folder); sftp, sshfs to an sshd on 127.0.0.1."
                          " Threads copying: those that moved file data in one more run.");
            std::filesystem::remove_all(set.folder);
        }
        if (arguments.copies && !arguments.throttledRoot.empty()) {
            const CopySet set = makeCopySet(kThrottledFilesTitle,
                                            arguments.dataRoot / "to-slow-drive", kThrottledFiles);
            std::cerr << "Timing copies onto a drive of slow writes...\n";
            section(
                "Copy onto a drive of slow writes against one file in flight",
                compareWithOneInFlight({ set, arguments.throttledRoot, 1.05 }, arguments.rounds),
                rounds
                    + " The whole run with its flush, into an empty folder on an ext4 image"
                      " whose loop device takes 20 MB/s of writes (the block I/O"
                      " controller's limit), the source warm; against the same run kept to"
                      " one file in flight (CopySession::mostFilesInFlight(1)).");
            std::filesystem::remove_all(set.folder);
        }
        if (!arguments.latencyRoot.empty()) {
            LookSet set = makeLookSet(arguments.latencyBehind, kDriveLookEntries);
            const std::filesystem::path behind = set.folder;
            set.folder = arguments.latencyRoot / behind.filename();
            std::cerr << "Timing the look inside on a drive of round trips...\n";
            section("Look inside on a drive of round trips against find",
                    compareLookOnDriveWithFind(set, arguments.rounds, 0.20),
                    rounds
                        + " The window's look and find as above, warm, on the drive that"
                          " answers every call 1 ms late.");
            std::filesystem::remove_all(behind);
        }
        if (arguments.copies && !arguments.memoryRoot.empty()) {
            const std::filesystem::path root = arguments.memoryRoot / "sprigwell-bench";
            std::filesystem::create_directories(root);
            const CopySet set = makeCopySet(std::string(kSmallFilesTitle) + ", in RAM",
                                            root / "small-files", kSmallFiles);
            std::cerr << "Timing the copy in RAM...\n";
            section("Copy run against cp -a on a RAM file system",
                    compareCopyRunWithCp({ set }, root, arguments.rounds, CacheState::Warm,
                                         CopyTimed::CopyAlone, 0.8),
                    rounds + " As above, in " + arguments.memoryRoot.string()
                        + " (tmpfs): every page is in memory, and there is no disk"
                          " allocator whose cost swamps the tools' own work per file.");
            std::filesystem::remove_all(root);
        }
    } catch (const std::exception &error) {
        std::cerr << "benchmark failed: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
