#include "platform/path_rules.h"

#include <QTest>

Q_DECLARE_METATYPE(PathForm)

class TestPathRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
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
    QTest::newRow("drive: letter and colon") << drive << "C:" << false << false << true;
    QTest::newRow("drive: root") << drive << "C:\\" << false << true << true;
    QTest::newRow("drive: folder") << drive << "D:\\Photos" << true << true << true;
    QTest::newRow("posix: empty") << posix << "" << false << false << false;
    QTest::newRow("posix: root") << posix << "/" << false << true << true;
    QTest::newRow("posix: two characters") << posix << "/a" << true << true << true;
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
    QCOMPARE(fixedTestFolder(form).endsWith(pathSeparator(form)), true);
}

QTEST_GUILESS_MAIN(TestPathRules)
#include "tst_path_rules.moc"
