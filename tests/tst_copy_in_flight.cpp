#include "copy_folder_tree.h"
#include "data_table.h"
#include "engine/failure.h"
#include "temp_tree.h"

#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

using namespace std::chrono_literals;
using namespace TempTree;

namespace {

// A destination behind a network: every opening and every write waits for a round trip, so
// that more files in flight pay and the copy keeps many in flight. One file's data may fail
// (EIO), the disk may fill after some files, and data may crawl so that a stop finds many
// files in flight.
struct RoundTripCalls : SystemCalls
{
    std::string failingName; // reading it fails
    int fullAfter = -1; // files whose data fits before the disk is full
    std::chrono::microseconds perChunk { 0 };
    std::atomic_int dataSteps = 0, filesWithData = 0, waiting = 0, mostWaiting = 0;

    // A round trip; counts how many wait at once.
    void wait(std::chrono::microseconds time)
    {
        const int now = ++waiting;
        for (int most = mostWaiting; now > most && !mostWaiting.compare_exchange_weak(most, now);) {
        }
        std::this_thread::sleep_for(time);
        --waiting;
    }
    // clang-format off
    Result<UniqueFd> openAt(int folder, const char *name, int flags, mode_t mode) override
    { wait(1ms); return name == failingName ? systemError(EIO) : SystemCalls::openAt(folder, name, flags, mode); }
    std::error_code renameAt(int folder, const char *from, const char *to) override
    { wait(1ms); return SystemCalls::renameAt(folder, from, to); }
    Result<std::size_t> copyData(int from, int to, std::uint64_t offset, std::size_t length,
                                 DataCopyMethod &method, bool &whileWriting) override
    { wait(perChunk);
      if (offset == 0 && ++filesWithData > fullAfter && fullAfter >= 0)
          return whileWriting = true, systemError(ENOSPC);
      ++dataSteps;
      return SystemCalls::copyData(from, to, offset, std::min<std::size_t>(length, 4096), method, whileWriting); }
    // Where each file's data is hashed as it is written, in steps as small.
    Result<std::size_t> readAt(int fd, char *buffer, std::size_t length, std::uint64_t offset) override
    { return SystemCalls::readAt(fd, buffer, std::min<std::size_t>(length, 4096), offset); }
    std::error_code writeAt(int fd, const char *buffer, std::size_t length, std::uint64_t offset) override
    { wait(perChunk); ++dataSteps; return SystemCalls::writeAt(fd, buffer, length, offset); }
    // clang-format on
};

// Pauses as the copy run does: every thread that copies waits at its next step.
// clang-format off
struct PausingMonitor : CountingMonitor
{
    mutable std::mutex lock;
    mutable std::condition_variable resumed;
    mutable std::atomic_int waitingNow = 0;
    bool paused = false;
    void setPaused(bool pause)
    { std::unique_lock hold(lock);
      paused = pause;
      hold.unlock();
      resumed.notify_all(); }
    void waitWhilePaused() const override
    { std::unique_lock hold(lock);
      ++waitingNow;
      resumed.wait(hold, [this] { return !paused; });
      --waitingNow; }
};
// clang-format on

constexpr int kFolders = 3, kFilesPerFolder = 60, kFileSize = 3000;

// Three folders of 60 files each, one inside the other, with the names of one file in two of
// them, and times set on every folder.
std::uint64_t makeTree(const Path &src, std::size_t fileSize = kFileSize)
{
    Path folder = src;
    for (int f = 0; f < kFolders; ++f) {
        folder /= "level" + std::to_string(f);
        fs::create_directories(folder);
        for (int i = 0; i < kFilesPerFolder; ++i)
            writeFile(folder / ("file" + std::to_string(i)),
                      std::string(fileSize, char('a' + (i + f) % 26)));
    }
    fs::create_hard_link(src / "level0/file7", src / "level0/level1/file7-again");
    for (Path at = folder; at != src.parent_path(); at = at.parent_path())
        setModified(at, 1'600'000'000, 5);
    return std::uint64_t(kFolders) * kFilesPerFolder * fileSize;
}

} // namespace

class TestCopyInFlight : public QObject
{
    Q_OBJECT

private slots:
    // Onto a drive of round trips many files are in flight, and everything a copy promises
    // still holds: each file written once, whole, under its name; folders' times set after
    // their last file; the names of one file linked; no temporary left. A file that fails
    // among those in flight is reported once and the others land; a disk that fills stops
    // them all with nothing under a real name but whole files; a stop takes effect within
    // half a second with many in flight. A pause holds every file in flight between two
    // steps of data until it ends; then the run goes on, and the hashes each thread took as
    // it wrote read back whole, or a stop asked for while paused ends it at once.
    void endsEveryFileInFlight_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("nothing fails") << QString();
        QTest::newRow("one file unreadable") << QStringLiteral("unreadable");
        QTest::newRow("disk full mid-flight") << QStringLiteral("full");
        QTest::newRow("stopped with many in flight") << QStringLiteral("stop");
        QTest::newRow("paused, resumed, then read back") << QStringLiteral("paused");
        QTest::newRow("stopped while paused") << QStringLiteral("paused, stop");
    }
    void endsEveryFileInFlight()
    {
        QFETCH(QString, fault);
        const bool pauses = fault.startsWith(u"paused"), stops = fault.endsWith(u"stop");
        Folder dir;
        const Path src = dir.path() / "src", dst = dir.path() / "dst";
        // Four steps of data a file where a pause must find them mid-data.
        const std::size_t fileSize = pauses ? 4 * 4096 : kFileSize;
        const std::uint64_t bytes = makeTree(src, fileSize);
        RoundTripCalls calls;
        PausingMonitor monitor;
        calls.failingName = fault == u"unreadable" ? "file33" : "";
        calls.fullAfter = fault == u"full" ? 40 : -1;
        // A file of three chunks takes at least 60 ms: a stop finds many in flight.
        calls.perChunk = stops && !pauses ? 20ms : pauses ? 5ms : 0ms;
        int stepsAtHold = 0, stepsAtEnd = 0, inFlightAtHold = 0;
        std::chrono::steady_clock::time_point stopped;
        std::thread stopper([&] { // a stop or a pause once many files are in flight
            while ((stops || pauses) && calls.dataSteps < 120)
                std::this_thread::sleep_for(1ms);
            if (pauses) {
                monitor.setPaused(true);
                std::this_thread::sleep_for(500ms);
                stepsAtHold = calls.dataSteps;
                inFlightAtHold = monitor.waitingNow;
                std::this_thread::sleep_for(500ms);
                stepsAtEnd = calls.dataSteps;
            }
            stopped = std::chrono::steady_clock::now();
            monitor.stop = stops;
            monitor.setPaused(false);
        });
        CopySession session(calls, dir.path(), asciiCaseFold);
        session.keepHashes(pauses);
        std::optional<Failure> failure;
        CopyReport report;
        try {
            report = session.copyFolder(src, "dst", monitor);
        } catch (const Failure &thrown) {
            failure = thrown;
        }
        const auto ended = std::chrono::steady_clock::now();
        stopper.join();

        QCOMPARE(failure.has_value(), stops || fault == u"full");
        QCOMPARE(stepsAtEnd, stepsAtHold);
        QVERIFY2(inFlightAtHold >= 2 || !pauses || !timesAreTrue(),
                 std::to_string(inFlightAtHold).c_str());
        if (fault.isEmpty()) {
            QVERIFY(report.problems.empty());
            QCOMPARE(monitor.files.load(),
                     std::uint64_t(kFolders * kFilesPerFolder + 1)); // the link
            QCOMPARE(monitor.bytes.load(), bytes + kFileSize); // the link counts as copied
            QCOMPARE(calls.filesWithData.load(), kFolders * kFilesPerFolder);
            QVERIFY2(calls.mostWaiting >= 4 || !timesAreTrue(),
                     std::to_string(calls.mostWaiting).c_str());
            // The same entries, data, links, modes and times, to the nanosecond.
            QVERIFY(snapshot(src) == snapshot(dst));
            QVERIFY(fs::equivalent(dst / "level0/file7", dst / "level0/level1/file7-again"));
        } else if (fault == u"unreadable") {
            QCOMPARE(report.problems.size(), std::size_t(kFolders)); // one in each folder
            for (const CopyProblem &problem : report.problems)
                QCOMPARE(problem.path.filename().string(), "file33");
        } else if (fault == u"paused") {
            session.flushAll();
            CheckReport check;
            session.checkCopies(monitor, check);
            QCOMPARE(check.checked, std::size_t(kFolders * kFilesPerFolder));
            QVERIFY(check.problems.empty());
        } else if (fault == u"full") {
            QCOMPARE(failure->code(), std::make_error_code(std::errc::no_space_on_device));
        } else {
            QVERIFY(failure->isStop());
            QVERIFY2(ended - stopped < 500ms || !timesAreTrue(),
                     std::to_string((ended - stopped) / 1ms).c_str());
            QVERIFY2(calls.mostWaiting >= 8 || pauses || !timesAreTrue(),
                     std::to_string(calls.mostWaiting).c_str());
        }
        // Whatever stands at the destination under a name is whole.
        int whole = 0;
        for (const auto &entry : fs::recursive_directory_iterator(dst)) {
            QVERIFY2(!entry.path().filename().string().starts_with(".sprigwell-"),
                     entry.path().c_str());
            if (entry.is_regular_file()) {
                QCOMPARE(entry.file_size(), std::uintmax_t(fileSize));
                ++whole;
            }
        }
        QVERIFY(whole > 0);
        QVERIFY(!failure || whole < kFolders * kFilesPerFolder);
    }

    // A large file to be checked is copied in the kernel and hashed behind the copy from
    // what the copy holds, beside small ones hashed as they stream: the check reads all
    // back clean, also where each chunk comes so late that the hashing sleeps in between; a
    // copy that cannot be read back while hashed is a failing drive.
    void hashesLargeFilesBehindTheirCopy_data()
    {
        addColumns<bool, int>("copyUnreadable", "msPerChunk");
        QTest::newRow("read back clean") << false << 0;
        QTest::newRow("read back clean, chunks 5 ms apart") << false << 5;
        QTest::newRow("the copy unreadable while hashed") << true << 0;
    }
    void hashesLargeFilesBehindTheirCopy()
    {
        const auto [copyUnreadable, msPerChunk] = fetch<bool, int>("copyUnreadable", "msPerChunk");
        struct Calls : SystemCalls
        {
            bool copyUnreadable = false;
            Result<std::size_t> readAt(int fd, char *buffer, std::size_t length,
                                       std::uint64_t offset) override
            {
                const std::string at = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
                if (copyUnreadable && at.find("/dst/") != std::string::npos)
                    return systemError(EIO);
                return SystemCalls::readAt(fd, buffer, length, offset);
            }
        } calls;
        calls.copyUnreadable = copyUnreadable;
        Folder dir;
        const Path src = dir.path() / "src", dst = dir.path() / "dst";
        fs::create_directories(src);
        std::string large(9 << 20, 'L');
        for (std::size_t i = 0; i < large.size(); i += 4099)
            large[i] = char('a' + i % 26);
        writeFile(src / "large", large);
        writeFile(src / "small", "small");
        struct : SilentCopyMonitor
        {
            std::chrono::milliseconds perChunk { 0 };
            void bytesCopied(std::uint64_t) override { std::this_thread::sleep_for(perChunk); }
        } monitor;
        monitor.perChunk = std::chrono::milliseconds(msPerChunk);
        CopySession session(calls, dir.path(), asciiCaseFold);
        session.keepHashes(true);
        if (copyUnreadable) {
            QVERIFY_THROWS_EXCEPTION(Failure, session.copyFolder(src, "dst", monitor));
            QVERIFY(!fs::exists(dst / "large"));
            return;
        }
        QVERIFY(session.copyFolder(src, "dst", monitor).problems.empty());
        session.flushAll();
        CheckReport check;
        session.checkCopies(monitor, check);
        QCOMPARE(check.checked, std::size_t(2));
        QVERIFY(check.problems.empty());
        QCOMPARE(readFile(dst / "large"), large);
    }
};

QTEST_GUILESS_MAIN(TestCopyInFlight)
#include "tst_copy_in_flight.moc"
