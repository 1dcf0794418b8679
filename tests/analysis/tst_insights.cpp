// Insights figures on small diaries worked out by hand, and the promises of
// the method checked by simulation with fixed seeds.
#include "analysis/insights.h"
#include "analysis/items.h"
#include "analysis/ridge.h"
#include "analysis/stats.h"

#include <QTest>

#include <cmath>
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

DiaryDay day(qint64 id, const char *date, QVariant score, std::initializer_list<std::pair<const char *, const char *>> items = {})
{
    DiaryDay d;
    d.id = id;
    d.date = date ? QVariant(QLatin1String(date)) : QVariant();
    d.score = score;
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
    void handDiary_figures();
    void handDiary_groupsAndEvidence();
    void listedItem_contradictingVerdict_isFlagged_data();
    void listedItem_contradictingVerdict_isFlagged();
    void calendarLag_data();
    void calendarLag();
    void rollingMeans_calendarWindow();
    void benjaminiHochberg_tiesShareQ_data();
    void benjaminiHochberg_tiesShareQ();
    void ridge_noiselessDiary_separatesSharedDays();
    void simulation_noEffect_fewVerdicts();
    void simulation_plantedDrink_isFound();
    void simulation_sharedDays_adjustedFindsTheRealOne();
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
    QTest::newRow("digits of a name") << QStringLiteral("5-HT4 ANTAGONIST") << QStringList{QStringLiteral("5-HT4 ANTAGONIST")};
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

void tst_insights::handDiary_figures()
{
    const Insights in = computeInsights(handDiary(), OwnLists{});
    const ItemStats *coffee = find(in, QStringLiteral("COFFEE"), Kind::Drink);
    QVERIFY(coffee);
    QCOMPARE(coffee->days, 5);
    QCOMPARE(*coffee->withMean, 4.4);
    QCOMPARE(*coffee->withoutMean, 7.4);
    QVERIFY(std::abs(*coffee->difference + 3.0) < 1e-12);
    // Both variances 1.3, se 0.72111, 8 degrees of freedom, t 2.306004.
    QVERIFY2(std::abs(*coffee->ciLow + 4.662883) < 1e-5, qPrintable(QString::number(*coffee->ciLow, 'g', 10)));
    QVERIFY2(std::abs(*coffee->ciHigh + 1.337117) < 1e-5, qPrintable(QString::number(*coffee->ciHigh, 'g', 10)));
    // Rank sum 15.5, U 0.5; three tied pairs give variance 22.5; z 2.424413.
    QCOMPARE(*coffee->u, 0.5);
    QVERIFY2(std::abs(*coffee->p - 0.0153332) < 1e-6, qPrintable(QString::number(*coffee->p, 'g', 10)));
    // The only item tested, so q is p.
    QCOMPARE(in.tested, 1);
    QVERIFY(std::abs(*coffee->q - 0.0153332) < 1e-6);
    QCOMPARE(coffee->verdict, Verdict::SeemsToDisagree);

    // Eaten every day: nothing to compare with.
    const ItemStats *toast = find(in, QStringLiteral("TOAST"), Kind::Food);
    QVERIFY(toast);
    QCOMPARE(toast->days, 10);
    QCOMPARE(*toast->withMean, 5.9);
    QVERIFY(!toast->withoutMean && !toast->p && !toast->q && !toast->adjusted);
    QCOMPARE(toast->verdict, Verdict::NoClearEffect);
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
    QTest::newRow("adequate") << OwnLists{QStringLiteral("BREAD\n coffee "), {}, {}, {}} << QStringLiteral("adequate") << true;
    QTest::newRow("irritating") << OwnLists{{}, QStringLiteral("2*Coffee"), {}, {}} << QStringLiteral("irritating") << false;
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
    const Insights in = computeInsights(handDiary(), lists);
    const ItemStats *coffee = find(in, QStringLiteral("COFFEE"), Kind::Drink);
    QVERIFY(coffee);
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
    };
    const Insights in = computeInsights(rows, OwnLists{}, lag);
    QCOMPARE(in.rowsWithoutValidDate, 2);
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

void tst_insights::ridge_noiselessDiary_separatesSharedDays()
{
    // Eight days; A on days 0-3, B on days 1-4; the outcome is 7 less 2 for A.
    // B alone looks bad (5.5 with it, 6.5 without); adjusted, it is innocent.
    const std::vector<std::vector<int>> rows{{0}, {0, 1}, {0, 1}, {0, 1}, {1}, {}, {}, {}};
    const std::vector<double> y{5, 5, 5, 5, 7, 7, 7, 7};
    const RidgeFit fit = ridgeByLeaveOneOut(rows, y, 2);
    QVERIFY(fit.ok);
    QCOMPARE(fit.lambda, 0.01); // no noise: the least penalty predicts best
    QVERIFY2(std::abs(fit.effect[0] + 2) < 0.02, qPrintable(QString::number(fit.effect[0])));
    QVERIFY2(std::abs(fit.effect[1]) < 0.02, qPrintable(QString::number(fit.effect[1])));
}

namespace {

// A year of days with about 40 items: each field drawn at random from its
// kind's pool; scores normal with mean 6 and SD 2, rounded, clipped to 1-10.
// `plant(day, rows)` may add items; `shift[d]` moves day d's score.
struct Simulated
{
    std::vector<DiaryDay> rows;
};

constexpr int kSimDays = 365;

QString simDate(int d)
{
    return QDate(2025, 1, 1).addDays(d).toString(Qt::ISODate);
}

template <typename Plant>
std::vector<DiaryDay> simulate(std::mt19937 &rng, Plant &&plant)
{
    static const QStringList foods{
        QStringLiteral("F01"), QStringLiteral("F02"), QStringLiteral("F03"), QStringLiteral("F04"),
        QStringLiteral("F05"), QStringLiteral("F06"), QStringLiteral("F07"), QStringLiteral("F08"),
        QStringLiteral("F09"), QStringLiteral("F10"), QStringLiteral("F11"), QStringLiteral("F12"),
        QStringLiteral("F13"), QStringLiteral("F14"), QStringLiteral("F15"), QStringLiteral("F16"),
        QStringLiteral("F17"), QStringLiteral("F18"), QStringLiteral("F19"), QStringLiteral("F20")};
    static const QStringList drinks{QStringLiteral("D1"), QStringLiteral("D2"), QStringLiteral("D3"),
                                    QStringLiteral("D4"), QStringLiteral("D5"), QStringLiteral("D6"),
                                    QStringLiteral("D7"), QStringLiteral("D8"), QStringLiteral("D9"),
                                    QStringLiteral("D10")};
    static const QStringList meds{QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3"),
                                  QStringLiteral("M4"), QStringLiteral("M5"), QStringLiteral("M6"),
                                  QStringLiteral("M7"), QStringLiteral("M8"), QStringLiteral("M9"),
                                  QStringLiteral("M10")};
    std::normal_distribution<double> score(6, 2);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<DiaryDay> rows(kSimDays);
    std::vector<double> shift(kSimDays + 1, 0);
    for (int d = 0; d < kSimDays; ++d) {
        DiaryDay &r = rows[size_t(d)];
        r.id = d + 1;
        r.date = simDate(d);
        for (int f = 0; f < kItemFieldCount; ++f) {
            const Kind kind = kindOfField(f);
            const QStringList &pool = kind == Kind::Food ? foods : kind == Kind::Drink ? drinks : meds;
            // Meals always, snacks and drinks often, medications now and then.
            const double chance = f < 3 ? 1.0 : kind == Kind::Medication ? 0.15 : 0.6;
            if (unit(rng) < chance)
                r.fields[size_t(f)] = pool.at(int(rng() % quint32(pool.size())));
        }
        plant(d, r, shift);
    }
    for (int d = 0; d < kSimDays; ++d) {
        const double s = std::round(score(rng) + shift[size_t(d)]);
        rows[size_t(d)].score = std::clamp(s, 1.0, 10.0);
    }
    return rows;
}

} // namespace

void tst_insights::simulation_noEffect_fewVerdicts()
{
    std::mt19937 rng(20260101);
    int withVerdict = 0;
    for (int i = 0; i < 200; ++i) {
        const Insights in = computeInsights(simulate(rng, [](int, DiaryDay &, std::vector<double> &) {}), OwnLists{});
        bool any = false;
        for (const ItemStats &s : in.items)
            any = any || s.verdict == Verdict::SeemsToAgree || s.verdict == Verdict::SeemsToDisagree;
        withVerdict += any ? 1 : 0;
    }
    qInfo("diaries with a verdict where nothing has an effect: %d of 200", withVerdict);
    QVERIFY2(withVerdict <= 30, qPrintable(QString::number(withVerdict)));
}

void tst_insights::simulation_plantedDrink_isFound()
{
    std::mt19937 rng(777);
    int found = 0;
    for (int i = 0; i < 100; ++i) {
        // Thirty days, drawn at random, get the drink; each next day scores 2 less.
        std::vector<int> order(kSimDays);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), rng);
        std::vector<bool> planted(kSimDays, false);
        for (int k = 0; k < 30; ++k)
            planted[size_t(order[size_t(k)])] = true;
        const Insights in = computeInsights(simulate(rng,
                                                     [&](int d, DiaryDay &r, std::vector<double> &shift) {
                                                         if (planted[size_t(d)]) {
                                                             r.fields[size_t(fieldIndex("BEVERAGE4"))] = QStringLiteral("BAD DRINK");
                                                             shift[size_t(d + 1)] -= 2;
                                                         }
                                                     }),
                                            OwnLists{});
        const ItemStats *s = find(in, QStringLiteral("BAD DRINK"), Kind::Drink);
        found += (s && s->verdict == Verdict::SeemsToDisagree) ? 1 : 0;
    }
    qInfo("planted drink found in %d of 100", found);
    QVERIFY2(found >= 90, qPrintable(QString::number(found)));
}

void tst_insights::simulation_sharedDays_adjustedFindsTheRealOne()
{
    std::mt19937 rng(4242);
    int right = 0;
    for (int i = 0; i < 100; ++i) {
        // REAL on 40 days, BYSTANDER on 40 days, 20 of them shared; only REAL
        // lowers the next day's score, by 2.
        std::vector<int> order(kSimDays);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), rng);
        std::vector<int> mark(kSimDays, 0);
        for (int k = 0; k < 20; ++k)
            mark[size_t(order[size_t(k)])] = 3;
        for (int k = 20; k < 40; ++k)
            mark[size_t(order[size_t(k)])] = 1;
        for (int k = 40; k < 60; ++k)
            mark[size_t(order[size_t(k)])] = 2;
        const Insights in = computeInsights(simulate(rng,
                                                     [&](int d, DiaryDay &r, std::vector<double> &shift) {
                                                         QStringList extra;
                                                         if (mark[size_t(d)] & 1) {
                                                             extra << QStringLiteral("REAL");
                                                             shift[size_t(d + 1)] -= 2;
                                                         }
                                                         if (mark[size_t(d)] & 2)
                                                             extra << QStringLiteral("BYSTANDER");
                                                         if (!extra.isEmpty())
                                                             r.fields[size_t(fieldIndex("SNACK4"))] = extra.join(QLatin1Char(','));
                                                     }),
                                            OwnLists{});
        const ItemStats *real = find(in, QStringLiteral("REAL"), Kind::Food);
        const ItemStats *other = find(in, QStringLiteral("BYSTANDER"), Kind::Food);
        if (real && other && real->adjusted && other->adjusted && std::abs(*real->adjusted) > std::abs(*other->adjusted))
            ++right;
    }
    qInfo("adjusted effect larger for the real food in %d of 100", right);
    QVERIFY2(right >= 90, qPrintable(QString::number(right)));
}

QTEST_GUILESS_MAIN(tst_insights)
#include "tst_insights.moc"
