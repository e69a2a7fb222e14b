#include "data_table.h"
#include "engine/failure.h"
#include "engine/files_in_flight.h"
#include "temp_tree.h"

#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A drive as the limit sees it: files per second at each number in flight; or the cores
// busy on average at each number in flight.
using Drive = std::function<double(unsigned inFlight)>;

// The limit after `measurements` on `drive`, and the highest it tried.
std::pair<unsigned, unsigned> settle(InFlightLimit &limit, const Drive &drive, int measurements,
                                     const Drive &busyCores = {})
{
    unsigned highest = limit.limit();
    for (int i = 0; i < measurements; ++i) {
        const std::uint64_t files = limit.filesPerMeasurement();
        const double seconds = double(files) / drive(limit.limit());
        limit.measured(files, std::chrono::nanoseconds(std::int64_t(seconds * 1e9)),
                       busyCores ? busyCores(limit.limit()) : 0);
        highest = std::max(highest, limit.limit());
    }
    return { limit.limit(), highest };
}

} // namespace

class TestFilesInFlight : public QObject
{
    Q_OBJECT

private slots:
    // Where it settles on drives of each kind: high where round trips are the cost, at one
    // where more in flight only keeps up or costs more, and found again when the drive changes.
    void settlesWhereTheDriveRewardsIt_data()
    {
        // later: the drive after 100 measurements; busyCores: of two; none busy where not given
        addColumns<Drive, Drive, unsigned, unsigned, Drive>("drive", "later", "lowest", "highest",
                                                            "busyCores");
        const Drive share = [](unsigned n) {
            return 900.0 * std::min(n, 40U);
        };
        const Drive disk = [](unsigned) {
            return 20'000.0;
        };
        QTest::newRow("share, 1 ms a call") << share << share << 16U << 32U << Drive();
        // clang-format off
        QTest::newRow("share that saturates at 6") << Drive([](unsigned n) { return 900.0 * std::min(n, 6U); }) << Drive() << 4U << 8U << Drive();
        QTest::newRow("local disk, flat") << disk << disk << 1U << 1U << Drive();
        QTest::newRow("USB stick, worse with more") << Drive([](unsigned n) { return 300.0 / n; }) << Drive() << 1U << 1U << Drive();
        QTest::newRow("a tenth faster with two") << Drive([](unsigned n) { return n > 1 ? 1100.0 : 1000.0; }) << Drive() << 1U << 1U << Drive();
        QTest::newRow("share, then a local disk") << share << Drive([](unsigned n) { return 500.0 / n; }) << 1U << 1U << Drive();
        QTest::newRow("local disk, then a share") << disk << Drive([](unsigned n) { return 50.0 * n; }) << 16U << 32U << Drive();
        // clang-format on
        // In memory the cores set the pace: past two, what seems a gain is noise.
        const Drive seemsToGain = [](unsigned n) {
            return 1000.0 * n;
        };
        // clang-format off
        QTest::newRow("in memory, both cores busy from two") << seemsToGain << Drive() << 2U << 2U << Drive([](unsigned n) { return std::min(n, 2U) * 0.95; });
        QTest::newRow("a share, the cores idle") << seemsToGain << Drive() << 16U << 32U << Drive([](unsigned) { return 0.2; });
        // clang-format on
    }
    void settlesWhereTheDriveRewardsIt()
    {
        const auto [drive, later, lowest, highest, busyCores]
            = fetch<Drive, Drive, unsigned, unsigned, Drive>("drive", "later", "lowest", "highest",
                                                             "busyCores");
        InFlightLimit limit(32, 2);
        settle(limit, drive, 100, busyCores);
        const unsigned settled = settle(limit, later ? later : drive, 100, busyCores).first;
        QVERIFY2(settled >= lowest && settled <= highest, std::to_string(settled).c_str());
    }

    void runsEachJobOnceWithinTheLimit_data()
    {
        addColumns<unsigned>("heldTo"); // 0: free to climb
        QTest::newRow("free to climb") << 0U;
        QTest::newRow("held to one, as a comparison asks") << 1U;
        QTest::newRow("held to two") << 2U;
    }

    // Jobs that wait on a round trip each: every one runs once, never more in flight than the
    // limit allows, and the limit climbs where it is free to; held to one, every job runs on
    // the caller's thread.
    void runsEachJobOnceWithinTheLimit()
    {
        QFETCH(unsigned, heldTo);
        std::atomic<int> ran = 0, inFlight = 0, most = 0, elsewhere = 0;
        FilesInFlight files(8);
        if (heldTo != 0)
            files.limitTo(heldTo);
        const std::thread::id caller = std::this_thread::get_id();
        for (int i = 0; i < 400; ++i)
            files.run([&] {
                const int now = ++inFlight;
                for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) { }
                elsewhere += std::this_thread::get_id() != caller;
                std::this_thread::sleep_for(1ms);
                --inFlight;
                ++ran;
            });
        files.wait();
        QCOMPARE(ran.load(), 400);
        QVERIFY(unsigned(most.load()) <= files.mostInFlight());
        QVERIFY(files.mostInFlight() <= (heldTo != 0 ? heldTo : 8));
        if (heldTo == 1)
            QCOMPARE(elsewhere.load(), 0);
        else if (TempTree::timesAreTrue())
            QVERIFY2(most >= (heldTo != 0 ? 2 : 4), std::to_string(most).c_str());
    }

    // A job that fails stops the others early; those not started never start, and the failure
    // is the first one, thrown once; a caller that leaves on its own gets back with none in flight.
    void firstFailureStopsTheRest_data()
    {
        QTest::addColumn<bool>("abandon");
        QTest::newRow("a job fails") << false;
        QTest::newRow("the caller leaves") << true;
    }
    void firstFailureStopsTheRest()
    {
        QFETCH(bool, abandon);
        std::atomic<int> started = 0, ended = 0;
        FilesInFlight files(8);
        // Small files first, so that the limit climbs; then large ones, which end only when
        // told to stop.
        const auto job = [&](int i) {
            ++started;
            if (i == 40 && !abandon)
                throw Failure(std::errc::no_space_on_device, Side::Destination);
            for (int step = 0; step < (i < 40 ? 2 : 2000) && !(i >= 40 && files.stopping()); ++step)
                std::this_thread::sleep_for(1ms);
            ++ended;
        };
        for (int i = 0; i < 100 && !files.stopping(); ++i) {
            // Leaves with as many large files in flight as the limit allows.
            if (abandon && i >= 40 && unsigned(i - 40) >= files.limit())
                break;
            files.run([&, i] { job(i); });
        }
        QVERIFY(files.limit() > 1 || !TempTree::timesAreTrue());
        const auto timer = std::chrono::steady_clock::now();
        if (abandon) {
            QVERIFY(!files.abandon()); // none failed
        } else {
            try {
                files.wait();
                QFAIL("no failure thrown");
            } catch (const Failure &failure) {
                QCOMPARE(failure.code(), std::make_error_code(std::errc::no_space_on_device));
            }
            files.wait(); // thrown once
        }
        QVERIFY(std::chrono::steady_clock::now() - timer < 1s);
        QVERIFY2(started <= 40 + 8 + 1, std::to_string(started).c_str());
        QCOMPARE(ended.load(), started.load() - (abandon ? 0 : 1));
    }
};

QTEST_GUILESS_MAIN(TestFilesInFlight)
#include "tst_files_in_flight.moc"
