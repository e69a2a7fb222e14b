#include "platform/path_rules.h"

#include <QTest>

Q_DECLARE_METATYPE(PathForm)

class TestPathRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void fixedTestFolder_data();
    void fixedTestFolder();
};

void TestPathRules::rules_data()
{
    QTest::addColumn<PathForm>("form");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("needsSeparator");
    QTest::addColumn<bool>("sourcePath");
    QTest::addColumn<bool>("holdsPath");

    const auto drive = PathForm::DriveLetter;
    const auto posix = PathForm::Posix;
    QTest::newRow("drive: empty") << drive << "" << false << false << false;
    QTest::newRow("drive: one character") << drive << "C" << false << false << false;
    QTest::newRow("drive: letter and colon") << drive << "C:" << false << false << true;
    QTest::newRow("drive: root") << drive << "C:\\" << false << true << true;
    QTest::newRow("drive: folder") << drive << "D:\\Photos" << true << true << true;
    QTest::newRow("posix: empty") << posix << "" << false << false << false;
    QTest::newRow("posix: root") << posix << "/" << false << true << true;
    QTest::newRow("posix: two characters") << posix << "/a" << true << true << true;
    QTest::newRow("posix: three characters") << posix << "/mn" << true << true << true;
    QTest::newRow("posix: folder") << posix << "/home/ann/Photos" << true << true << true;
    QTest::newRow("posix: separator already there") << posix << "/srv/x/" << false << true << true;
}

void TestPathRules::rules()
{
    QFETCH(PathForm, form);
    QFETCH(QString, path);
    QFETCH(bool, needsSeparator);
    QFETCH(bool, sourcePath);
    QFETCH(bool, holdsPath);

    QCOMPARE(needsTrailingSeparator(path, form), needsSeparator);
    QCOMPARE(isSourcePath(path, form), sourcePath);
    QCOMPARE(isPathFieldFilled(path, form), sourcePath);
    QCOMPARE(sourceFieldHoldsPath(path, form), holdsPath);
}

void TestPathRules::fixedTestFolder_data()
{
    QTest::addColumn<PathForm>("form");
    QTest::addColumn<QString>("folder");
    QTest::newRow("drive letters") << PathForm::DriveLetter << "C:\\test\\";
    QTest::newRow("posix") << PathForm::Posix << "/test/";
}

void TestPathRules::fixedTestFolder()
{
    QFETCH(PathForm, form);
    QFETCH(QString, folder);
    QCOMPARE(::fixedTestFolder(form), folder);
    // The listing appends names to it directly.
    QVERIFY(folder.endsWith(pathSeparator(form)));
}

QTEST_GUILESS_MAIN(TestPathRules)
#include "tst_path_rules.moc"
