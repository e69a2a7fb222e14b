#include "copy/copy_plan.h"
#include "copy_tree.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCopyPlan : public QObject
{
    Q_OBJECT

private slots:
    void findsSubFolderCopiedIntoItself_data();
    void findsSubFolderCopiedIntoItself();
};

void TestCopyPlan::findsSubFolderCopiedIntoItself_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("destination"); // relative to the test folder
    QTest::addColumn<QString>("expected"); // empty: the plan is safe

    const QStringList aAndB = { u"a"_s, u"b"_s };
    QTest::newRow("destination elsewhere") << aAndB << u"dst"_s << u""_s;
    QTest::newRow("destination is the source folder") << aAndB << u"src"_s << u"a"_s;
    QTest::newRow("source folder with trailing separator") << aAndB << u"src/"_s << u"a"_s;
    QTest::newRow("source folder, first name in plan order")
        << QStringList { u"b"_s, u"a"_s } << u"src"_s << u"b"_s;
    QTest::newRow("destination is a selected sub-folder") << aAndB << u"src/a"_s << u"a"_s;
    QTest::newRow("deep inside a selected sub-folder") << aAndB << u"src/a/deep"_s << u"a"_s;
    QTest::newRow("inside, not created yet") << aAndB << u"src/a/new/deeper"_s << u"a"_s;
    QTest::newRow("inside a sub-folder not selected")
        << QStringList { u"b"_s } << u"src/a"_s << u""_s;
    QTest::newRow("source folder's parent") << aAndB << u"."_s << u""_s;
    QTest::newRow("name only starts like a selected one") << aAndB << u"src/ab"_s << u""_s;
    QTest::newRow("only the last name copies into itself")
        << QStringList { u"a"_s, u"b"_s, u"ab"_s } << u"src/ab"_s << u"ab"_s;
    QTest::newRow("reached through ..") << aAndB << u"dst/../src/a/."_s << u"a"_s;
    QTest::newRow("reached through a link") << aAndB << u"linkToA"_s << u"a"_s;
}

void TestCopyPlan::findsSubFolderCopiedIntoItself()
{
    QFETCH(QStringList, names);
    QFETCH(QString, destination);
    QFETCH(QString, expected);
    TempTree::Folder folder;
    const std::filesystem::path root = folder.path();
    for (const char *sub : { "src/a/deep", "src/b", "src/ab", "dst" })
        std::filesystem::create_directories(root / sub);
    std::filesystem::create_directory_symlink(root / "src/a", root / "linkToA");
    std::vector<std::filesystem::path> plan;
    for (const QString &name : names)
        plan.emplace_back(name.toStdString());

    const auto found = findSelfCopy(root / "src", plan, root / destination.toStdString());

    QCOMPARE(found ? QString::fromStdString(found->string()) : QString(), expected);
}

QTEST_GUILESS_MAIN(TestCopyPlan)
#include "tst_copy_plan.moc"
