// Reading and showing the daily record window's dates: day first, and the
// hundred-year window for two-digit years.
#include "data/datetext.h"

#include <QTest>

class tst_DateText : public QObject
{
    Q_OBJECT
private slots:
    void twoDigitYearWindow_data();
    void twoDigitYearWindow();
    void readsDayFirst_data();
    void readsDayFirst();
    void refusesWhatIsNoDate_data();
    void refusesWhatIsNoDate();
    void showsAndStores();
};

void tst_DateText::twoDigitYearWindow_data()
{
    QTest::addColumn<int>("twoDigits");
    QTest::addColumn<int>("currentYear");
    QTest::addColumn<int>("year");
    QTest::newRow("first of the window") << 47 << 2026 << 1947;
    QTest::newRow("last of the window") << 46 << 2026 << 2046;
    QTest::newRow("this year") << 26 << 2026 << 2026;
    QTest::newRow("00") << 0 << 2026 << 2000;
    QTest::newRow("99") << 99 << 2026 << 1999;
    QTest::newRow("past 2029 still this century") << 30 << 2026 << 2030;
    QTest::newRow("window moves on") << 60 << 2045 << 2060;
    QTest::newRow("window moves on, old year") << 66 << 2045 << 1966;
    QTest::newRow("next century") << 5 << 2090 << 2105;
    QTest::newRow("century year itself") << 20 << 2000 << 2020;
    QTest::newRow("just after") << 21 << 2000 << 1921;
}

void tst_DateText::twoDigitYearWindow()
{
    QFETCH(int, twoDigits);
    QFETCH(int, currentYear);
    QFETCH(int, year);
    QCOMPARE(diary::fullYearForTwoDigits(twoDigits, currentYear), year);
    // Every result lies in the window ending twenty years on.
    const int result = diary::fullYearForTwoDigits(twoDigits, currentYear);
    QVERIFY(result <= currentYear + 20 && result >= currentYear - 79);
}

void tst_DateText::readsDayFirst_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("design form") << QStringLiteral("09/12/26") << QDate(2026, 12, 9);
    QTest::newRow("one digit day and month") << QStringLiteral("9/1/26") << QDate(2026, 1, 9);
    QTest::newRow("day above twelve") << QStringLiteral("13/02/26") << QDate(2026, 2, 13);
    QTest::newRow("month second, not first") << QStringLiteral("02/03/26") << QDate(2026, 3, 2);
    QTest::newRow("four-digit year as it stands") << QStringLiteral("1/2/1930") << QDate(1930, 2, 1);
    QTest::newRow("old two-digit year") << QStringLiteral("31/12/47") << QDate(1947, 12, 31);
    QTest::newRow("future two-digit year") << QStringLiteral("01/01/46") << QDate(2046, 1, 1);
    QTest::newRow("dashes") << QStringLiteral("9-12-26") << QDate(2026, 12, 9);
    QTest::newRow("dots") << QStringLiteral("9.12.2026") << QDate(2026, 12, 9);
    QTest::newRow("blanks around") << QStringLiteral("  9 / 12 / 26 ") << QDate(2026, 12, 9);
    QTest::newRow("blanks as separators") << QStringLiteral("9 12 26") << QDate(2026, 12, 9);
    QTest::newRow("leap day") << QStringLiteral("29/02/24") << QDate(2024, 2, 29);
    QTest::newRow("stored form") << QStringLiteral("2026-12-09") << QDate(2026, 12, 9);
}

void tst_DateText::readsDayFirst()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    const std::optional<QDate> read = diary::readDayFirstDate(text, 2026);
    QVERIFY(read.has_value());
    QCOMPARE(*read, date);
}

void tst_DateText::refusesWhatIsNoDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("31 February") << QStringLiteral("31/02/26");
    QTest::newRow("not a leap year") << QStringLiteral("29/02/23");
    QTest::newRow("month 13") << QStringLiteral("01/13/26");
    QTest::newRow("day 0") << QStringLiteral("00/12/26");
    QTest::newRow("word") << QStringLiteral("hello");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("   ");
    QTest::newRow("two parts") << QStringLiteral("09/12");
    QTest::newRow("four parts") << QStringLiteral("09/12/26/1");
    QTest::newRow("one-digit year") << QStringLiteral("9/12/6");
    QTest::newRow("three-digit year") << QStringLiteral("9/12/026");
    QTest::newRow("three-digit day") << QStringLiteral("009/12/26");
    QTest::newRow("three-digit month") << QStringLiteral("9/012/26");
    QTest::newRow("three-digit month, year first") << QStringLiteral("2026-012-09");
    QTest::newRow("double separator") << QStringLiteral("9//12/26");
    QTest::newRow("leading separator") << QStringLiteral("/9/12/26");
    QTest::newRow("trailing separator") << QStringLiteral("9/12/26/");
    QTest::newRow("letters inside") << QStringLiteral("9/dec/26");
    QTest::newRow("sign") << QStringLiteral("-9/12/26");
    QTest::newRow("other digits") << QStringLiteral("٩/١٢/٢٦");
    QTest::newRow("year 0") << QStringLiteral("01/01/0000");
    QTest::newRow("long digits") << QStringLiteral("1/1/99999999999999999999");
    QTest::newRow("sql") << QStringLiteral("1/1/26'; DROP TABLE records; --");
}

void tst_DateText::refusesWhatIsNoDate()
{
    QFETCH(QString, text);
    QVERIFY(!diary::readDayFirstDate(text, 2026).has_value());
}

void tst_DateText::showsAndStores()
{
    QCOMPARE(diary::showDate(QDate(2026, 1, 5)), QStringLiteral("05/01/26"));
    QCOMPARE(diary::showDate(QDate(1999, 12, 31)), QStringLiteral("31/12/99"));
    QCOMPARE(diary::storeDate(QDate(2026, 1, 5)), QStringLiteral("2026-01-05"));
    QCOMPARE(diary::showStoredDate(QStringLiteral("2026-01-05")), QStringLiteral("05/01/26"));
    QCOMPARE(diary::showStoredDate(QVariant()), QString());
    // What is not a stored date shows as it is, hiding nothing.
    QCOMPARE(diary::showStoredDate(QStringLiteral("someday")), QStringLiteral("someday"));
    // Shown, then read back, gives the same day within the window.
    for (const QDate &d : {QDate(1947, 3, 4), QDate(2000, 2, 29), QDate(2046, 12, 31)})
        QCOMPARE(diary::readDayFirstDate(diary::showDate(d), 2026).value(), d);
}

QTEST_GUILESS_MAIN(tst_DateText)
#include "tst_datetext.moc"
