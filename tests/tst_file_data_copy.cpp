#include "platform/posix_file_copy.h"
#include "platform/unique_fd.h"
#include "temp_tree.h"

#include <QTest>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <random>

class TestFileDataCopy : public QObject
{
    Q_OBJECT

private slots:
    void copiesToTheRealEndOrFailsWriting_data();
    void copiesToTheRealEndOrFailsWriting();
};

void TestFileDataCopy::copiesToTheRealEndOrFailsWriting_data()
{
    QTest::addColumn<DataCopyMethod>("method");
    QTest::addColumn<int>("hintOffset"); // the size at opening, against the real size
    // Write to /dev/full: the in-kernel methods are refused there, so read/write takes over and
    // fails with ENOSPC as on a full disk.
    QTest::addColumn<bool>("diskFull");

    const std::pair<const char *, DataCopyMethod> methods[] = {
        { "copy_file_range", DataCopyMethod::CopyFileRange },
        { "sendfile", DataCopyMethod::SendFile },
        { "read/write", DataCopyMethod::ReadWrite },
    };
    for (const auto &[name, method] : methods) {
        QTest::addRow("%s, grew", name) << method << -1024 * 1024 << false;
        QTest::addRow("%s, shrank", name) << method << 4096 << false;
        QTest::addRow("%s, onto /dev/full", name) << method << 0 << true;
    }
}

void TestFileDataCopy::copiesToTheRealEndOrFailsWriting()
{
    QFETCH(DataCopyMethod, method);
    QFETCH(int, hintOffset);
    QFETCH(bool, diskFull);
    TempTree::Folder folder;
    // Several buffers long, and no two of them alike, so a lost or repeated one shows.
    std::string content(3 * 1024 * 1024 + 17, '\0');
    std::generate(content.begin(), content.end(), std::mt19937(7));
    TempTree::writeFile(folder.path() / "from", content);
    const std::filesystem::path to = diskFull ? "/dev/full" : folder.path() / "to";
    const UniqueFd in(open((folder.path() / "from").c_str(), O_RDONLY));
    const UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT, 0600));

    const auto result = copyFileData(in.get(), out.get(), content.size() + hintOffset, method);

    QCOMPARE(result.error, diskFull ? ENOSPC : 0);
    QCOMPARE(result.whileWriting, diskFull);
    QVERIFY(diskFull || TempTree::readFile(to) == content);
}

QTEST_GUILESS_MAIN(TestFileDataCopy)
#include "tst_file_data_copy.moc"
