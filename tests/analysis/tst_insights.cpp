// Insights figures on small data worked out by hand (each literal computed
// apart from this code, with 30-digit arithmetic), and the promises of the
// method checked by simulation with fixed seeds.
#include "analysis/diaryread.h"
#include "analysis/insights.h"
#include "analysis/items.h"
#include "analysis/model.h"
#include "analysis/stats.h"
#include "simdiary.h"
#include "testsupport.h"

#include <QTest>

#include <cmath>
#include <cstdlib>
#include <random>

using namespace analysis;

Q_DECLARE_METATYPE(analysis::OwnLists)

namespace {

int fieldIndex(const char *name)
{
    for (int f = 0; f < kItemFieldCount; ++f) {
        if (itemFields()[size_t(f)] == QLatin1String(name))
            return f;
    }
    return -1;
}

DiaryDay day(qint64 id, const char *date, QVariant score,
             std::initializer_list<std::pair<const char *, const char *>> items = {})
{
    DiaryDay d;
    d.id = id;
    d.date = date ? QVariant(QLatin1String(date)) : QVariant();
    d.score = std::move(score);
    for (const auto &[field, text] : items)
        d.fields[size_t(fieldIndex(field))] = QString::fromUtf8(text);
    return d;
}

const ItemStats *find(const Insights &in, const QString &item, Kind kind)
{
    for (const ItemStats &s : in.items) {
        if (s.item == item && s.kind == kind)
            return &s;
    }
    return nullptr;
}

// Eleven days in March. COFFEE, written five ways, is drunk on days 1, 3, 5,
// 7 and 9; the next days score 3, 4, 4, 5, 6 against 6, 7, 7, 8, 9 after the
// other days. TOAST is eaten every day, MILK once as a drink, once as food.
std::vector<DiaryDay> handDiary()
{
    return {
        day(1, "2026-03-01", 5, {{"BREAKFAST", "TOAST"}, {"BEVERAGE1", "2*COFFEE"}}),
        day(2, "2026-03-02", 3, {{"BREAKFAST", "TOAST; MILK"}}),
        day(3, "2026-03-03", 6, {{"BREAKFAST", "toast"}, {"BEVERAGE2", "coffee"}}),
        day(4, "2026-03-04", 4, {{"BREAKFAST", "TOAST"}}),
        day(5, "2026-03-05", 7, {{"BREAKFAST", "TOAST"}, {"BEVERAGE3", "Coffee "}}),
        day(6, "2026-03-06", 4, {{"BREAKFAST", "TOAST"}}),
        day(7, "2026-03-07", 7, {{"BREAKFAST", "TOAST"}, {"BEVERAGE1", "COFFEE, MILK"}}),
        day(8, "2026-03-08", 5, {{"BREAKFAST", "TOAST"}}),
        day(9, "2026-03-09", 8, {{"BREAKFAST", "TOAST"}, {"BEVERAGE1", "COFFEE"}, {"BEVERAGE4", "2 x coffee"}}),
        day(10, "2026-03-10", 6, {{"BREAKFAST", "TOAST"}}),
        day(11, "2026-03-11", 9, {{"BREAKFAST", "TOAST"}}),
    };
}

} // namespace

class tst_insights : public QObject
{
    Q_OBJECT
private slots:
    void splitItems_data();
    void splitItems();
    void storedDay_onlyStrictDays_data();
    void storedDay_onlyStrictDays();
    void readDiaryContents_valuesAsStored_data();
    void readDiaryContents_valuesAsStored();
    void handDiary_tooShort_saysHowManyDays();
    void handDiary_groupsAndEvidence();
    void listedItem_contradictingVerdict_isFlagged_data();
    void listedItem_contradictingVerdict_isFlagged();
    void calendarLag_data();
    void calendarLag();
    void rollingMeans_calendarWindow();
    void benjaminiHochberg_tiesShareQ_data();
    void benjaminiHochberg_tiesShareQ();
    void timeSplines_values_data();
    void timeSplines_values();
    void leastSquares_twoItemsAndTrend_data();
    void leastSquares_twoItemsAndTrend();
    void carryOver_clipped_data();
    void carryOver_clipped();
    void whitenedRow_chainAndFirst();
    void fitModel_seAndTonNminusK();
    void fitModel_closedSet_measuredAgainstItsPeers();
    void tTest_publishedFigures();
    void capacity_rule_data();
    void capacity_rule();
    void twins_areAliasedWithEachOther();
    void partner_toldFrom70Percent_data();
    void partner_toldFrom70Percent();
    void simulation_nullDesigns_fewVerdicts();
    void simulation_plantedEffect_foundAtItsLag_data();
    void simulation_plantedEffect_foundAtItsLag();
    void simulation_innocentPartner_isCleared();
    void simulation_closedBreakfastSet_isNotAliased();
    void simulation_manyItems_everyItemAccountedFor();
};

void tst_insights::splitItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("dose star") << QStringLiteral("2*COFFEE") << QStringList{QStringLiteral("COFFEE")};
    QTest::newRow("dose star blanks") << QStringLiteral("10 * ASPIRIN") << QStringList{QStringLiteral("ASPIRIN")};
    QTest::newRow("dose x") << QStringLiteral("2 X coffee") << QStringList{QStringLiteral("coffee")};
    QTest::newRow("separators") << QStringLiteral("2 x TEA, milk; sugar\nTOAST AND JAM\r\nJAM")
                                << QStringList{QStringLiteral("TEA"), QStringLiteral("milk"), QStringLiteral("sugar"),
                                               QStringLiteral("TOAST AND JAM"), QStringLiteral("JAM")};
    QTest::newRow("digits of a name") << QStringLiteral("5-HT4 ANTAGONIST")
                                      << QStringList{QStringLiteral("5-HT4 ANTAGONIST")};
    QTest::newRow("digits then word") << QStringLiteral("7 UP") << QStringList{QStringLiteral("7 UP")};
    QTest::newRow("only separators") << QStringLiteral(" ,, ;\n ") << QStringList{};
    QTest::newRow("dose alone") << QStringLiteral("2*; Coffee ") << QStringList{QStringLiteral("Coffee")};
}

void tst_insights::splitItems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(analysis::splitItems(text), items);
}

void tst_insights::handDiary_groupsAndEvidence()
{
    const Insights in = computeInsights(handDiary(), OwnLists{});
    QCOMPARE(in.items.size(), size_t(4)); // TOAST, MILK (food); COFFEE, MILK (drink)
    const ItemStats *coffee = find(in, QStringLiteral("COFFEE"), Kind::Drink);
    QVERIFY(coffee);
    QCOMPARE(coffee->evidence.size(), size_t(5));
    const ItemStats &c = *coffee;
    QCOMPARE(in.days[size_t(c.evidence[4].day)].date, QDate(2026, 3, 9));
    QCOMPARE(c.evidence[4].id, qint64(9));
    QCOMPARE(fieldNames(c.evidence[4].fields), QStringLiteral("BEVERAGE1, BEVERAGE4"));
    QCOMPARE(*in.days[size_t(c.evidence[4].day)].outcome, 6.0);
    const ItemStats *milkDrink = find(in, QStringLiteral("MILK"), Kind::Drink);
    const ItemStats *milkFood = find(in, QStringLiteral("MILK"), Kind::Food);
    QVERIFY(milkDrink && milkFood);
    QCOMPARE(milkDrink->days, 1);
    QCOMPARE(*milkDrink->withMean, 5.0);
    QCOMPARE(*milkFood->withMean, 6.0);
    QCOMPARE(milkFood->verdict, Verdict::TooFewDays);
    QVERIFY(!milkFood->p && !milkFood->ciLow);
}

void tst_insights::listedItem_contradictingVerdict_isFlagged_data()
{
    QTest::addColumn<OwnLists>("lists");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("contradicts");
    QTest::newRow("adequate") << OwnLists{QStringLiteral("BREAD\n coffee "), {}, {}, {}} << QStringLiteral("adequate")
                              << true;
    QTest::newRow("irritating") << OwnLists{{}, QStringLiteral("2*Coffee"), {}, {}} << QStringLiteral("irritating")
                                << false;
    QTest::newRow("both") << OwnLists{QStringLiteral("COFFEE"), QStringLiteral("coffee"), {}, {}}
                          << QStringLiteral("adequate+irritating") << true;
    QTest::newRow("medication lists do not hold drinks")
        << OwnLists{{}, {}, QStringLiteral("COFFEE"), QStringLiteral("COFFEE")} << QString() << false;
}

void tst_insights::listedItem_contradictingVerdict_isFlagged()
{
    QFETCH(OwnLists, lists);
    QFETCH(QString, names);
    QFETCH(bool, contradicts);
    // Two years in which the drink COFFEE lowers the next day's score by 3.
    sim::Shape shape;
    shape.days = 730;
    shape.planted = true;
    shape.plantedEffect = -3;
    std::mt19937 rng(5150);
    std::vector<DiaryDay> rows = sim::diary(shape, rng);
    for (DiaryDay &r : rows)
        r.fields[size_t(fieldIndex("BEVERAGE4"))].replace(QStringLiteral("PLANTED"), QStringLiteral("Coffee"));
    const Insights in = computeInsights(rows, lists);
    const ItemStats *coffee = find(in, QStringLiteral("Coffee"), Kind::Drink);
    QVERIFY(coffee);
    QCOMPARE(coffee->verdict, Verdict::SeemsToDisagree);
    QCOMPARE(listNames(coffee->lists), names);
    QCOMPARE(coffee->contradicts, contradicts);
}

void tst_insights::calendarLag_data()
{
    QTest::addColumn<int>("lag");
    QTest::addColumn<QList<double>>("outcomes"); // per calendar day; -1 for none
    // 01/03 scored 5; 02/03 two rows scored 8 and 6; 03/03 missing; 04/03
    // scored 3; 05/03 unscored; 06/03 scored 6.
    QTest::newRow("same day") << 0 << QList<double>{5, 7, 3, -1, 6};
    QTest::newRow("next day") << 1 << QList<double>{7, -1, -1, 6, -1};
    QTest::newRow("two days after") << 2 << QList<double>{-1, 3, 6, -1, -1};
}

void tst_insights::calendarLag()
{
    QFETCH(int, lag);
    QFETCH(QList<double>, outcomes);
    const std::vector<DiaryDay> rows{
        day(1, "2026-03-06", 6, {{"LUNCH", "SOUP"}}),
        day(2, "2026-03-02", 8, {{"LUNCH", "SOUP"}}),
        day(3, "2026-03-01", 5),
        day(4, "2026-03-04", 3),
        day(5, "2026-03-02", 6, {{"TEA", "PIE"}, {"LUNCH", "soup"}}),
        day(6, "2026-03-05", QVariant()),
        day(7, "2026-02-31", 9, {{"LUNCH", "GHOST"}}),
        day(8, nullptr, 9),
        day(9, "2026/03/03", 4, {{"LUNCH", "SOUP"}}),
    };
    const Insights in = computeInsights(rows, OwnLists{}, lag);
    QCOMPARE(in.rowsWithoutValidDate, 3);
    // Only 06/03 is scored with its two days before written.
    QCOMPARE(in.modelRows, 1);
    QCOMPARE(in.days.size(), size_t(5));
    QCOMPARE(in.days[1].date, QDate(2026, 3, 2));
    for (int i = 0; i < 5; ++i) {
        const std::optional<double> o = in.days[size_t(i)].outcome;
        QCOMPARE(o ? *o : -1.0, outcomes.at(i));
    }
    // Two rows of one date are one day holding both rows' items.
    const ItemStats *soup = find(in, QStringLiteral("SOUP"), Kind::Food);
    QVERIFY(soup);
    QCOMPARE(soup->evidence.size(), size_t(2));
    QCOMPARE(soup->evidence[0].id, qint64(2));
    QVERIFY(find(in, QStringLiteral("PIE"), Kind::Food));
    QVERIFY(!find(in, QStringLiteral("GHOST"), Kind::Food));
}

void tst_insights::rollingMeans_calendarWindow()
{
    // 01/03 scored 2, 02/03 scored 4, 03/03 missing, 04/03 unscored, 05/03 scored 9.
    std::vector<CalendarDay> days(4);
    days[0].date = QDate(2026, 3, 1);
    days[0].score = 2;
    days[1].date = QDate(2026, 3, 2);
    days[1].score = 4;
    days[2].date = QDate(2026, 3, 4);
    days[3].date = QDate(2026, 3, 5);
    days[3].score = 9;
    const std::vector<std::optional<double>> three = rollingMeans(days, 3);
    QCOMPARE(*three[0], 2.0);
    QCOMPARE(*three[1], 3.0);
    QCOMPARE(*three[2], 4.0); // 02/03 to 04/03
    QCOMPARE(*three[3], 9.0); // 03/03 to 05/03
    const std::vector<std::optional<double>> one = rollingMeans(days, 1);
    QVERIFY(!one[2]);
}

void tst_insights::benjaminiHochberg_tiesShareQ_data()
{
    QTest::addColumn<bool>("dependent");
    QTest::addColumn<QList<double>>("q");
    // p 0.04, 0.02, 0.3, 0.001, 0.02: ranks 4, 2-3, 5, 1; p*5/rank is
    // 0.05, 0.0333, 0.3, 0.005, and the running minimum from the top keeps them.
    QTest::newRow("BH") << false << QList<double>{0.05, 0.0333333, 0.3, 0.005, 0.0333333};
    // Times 1 + 1/2 + 1/3 + 1/4 + 1/5 = 2.283333.
    QTest::newRow("BY") << true << QList<double>{0.1141667, 0.0761111, 0.685, 0.0114167, 0.0761111};
}

void tst_insights::benjaminiHochberg_tiesShareQ()
{
    QFETCH(bool, dependent);
    QFETCH(QList<double>, q);
    const std::vector<double> got = benjaminiHochberg({0.04, 0.02, 0.3, 0.001, 0.02}, dependent);
    QCOMPARE(got.size(), size_t(5));
    for (int i = 0; i < 5; ++i)
        QVERIFY2(std::abs(got[size_t(i)] - q.at(i)) < 1e-6, qPrintable(QString::number(got[size_t(i)])));
}

void tst_insights::storedDay_onlyStrictDays_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QDate>("day");
    QTest::newRow("stored form") << QVariant(QStringLiteral("2016-03-06")) << QDate(2016, 3, 6);
    QTest::newRow("leap day") << QVariant(QStringLiteral("2024-02-29")) << QDate(2024, 2, 29);
    QTest::newRow("slashes") << QVariant(QStringLiteral("2016/03/06")) << QDate();
    QTest::newRow("dots") << QVariant(QStringLiteral("2016.03.07")) << QDate();
    QTest::newRow("short parts") << QVariant(QStringLiteral("2016-3-6")) << QDate();
    QTest::newRow("not on the calendar") << QVariant(QStringLiteral("2023-02-29")) << QDate();
    QTest::newRow("blank first") << QVariant(QStringLiteral(" 2016-03-6")) << QDate();
    QTest::newRow("signs") << QVariant(QStringLiteral("2016-+3-06")) << QDate();
    QTest::newRow("null") << QVariant() << QDate();
}

void tst_insights::storedDay_onlyStrictDays()
{
    QFETCH(QVariant, stored);
    QFETCH(QDate, day);
    const std::optional<QDate> got = storedDay(stored);
    QCOMPARE(got.value_or(QDate()), day);
}

void tst_insights::readDiaryContents_valuesAsStored_data()
{
    // What another tool may have stored, past the diary's CHECKs, and what
    // the insights are given for it.
    QTest::addColumn<QString>("values"); // DATE, OVERALL SCORE, BREAKFAST as SQL
    QTest::addColumn<QVariant>("date");
    QTest::addColumn<QVariant>("score");
    QTest::addColumn<QString>("breakfast");
    QTest::newRow("as the program writes")
        << "'2026-03-01', 7, 'TOAST'" << QVariant(QStringLiteral("2026-03-01")) << QVariant(qint64(7)) << "TOAST";
    QTest::newRow("beyond ASCII") << "'2026-03-01', 7, 'CRÈME BRÛLÉE 🍮'" << QVariant(QStringLiteral("2026-03-01"))
                                  << QVariant(qint64(7)) << QStringLiteral("CRÈME BRÛLÉE 🍮");
    QTest::newRow("text as bytes") << "'2026-03-01', 7, X'4F415453'" << QVariant(QStringLiteral("2026-03-01"))
                                   << QVariant(qint64(7)) << "OATS";
    QTest::newRow("fractional score") << "'2026-03-01', 7.5, NULL" << QVariant(QStringLiteral("2026-03-01"))
                                      << QVariant(7.5) << QString();
    QTest::newRow("score as words") << "'2026-03-01', 'seven', ''" << QVariant(QStringLiteral("2026-03-01"))
                                    << QVariant(QStringLiteral("seven")) << QString();
    QTest::newRow("day as a number") << "20260301, NULL, 'TOAST'" << QVariant(qint64(20260301))
                                     << QVariant(QMetaType::fromType<QString>()) << "TOAST";
}

void tst_insights::readDiaryContents_valuesAsStored()
{
    QFETCH(QString, values);
    QFETCH(QVariant, date);
    QFETCH(QVariant, score);
    QFETCH(QString, breakfast);
    testing_support::TempDiary diary;
    QVERIFY2(diary.ok(), qPrintable(diary.error()));
    // The same text twice: the second is read as the first.
    for (int i = 0; i < 2; ++i) {
        QVERIFY(diary.execPastChecks(QStringLiteral("INSERT INTO records (DATE, [OVERALL SCORE], BREAKFAST) VALUES (") +
                                     values + QStringLiteral(")")));
    }
    const DiaryContents read = readDiaryContents(diary.path());
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.rows.size(), size_t(2));
    for (const DiaryDay &d : read.rows) {
        QCOMPARE(d.date, date);
        QCOMPARE(d.score.typeId(), score.typeId());
        QCOMPARE(d.score, score);
        QCOMPARE(d.fields[size_t(fieldIndex("BREAKFAST"))], breakfast);
        QVERIFY(d.id > 0);
    }
}

void tst_insights::handDiary_tooShort_saysHowManyDays()
{
    const Insights in = computeInsights(handDiary(), OwnLists{});
    // The plain comparison stays: both variances 1.3, se 0.72111, 8 degrees
    // of freedom, t 2.306004.
    const ItemStats *coffee = find(in, QStringLiteral("COFFEE"), Kind::Drink);
    QVERIFY(coffee);
    QCOMPARE(coffee->days, 5);
    QCOMPARE(*coffee->withMean, 4.4);
    QCOMPARE(*coffee->withoutMean, 7.4);
    QVERIFY(std::abs(*coffee->ciLow + 4.662883) < 1e-5);
    QVERIFY(std::abs(*coffee->ciHigh + 1.337117) < 1e-5);
    // Nine rows (3 to 11 March), 11 days span: intercept and three splines
    // plus one item's three columns is 7, and N - max(30, N/4) >= 7 first
    // holds at N = 37: 28 days more.
    QCOMPARE(in.modelRows, 9);
    QCOMPARE(in.splines, 3);
    QCOMPARE(in.moreDaysNeeded, 28);
    QCOMPARE(coffee->verdict, Verdict::NotJudged);
    QVERIFY2(coffee->notJudged.contains(QStringLiteral("28 more")), qPrintable(coffee->notJudged));
    QVERIFY(!coffee->p && !coffee->adjusted);
    // On every row: nothing to compare with.
    QCOMPARE(find(in, QStringLiteral("TOAST"), Kind::Food)->verdict, Verdict::CannotCompare);
    QCOMPARE(find(in, QStringLiteral("MILK"), Kind::Drink)->verdict, Verdict::TooFewDays);
    // COFFEE's days all hold TOAST, but TOAST is on every day and says
    // nothing; MILK the drink shares one of COFFEE's five days, and COFFEE
    // MILK's only day.
    QCOMPARE(coffee->partner, QStringLiteral("MILK"));
    QCOMPARE(coffee->partnerKind, Kind::Drink);
    QCOMPARE(coffee->partnerShare, 0.2);
    QCOMPARE(partnerText(*coffee), QString());
    QCOMPARE(partnerText(*find(in, QStringLiteral("MILK"), Kind::Drink)), QStringLiteral("COFFEE 100%"));
}

void tst_insights::timeSplines_values_data()
{
    QTest::addColumn<double>("u");
    QTest::addColumn<QList<double>>("values");
    // 181 days: knots at 60 and 120 on [0, 180]; five splines kept of six.
    QTest::newRow("start") << 0.0 << QList<double>{0, 0, 0, 0, 0};
    QTest::newRow("30") << 30.0 << QList<double>{0.59375, 0.2604166667, 0.02083333333, 0, 0};
    QTest::newRow("on a knot") << 60.0 << QList<double>{0.25, 0.5833333333, 0.1666666667, 0, 0};
    QTest::newRow("90") << 90.0 << QList<double>{0.03125, 0.46875, 0.46875, 0.03125, 0};
    QTest::newRow("150") << 150.0 << QList<double>{0, 0.02083333333, 0.2604166667, 0.59375, 0.125};
    QTest::newRow("end") << 180.0 << QList<double>{0, 0, 0, 0, 1};
}

void tst_insights::timeSplines_values()
{
    QFETCH(double, u);
    QFETCH(QList<double>, values);
    const TimeSplines splines(181);
    QCOMPARE(splines.count(), 5);
    const std::vector<double> got = splines.values(u);
    QCOMPARE(got.size(), size_t(5));
    for (int i = 0; i < 5; ++i)
        QVERIFY2(std::abs(got[size_t(i)] - values.at(i)) < 1e-9, qPrintable(QString::number(got[size_t(i)], 'g', 12)));
    // A knot every 90 days: 7 at a year, 11 at two, 408 at a hundred.
    QCOMPARE(TimeSplines(365).count(), 7);
    QCOMPARE(TimeSplines(730).count(), 11);
    QCOMPARE(TimeSplines(36500).count(), 408);
}

namespace {

// Eight rows: intercept, a trend u = 0..7, item A, item B.
Design twoItemsAndTrend()
{
    const int a[] = {1, 1, 0, 0, 1, 0, 1, 0};
    const int b[] = {0, 1, 1, 0, 0, 1, 1, 0};
    Design d;
    d.columns = 4;
    d.y = {5, 3, 6, 7, 4, 6, 2, 8};
    d.previous.assign(8, -1);
    for (int i = 0; i < 8; ++i) {
        SparseRow row{{0, 1.0}};
        if (i > 0)
            row.push_back({1, double(i)});
        if (a[i])
            row.push_back({2, 1.0});
        if (b[i])
            row.push_back({3, 1.0});
        d.x.push_back(row);
    }
    return d;
}

} // namespace

void tst_insights::leastSquares_twoItemsAndTrend_data()
{
    QTest::addColumn<bool>("iterative");
    QTest::newRow("factor") << false;
    QTest::newRow("conjugate gradients") << true;
}

void tst_insights::leastSquares_twoItemsAndTrend()
{
    QFETCH(bool, iterative);
    const LeastSquares fit = iterative ? leastSquaresIterative(twoItemsAndTrend()) : leastSquares(twoItemsAndTrend());
    QVERIFY(fit.ok);
    const double expected[] = {7.993333333, -0.08666666667, -3.38, -1.75};
    for (int j = 0; j < 4; ++j)
        QVERIFY2(std::abs(fit.beta[j] - expected[j]) < 1e-6, qPrintable(QString::number(fit.beta[j], 'g', 10)));
    QVERIFY(std::abs(fit.residuals[0] - 0.38666667) < 1e-6);
    QVERIFY(std::abs(fit.residuals[7] - 0.61333333) < 1e-6);
}

void tst_insights::carryOver_clipped_data()
{
    QTest::addColumn<QList<double>>("residuals");
    QTest::addColumn<QList<int>>("previous");
    QTest::addColumn<double>("phi");
    // Pairs (1,2), (2,-1), (0.5,3): 2 - 2 + 1.5 = 1.5 over 15.25.
    QTest::newRow("two chains") << QList<double>{1, 2, -1, 0.5, 3} << QList<int>{-1, 0, 1, -1, 3} << 0.09836065574;
    QTest::newRow("negative, clipped to 0") << QList<double>{1, -1, 1, -1} << QList<int>{-1, 0, 1, 2} << 0.0;
    // 2*3 + 3*3 + 3*3 = 24 over 4+9+9+9 = 31: 0.774.
    QTest::newRow("strong") << QList<double>{2, 3, 3, 3} << QList<int>{-1, 0, 1, 2} << 0.7741935484;
    // 1+1+1 over 1+1+1+1 with the last day's own square... 3/4; one more
    // equal day: 4/5; the chain never breaks at 20 equal days: 19/20 = 0.95.
    QTest::newRow("clipped to 0.95") << QList<double>(21, 1.0) << [] {
        QList<int> p{-1};
        for (int i = 0; i < 20; ++i)
            p << i;
        return p;
    }() << 0.95;
}

void tst_insights::carryOver_clipped()
{
    QFETCH(QList<double>, residuals);
    QFETCH(QList<int>, previous);
    QFETCH(double, phi);
    const double got = carryOver(std::vector<double>(residuals.begin(), residuals.end()),
                                 std::vector<int>(previous.begin(), previous.end()));
    QVERIFY2(std::abs(got - phi) < 1e-9, qPrintable(QString::number(got, 'g', 12)));
}

void tst_insights::whitenedRow_chainAndFirst()
{
    Design d;
    d.columns = 6;
    d.x = {SparseRow{{0, 1.0}, {3, 1.0}, {5, 1.0}}, SparseRow{{0, 1.0}, {2, 1.0}, {5, 1.0}}};
    d.y = {5, 7};
    d.previous = {-1, 0};
    const Design w = whitened(d, 0.6);
    // The first of a chain times sqrt(1 - 0.36) = 0.8.
    QCOMPARE(w.x[0].size(), size_t(3));
    QVERIFY(std::abs(w.y[0] - 4.0) < 1e-12);
    for (const Entry &e : w.x[0])
        QVERIFY(std::abs(e.value - 0.8) < 1e-12);
    // The next: itself less 0.6 of the day before, 7 - 0.6 * 5 = 4.
    QVERIFY(std::abs(w.y[1] - 4.0) < 1e-12);
    const std::vector<std::pair<int, double>> expected{{0, 0.4}, {2, 1.0}, {3, -0.6}, {5, 0.4}};
    QCOMPARE(w.x[1].size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(w.x[1][i].column, expected[i].first);
        QVERIFY(std::abs(w.x[1][i].value - expected[i].second) < 1e-12);
    }
}

void tst_insights::fitModel_seAndTonNminusK()
{
    // No chain, so no carry-over: the whitened fit is OLS; RSS 1.343333 on
    // 8 - 4 = 4 degrees of freedom.
    const ModelFit fit = fitModel(twoItemsAndTrend());
    QVERIFY(fit.ok);
    QCOMPARE(fit.df, 4);
    QCOMPARE(fit.phi, 0.0);
    QVERIFY2(std::abs(fit.s2 - 0.3358333333) < 1e-8, qPrintable(QString::number(fit.s2, 'g', 10)));
    const CoefficientTest a = tTest(fit.beta[2], fit.s2 * fit.inverseDiagonal[2], fit.df);
    QVERIFY2(std::abs(a.se - 0.4336665386) < 1e-7, qPrintable(QString::number(a.se, 'g', 10)));
    QVERIFY2(std::abs(a.t + 7.794006914) < 1e-5, qPrintable(QString::number(a.t, 'g', 10)));
    QVERIFY2(std::abs(a.p - 0.001461800978) < 1e-8, qPrintable(QString::number(a.p, 'g', 10)));
    // t(0.975; 4) = 2.776445105.
    QVERIFY(std::abs(a.low + 4.584051338) < 1e-6);
    QVERIFY(std::abs(a.high + 2.175948662) < 1e-6);

    // Variances worked out from column 2 on only: the same there, and the
    // whole diagonal and any row of A^-1 still on demand.
    Design tail = twoItemsAndTrend();
    tail.variancesFrom = 2;
    const ModelFit part = fitModel(tail);
    QVERIFY(part.ok);
    QCOMPARE(part.inverseDiagonal[0], 0.0);
    QCOMPARE(part.inverseDiagonal[1], 0.0);
    const Eigen::VectorXd full = part.fullInverseDiagonal();
    for (int j = 0; j < tail.columns; ++j) {
        QVERIFY(std::abs(full[j] - fit.inverseDiagonal[j]) < 1e-12);
        QVERIFY(std::abs(part.inverseRow(j)[j] - fit.inverseDiagonal[j]) < 1e-12);
        if (j >= 2)
            QVERIFY(std::abs(part.inverseDiagonal[j] - fit.inverseDiagonal[j]) < 1e-12);
    }
}

void tst_insights::fitModel_closedSet_measuredAgainstItsPeers()
{
    // Every day holds A or B: with the intercept, only their difference can
    // be measured (mean 5 on A's three days, 8 on B's two: -3). Against the
    // usual one (weights 3 and 2, so 3 bA + 2 bB = 0): bA = -3 * 2/5 = -1.2,
    // bB = 3 * 3/5 = 1.8. RSS 4 on 5 - 3 = 2 degrees of freedom, s2 = 2;
    // var(bA) = 2 * (2/5)^2 * (1/3 + 1/2) = 0.26667, var(bB) = 2 * (3/5)^2 * 5/6 = 0.6.
    Design d;
    d.columns = 3;
    d.y = {4, 7, 6, 9, 5};
    d.previous.assign(5, -1);
    const bool a[] = {true, false, true, false, true};
    for (const bool isA : a)
        d.x.push_back(SparseRow{{0, 1.0}, {isA ? 1 : 2, 1.0}});
    const ModelFit alone = fitModel(d);
    QVERIFY(alone.ok);
    QVERIFY(alone.inflation(1) > kAliasInflation && alone.inflation(2) > kAliasInflation);

    const ModelFit fit = fitModel(d, {}, {1, 2});
    QVERIFY(fit.ok);
    QCOMPARE(fit.df, 2);
    const double expected[][2] = {{-1.2, 0.2666666667}, {1.8, 0.6}};
    for (int j = 1; j <= 2; ++j) {
        QVERIFY2(std::abs(fit.beta[j] - expected[j - 1][0]) < 1e-4, qPrintable(QString::number(fit.beta[j], 'g', 10)));
        const double variance = fit.s2 * fit.inverseDiagonal[j];
        QVERIFY2(std::abs(variance - expected[j - 1][1]) < 1e-4, qPrintable(QString::number(variance, 'g', 10)));
        QVERIFY(std::abs(fit.s2 * fit.fullInverseDiagonal()[j] - expected[j - 1][1]) < 1e-4);
        QVERIFY(fit.inflation(j) < 10);
    }
    QVERIFY(std::abs(fit.s2 - 2) < 1e-4);
}

void tst_insights::tTest_publishedFigures()
{
    // t = 4 on 10 degrees of freedom: two-sided p 0.002518; t(0.975; 10) = 2.228139.
    const CoefficientTest t = tTest(2.0, 0.25, 10);
    QCOMPARE(t.se, 0.5);
    QCOMPARE(t.t, 4.0);
    QVERIFY2(std::abs(t.p - 0.002518332625) < 1e-10, qPrintable(QString::number(t.p, 'g', 10)));
    QVERIFY(std::abs(t.low - 0.885930574) < 1e-8);
    QVERIFY(std::abs(t.high - 3.114069426) < 1e-8);
    // Far beyond any double: 0, printed as "<1e-300" by the callers.
    QVERIFY(tTest(1e6, 1e-6, 50).p < 1e-300);
}

void tst_insights::capacity_rule_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("capacity");
    QTest::newRow("40 rows") << 40 << 10;
    QTest::newRow("120: a quarter is 30") << 120 << 90;
    QTest::newRow("1000") << 1000 << 750;
    QTest::newRow("cap") << 36000 << 2500;
}

void tst_insights::capacity_rule()
{
    QFETCH(int, rows);
    QFETCH(int, capacity);
    QCOMPARE(modelCapacity(rows), capacity);
    QCOMPARE(rowsShortOfOneItem(rows, 3), 0);
    QCOMPARE(rowsShortOfOneItem(9, 3), 28);
}

void tst_insights::twins_areAliasedWithEachOther()
{
    // A year in which LEFT and RIGHT come always together.
    sim::Shape shape;
    std::mt19937 rng(31337);
    std::vector<DiaryDay> rows = sim::diary(shape, rng);
    for (size_t d = 0; d < rows.size(); ++d) {
        if (rng() % 5u == 0)
            rows[d].fields[size_t(fieldIndex("SNACK4"))] = QStringLiteral("LEFT, RIGHT");
    }
    const Insights in = computeInsights(rows, OwnLists{});
    const ItemStats *left = find(in, QStringLiteral("LEFT"), Kind::Food);
    const ItemStats *right = find(in, QStringLiteral("RIGHT"), Kind::Food);
    QVERIFY(left && right);
    QCOMPARE(left->verdict, Verdict::Aliased);
    QCOMPARE(right->verdict, Verdict::Aliased);
    QCOMPARE(left->aliasedWith, QStringLiteral("RIGHT"));
    QCOMPARE(right->aliasedWith, QStringLiteral("LEFT"));
    QVERIFY(!left->q && !right->q);
    QCOMPARE(left->partner, QStringLiteral("RIGHT"));
    QCOMPARE(partnerText(*left), QStringLiteral("RIGHT 100%"));
}

void tst_insights::partner_toldFrom70Percent_data()
{
    QTest::addColumn<double>("share");
    QTest::addColumn<QString>("text");
    QTest::newRow("92%") << 0.92 << QStringLiteral("RYE CRISPBREAD 92%");
    QTest::newRow("69.5% rounds to 70 but is below") << 0.695 << QString();
    QTest::newRow("70%") << 0.70 << QStringLiteral("RYE CRISPBREAD 70%");
    QTest::newRow("none") << 0.0 << QString();
}

void tst_insights::partner_toldFrom70Percent()
{
    QFETCH(double, share);
    QFETCH(QString, text);
    ItemStats s;
    s.partner = QStringLiteral("RYE CRISPBREAD");
    s.partnerShare = share;
    QCOMPARE(partnerText(s), text);
}

namespace {

// Full sizes for scripts/stress; the normal run uses fewer diaries where a
// design is slow.
bool fullSize()
{
    return qEnvironmentVariableIsSet("MEALWISE_INSIGHTS_FULL");
}

// The null designs, each with its own fixed seed (chosen once, before the
// first run): 1701 + the design's place.
struct NullDesign
{
    const char *name;
    sim::Shape shape;
};
std::vector<NullDesign> nullDesigns()
{
    std::vector<NullDesign> d;
    sim::Shape s;
    d.push_back({"(a) a year, independent", s});
    s.days = 730;
    s.skewed = true;
    d.push_back({"(b) two years, skewed scores", s});
    s = {};
    s.runs = true;
    d.push_back({"(c) habits in runs", s});
    s = {};
    s.phi = 0.5;
    d.push_back({"(d) carry-over 0.5", s});
    s.runs = true;
    s.days = 730;
    d.push_back({"(e) runs and carry-over 0.5", s});
    sim::Shape f = s;
    f.phi = 0.7;
    f.trend = 2;
    f.summerFood = true;
    d.push_back({"(f) runs, carry-over 0.7, trend, summer food", f});
    sim::Shape g = s;
    g.rareItems = 20;
    d.push_back({"(g) as (e) with rare items", g});
    return d;
}

sim::Shape designE()
{
    sim::Shape s;
    s.days = 730;
    s.runs = true;
    s.phi = 0.5;
    return s;
}

bool seemsTo(const ItemStats *s)
{
    return s && (s->verdict == Verdict::SeemsToAgree || s->verdict == Verdict::SeemsToDisagree);
}

} // namespace

void tst_insights::simulation_nullDesigns_fewVerdicts()
{
    const int diaries = 200;
    int pooled = 0, total = 0;
    const std::vector<NullDesign> designs = nullDesigns();
    for (size_t i = 0; i < designs.size(); ++i) {
        std::mt19937 rng(quint32(1701 + i));
        int any[3] = {0, 0, 0};
        for (int k = 0; k < diaries; ++k) {
            const std::vector<DiaryDay> rows = sim::diary(designs[i].shape, rng);
            for (int lag = 0; lag < 3; ++lag)
                any[lag] += sim::anyVerdict(computeInsights(rows, OwnLists{}, lag)) ? 1 : 0;
        }
        qInfo("%s: diaries with a verdict at lag 0/1/2: %d/%d/%d of %d", designs[i].name, any[0], any[1], any[2],
              diaries);
        QVERIFY2(any[1] <= 40, designs[i].name);
        QVERIFY2(any[0] <= 44 && any[2] <= 44, designs[i].name);
        pooled += any[1];
        total += diaries;
    }
    qInfo("pooled at lag 1: %d of %d", pooled, total);
    QVERIFY2(pooled * 100 <= 12 * total, qPrintable(QString::number(pooled)));
}

void tst_insights::simulation_plantedEffect_foundAtItsLag_data()
{
    QTest::addColumn<double>("effect");
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<bool>("sizeChecked");
    QTest::newRow("-2") << -2.0 << 90 << false;
    QTest::newRow("+2") << 2.0 << 90 << false;
    QTest::newRow("-1.5") << -1.5 << 70 << false;
    QTest::newRow("+1.5, and its size") << 1.5 << 70 << true;
}

void tst_insights::simulation_plantedEffect_foundAtItsLag()
{
    QFETCH(double, effect);
    QFETCH(int, atLeast);
    QFETCH(bool, sizeChecked);
    sim::Shape shape = designE();
    shape.planted = true;
    shape.plantedEffect = effect;
    std::mt19937 rng(quint32(2701 + int(effect * 10)));
    int found = 0;
    double sum = 0;
    for (int k = 0; k < 100; ++k) {
        const Insights in = computeInsights(sim::diary(shape, rng), OwnLists{}, 1);
        const ItemStats *s = sim::item(in, QStringLiteral("PLANTED"));
        QVERIFY(s && s->adjusted);
        found += s->verdict == (effect < 0 ? Verdict::SeemsToDisagree : Verdict::SeemsToAgree) ? 1 : 0;
        sum += *s->adjusted;
    }
    qInfo("planted %+.1f at lag 1 found in %d of 100; mean adjusted effect %.3f", effect, found, sum / 100);
    QVERIFY2(found >= atLeast, qPrintable(QString::number(found)));
    if (sizeChecked)
        QVERIFY2(std::abs(sum / 100 - effect) <= 0.25 * std::abs(effect), qPrintable(QString::number(sum / 100)));
}

void tst_insights::simulation_innocentPartner_isCleared()
{
    sim::Shape shape = designE();
    shape.planted = true;
    shape.plantedEffect = -2;
    shape.innocentShare = 0.9;
    std::mt19937 rng(3701);
    int found = 0, cleared = 0;
    for (int k = 0; k < 100; ++k) {
        const Insights in = computeInsights(sim::diary(shape, rng), OwnLists{}, 1);
        const ItemStats *harmful = sim::item(in, QStringLiteral("PLANTED"));
        const ItemStats *innocent = sim::item(in, QStringLiteral("INNOCENT"));
        QVERIFY(harmful && innocent);
        found += harmful->verdict == Verdict::SeemsToDisagree ? 1 : 0;
        cleared += seemsTo(innocent) ? 0 : 1;
    }
    qInfo("harmful found in %d of 100, its innocent partner cleared in %d", found, cleared);
    QVERIFY2(found >= 90, qPrintable(QString::number(found)));
    QVERIFY2(cleared >= 90, qPrintable(QString::number(cleared)));
}

void tst_insights::simulation_closedBreakfastSet_isNotAliased()
{
    // Breakfast is always one of four, in runs; the day after EGGS scores
    // 2 lower. Measured against the usual breakfast, EGGS is found, and no
    // breakfast is called inseparable for filling every day with the others.
    const QString breakfasts[] = {QStringLiteral("EGGS"), QStringLiteral("OATS"), QStringLiteral("TOAST"),
                                  QStringLiteral("MUESLI")};
    std::mt19937 rng(4701);
    int found = 0;
    for (int k = 0; k < 100; ++k) {
        std::vector<DiaryDay> rows = sim::diary(designE(), rng);
        int pick = 0;
        for (size_t d = 0; d < rows.size(); ++d) {
            if (d % 3 == 0)
                pick = int(rng() % 4u);
            rows[d].fields[size_t(fieldIndex("BREAKFAST"))] = breakfasts[pick];
            if (d > 0 && rows[d - 1].fields[size_t(fieldIndex("BREAKFAST"))] == breakfasts[0])
                rows[d].score = std::max(1.0, rows[d].score.toDouble() - 2);
        }
        const Insights in = computeInsights(rows, OwnLists{}, 1);
        for (const QString &b : breakfasts) {
            const ItemStats *s = sim::item(in, b);
            QVERIFY(s);
            QVERIFY2(s->verdict != Verdict::Aliased && s->adjusted,
                     qPrintable(b + QLatin1String(" ") + s->aliasedWith));
        }
        found += sim::item(in, breakfasts[0])->verdict == Verdict::SeemsToDisagree ? 1 : 0;
    }
    qInfo("EGGS in a closed set of four breakfasts found in %d of 100", found);
    QVERIFY2(found >= 90, qPrintable(QString::number(found)));
}

void tst_insights::simulation_manyItems_everyItemAccountedFor()
{
    // (h): ten years, 2,000 distinct items, no effect. Too slow for 200
    // diaries in the normal run: two there, 200 under MEALWISE_INSIGHTS_FULL.
    sim::Shape shape = designE();
    shape.days = 3650;
    shape.manyItems = 2000;
    const int diaries = fullSize() ? 200 : 2;
    std::mt19937 rng(1708);
    int any[3] = {0, 0, 0};
    for (int k = 0; k < diaries; ++k) {
        const std::vector<DiaryDay> rows = sim::diary(shape, rng);
        for (int lag = 1; lag < (fullSize() ? 4 : 2); ++lag) {
            const Insights in = computeInsights(rows, OwnLists{}, lag % 3);
            any[lag % 3] += sim::anyVerdict(in) ? 1 : 0;
            int tooFew = 0;
            for (const ItemStats &s : in.items)
                tooFew += (s.verdict == Verdict::TooFewDays || s.verdict == Verdict::CannotCompare) ? 1 : 0;
            // Every item is judged by the model, by the second stage, or said
            // to be too rare; the model is full.
            QCOMPARE(in.inModel + in.secondStage + in.notJudged + tooFew, int(in.items.size()));
            QVERIFY(in.secondStage > 0);
            QVERIFY(in.modelColumns <= kMaxModelColumns && in.modelColumns > kMaxModelColumns - 3);
        }
    }
    qInfo("(h) ten years, 2,000 items: diaries with a verdict at lag 0/1/2: %d/%d/%d of %d", any[0], any[1], any[2],
          diaries);
    QVERIFY(any[1] * 200 <= 40 * diaries);
    QVERIFY(any[0] * 200 <= 44 * diaries && any[2] * 200 <= 44 * diaries);
}

QTEST_GUILESS_MAIN(tst_insights)
#include "tst_insights.moc"
