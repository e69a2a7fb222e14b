#pragma once

#include "result_table.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The day count of every listing the benchmark times: the window's default.
inline constexpr int kBenchDayCount = 60;

// A source folder of empty sub-folders with spread modification times.
struct SubFolderSet
{
    std::filesystem::path folder;
    int count = 0;
};

// A source for the look inside: sub-folders with many entries below them.
struct LookSet
{
    std::filesystem::path folder;
    int subFolders = 0;
    std::int64_t entries = 0; // below the sub-folders
};

// A tree to copy, with the text that names it in the table.
struct CopySet
{
    std::string title;
    std::filesystem::path folder;
};

// The core scan against find -newermt with the same cut-off.
ResultTable compareScanWithFind(const std::vector<SubFolderSet> &sets, int rounds);

// One day-count keystroke into the real window (the handler, listSourceFolder(), the list refill
// and the repaint) against the bare core scan. Needs a QApplication.
ResultTable compareKeystrokeWithScan(const std::vector<SubFolderSet> &sets, int rounds);

// The window's look inside every sub-folder (SubFolderLook, from start() to its last
// report) against find -newermt over the same tree, warm and, where the page cache can be
// dropped, cold; with one worker, two, and as many as the window's look has.
ResultTable compareLookWithFind(const LookSet &set, int rounds);

// The window's listing after a source choice until its first lines are painted, the look
// then starting, against the bare scan of today's listing. Needs a QApplication.
ResultTable compareFirstLinesWithScan(const std::vector<SubFolderSet> &sets, int rounds);

// One day-count keystroke into the window once a look has found what is inside the
// sub-folders: its time, and whether the lines that only their inside lists are there at
// once, against the bare scan. Needs a QApplication.
ResultTable compareKeystrokeWithInsidesKnown(const SubFolderSet &set, int rounds);

// Where the source of a timed copy is before the run: in the page cache, read once just
// before, or out of it, dropped just before (needs root).
enum class CacheState { Warm, Cold };

// What the copy comparison times: CopyRun::copy() alone, with the file system's flush left
// out, against cp -a; or prepare(), copy() and the flush (syncfs) against cp -a followed by
// sync -f.
enum class CopyTimed { CopyAlone, WholeRunWithFlush };

// A real CopyRun (progress reports and stop checks on) on the local file system against
// cp -a, each copying the set's folder into a fresh destination folder in `scratch`, both
// checked afterwards against the source byte for byte; met at `target` x cp -a or below.
ResultTable compareCopyRunWithCp(const std::vector<CopySet> &sets,
                                 const std::filesystem::path &scratch, int rounds, CacheState cache,
                                 CopyTimed timed, double target = 1.0);

// The copy run with the check of the copies asked for, its data hashed as it streams (the
// read-back and the flush left out), against the same run without: copy() timed, warm.
ResultTable compareHashedCopy(const std::vector<CopySet> &sets,
                              const std::filesystem::path &scratch, int rounds);

// The check's read-back of the set's copy on `drive` (a mounted image), against `cat` of
// the same files, each after the page cache is dropped (needs root).
ResultTable compareCheckWithCat(const CopySet &set, const std::filesystem::path &drive, int rounds);

// A tree copied for the first time onto a drive of round trips, and the most the copy run
// may take against cp -a there.
struct DriveCopySet
{
    CopySet copy;
    std::filesystem::path drive;
    double target = 1.0;
    bool metadataMayBeLost = false;
};

// The copy run (copy() alone, the count before the clock, no flush) against cp -a, each into
// an empty folder on the set's drive, the source in the page cache; with the number of
// threads that moved file data in one more run of the engine's own.
ResultTable compareFirstCopiesOnDrives(const std::vector<DriveCopySet> &sets, int rounds);

// The whole copy run with its flush (a real CopyRun) as it finds its number of files in
// flight, against the same with one file in flight, each into an empty folder on the set's
// drive (a slow one: the files in flight must cost it nothing); the source in the page cache.
ResultTable compareWithOneInFlight(const DriveCopySet &set, int rounds);

// A second copy of the set's folder, the only sub-folder of its parent, through the real
// window (off screen, every message answered at once) from the copy button to the end of
// the run, against a second rsync -a; both warm. Needs a QApplication.
ResultTable compareWindowSecondRunWithRsync(const CopySet &set,
                                            const std::filesystem::path &scratch, int rounds);

// The window's look over every sub-folder of a set on a drive of round trips, with as many
// workers as the window gives such a drive, against find -newermt, warm; at most `target`.
ResultTable compareLookOnDriveWithFind(const LookSet &set, int rounds, double target);

// A tree copied a second time onto its first copy, as the same backup is made every week.
struct SecondRunSet
{
    CopySet copy;
    std::filesystem::path into; // where both tools' copies go
    // rsync gets --checksum, to compare files by their data as the copy run does where the
    // destination keeps no record of a copy's source and times prove nothing (exFAT).
    bool rsyncByData = false;
    // The destination's drive holds no owners or modes (exFAT, NTFS without a user map, an
    // SFTP share): neither tool's notes of that are trouble.
    bool metadataMayBeLost = false;
    // Counts the bytes read from the destination's drive: a block device's stat file
    // (/sys/block/loop0/stat) or a process's io file (/proc/PID/io); none where empty.
    std::filesystem::path readCounter;
    // Targets of the unchanged second run, 0 where there is none: at most this times the
    // first run, this times rsync's second run, and this share of the data read back.
    double firstRunTarget = 0;
    double rsyncTarget = 0;
    double readShareTarget = 0;
};

struct SecondRunTables
{
    ResultTable times;
    ResultTable reads; // from the destination's drive, where there is a counter
};

// The copy run's second run (the count and the copy, without the flush) over an unchanged
// tree against its first run and against rsync's second run, and with 1 % of the files
// changed against the first run; each checked against the source afterwards. Cold: the
// page cache is dropped before each run (needs root), and the source's metadata then read
// once for either tool, as the copy run's count reads it. Where a set has a counter, one
// more cold second run of each tool counts the bytes read from the destination's drive.
SecondRunTables compareSecondRuns(const std::vector<SecondRunSet> &sets, int rounds,
                                  CacheState cache);

// Peak resident memory of a process that scans the set, of one that also fills the
// window, and of a window whose look goes through `look`, against one that does nothing,
// each a fresh run of this program (`self`).
ResultTable measurePeakMemory(const std::filesystem::path &self, const SubFolderSet &set,
                              const LookSet &look, int rounds);

// The child side of measurePeakMemory: handles "--peak-idle", "--peak-scan FOLDER",
// "--peak-window FOLDER" and "--peak-look FOLDER". Returns false when the arguments name
// none of them.
bool runPeakMemoryChild(int argc, char *argv[], int &exitCode);

// "12.3 ms", with more decimals for short times.
std::string milliseconds(double ms);
std::string ratioText(double ratio);
std::string verdict(bool met);
