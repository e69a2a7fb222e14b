#include "data_table.h"
#include "engine/source_record.h"

#include <QTest>

#include <linux/magic.h>

// One thing changed from a source copied at 2000 s and unchanged since: nanoseconds added
// to a time, the source's drive, the record made `madeAfter` nanoseconds after the change
// it saw (whole seconds where `wholeSeconds`), or a record of another form read instead.
enum class Form { AsMade, None, AnotherSource, AnotherVersion, CutShort, ByteTooMany, Centuries };
struct Variation
{
    bool rewrite = false, changedIsModified = false, wholeSeconds = false, before1970 = false;
    long copySize = 0, sourceModified = 0, sourceChanged = 0, copyModified = 0, coarseCopy = 0;
    std::uint64_t drive = EXT4_SUPER_MAGIC;
    long madeAfter = 1'000'000'000;
    Form form = Form::AsMade; // what is read from the copy
};
Q_DECLARE_METATYPE(Variation)
Q_DECLARE_METATYPE(UpToDate)

class TestUpToDateRule : public QObject
{
    Q_OBJECT

private slots:
    void decides_data()
    {
        addColumns<Variation, UpToDate>("variation", "verdict");
        // clang-format off
        QTest::newRow("unchanged since the record") << Variation {} << UpToDate::Proven;
        QTest::newRow("full copy asked for") << Variation { .rewrite = true } << UpToDate::Copy;
        QTest::newRow("copy of another size") << Variation { .copySize = -1 } << UpToDate::Copy;
        QTest::newRow("no record") << Variation { .form = Form::None } << UpToDate::CompareData;
        QTest::newRow("record of another source") << Variation { .form = Form::AnotherSource } << UpToDate::CompareData;
        // Mode, owner, attributes, or data written with the time put back.
        QTest::newRow("source changed, time put back") << Variation { .sourceChanged = 1 } << UpToDate::CompareData;
        QTest::newRow("source written since") << Variation { .sourceModified = 1 } << UpToDate::Copy;
        QTest::newRow("copy written since, size kept") << Variation { .copyModified = 1 } << UpToDate::CompareData;
        QTest::newRow("modified before 1970") << Variation { .before1970 = true } << UpToDate::Proven;
        QTest::newRow("copy's drive keeps coarser times") << Variation { .coarseCopy = 1 } << UpToDate::Proven;
        QTest::newRow("source on exFAT") << Variation { .drive = 0x2011BAB0 } << UpToDate::CompareData;
        QTest::newRow("source on FAT") << Variation { .drive = MSDOS_SUPER_MAGIC } << UpToDate::CompareData;
        QTest::newRow("source on exFAT, written since") << Variation { .sourceModified = 1, .drive = 0x2011BAB0 } << UpToDate::Copy;
        QTest::newRow("source through FUSE") << Variation { .drive = 0x65735546 } << UpToDate::Proven;
        QTest::newRow("source through FUSE, change time its modification time") << Variation { .changedIsModified = true, .drive = 0x65735546 } << UpToDate::CompareData;
        QTest::newRow("source on tmpfs, change time its modification time") << Variation { .changedIsModified = true, .drive = TMPFS_MAGIC } << UpToDate::Proven;
        // A change in the same step of the clock as the one recorded leaves the time as it was.
        QTest::newRow("whole seconds, recorded in the second") << Variation { .wholeSeconds = true, .madeAfter = 999'999'999 } << UpToDate::CompareData;
        QTest::newRow("whole seconds, recorded a second after") << Variation { .wholeSeconds = true, .madeAfter = 1'999'999'999 } << UpToDate::CompareData;
        QTest::newRow("whole seconds, recorded two seconds after") << Variation { .wholeSeconds = true, .madeAfter = 2'000'000'000 } << UpToDate::Proven;
        QTest::newRow("nanoseconds, recorded within the tick") << Variation { .madeAfter = 99'999'999 } << UpToDate::CompareData;
        QTest::newRow("nanoseconds, recorded a tenth of a second after") << Variation { .madeAfter = 100'000'000 } << UpToDate::Proven;
        // From another version or another program: no record.
        QTest::newRow("record of another version") << Variation { .form = Form::AnotherVersion } << UpToDate::CompareData;
        QTest::newRow("record cut short") << Variation { .form = Form::CutShort } << UpToDate::CompareData;
        QTest::newRow("record with a byte too many") << Variation { .form = Form::ByteTooMany } << UpToDate::CompareData;
        // Nanoseconds since 1970 in 64 bits end in 2262: no record is made, the data decides.
        QTest::newRow("source dated centuries ahead") << Variation { .form = Form::Centuries } << UpToDate::CompareData;
        // clang-format on
    }

    // The copy is left unread only when the source is what the record says, its drive's
    // change times prove that, and the copy is still what it was given; a source written
    // since is copied without reading the copy. The record is read back as it was written;
    // one of another form is none.
    void decides()
    {
        const auto [v, verdict] = fetch<Variation, UpToDate>("variation", "verdict");
        SourceRecord record { { 12, 100, { 1000, 5 }, { 1010, v.wholeSeconds ? 0 : 7 } } };
        if (v.before1970)
            record.source.modified.tv_sec = -1000;
        if (v.changedIsModified)
            record.source.changed = record.source.modified;
        record.copyModified = record.source.modified;
        record.copyModified.tv_nsec -= 5 * v.coarseCopy;
        record.made = record.source.changed;
        record.made.tv_sec += v.madeAfter / 1'000'000'000;
        record.made.tv_nsec += v.madeAfter % 1'000'000'000;
        // Another source, or one centuries ahead, only while the record is made.
        const std::int64_t centuries = v.form == Form::Centuries ? 400LL * 365 * 24 * 3600 : 0;
        record.source.inode += v.form == Form::AnotherSource;
        record.source.changed.tv_sec += centuries;
        std::optional<std::string> encoded = encodeSourceRecord(record);
        QCOMPARE(encoded.has_value(), v.form != Form::Centuries);
        if (v.form == Form::AnotherVersion)
            ++(*encoded)[0];
        if (v.form == Form::CutShort)
            encoded->pop_back();
        if (v.form == Form::ByteTooMany)
            *encoded += '\0';
        record.source.inode -= v.form == Form::AnotherSource;
        record.source.changed.tv_sec -= centuries;
        UpToDateFacts facts { record.source, record.source.size + v.copySize, record.copyModified,
                              std::nullopt,  changeTimesOf(v.drive),          v.rewrite };
        if (encoded && v.form != Form::None)
            facts.record = decodeSourceRecord(*encoded);
        QCOMPARE(facts.record.has_value(), v.form == Form::AsMade || v.form == Form::AnotherSource);
        facts.source.modified.tv_nsec += v.sourceModified;
        facts.source.changed.tv_nsec += v.sourceChanged + v.sourceModified;
        facts.copyModified.tv_nsec += v.copyModified;
        QCOMPARE(decideUpToDate(facts), verdict);
    }
};

QTEST_APPLESS_MAIN(TestUpToDateRule)
#include "tst_up_to_date_rule.moc"
