#include "copy_tree.h"
#include "platform/posix_file_copy.h"
#include "platform/unique_fd.h"

#include <QTest>

#include <cerrno>
#include <optional>

Q_DECLARE_METATYPE(DataCopyMethod)

using CopyTree::readFile;
using TempTree::writeFile;

class TestFileDataCopy : public QObject
{
    Q_OBJECT

private slots:
    void copiesToTheRealEndOrFailsOnTheWritingSide_data();
    void copiesToTheRealEndOrFailsOnTheWritingSide();
};

namespace {

const std::string content = CopyTree::randomBytes(3 * 1024 * 1024 + 17, 7);

void addMethodRows(const char *caseName, std::int64_t hintOffset, rlim_t sizeLimit = 0)
{
    const std::pair<const char *, DataCopyMethod> methods[] = {
        { "copy_file_range", DataCopyMethod::CopyFileRange },
        { "sendfile", DataCopyMethod::SendFile },
        { "read/write", DataCopyMethod::ReadWrite },
    };
    for (const auto &[methodName, method] : methods) {
        QTest::addRow("%s, %s", methodName, caseName)
            << method
            << static_cast<std::uint64_t>(static_cast<std::int64_t>(content.size()) + hintOffset)
            << static_cast<qulonglong>(sizeLimit);
    }
}

} // namespace

void TestFileDataCopy::copiesToTheRealEndOrFailsOnTheWritingSide_data()
{
    QTest::addColumn<DataCopyMethod>("method");
    QTest::addColumn<std::uint64_t>("sizeHint");
    QTest::addColumn<qulonglong>("sizeLimit"); // 0: none; else writes beyond it fail

    addMethodRows("size as opened", 0);
    // The file grew since it was opened: everything up to the real end still comes.
    addMethodRows("file grew", -1024 * 1024);
    // It shrank: the copy ends at the real end without waiting for more.
    addMethodRows("file shrank", 4096);
    // A real write failure half-way, as from a full disk.
    addMethodRows("file size limit reached", 0, 1024 * 1024);
}

void TestFileDataCopy::copiesToTheRealEndOrFailsOnTheWritingSide()
{
    QFETCH(DataCopyMethod, method);
    QFETCH(std::uint64_t, sizeHint);
    QFETCH(qulonglong, sizeLimit);
    TempTree::Folder folder;
    writeFile(folder.path() / "from", content);
    UniqueFd from(open((folder.path() / "from").c_str(), O_RDONLY));
    UniqueFd to(open((folder.path() / "to").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));

    DataCopyResult result;
    {
        std::optional<CopyTree::FileSizeLimit> limit;
        if (sizeLimit > 0)
            limit.emplace(sizeLimit);
        result = copyFileData(from.get(), to.get(), sizeHint, method);
    }

    if (sizeLimit > 0) {
        QCOMPARE(result.error, EFBIG);
        QVERIFY(result.whileWriting);
    } else {
        QCOMPARE(result.error, 0);
        QVERIFY(readFile(folder.path() / "to") == content);
    }
}

QTEST_GUILESS_MAIN(TestFileDataCopy)
#include "tst_file_data_copy.moc"
