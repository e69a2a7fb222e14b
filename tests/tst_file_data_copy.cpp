#include "copy_tree.h"
#include "platform/posix_file_copy.h"
#include "platform/unique_fd.h"

#include <QTest>

#include <cerrno>

Q_DECLARE_METATYPE(DataCopyMethod)

using CopyTree::readFile;
using CopyTree::writeFile;

class TestFileDataCopy : public QObject
{
    Q_OBJECT

private slots:
    void copiesWholeFileWhateverTheSizeHint_data();
    void copiesWholeFileWhateverTheSizeHint();
    void writeLimitFailsOnTheWritingSide_data();
    void writeLimitFailsOnTheWritingSide();
};

namespace {

const std::string content = CopyTree::randomBytes(3 * 1024 * 1024 + 17, 7);

void addMethodRows(const char *caseName, std::int64_t hintOffset)
{
    const std::pair<const char *, DataCopyMethod> methods[] = {
        { "copy_file_range", DataCopyMethod::CopyFileRange },
        { "sendfile", DataCopyMethod::SendFile },
        { "read/write", DataCopyMethod::ReadWrite },
    };
    for (const auto &[methodName, method] : methods) {
        QTest::addRow("%s, %s", methodName, caseName)
            << method
            << static_cast<std::uint64_t>(static_cast<std::int64_t>(content.size()) + hintOffset);
    }
}

} // namespace

void TestFileDataCopy::copiesWholeFileWhateverTheSizeHint_data()
{
    QTest::addColumn<DataCopyMethod>("method");
    QTest::addColumn<std::uint64_t>("sizeHint");
    addMethodRows("size as opened", 0);
    // The file grew since it was opened: everything up to the real end still comes.
    addMethodRows("file grew", -1024 * 1024);
    // It shrank: the copy ends at the real end without waiting for more.
    addMethodRows("file shrank", 4096);
}

void TestFileDataCopy::copiesWholeFileWhateverTheSizeHint()
{
    QFETCH(DataCopyMethod, method);
    QFETCH(std::uint64_t, sizeHint);
    CopyTree::Folder folder;
    writeFile(folder.path() / "from", content);
    UniqueFd from(open((folder.path() / "from").c_str(), O_RDONLY));
    UniqueFd to(open((folder.path() / "to").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));

    const DataCopyResult result = copyFileData(from.get(), to.get(), sizeHint, method);

    QCOMPARE(result.error, 0);
    QVERIFY(readFile(folder.path() / "to") == content);
}

void TestFileDataCopy::writeLimitFailsOnTheWritingSide_data()
{
    QTest::addColumn<DataCopyMethod>("method");
    QTest::addColumn<std::uint64_t>("sizeHint");
    addMethodRows("limit reached", 0);
}

void TestFileDataCopy::writeLimitFailsOnTheWritingSide()
{
    QFETCH(DataCopyMethod, method);
    QFETCH(std::uint64_t, sizeHint);
    CopyTree::Folder folder;
    writeFile(folder.path() / "from", content);
    UniqueFd from(open((folder.path() / "from").c_str(), O_RDONLY));
    UniqueFd to(open((folder.path() / "to").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));

    DataCopyResult result;
    {
        CopyTree::FileSizeLimit limit(1024 * 1024);
        result = copyFileData(from.get(), to.get(), sizeHint, method);
    }

    QCOMPARE(result.error, EFBIG);
    QVERIFY(result.whileWriting);
}

QTEST_GUILESS_MAIN(TestFileDataCopy)
#include "tst_file_data_copy.moc"
