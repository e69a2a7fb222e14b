#include "copy/copy_messages.h"
#include "copy/transfer_rate.h"

#include <QTest>

// The texts a run ends with are read by people deciding whether their backup is whole.
using namespace Qt::StringLiterals;

class TestCopyMessages : public QObject
{
    Q_OBJECT

private slots:
    void finishLine_data();
    void finishLine();
    void spaceQuestion();
    void rate_data();
    void rate();
};

void TestCopyMessages::finishLine_data()
{
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("line");
    QTest::newRow("all copied") << 0 << u"FINISHED COPYING"_s;
    QTest::newRow("one problem") << 1 << u"FINISHED COPYING WITH 1 PROBLEM"_s;
    QTest::newRow("several") << 12 << u"FINISHED COPYING WITH 12 PROBLEMS"_s;
}

void TestCopyMessages::finishLine()
{
    QFETCH(int, problems);
    QFETCH(QString, line);
    QCOMPARE(finishedText(problems), line);
    // Whatever was not copied or kept is said in the closing message too.
    QCOMPARE(problemSummary(problems, {}).isEmpty(), problems == 0);
    QVERIFY(problemSummary(0, notKeptTexts({ MetadataKind::Owner })).contains(u"owners"));
}

void TestCopyMessages::spaceQuestion()
{
    QCOMPARE(::spaceQuestion(48'200'000, 1'900'000),
             u"The selected sub-folders hold 48.2 MB; the destination has 1.9 MB free. "
             "Copy anyway?"_s);
    QVERIFY(::spaceQuestion(5'000'000'000, 512)
                .contains(u"hold 5.0 GB; the destination has 512 bytes"));
}

void TestCopyMessages::rate_data()
{
    QTest::addColumn<quint64>("done");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("too early to tell")
        << quint64(1'000'000) << quint64(9'000'000) << qint64(100) << u""_s;
    QTest::newRow("seconds left") << quint64(10'000'000) << quint64(25'000'000) << qint64(1000)
                                  << u"10.0 MB/s, about 2 s left"_s;
    QTest::newRow("minutes left") << quint64(1'000'000) << quint64(301'000'000) << qint64(1000)
                                  << u"1.0 MB/s, about 5 min left"_s;
    QTest::newRow("hours left") << quint64(1'000'000) << quint64(9'001'000'000) << qint64(1000)
                                << u"1.0 MB/s, about 2 h 30 min left"_s;
}

void TestCopyMessages::rate()
{
    QFETCH(quint64, done);
    QFETCH(quint64, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(rateText(done, total, elapsedMs), text);
}

QTEST_GUILESS_MAIN(TestCopyMessages)
#include "tst_copy_messages.moc"
