#include "copy/copy_run.h"
#include "fake_services.h"
#include "temp_tree.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

using TempTree::readFile;
using TempTree::writeFile;
using Path = std::filesystem::path;

using namespace Qt::StringLiterals;

class TestCopyRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiesSelectedInOrder();
    void refusesUnsafeRequests_data();
    void refusesUnsafeRequests();
    void endsOnFailure_data();
    void endsOnFailure();
    void cancelInsideLargeFileOnWorkerThread();

private:
    CopyRequest request(std::vector<Path> names) const
    {
        return { "/src/", "/backup/", std::move(names) };
    }
    Path disk(const std::string &relative) const { return m_dir->path() / relative; }

    std::unique_ptr<TempTree::Folder> m_dir;
    std::unique_ptr<FakeFileSystem> m_fileSystem;
    std::unique_ptr<CopyRun> m_run;
};

// /src holds one, three and two, each with a file and a nested folder; /backup is empty.
void TestCopyRun::init()
{
    m_dir = std::make_unique<TempTree::Folder>();
    for (const char *name : { "one", "three", "two" }) {
        std::filesystem::create_directories(disk("src") / name / "inner");
        writeFile(disk("src") / name / "data.bin", std::string("new ") + name);
        writeFile(disk("src") / name / "inner" / "deep.txt", name);
    }
    std::filesystem::create_directories(disk("backup"));
    m_fileSystem = std::make_unique<FakeFileSystem>();
    m_fileSystem->root = m_dir->path();
    m_run = std::make_unique<CopyRun>(*m_fileSystem);
}

void TestCopyRun::cleanup()
{
    m_run.reset();
    m_fileSystem.reset();
    m_dir.reset();
}

void TestCopyRun::copiesSelectedInOrder()
{
    writeFile(disk("backup/one.keep"), "untouched");
    std::filesystem::create_directories(disk("backup/one"));
    writeFile(disk("backup/one/data.bin"), "an older copy, longer than the new one");
    // A problem in each sub-folder: the run's report holds both.
    for (const char *pipe : { "src/one/pipe", "src/two/inner/pipe" })
        QVERIFY(mkfifo(disk(pipe).c_str(), 0600) == 0);
    QSignalSpy counted(m_run.get(), &CopyRun::counted);
    QSignalSpy copied(m_run.get(), &CopyRun::subFolderCopied);
    QSignalSpy finished(m_run.get(), &CopyRun::finished);

    m_run->prepare(request({ "one", "two" }));
    QCOMPARE(counted.size(), 1);
    // What the bar counts against: the bytes of exactly the selected sub-folders.
    QCOMPARE(counted.front().at(0).toULongLong(), quint64(7 + 3 + 7 + 3));
    QVERIFY(counted.front().at(1).toULongLong() > 0);
    m_run->copy();

    QCOMPARE(copied.size(), 2);
    QCOMPARE(copied.at(0).at(0).toString(), QStringLiteral("one"));
    QCOMPARE(copied.at(1).at(0).toString(), QStringLiteral("two"));
    QCOMPARE(finished.size(), 1);
    // A pipe is never opened, and the end report names each.
    const QStringList problems = finished.front().at(0).toStringList();
    QCOMPARE(problems.size(), 2);
    QVERIFY(problems.at(0).contains(QStringLiteral("/src/one/pipe")));
    QVERIFY(problems.at(1).contains(QStringLiteral("/src/two/inner/pipe")));
    QCOMPARE(readFile(disk("backup/one/data.bin")), std::string("new one"));
    QCOMPARE(readFile(disk("backup/two/inner/deep.txt")), std::string("two"));
    QCOMPARE(readFile(disk("backup/one.keep")), std::string("untouched"));
    QVERIFY(!std::filesystem::exists(disk("backup/three")));
    QCOMPARE(m_fileSystem->flushes, 1);
}

void TestCopyRun::refusesUnsafeRequests_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("named");
    QTest::newRow("destination emptied by a cancelled choice")
        << u"/src/"_s << u""_s << u"destination"_s;
    QTest::newRow("destination that is not a folder")
        << u"/src/"_s << u"/nowhere/"_s << u"/nowhere/"_s;
    QTest::newRow("source that vanished") << u"/gone/"_s << u"/backup/"_s << u"/gone/"_s;
    QTest::newRow("destination inside a selected sub-folder")
        << u"/src/"_s << u"/src/one/inner/"_s << u"\"one\""_s;
    QTest::newRow("destination is the source folder") << u"/src/"_s << u"/src/"_s << u"\"one\""_s;
}

void TestCopyRun::refusesUnsafeRequests()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, named);
    QSignalSpy refused(m_run.get(), &CopyRun::refused);
    QSignalSpy counted(m_run.get(), &CopyRun::counted);

    m_run->prepare({ source.toStdString(), destination.toStdString(), { "one" } });
    QCOMPARE(refused.size(), 1);
    QVERIFY2(refused.front().at(0).toString().contains(named),
             qPrintable(refused.front().at(0).toString()));
    QCOMPARE(counted.size(), 0);
    QVERIFY(m_fileSystem->copies.empty());
    QVERIFY(!std::filesystem::exists(disk("src/one/inner/one")));
    QVERIFY(std::filesystem::is_empty(disk("backup")));
}

void TestCopyRun::endsOnFailure_data()
{
    QTest::addColumn<bool>("flushFails");
    QTest::addColumn<QStringList>("copiedBefore");
    QTest::addColumn<QString>("failedOn");
    QTest::addColumn<QString>("reason");
    // A full disk in "three" leaves "two" unstarted.
    QTest::newRow("disk full") << false << QStringList { "one" } << u"three"_s
                               << u"No space left on device"_s;
    // Everything was written, but not onto the drive: that is no finish.
    QTest::newRow("flush fails") << true << QStringList { "one", "three", "two" } << u"two"_s
                                 << u"Input/output error"_s;
}

void TestCopyRun::endsOnFailure()
{
    QFETCH(bool, flushFails);
    QFETCH(QStringList, copiedBefore);
    QFETCH(QString, failedOn);
    QFETCH(QString, reason);
    if (flushFails)
        m_fileSystem->flushFailure = std::errc::io_error;
    else
        m_fileSystem->copyFailureFor = "three";
    QSignalSpy copied(m_run.get(), &CopyRun::subFolderCopied);
    QSignalSpy failed(m_run.get(), &CopyRun::failed);
    QSignalSpy finished(m_run.get(), &CopyRun::finished);

    m_run->prepare(request({ "one", "three", "two" }));
    m_run->copy();

    QStringList names;
    for (const QList<QVariant> &each : copied)
        names.append(each.at(0).toString());
    QCOMPARE(names, copiedBefore);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.front().at(0).toString(), failedOn);
    QCOMPARE(failed.front().at(2).toString(), reason);
    QCOMPARE(std::filesystem::exists(disk("backup/two")), flushFails);
}

// Cancel from the window's thread while the worker is inside a large file, after a long
// count: the file being written is discarded, the one it would replace stays whole, and the
// run names it.
void TestCopyRun::cancelInsideLargeFileOnWorkerThread()
{
    const std::string large(64 << 20, 'n');
    writeFile(disk("src/three/large.bin"), large);
    std::filesystem::create_directories(disk("backup/three"));
    writeFile(disk("backup/three/large.bin"), "old");
    m_fileSystem->delayPerChunk = std::chrono::milliseconds(50);
    m_fileSystem->countDelay = std::chrono::milliseconds(300);

    QThread worker;
    m_run->moveToThread(&worker);
    worker.start();
    QSignalSpy counted(m_run.get(), &CopyRun::counted);
    QSignalSpy progressed(m_run.get(), &CopyRun::progressed);
    QSignalSpy cancelled(m_run.get(), &CopyRun::cancelled);
    QMetaObject::invokeMethod(m_run.get(), [this] { m_run->prepare(request({ "one", "three" })); });
    QVERIFY(counted.wait());
    QCOMPARE(counted.front().at(0).toULongLong(), quint64(7 + 3 + 9 + 5 + large.size()));
    QElapsedTimer sinceStart;
    sinceStart.start();
    QMetaObject::invokeMethod(m_run.get(), [this] { m_run->copy(); });
    QTRY_VERIFY(!progressed.isEmpty()
                && progressed.last().at(0).value<CopyProgress>().bytesDone > 10);
    const auto progress = progressed.last().at(0).value<CopyProgress>();
    QCOMPARE(progress.subFolder, QStringLiteral("three"));
    QCOMPARE(progress.subFolderNumber, 2);
    QCOMPARE(progress.bytesTotal, counted.front().at(0).toULongLong());
    // The rate is measured from the first byte copied, not from the long count before it.
    QVERIFY(progress.copyingMs > 0 && progress.copyingMs <= sinceStart.elapsed());

    QElapsedTimer sinceStop;
    sinceStop.start();
    m_run->requestStop();
    QVERIFY(cancelled.wait());
    QVERIFY2(sinceStop.elapsed() < 500, qPrintable(QString::number(sinceStop.elapsed())));
    // About ten updates a second at most, one more as each sub-folder starts.
    QVERIFY(progressed.size() <= sinceStart.elapsed() / 100 + 3);
    QThread *const home = thread();
    QMetaObject::invokeMethod(
        m_run.get(), [this, home] { m_run->moveToThread(home); }, Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();

    QCOMPARE(cancelled.front().at(0).toString(), QStringLiteral("three"));
    QCOMPARE(cancelled.front().at(1).toStringList(), QStringList { "one" });
    QCOMPARE(cancelled.front().at(2).toStringList(), QStringList { "three" });
    QCOMPARE(readFile(disk("backup/three/large.bin")), std::string("old"));
    for (const auto &entry : std::filesystem::directory_iterator(disk("backup/three")))
        QVERIFY2(entry.path().filename() == "large.bin" || entry.path().filename() == "data.bin"
                     || entry.path().filename() == "inner",
                 entry.path().c_str());
}

QTEST_GUILESS_MAIN(TestCopyRun)
#include "tst_copy_run.moc"
