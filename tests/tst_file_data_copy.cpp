#include "platform/file_data_copy.h"
#include "platform/system_calls.h"
#include "platform/unique_fd.h"
#include "recording_monitor.h"
#include "temp_tree.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

class TestFileDataCopy : public QObject
{
    Q_OBJECT

private slots:
    void copiesSizeAtOpeningInChunks_data();
    void copiesSizeAtOpeningInChunks();
};

void TestFileDataCopy::copiesSizeAtOpeningInChunks_data()
{
    QTest::addColumn<DataCopyMethod>("method");
    QTest::addColumn<QString>("change"); // what happens to the source

    const std::pair<const char *, DataCopyMethod> methods[] = {
        { "copy_file_range", DataCopyMethod::CopyFileRange },
        { "sendfile", DataCopyMethod::SendFile },
        { "read/write", DataCopyMethod::ReadWrite },
    };
    // "grew": it grew after opening, and only the size at opening is copied. "shrank":
    // it is shorter than at opening, and the copy ends where it does. "holes": 24 MiB
    // with data at the start and near the middle only. "/dev/full": the in-kernel methods
    // are refused there, so read/write takes over and fails as on a full disk. "stopped":
    // the monitor asks to stop after the first chunk.
    for (const auto &[name, method] : methods) {
        for (const char *change : { "grew", "shrank", "holes", "/dev/full", "stopped" })
            QTest::addRow("%s, %s", name, change) << method << QString::fromLatin1(change);
    }
}

void TestFileDataCopy::copiesSizeAtOpeningInChunks()
{
    QFETCH(DataCopyMethod, method);
    QFETCH(QString, change);
    TempTree::Folder folder;
    const std::filesystem::path from = folder.path() / "from";
    // More than a chunk long, and each 8 bytes its own offset, so a lost or repeated piece shows.
    std::string content(change == "holes" ? 3 << 20 : (9 << 20) + 17, '\0');
    for (std::size_t at = 0; at + 8 <= content.size(); at += 8)
        std::memcpy(content.data() + at, &at, 8);
    TempTree::writeFile(from, content);
    std::uint64_t size = content.size();
    if (change == "holes") {
        std::filesystem::resize_file(from, 12 * 1024 * 1024);
        std::ofstream(from, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(12 * 1024 * 1024)
            .write(content.data(), 4096);
        std::filesystem::resize_file(from, size = 24 * 1024 * 1024);
        content = TempTree::readFile(from);
    } else if (change == "shrank") {
        size += 4096;
    } else if (change == "grew") {
        size -= 1024 * 1024;
        content.resize(size);
    }
    const bool full = change == "/dev/full";
    const std::filesystem::path to = full ? "/dev/full" : folder.path() / "to";
    const UniqueFd in(open(from.c_str(), O_RDONLY));
    const UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT, 0600));
    RecordingMonitor monitor;
    monitor.stopAfterBytes = change == "stopped" ? 1 : UINT64_MAX;
    SystemCalls calls;

    const auto result
        = copyFileData(calls, in.get(), out.get(), size, change == "holes", monitor, method);

    QCOMPARE(result.error, full ? ENOSPC : change == "stopped" ? ECANCELED : 0);
    QCOMPARE(result.whileWriting, full);
    if (result.error != 0)
        return;
    QCOMPARE(monitor.bytes, size);
    QVERIFY(TempTree::readFile(to) == content);
    struct stat info;
    QVERIFY(stat(to.c_str(), &info) == 0);
    QVERIFY(change != "holes" || info.st_blocks * 512 < 4 * 1024 * 1024);
}

QTEST_GUILESS_MAIN(TestFileDataCopy)
#include "tst_file_data_copy.moc"
