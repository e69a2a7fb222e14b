#include "copy/copy_messages.h"
#include "copy/transfer_rate.h"
#include "data_table.h"

#include <QTest>

// The texts a run ends with are read by people deciding whether their backup is whole.
using namespace Qt::StringLiterals;

class TestCopyMessages : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        addColumns<QString, QString>("text", "expected");
        // clang-format off
        QTest::newRow("all copied") << finishedText(0) << u"FINISHED COPYING"_s;
        QTest::newRow("one problem") << finishedText(1) << u"FINISHED COPYING WITH 1 PROBLEM"_s;
        QTest::newRow("several") << finishedText(12) << u"FINISHED COPYING WITH 12 PROBLEMS"_s;
        // Whatever was not copied or kept is said in the closing message too.
        QTest::newRow("nothing to close with") << problemSummary(0, {}) << u""_s;
        QTest::newRow("entries not copied") << problemSummary(12, {}) << u"12 entries were not copied; the details name each and say why."_s;
        // A copy that reads back otherwise was copied: it is not counted among those not copied.
        QTest::newRow("copies not read back as written") << problemSummary(3, {}, 0, {}, 2) << u"1 entry was not copied; the details name it and say why.\n\n2 copies do not read back as they were written; the details name each and say why."_s;
        QTest::newRow("one copy not read back as written") << problemSummary(1, {}, 0, {}, 1) << u"1 copy does not read back as it was written; the details name it and say why."_s;
        QTest::newRow("owners not kept") << problemSummary(0, notKeptTexts({ MetadataKind::Owner })) << u"The destination could not keep:\n- owners and groups"_s;
        // The check's notes close the message, one where it could not read from the drive.
        QTest::newRow("copies read back") << problemSummary(0, {}, 0, { checkedText(2), notFromDriveText(u"/media/share"_s) }) << u"2 copies were read back from the drive as they were written.\n\nThe copies in \"/media/share\" were read back through a driver that may answer from memory (FUSE or a network share): there the check could not read from the drive itself."_s;
        QTest::newRow("space in MB") << spaceQuestion(48'200'000, 1'900'000) << u"The selected sub-folders hold 48.2 MB; the destination has 1.9 MB free. Copy anyway?"_s;
        QTest::newRow("space beyond the largest size") << spaceQuestion(UINT64_MAX, INT64_MAX) << u"The selected sub-folders hold 9.2 EB+; the destination has 9.2 EB free. Copy anyway?"_s;
        QTest::newRow("space in GB and bytes") << spaceQuestion(5'000'000'000, 512) << u"The selected sub-folders hold 5.0 GB; the destination has 512 bytes free. Copy anyway?"_s;
        QTest::newRow("too early to tell a rate") << rateText(1'000'000, 9'000'000, 100) << u""_s;
        // Seconds left: in the window's test of the "Copying" dialog.
        QTest::newRow("minutes left") << rateText(1'000'000, 301'000'000, 1000) << u"1.0 MB/s, about 5 min left"_s;
        QTest::newRow("hours left") << rateText(1'000'000, 9'001'000'000, 1000) << u"1.0 MB/s, about 2 h 30 min left"_s;
        // clang-format on
    }

    void text()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }
};

QTEST_GUILESS_MAIN(TestCopyMessages)
#include "tst_copy_messages.moc"
