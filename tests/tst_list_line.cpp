#include "data_table.h"
#include "listing/date_text.h"
#include "listing/list_line.h"

#include <QDateTime>
#include <QTest>

using namespace Qt::StringLiterals;

class TestListLine : public QObject
{
    Q_OBJECT

private slots:

    void lineLayout_data()
    {
        addColumns<QString, QString, QString>("name", "date", "line");
        const QString date19 = u"06/12/2026 13:45:07"_s;
        // clang-format off
        QTest::newRow("short name, padded") << u"Photos"_s << date19 << u"Photos                                          06/12/2026 13:45:07               "_s;
        QTest::newRow("name of exactly 47 kept whole") << u"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"_s << date19 << u"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 06/12/2026 13:45:07               "_s;
        QTest::newRow("name of 48 loses four middle characters") << u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFuvwxyz"_s << date19 << u"abcdefghijklmnopqrstuvwxyz0123456789AB...uvwxyz 06/12/2026 13:45:07               "_s;
        QTest::newRow("empty name") << u""_s << date19 << u"                                                06/12/2026 13:45:07               "_s;
        QTest::newRow("short date padded") << u"a"_s << u"06/12/2026"_s << u"a                                               06/12/2026                        "_s;
        QTest::newRow("date of 23 moves the size field") << u"a"_s << u"2026-12-06 13:45:07 CET"_s << u"a                                               2026-12-06 13:45:07 CET               "_s;
        // clang-format on
    }

    void lineLayout()
    {
        auto [name, date] = fetch<QString, QString>("name", "date"); // both in and out
        const QString line = formatListLine(name, kListNameWidth, QString(), date, QString());
        QTEST(line, "line");
        // The fields come back as the line holds them.
        QCOMPARE(name + u' ' + date, line.left(name.size() + 1 + date.size()));
    }

    void dateText_data()
    {
        addColumns<QString, QString>("localeName", "expected");
        // 2026-03-04 05:06:07 local time: every field distinct, hours below 12.
        QTest::newRow("C locale: dd/MM/yyyy HH:mm:ss") << u"C"_s << u"04/03/2026 05:06:07"_s;
        QTest::newRow("German: two-digit year widened") << u"de_DE"_s << u"04.03.2026 05:06:07"_s;
        // clang-format off
        QTest::newRow("US English: 24-hour time, four-digit year") << u"en_US"_s << u"3/4/2026 05:06:07"_s;
        // clang-format on
        QTest::newRow("British English") << u"en_GB"_s << u"04/03/2026 05:06:07"_s;
    }

    void dateText()
    {
        QFETCH(QString, localeName);
        const qint64 secs = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)).toSecsSinceEpoch();
        QTEST(DateTextFormat { QLocale(localeName) }.text(secs), "expected");
    }

    void sizeField_data()
    {
        // field: the line's last 13 columns
        addColumns<QString, quint64, bool, QString>("localeName", "bytes", "complete", "field");
        // clang-format off
        QTest::newRow("0 bytes") << u"C"_s << 0ULL << true << u"        0 KB "_s;
        QTest::newRow("1023 bytes, rounded up") << u"C"_s << 1023ULL << true << u"        1 KB "_s;
        QTest::newRow("1025 bytes, not all read") << u"C"_s << 1025ULL << false << u"        2 KB+"_s;
        QTest::newRow("largest in KB") << u"C"_s << 9'999'999ULL * 1024 << false << u"9,999,999 KB+"_s;
        QTest::newRow("a byte more, in MB") << u"C"_s << 9'999'999ULL * 1024 + 1 << true << u"    9,766 MB "_s;
        QTest::newRow("German separator") << u"de_DE"_s << 1'234'567ULL * 1024 << true << u"1.234.567 KB "_s;
        QTest::newRow("8 EiB, everything read") << u"C"_s << (1ULL << 63) << true << u"8,388,608 TB "_s;
        // Three sparse files of 8 EiB: the total stopped at the largest count.
        QTest::newRow("saturated, everything read") << u"C"_s << ~0ULL << true << u"   16,384 PB+"_s;
        QTest::newRow("saturated, not all read") << u"C"_s << ~0ULL << false << u"   16,384 PB+"_s;
        // clang-format on
    }

    void sizeField()
    {
        const auto [localeName, bytes, complete]
            = fetch<QString, quint64, bool>("localeName", "bytes", "complete");
        QString name = u"n"_s, date = u"06/12/2026 13:45:07"_s;
        const QString line = formatListLine(
            name, kListNameWidth, sizeText(bytes, complete, QLocale(localeName)), date, {});
        QCOMPARE(line.left(69),
                 u"n                                               06/12/2026 13:45:07  "_s);
        QTEST(line.mid(69), "field");
    }
};

QTEST_GUILESS_MAIN(TestListLine)
#include "tst_list_line.moc"
