#include "data_table.h"
#include "selection/selection_summary.h"
#include "window_fixture.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <sys/mount.h>

using namespace Qt::StringLiterals;
using namespace TempTree;

namespace {

const QDate kToday { 2026, 12, 6 };
const qint64 kCutoff = localSecs(kToday.addDays(-60)), kOld = kCutoff - 86400 * 30,
             kNew = localSecs(kToday.addDays(-1), 52200); // yesterday 14:30

// Sets an entry's own modification time (UTIME_OMIT: keeps it), a link's and not its
// target's, and an access time before it, so that reading a folder would move it.
void age(const Path &path, qint64 secs, long nanos = 0)
{
    const timespec times[2] = { { kOld - 86400, 0 }, { secs, nanos } };
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

std::string timesOf(const std::vector<Path> &entries)
{
    std::string result;
    for (const Path &entry : entries) {
        const struct stat info = statusOf(entry);
        for (const timespec &t : { info.st_atim, info.st_mtim, info.st_ctim })
            result += std::to_string(t.tv_sec) + '.' + std::to_string(t.tv_nsec) + ' ';
    }
    return result;
}

// Fails one call for the folder "c" or the file "f", or stops the look when it reaches "b".
struct FaultyCalls : SystemCalls
{
    QString fault;
    std::atomic_bool stop = false;
    int c = -1, callsAfterStop = 0;

    // clang-format off
    Result<UniqueFd> openAt(int folder, const char *name, int flags, mode_t mode) override
    { const bool isC = std::string_view(name) == "c";
      Result<UniqueFd> fd = isC && fault == "c vanishes" ? Result<UniqueFd>(systemError(ENOENT))
                                                         : SystemCalls::openAt(folder, name, flags, mode);
      c = isC && fd ? fd->get() : c;
      return fd; }
    Result<std::vector<FolderEntry>> readFolder(int fd) override
    { return fault == "c is unreadable" && fd == c ? systemError(EACCES) : SystemCalls::readFolder(fd); }
    Result<EntryStatus> entryStatusAt(int folder, const char *name, bool cachedOnly) override
    { const std::string_view entry(name);
      callsAfterStop += stop ? 1 : 0;
      stop = stop || (fault == "stop at b" && entry == "b");
      if (entry == "f" && fault.startsWith("f "))
          return systemError(fault == "f is gone" ? ENOENT : EACCES);
      Result<EntryStatus> real = SystemCalls::entryStatusAt(folder, name, cachedOnly);
      real->mountRoot |= fault == "c is a mount point" && entry == "c";
      real->identity.inode += fault == "c is replaced" && entry == "c" ? 1 : 0; // once opened
      return real; }
    // clang-format on
};

} // namespace

class TestLookInside : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        umount2((sub() / "a/b").c_str(), MNT_DETACH); // where a row mounted
        m_dir.reset();
    }

    // src/sub holds base.txt (3 bytes) and the folders a/b/c/d, all older than the cutoff.
    void init()
    {
        m_dir = std::make_unique<Folder>();
        fs::create_directories(sub() / "a/b/c/d");
        writeFile(sub() / "base.txt", "abc");
        for (const char *each : { "base.txt", "a/b/c/d", "a/b/c", "a/b", "a", "" })
            age(sub() / each, kOld);
    }

    void findsNewestAndSize_data()
    {
        // change: "<kind>:<path below sub>", made at kNew; fault: of FaultyCalls, or how the look
        // runs
        addColumns<QString, QString, qint64, quint64, bool>("change", "fault", "newest", "bytes",
                                                            "complete");
        const QString deep = u"file:a/b/c/d/f"_s;
        QTest::newRow("nothing newer") << u""_s << u""_s << kOld << 3ULL << true;
        // clang-format off
        QTest::newRow("file edited in place, depth 1") << u"file:f"_s << u""_s << kNew << 10ULL << true;
        QTest::newRow("file edited in place, depth 5") << deep << u""_s << kNew << 10ULL << true;
        QTest::newRow("only a deep empty folder") << u"folder:a/b/c/d/e"_s << u""_s << kNew << 3ULL << true;
        // clang-format on
        // It points at a newer, larger file outside.
        // clang-format off
        QTest::newRow("only a link, not followed") << u"link:a/b/l"_s << u""_s << kNew << 3ULL << true;
        QTest::newRow("boundary second, a fraction later") << u"boundary:a/f"_s << u""_s << kCutoff << 10ULL << true;
        QTest::newRow("100,000 in one folder, odd names, 300 deep") << u"many:a/b"_s << u""_s << kOld << 100'008ULL << true;
        // clang-format on
        // A folder below that fails is left out with what is inside it; so is a mount.
        for (const char *fault : { "c vanishes", "c is replaced", "c is unreadable",
                                   "c is a mount point", "f cannot be seen", "stop at b" })
            QTest::newRow(fault) << deep << QString::fromLatin1(fault) << kOld << 3ULL << false;
        QTest::newRow("f is gone since listed") << deep << u"f is gone"_s << kOld << 3ULL << true;
        // clang-format off
        QTest::newRow("sub replaced since listed") << deep << u"sub replaced"_s << std::numeric_limits<qint64>::min() << 0ULL << false;
        // clang-format on
        // Not entered by user 65534, nor owned by it: read without O_NOATIME, marked.
        // clang-format off
        QTest::newRow("folder below unreadable to a user") << u"locked:a/b/c/d/f"_s << u"as user 65534"_s << kOld << 3ULL << false;
        // clang-format on
        QTest::newRow("bind mount below") << u"mount:a/b"_s << u""_s << kOld << 3ULL << false;
    }

    void findsNewestAndSize()
    {
        const auto [change, fault, newest, bytes, complete]
            = fetch<QString, QString, qint64, quint64, bool>("change", "fault", "newest", "bytes",
                                                             "complete");
        const QString kind = change.section(':', 0, 0);
        const Path made = sub() / change.section(':', 1).toStdString(), other = m_dir->path() / "o";
        if ((kind == "locked" || kind == "mount") && geteuid() != 0)
            QSKIP("switching to an unprivileged user or mounting takes root");
        fs::create_directory(other);
        writeFile(other / "big", std::string(5000, 'x'));
        if (kind == "file" || kind == "boundary" || kind == "locked")
            writeFile(made, "1234567");
        if (kind == "folder")
            fs::create_directory(made);
        if (kind == "link")
            fs::create_symlink("../../../../o/big", made);
        Path deeper = made;
        for (int i = 0; kind == "many" && i < 300; ++i)
            fs::create_directory(deeper /= "\xe9");
        for (int i = 0; kind == "many" && i < 100'000; ++i) { // names, not inodes: quick to make
            const Path name = made / ("\xff" + std::to_string(i));
            if (i == 0 || i == 1 || i == 50'000)
                writeFile(i ? name : deeper / "f", i ? "x" : "123456");
            else // up to 65,000 names an inode
                fs::create_hard_link(made / ("\xff" + std::to_string(i < 50'000 ? 1 : 50'000)),
                                     name);
        }
        if (kind == "locked") {
            chmod(made.parent_path().c_str(), 0700);
            chmod(m_dir->path().c_str(), 0755);
        }
        if (kind == "mount" && mount(other.c_str(), made.c_str(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("this mount namespace allows no bind mount");
        if (!kind.isEmpty() && kind != "many" && kind != "mount") {
            age(made.parent_path(), kOld); // edited in place: the folder's own time stays
            age(made, kind == "boundary" ? kCutoff : kNew, kind == "boundary" ? 999'999'999 : 0);
        }
        const std::vector<Path> entries(fs::recursive_directory_iterator(sub()), {});
        for (const Path &entry : entries) // listing them read them; the many are made just now
            age(entry, kind == "many" ? kOld : 0, kind == "many" ? 0 : UTIME_OMIT);
        const std::string before = timesOf(entries);
        FaultyCalls calls;
        calls.fault = fault;
        const FileIdentity identity = fault == "sub replaced"
            ? FileIdentity {}
            : FileIdentity { statusOf(sub()).st_dev, statusOf(sub()).st_ino };
        const auto want
            = std::tuple(std::int64_t(newest), std::uint32_t(kind == "boundary" ? 999'999'999 : 0),
                         std::uint64_t(bytes), complete);

        const auto look = [&] {
            const InsideTotals t = lookInside(calls, sub(), identity, calls.stop);
            return std::tuple(t.newest.secs, t.newest.nanos, t.bytes, t.complete);
        };

        try {
            if (fault == "as user 65534")
                QVERIFY(asUnprivilegedUser([&] { return look() == want; }));
            else
                QCOMPARE(look(), want);
            QVERIFY(fault != "stop at b");
        } catch (const Failure &failure) {
            QVERIFY(failure.isStop() && fault == "stop at b");
            QCOMPARE(calls.callsAfterStop, 0); // it stops before the next entry
        }
        // Read only, and without access times where the system lets it: not for 65534 here.
        QVERIFY(timesOf(entries) == before || fault == "as user 65534");
        QCOMPARE(std::distance(fs::recursive_directory_iterator(sub()), {}),
                 qsizetype(entries.size()));
    }

    void modelRuleAndSelection_data()
    {
        // listed: through its inside
        addColumns<qint64, bool>("insideSecs", "listed");
        QTest::newRow("inside at the boundary second") << kCutoff << false;
        QTest::newRow("inside a second later") << kCutoff + 1 << true;
    }

    // Folders s0..s4, s1 and s3 old by their own time: a look's totals insert them at their
    // place, the selection of s0 and s4 stays, and a new listing knows them at once.
    void modelRuleAndSelection()
    {
        const auto [insideSecs, listed] = fetch<qint64, bool>("insideSecs", "listed");
        std::vector<SubFolder> folders;
        for (std::uint64_t i = 0; i < 5; ++i)
            folders.push_back({ "s" + std::to_string(i), i % 2 ? kOld : kCutoff + 60, { 1, i } });
        SubFolderListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QItemSelectionModel selection(&model);
        model.setListing(folders, kCutoff);
        selection.select(model.index(0), QItemSelectionModel::Select);
        selection.select(model.index(2), QItemSelectionModel::Select);

        const auto scanned = [&model](std::size_t i) {
            return (*model.scannedFolders())[i].name;
        };
        for (std::size_t i = 0; i < folders.size(); ++i) { // s1, s2 and s3, as the model keeps them
            const Path name = scanned(i);
            if (name == "s1" || name == "s2" || name == "s3")
                model.setInside(qsizetype(i),
                                { { insideSecs, 0 }, name == "s2" ? 1023ULL : 0, name != "s3" });
        }
        QCOMPARE(model.rowCount(), listed ? 5 : 3);
        const auto selected = selectedNames(selection);
        QCOMPARE(selected.size(), 2u);
        QCOMPARE(selected.back().native(), "s4");
        const QString s2 = model.index(listed ? 2 : 1).data().toString();
        QCOMPARE(s2.mid(48, 19), DateTextFormat().text(std::max(kCutoff + 60, insideSecs)));
        QCOMPARE(s2.right(13), QString(8, ' ') + "1 KB ");
        QVERIFY(!listed || model.index(3).data().toString().endsWith(u"0 KB+"));

        model.setListing(folders, kCutoff); // unselected, with the totals known by identity
        QCOMPARE(model.rowCount(), listed ? 5 : 3);
        const auto order = model.lookOrder(); // nothing is known of s0 and s4
        QCOMPARE(scanned(order[0]).native() + scanned(order[1]).native(), "s0s4");
    }

    // The Thesis case: its own time is 90 days old, a chapter was edited yesterday. The recent
    // folders show at once; the look inserts Thesis at its place with yesterday's date and its
    // size, the selection, counter and copy button follow; a day-count keystroke lists it at once.
    void windowLooksInBackground()
    {
        WindowFixture w;
        const Path src = w.disk("src");
        for (const char *name : { "Alpha", "Old", "Zed" })
            makeFolder(src, name, std::string(name) == "Old" ? kOld : localSecs(kToday, 60));
        makeFolder(src / "Thesis", "chapters", kOld);
        writeFile(src / "Thesis/chapters/03.tex", std::string(5000, 'x'));
        age(src / "Thesis/chapters/03.tex", kNew);
        for (const char *each : { "Thesis/chapters", "Thesis" })
            age(src / each, localSecs(kToday.addDays(-90)));
        w.fakes.fileSystem.delayPerLook = std::chrono::milliseconds(50);
        w.field("Text2")->setText(u"/backup/"_s);

        w.window.listSourceFolder(u"/src/"_s);
        QCOMPARE(w.counter(), u"0/2 Folders"_s);
        QCOMPARE(w.progress(), u"LOOKING INSIDE 0 OF 4 SUB-FOLDERS"_s);
        w.select(1); // Zed
        QTRY_COMPARE(w.progress(), u"LOOKED INSIDE 4 SUB-FOLDERS"_s);
        QCOMPARE(w.counter(), u"1/3 Folders"_s);
        QVERIFY(w.button("Command2")->isEnabled());
        QCOMPARE(selectedNames(*w.list()->selectionModel()).front().native(), "Zed");
        const QString thesis = w.list()->model()->index(1, 0).data().toString();
        QCOMPARE(thesis.left(7) + thesis.mid(48, 19), u"Thesis 05/12/2026 14:30:00"_s);
        QCOMPARE(thesis.right(13), QString(8, ' ') + "5 KB ");

        QTest::keyClick(w.field("daysold"), Qt::Key_Backspace); // 6 days
        QCOMPARE(w.counter(), u"0/3 Folders"_s);
    }

    void newListingWins_data()
    {
        // share: the source answers after round trips: more workers
        addColumns<QString, bool>("how", "share");
        for (const char *how :
             { "another source", "day-count keystroke", "double-click", "copy button" })
            QTest::newRow(how) << QString::fromLatin1(how) << false;
        QTest::newRow("another source, on a share") << u"another source"_s << true;
        QTest::newRow("copy button, on a share") << u"copy button"_s << true;
    }

    // Each worker of the first look finds one folder of /src and returns only after a new
    // listing or a copy has taken over: none of it reaches a line or the progress line.
    void newListingWins()
    {
        const auto [how, share] = fetch<QString, bool>("how", "share");
        WindowFixture w;
        const int workers = SubFolderLook::kWorkers * (share ? SubFolderLook::kRoundTripFactor : 1);
        const int folders = workers + 1;
        for (int i = 0; i < folders; ++i) {
            const std::string name = "f" + std::to_string(i);
            writeFile(makeFolder(w.disk("src"), name, kNew) / "f", std::string(3000, 'x'));
            makeFolder(w.disk("other"), name, kNew);
            makeFolder(w.disk("test"), name, kNew);
        }
        FakeFileSystem &fileSystem = w.fakes.fileSystem;
        fileSystem.delayPerLook = std::chrono::milliseconds(400);
        fileSystem.roundTrips = share;
        w.fakes.messageBox.confirmAnswer = false;
        w.listAndSelect(u"/backup"_s, { 0 });
        QTRY_COMPARE(fileSystem.looksStarted.load(), workers);
        QTest::qWait(20); // and no more
        QCOMPARE(fileSystem.looksStarted.load(), workers);

        if (how == u"copy button")
            QTest::mouseClick(w.button("Command2"), Qt::LeftButton);
        else if (how == u"day-count keystroke")
            QTest::keyClick(w.field("daysold"), Qt::Key_Backspace);
        else if (how == u"double-click")
            QTest::mouseDClick(w.field("Text1"), Qt::LeftButton);
        else
            w.window.listSourceFolder(u"/other/"_s);
        QTRY_COMPARE_WITH_TIMEOUT(fileSystem.looksEnded.load(), workers, 100);
        QTest::qWait(100); // for what they posted to arrive; the next look takes 400 ms
        QCOMPARE(w.progress(),
                 how == u"copy button" ? u"PREPARE TO COPY"_s : lookProgressText(0, folders));
        for (int row = 0; row < folders; ++row)
            QCOMPARE(w.list()->model()->index(row, 0).data().toString().right(13),
                     QString(13, ' '));
    }

private:
    Path sub() const { return m_dir->path() / "src/sub"; }

    std::unique_ptr<Folder> m_dir;
};

QTEST_MAIN(TestLookInside)
#include "tst_look_inside.moc"
