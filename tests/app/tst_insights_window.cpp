// The Insights window, driven headless.
#include "app/insights/frminsights.h"
#include "app/insights/insightsmodel.h"
#include "data/rowset.h"
#include "entry/adodc.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QXYSeries>

using testing_support::MessageLog;
using testing_support::TempDiary;

namespace {

// COFFEE on 1, 3, 5, 7, 9 March, each next day scored low; TOAST every day.
void fill(const TempDiary &d)
{
    const int scores[] = {5, 3, 6, 4, 7, 4, 7, 5, 8, 6, 9};
    for (int i = 0; i < 11; ++i) {
        QHash<QString, QVariant> f{
            {QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i + 1, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("OVERALL SCORE"), scores[i]},
            {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}};
        if (i % 2 == 0 && i < 9)
            f.insert(QStringLiteral("BEVERAGE1"), QStringLiteral("COFFEE"));
        if (i == 4)
            f.insert(QStringLiteral("MEDICATION1"), QStringLiteral("IMODIUM"));
        QVERIFY(d.insertDay(f) > 0);
    }
}

// 400 days: TONIC on every fifth, and the next day scores 2 where the others
// score 6 to 9; RYE on TONIC's days and one in four others; BUTTER on RYE's.
void fillLong(const TempDiary &d)
{
    QVERIFY(d.exec(QStringLiteral(
        "INSERT INTO records (DATE, [OVERALL SCORE], BREAKFAST, SNACK4, BEVERAGE4) "
        "WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < 399) "
        "SELECT date('2025-01-01', '+' || n || ' days'), CASE WHEN n % 5 = 1 THEN 2 ELSE 6 + (n * n * 7) % 4 END, "
        "CASE WHEN n % 5 = 0 OR n % 4 = 0 THEN 'RYE' ELSE 'OATS' END, "
        "CASE WHEN n % 5 = 0 OR n % 4 = 0 THEN 'BUTTER' ELSE NULL END, "
        "CASE WHEN n % 5 = 0 THEN 'TONIC' ELSE NULL END FROM c")));
}

// Ten years and about 2,000 distinct items, made by SQLite in one statement:
// long enough to compute that the window's answering can be seen.
void fillMany(const TempDiary &d)
{
    QString items;
    const char *fields[] = {"BREAKFAST", "LUNCH", "TEA", "SNACK1", "SNACK2", "BEVERAGE1", "BEVERAGE2", "MEDICATION1"};
    QString columns;
    for (int f = 0; f < 8; ++f) {
        columns += QStringLiteral(", ") + QLatin1String(fields[f]);
        const int pool = f < 5 ? 1200 : 400;
        items += QStringLiteral(", '%1' || (((n + 1) * %2 + %3) % 4294967291 % %4)")
                     .arg(f < 5   ? QStringLiteral("F")
                          : f < 7 ? QStringLiteral("D")
                                  : QStringLiteral("M"))
                     .arg(qint64(2654435761LL + 2 * f))
                     .arg(97 * f)
                     .arg(pool);
    }
    QVERIFY(
        d.exec(QStringLiteral("INSERT INTO records (DATE, [OVERALL SCORE]%1) "
                              "WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < 3649) "
                              "SELECT date('2016-01-01', '+' || n || ' days'), 1 + (n * n * 13 + n * 7) % 10%2 FROM c")
                   .arg(columns, items)));
}

bool waitDone(const frmInsights &w)
{
    QElapsedTimer t;
    t.start();
    while (w.isComputing() && t.elapsed() < 60000)
        QTest::qWait(10);
    return !w.isComputing();
}

QStringList column(const QSortFilterProxyModel *m, int col)
{
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, col).data().toString();
    return out;
}

} // namespace

class tst_insights_window : public QObject
{
    Q_OBJECT
private slots:
    void filters_data();
    void filters();
    void sortByDays_andModelTester();
    void selectAndCopy_evidenceOpensThatDay();
    void lag_recomputes();
    void addToList_appendsOnceAndFits();
    void addToList_waitsForFoodWindow();
    void longDiary_evidencePaneAndLegend();
    void manyItems_progressAndCancel_windowAnswers();
    void tabLeavesTheTable();
    void scoreChart_shortDiaries_distinctDayLabels_data();
    void scoreChart_shortDiaries_distinctDayLabels();
};

void tst_insights_window::filters_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("all") << 0 << QString()
                         << QStringList{QStringLiteral("COFFEE"), QStringLiteral("IMODIUM"), QStringLiteral("TOAST")};
    QTest::newRow("foods") << 1 << QString() << QStringList{QStringLiteral("TOAST")};
    QTest::newRow("medications") << 3 << QString() << QStringList{QStringLiteral("IMODIUM")};
    QTest::newRow("search any case") << 0 << QStringLiteral("cof") << QStringList{QStringLiteral("COFFEE")};
    QTest::newRow("search and kind") << 1 << QStringLiteral("cof") << QStringList{};
}

void tst_insights_window::filters()
{
    QFETCH(int, kind);
    QFETCH(QString, search);
    QFETCH(QStringList, items);
    TempDiary d;
    fill(d);
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    w.findChild<QComboBox *>(QStringLiteral("cboKind"))->setCurrentIndex(kind);
    QTest::keyClicks(w.findChild<QLineEdit *>(QStringLiteral("txtSearch")), search);
    QStringList got = column(w.proxy(), InsightsModel::Item);
    got.sort();
    QCOMPARE(got, items);
}

void tst_insights_window::sortByDays_andModelTester()
{
    TempDiary d;
    fill(d);
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    QVERIFY(vb::Forms::list().contains(&w)); // so that Exit closes it with the others
    QAbstractItemModelTester tester(w.proxy(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblItems"));
    table->sortByColumn(InsightsModel::Days, Qt::DescendingOrder);
    QCOMPARE(column(w.proxy(), InsightsModel::Days),
             (QStringList{QStringLiteral("10"), QStringLiteral("5"), QStringLiteral("1")}));
    // Differences sort as numbers: COFFEE's -3.00 (4.4 against 7.4) before
    // IMODIUM's -2.11 (4 against 55/9), which as texts would come after it.
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        table->sortByColumn(InsightsModel::Difference, order);
        const QStringList items = column(w.proxy(), InsightsModel::Item);
        const QStringList differences = column(w.proxy(), InsightsModel::Difference);
        const qsizetype coffee = items.indexOf(QStringLiteral("COFFEE"));
        const qsizetype imodium = items.indexOf(QStringLiteral("IMODIUM"));
        QVERIFY2(differences.value(coffee).startsWith(QLatin1String("-3.00 (")), qPrintable(differences.value(coffee)));
        QVERIFY2(differences.value(imodium).startsWith(QLatin1String("-2.11")), qPrintable(differences.value(imodium)));
        QCOMPARE(coffee < imodium, order == Qt::AscendingOrder);
    }
    // Eleven days are too few for the model: it says how many more it needs.
    table->sortByColumn(InsightsModel::Item, Qt::AscendingOrder);
    QCOMPARE(column(w.proxy(), InsightsModel::Verdict),
             (QStringList{QStringLiteral("not judged"), QStringLiteral("too few days"),
                          QStringLiteral("cannot be compared")}));
    QVERIFY2(w.lblNote->text().contains(QStringLiteral("needs 28 more scored day(s)")), qPrintable(w.lblNote->text()));
    w.cmdRefresh_Click();
    QVERIFY(waitDone(w));
    QCOMPARE(w.proxy()->rowCount(), 3);
    // The pictures: nothing judged, so no effect to draw; eleven scored days.
    auto *forest = w.findChild<QChartView *>(QStringLiteral("chvForest"));
    auto *axis = qobject_cast<QCategoryAxis *>(forest->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis);
    QVERIFY(axis->categoriesLabels().isEmpty());
    auto *scores = w.findChild<QChartView *>(QStringLiteral("chvScores"));
    const QList<QAbstractSeries *> series = scores->chart()->series();
    QCOMPARE(series.size(), 3);
    QCOMPARE(static_cast<QXYSeries *>(series.at(0))->count(), 11);
    // The 7-day mean on 07/03 is that of 01/03 to 07/03: 36 / 7.
    QVERIFY(std::abs(static_cast<QXYSeries *>(series.at(1))->at(6).y() - 36.0 / 7) < 1e-9);
}

void tst_insights_window::selectAndCopy_evidenceOpensThatDay()
{
    TempDiary d;
    fill(d);
    MessageLog log;
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    w.show();
    w.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("coffee"));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblItems"));
    table->selectRow(0);
    table->setCurrentIndex(w.proxy()->index(0, 0));
    auto *days = w.findChild<QListWidget *>(QStringLiteral("lstEvidence"));
    QCOMPARE(days->count(), 5);
    QCOMPARE(days->item(2)->text(),
             QStringLiteral("05/03/26  Breakfast: beverage  score 7, next day's 4 (next day's BMs -)"));
    // TOAST is on every day: no companion to tell.
    QCOMPARE(w.lblPartner->text(), QString());
    QVERIFY2(w.lblJudged->text().contains(QStringLiteral("28 more")), qPrintable(w.lblJudged->text()));

    table->setFocus();
    QTest::keySequence(table, QKeySequence::Copy);
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), 2);
    QVERIFY(copied.at(0).startsWith(QStringLiteral("Item\tKind\tDays\t")));
    QVERIFY2(copied.at(1).startsWith(QStringLiteral("COFFEE\tdrink\t5\t4.40\t7.40\t-3.00 (-4.66 to -1.34)\t")),
             qPrintable(copied.at(1)));

    // The third day holding it is 05/03, the fifth row of the table.
    days->setCurrentRow(2);
    emit days->itemDoubleClicked(days->item(2));
    frmrecords *opened = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *r = qobject_cast<frmrecords *>(top))
            opened = r;
    }
    if (!opened)
        QFAIL("the daily record window did not open");
    QCOMPARE(opened->datPrimaryRS->Recordset()->field(QStringLiteral("DATE")).toString(), QStringLiteral("2026-03-05"));
    QVERIFY(log.messages.isEmpty());
    opened->close();
}

void tst_insights_window::lag_recomputes()
{
    TempDiary d;
    fill(d);
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    w.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("coffee"));
    // The same day: coffee days scored 5, 6, 7, 7, 8.
    w.findChild<QComboBox *>(QStringLiteral("cboLag"))->setCurrentIndex(0);
    QVERIFY(waitDone(w));
    QCOMPARE(w.proxy()->index(0, InsightsModel::With).data().toString(), QStringLiteral("6.60"));
}

namespace {
void selectCoffee(frmInsights &w)
{
    w.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("coffee"));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblItems"));
    table->selectRow(0);
    table->setCurrentIndex(w.proxy()->index(0, 0));
}
} // namespace

void tst_insights_window::addToList_appendsOnceAndFits()
{
    TempDiary d;
    fill(d);
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'BREAD', [IRRITABLE FOOD] = ?"),
                   {QString(249, QLatin1Char('A'))}));
    MessageLog log;
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    selectCoffee(w);
    auto *adequate = w.findChild<QPushButton *>(QStringLiteral("cmdAddAdequate"));
    QVERIFY(adequate->isEnabled());
    QVERIFY(!w.findChild<QPushButton *>(QStringLiteral("cmdAddReliable"))->isEnabled()); // a drink: food lists only
    QTest::mouseClick(adequate, Qt::LeftButton);
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(),
             QStringLiteral("BREAD\nCOFFEE"));
    // Again, in another case: already there.
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'BREAD\ncoffee'")));
    QVERIFY(!w.addToList(0));
    QVERIFY2(log.last().contains(QStringLiteral("already")), qPrintable(log.last()));
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(),
             QStringLiteral("BREAD\ncoffee"));
    // 249 + a line break + 6 letters would be the 256th character: refused, nothing written.
    QVERIFY(!w.addToList(1));
    QVERIFY2(log.last().contains(QStringLiteral("255")), qPrintable(log.last()));
    QCOMPARE(d.scalar(QStringLiteral("SELECT length([IRRITABLE FOOD]) FROM [FOOD AND MEDICATION]")).toInt(), 249);
    // 248 leaves exactly room for a line break and six letters: 255 is allowed.
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [IRRITABLE FOOD] = ?"),
                   {QString(248, QLatin1Char('A'))}));
    QVERIFY(w.addToList(1));
    QCOMPARE(d.scalar(QStringLiteral("SELECT length([IRRITABLE FOOD]) FROM [FOOD AND MEDICATION]")).toInt(), 255);
}

void tst_insights_window::addToList_waitsForFoodWindow()
{
    TempDiary d;
    fill(d);
    MessageLog log;
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    auto *food = new FOOD(d.path());
    food->show();
    selectCoffee(w);
    QVERIFY(!w.findChild<QPushButton *>(QStringLiteral("cmdAddAdequate"))->isEnabled());
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblAddWait"))->text().contains(QStringLiteral("close it first")));
    QVERIFY(!w.addToList(0));
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), QString());
    food->close();
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w.updateAddButtons();
    QVERIFY(w.findChild<QPushButton *>(QStringLiteral("cmdAddAdequate"))->isEnabled());
    QVERIFY(w.addToList(0));
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(),
             QStringLiteral("COFFEE"));
}

void tst_insights_window::longDiary_evidencePaneAndLegend()
{
    TempDiary d;
    fillLong(d);
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'TONIC'")));
    frmInsights w(d.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(waitDone(w));
    w.txtSearch->setText(QStringLiteral("tonic"));
    w.tblItems->setCurrentIndex(w.proxy()->index(0, 0));
    QCOMPARE(w.proxy()->index(0, InsightsModel::Verdict).data().toString(), QStringLiteral("seems to disagree"));
    // The whole flag, in sight at the window's own size.
    const QString flag = QStringLiteral("adequate (contradicts)");
    QCOMPARE(w.proxy()->index(0, InsightsModel::List).data().toString(), flag);
    const int listRight = w.tblItems->horizontalHeader()->sectionPosition(InsightsModel::List) +
                          w.tblItems->columnWidth(InsightsModel::List);
    QVERIFY2(listRight <= w.tblItems->viewport()->width(), qPrintable(QString::number(listRight)));
    QVERIFY(w.tblItems->columnWidth(InsightsModel::List) > w.tblItems->fontMetrics().horizontalAdvance(flag));
    QCOMPARE(w.proxy()->index(0, InsightsModel::Q).data().toString(), QStringLiteral("< 0.001"));
    // The three lags side by side, the chosen one in bold: four points or
    // more lower the next day.
    QVERIFY(w.lblLagEffect[0]->text().startsWith(QStringLiteral("The same day<br/>")));
    QVERIFY2(w.lblLagEffect[1]->text().startsWith(QStringLiteral("<b>The next day<br/>-")),
             qPrintable(w.lblLagEffect[1]->text()));
    QVERIFY(w.lblLagEffect[2]->text().startsWith(QStringLiteral("Two days after<br/>")));
    QCOMPARE(w.lstEvidence->item(0)->text().section(QStringLiteral("  "), 1, 1), QStringLiteral("Extras: beverage"));
    // BUTTER always with RYE: named, and no verdict.
    w.txtSearch->setText(QStringLiteral("butter"));
    w.tblItems->setCurrentIndex(w.proxy()->index(0, 0));
    QCOMPARE(w.proxy()->index(0, InsightsModel::Verdict).data().toString(), QStringLiteral("cannot be told apart"));
    QCOMPARE(w.proxy()->index(0, InsightsModel::Verdict).data(Qt::ToolTipRole).toString(),
             QStringLiteral("cannot be told apart from RYE"));
    QVERIFY(w.proxy()->index(0, InsightsModel::Adjusted).data().toString().isEmpty());
    QCOMPARE(w.lblPartner->text(), QStringLiteral("Eaten with RYE on 100% of its days."));
    QVERIFY(w.lblJudged->text().startsWith(QStringLiteral("Cannot be told apart from RYE")));
    // The legend names the dot, each colour of line that is drawn, and zero.
    QStringList legend;
    for (QLegendMarker *m : w.chvForest->chart()->legend()->markers()) {
        if (m->isVisible())
            legend << m->label();
    }
    QVERIFY2(legend.contains(QStringLiteral("adjusted effect")) && legend.contains(QStringLiteral("no effect (0)")) &&
                 legend.contains(QStringLiteral("95% interval: seems to disagree")),
             qPrintable(legend.join(QLatin1Char('|'))));
    QCOMPARE(legend.size(), int(QSet<QString>(legend.begin(), legend.end()).size()));
    QVERIFY(w.txtHowToRead->toPlainText().contains(QStringLiteral("not proof")));
}

void tst_insights_window::manyItems_progressAndCancel_windowAnswers()
{
    TempDiary d;
    fillMany(d);
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    {
        frmInsights w(d.path());
        w.show();
        QVERIFY(w.isComputing());
        QVERIFY(w.prgCompute->isVisible() && w.cmdCancel->isVisible());
        QVERIFY(waitDone(w));
        // The timer kept firing while the table was computed.
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(!w.prgCompute->isVisible());
        QVERIFY2(w.proxy()->rowCount() > 1500, qPrintable(QString::number(w.proxy()->rowCount()) + w.lblNote->text()));
        QVERIFY2(w.lblNote->text().contains(QStringLiteral("each on its own")), qPrintable(w.lblNote->text()));
        // Refresh, then Cancel: the table stays as it was.
        const int rows = w.proxy()->rowCount();
        w.cmdRefresh_Click();
        QVERIFY(w.isComputing());
        QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
        QVERIFY(waitDone(w));
        QVERIFY2(w.lblNote->text().startsWith(QStringLiteral("Cancelled")), qPrintable(w.lblNote->text()));
        QCOMPARE(w.proxy()->rowCount(), rows);
        // Closed while computing: no crash, no wait beyond the stage running.
        w.cmdRefresh_Click();
    }
}

void tst_insights_window::tabLeavesTheTable()
{
    TempDiary d;
    fill(d);
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.tblItems->setFocus();
    w.tblItems->setCurrentIndex(w.proxy()->index(0, 0));
    QTest::keyClick(w.tblItems, Qt::Key_Down);
    QCOMPARE(w.tblItems->currentIndex().row(), 1);
    QTest::keyClick(w.tblItems, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != w.tblItems);
}

void tst_insights_window::scoreChart_shortDiaries_distinctDayLabels_data()
{
    QTest::addColumn<int>("days");
    QTest::newRow("one day") << 1;
    QTest::newRow("two days") << 2;
    QTest::newRow("a week") << 7;
}

void tst_insights_window::scoreChart_shortDiaries_distinctDayLabels()
{
    QFETCH(int, days);
    TempDiary d;
    for (int i = 0; i < days; ++i)
        QVERIFY(d.insertDay({{QStringLiteral("DATE"), QDate(2026, 3, 1).addDays(i).toString(Qt::ISODate)},
                             {QStringLiteral("OVERALL SCORE"), 5}}) > 0);
    frmInsights w(d.path());
    QVERIFY(waitDone(w));
    auto *x = qobject_cast<QDateTimeAxis *>(w.chvScores->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(x);
    // Day labels, a day's margin either side, a tick per day at most: no
    // two ticks fall on one label.
    QCOMPARE(x->format(), QStringLiteral("dd/MM"));
    QCOMPARE(x->min().date(), QDate(2026, 2, 28));
    QCOMPARE(x->max().date(), QDate(2026, 3, 1).addDays(days));
    QVERIFY(x->tickCount() <= x->min().daysTo(x->max()) + 1);
}

QTEST_MAIN(tst_insights_window)
#include "tst_insights_window.moc"
