// The Insights window, driven headless.
#include "app/frminsights.h"
#include "app/insightsmodel.h"
#include "entry/adodc.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "data/rowset.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QXYSeries>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

using testing_support::MessageLog;
using testing_support::TempDiary;

namespace {

// COFFEE on 1, 3, 5, 7, 9 March, each next day scored low; TOAST every day.
void fill(const TempDiary &d)
{
    const int scores[] = {5, 3, 6, 4, 7, 4, 7, 5, 8, 6, 9};
    for (int i = 0; i < 11; ++i) {
        QHash<QString, QVariant> f{{QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i + 1, 2, 10, QLatin1Char('0'))},
                                   {QStringLiteral("OVERALL SCORE"), scores[i]},
                                   {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}};
        if (i % 2 == 0 && i < 9)
            f.insert(QStringLiteral("BEVERAGE1"), QStringLiteral("COFFEE"));
        if (i == 4)
            f.insert(QStringLiteral("MEDICATION1"), QStringLiteral("IMODIUM"));
        QVERIFY(d.insertDay(f) > 0);
    }
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
};

void tst_insights_window::filters_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("all") << 0 << QString() << QStringList{QStringLiteral("COFFEE"), QStringLiteral("IMODIUM"), QStringLiteral("TOAST")};
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
    QVERIFY(vb::Forms::list().contains(&w)); // so that Exit closes it with the others
    QAbstractItemModelTester tester(w.proxy(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblItems"));
    table->sortByColumn(InsightsModel::Days, Qt::DescendingOrder);
    QCOMPARE(column(w.proxy(), InsightsModel::Days), (QStringList{QStringLiteral("10"), QStringLiteral("5"), QStringLiteral("1")}));
    // By q: the one tested item first, the untested after it whichever way.
    table->sortByColumn(InsightsModel::Q, Qt::AscendingOrder);
    QCOMPARE(column(w.proxy(), InsightsModel::Item).first(), QStringLiteral("COFFEE"));
    QCOMPARE(column(w.proxy(), InsightsModel::Verdict).first(), QStringLiteral("seems to disagree"));
    w.cmdRefresh_Click();
    QCOMPARE(w.proxy()->rowCount(), 3);
    // The pictures: the one tested item in the forest plot; eleven scored days.
    auto *forest = w.findChild<QChartView *>(QStringLiteral("chvForest"));
    auto *axis = qobject_cast<QCategoryAxis *>(forest->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis);
    QCOMPARE(axis->categoriesLabels(), QStringList{QStringLiteral("COFFEE")});
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
    w.show();
    w.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("coffee"));
    auto *table = w.findChild<QTableView *>(QStringLiteral("tblItems"));
    table->selectRow(0);
    table->setCurrentIndex(w.proxy()->index(0, 0));
    auto *days = w.findChild<QListWidget *>(QStringLiteral("lstEvidence"));
    QCOMPARE(days->count(), 5);
    QCOMPARE(days->item(2)->text(), QStringLiteral("05/03/26  BEVERAGE1  score 7, then 4 (BMs -)"));

    table->setFocus();
    QTest::keySequence(table, QKeySequence::Copy);
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), 2);
    QVERIFY(copied.at(0).startsWith(QStringLiteral("Item\tKind\tDays\t")));
    QVERIFY2(copied.at(1).startsWith(QStringLiteral("COFFEE\tdrink\t5\t4.40\t7.40\t-3.00 (-4.66 to -1.34)\t")), qPrintable(copied.at(1)));

    // The third day holding it is 05/03, the fifth row of the table.
    days->setCurrentRow(2);
    emit days->itemDoubleClicked(days->item(2));
    frmrecords *opened = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *r = qobject_cast<frmrecords *>(top))
            opened = r;
    }
    QVERIFY(opened);
    QCOMPARE(opened->datPrimaryRS->Recordset()->field(QStringLiteral("DATE")).toString(), QStringLiteral("2026-03-05"));
    QVERIFY(log.messages.isEmpty());
    opened->close();
}

void tst_insights_window::lag_recomputes()
{
    TempDiary d;
    fill(d);
    frmInsights w(d.path());
    w.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("coffee"));
    // The same day: coffee days scored 5, 6, 7, 7, 8.
    w.findChild<QComboBox *>(QStringLiteral("cboLag"))->setCurrentIndex(0);
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
    selectCoffee(w);
    auto *adequate = w.findChild<QPushButton *>(QStringLiteral("cmdAddAdequate"));
    QVERIFY(adequate->isEnabled());
    QVERIFY(!w.findChild<QPushButton *>(QStringLiteral("cmdAddReliable"))->isEnabled()); // a drink: food lists only
    QTest::mouseClick(adequate, Qt::LeftButton);
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), QStringLiteral("BREAD\nCOFFEE"));
    // Again, in another case: already there.
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'BREAD\ncoffee'")));
    QVERIFY(!w.addToList(0));
    QVERIFY2(log.last().contains(QStringLiteral("already")), qPrintable(log.last()));
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), QStringLiteral("BREAD\ncoffee"));
    // 249 + a line break + 6 letters would be the 256th character: refused, nothing written.
    QVERIFY(!w.addToList(1));
    QVERIFY2(log.last().contains(QStringLiteral("255")), qPrintable(log.last()));
    QCOMPARE(d.scalar(QStringLiteral("SELECT length([IRRITABLE FOOD]) FROM [FOOD AND MEDICATION]")).toInt(), 249);
    // 248 leaves exactly room for a line break and six letters: 255 is allowed.
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [IRRITABLE FOOD] = ?"), {QString(248, QLatin1Char('A'))}));
    QVERIFY(w.addToList(1));
    QCOMPARE(d.scalar(QStringLiteral("SELECT length([IRRITABLE FOOD]) FROM [FOOD AND MEDICATION]")).toInt(), 255);
}

void tst_insights_window::addToList_waitsForFoodWindow()
{
    TempDiary d;
    fill(d);
    MessageLog log;
    frmInsights w(d.path());
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
    QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), QStringLiteral("COFFEE"));
}

QTEST_MAIN(tst_insights_window)
#include "tst_insights_window.moc"
