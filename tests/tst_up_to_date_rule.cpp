#include "engine/source_record.h"

#include <QTest>

#include <linux/magic.h>

#include <functional>

namespace {

using Change = std::function<void(UpToDateFacts &)>;

// A source copied at 2000 s and unchanged since, its copy as it was given, the record it
// keeps: the state each row changes one thing of.
UpToDateFacts unchangedSinceCopied()
{
    UpToDateFacts facts;
    facts.source = { 12, 100, { 1000, 5 }, { 1010, 7 } };
    facts.copySize = 100;
    facts.copyModified = facts.source.modified;
    facts.record = SourceRecord { facts.source, facts.copyModified, { 2000, 0 } };
    return facts;
}

const char *verdictName(UpToDate verdict)
{
    switch (verdict) {
    case UpToDate::Proven:
        return "proven";
    case UpToDate::CompareData:
        return "compare data";
    case UpToDate::Copy:
        break;
    }
    return "copy";
}

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(UpToDate)

class TestUpToDateRule : public QObject
{
    Q_OBJECT

private slots:
    void decides_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<UpToDate>("verdict");
        const auto row = [](const char *tag, Change change, UpToDate verdict) {
            QTest::newRow(tag) << change << verdict;
        };
        const auto nothing = [](UpToDateFacts &) {
        };
        row("unchanged since the record", nothing, UpToDate::Proven);
        row(
            "full copy asked for", [](UpToDateFacts &f) { f.rewrite = true; }, UpToDate::Copy);
        row(
            "copy of another size", [](UpToDateFacts &f) { f.copySize = 99; }, UpToDate::Copy);
        row(
            "no record", [](UpToDateFacts &f) { f.record.reset(); }, UpToDate::CompareData);
        row(
            "record of another source", [](UpToDateFacts &f) { f.record->source.inode = 13; },
            UpToDate::CompareData);
        // Mode, owner, attributes, or data written with the time put back.
        row(
            "source changed, its time put back",
            [](UpToDateFacts &f) { f.source.changed.tv_sec += 60; }, UpToDate::CompareData);
        row(
            "source changed a nanosecond after the record",
            [](UpToDateFacts &f) { ++f.source.changed.tv_nsec; }, UpToDate::CompareData);
        row(
            "source written since", [](UpToDateFacts &f) { f.source.modified.tv_sec += 60; },
            UpToDate::Copy);
        row(
            "source written a nanosecond later",
            [](UpToDateFacts &f) { ++f.source.modified.tv_nsec; }, UpToDate::Copy);
        row(
            "copy written since, its size kept",
            [](UpToDateFacts &f) { f.copyModified.tv_sec += 60; }, UpToDate::CompareData);
        row(
            "copy's time moved by a nanosecond", [](UpToDateFacts &f) { ++f.copyModified.tv_nsec; },
            UpToDate::CompareData);
        row(
            "copy's drive keeps coarser times",
            [](UpToDateFacts &f) { f.copyModified.tv_nsec = f.record->copyModified.tv_nsec = 0; },
            UpToDate::Proven);
        row(
            "source on exFAT or FAT",
            [](UpToDateFacts &f) { f.sourceTimes = ChangeTimes::ProveNothing; },
            UpToDate::CompareData);
        row(
            "source on exFAT, written since",
            [](UpToDateFacts &f) {
                f.sourceTimes = ChangeTimes::ProveNothing;
                f.source.modified.tv_sec += 60;
            },
            UpToDate::Copy);
        row(
            "source through FUSE, change time apart",
            [](UpToDateFacts &f) { f.sourceTimes = ChangeTimes::ProveWhereApart; },
            UpToDate::Proven);
        row(
            "source through FUSE, change time its modification time",
            [](UpToDateFacts &f) {
                f.sourceTimes = ChangeTimes::ProveWhereApart;
                f.source.changed = f.record->source.changed = f.source.modified;
            },
            UpToDate::CompareData);
        const auto wholeSeconds = [](std::int64_t madeAfter) {
            return [madeAfter](UpToDateFacts &f) {
                f.source.changed.tv_nsec = f.record->source.changed.tv_nsec = 0;
                f.record->made = { f.source.changed.tv_sec + madeAfter, 0 };
            };
        };
        row("whole-second change time, recorded within the second", wholeSeconds(0),
            UpToDate::CompareData);
        row("whole-second change time, recorded a second after", wholeSeconds(1),
            UpToDate::CompareData);
        row("whole-second change time, recorded two seconds after", wholeSeconds(2),
            UpToDate::Proven);
        row("whole-second change time, recorded by a clock behind", wholeSeconds(-30),
            UpToDate::CompareData);
        const auto recordedAfter = [](long nanos) {
            return [nanos](UpToDateFacts &f) {
                f.record->made = f.source.changed;
                f.record->made.tv_nsec += nanos;
            };
        };
        // Within the tick of a kernel that stamps changes coarsely.
        row("change time to the nanosecond, recorded at once", recordedAfter(0),
            UpToDate::CompareData);
        row("change time to the nanosecond, recorded a tenth of a second after",
            recordedAfter(100'000'000), UpToDate::Proven);
    }

    // The copy is left unread only when the source is what the record says and the copy is
    // still what it was given; a source written since is copied without reading the copy.
    void decides()
    {
        QFETCH(Change, change);
        QFETCH(UpToDate, verdict);
        UpToDateFacts facts = unchangedSinceCopied();
        change(facts);
        QCOMPARE(verdictName(decideUpToDate(facts)), verdictName(verdict));
    }

    void changeTimesOfDrives_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<int>("worth");
        QTest::newRow("ext4") << quint64(EXT4_SUPER_MAGIC) << int(ChangeTimes::Prove);
        QTest::newRow("tmpfs") << quint64(TMPFS_MAGIC) << int(ChangeTimes::Prove);
        QTest::newRow("FAT") << quint64(MSDOS_SUPER_MAGIC) << int(ChangeTimes::ProveNothing);
        QTest::newRow("exFAT") << quint64(0x2011BAB0) << int(ChangeTimes::ProveNothing);
        QTest::newRow("FUSE") << quint64(0x65735546) << int(ChangeTimes::ProveWhereApart);
    }

    void changeTimesOfDrives()
    {
        QFETCH(quint64, type);
        QFETCH(int, worth);
        QCOMPARE(int(changeTimesOf(type)), worth);
    }

    void recordsReadBack()
    {
        const SourceRecord record {
            { 1ULL << 40, 123456789012, { 1'700'000'000, 1 }, { -5, 999'999'999 } },
            { 1'700'000'000, 0 },
            { 1'800'000'000, 42 }
        };
        const std::string text = encodeSourceRecord(record);
        QCOMPARE(text.substr(0, 2), std::string("1 "));
        const std::optional<SourceRecord> back = decodeSourceRecord(text);
        QVERIFY(back);
        QCOMPARE(encodeSourceRecord(*back), text);
        UpToDateFacts facts;
        facts.source = record.source;
        facts.copySize = record.source.size;
        facts.copyModified = record.copyModified;
        facts.record = back;
        QCOMPARE(verdictName(decideUpToDate(facts)), verdictName(UpToDate::Proven));
    }

    void recordsOfOtherForms_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another version")
            << QByteArray("2 1 2 3.000000004 5.000000006 7.000000008 9.000000000");
        QTest::newRow("a field missing") << QByteArray("1 1 2 3.000000004 5.000000006 7.000000008");
        QTest::newRow("a field too many")
            << QByteArray("1 1 2 3.000000004 5.000000006 7.000000008 9.000000000 1");
        QTest::newRow("nanoseconds of a whole second")
            << QByteArray("1 1 2 3.1000000000 5.000000006 7.000000008 9.000000000");
        QTest::newRow("a time without nanoseconds")
            << QByteArray("1 1 2 3 5.000000006 7.000000008 9.000000000");
        QTest::newRow("a negative size")
            << QByteArray("1 1 -2 3.000000004 5.000000006 7.000000008 9.000000000");
    }

    // Anything else, from another version or another program, is no record.
    void recordsOfOtherForms()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!decodeSourceRecord(text.toStdString()));
    }
};

QTEST_APPLESS_MAIN(TestUpToDateRule)
#include "tst_up_to_date_rule.moc"
