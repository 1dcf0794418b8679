// The column filters over the overview grid: the lists, the matching, the
// placing, and how they meet the row fitting; on the real grid control.
#include "app/frmmain.h"
#include "grid/columnfilters.h"
#include "grid/gridformat.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {

const QColor kYellow(255, 255, 192);
const QColor kWhite(255, 255, 255);

// Where the header cell of a column is drawn on the grid's parent, in pixels:
// the grid's outer edge, its frame, then the cell inside the frame.
QPoint headerCellOnParent(const vb::FlexGrid &g, int c)
{
    return g.pos() + g.viewport()->pos() + QPoint(vb::twipsToPixelsX(g.ColPos(c)), vb::twipsToPixelsY(g.RowPos(0)));
}

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// A window laid out as the main window is: the grid, the hidden designed list
// and the button on one client widget, one fixed row and no fixed column.
struct Window
{
    QWidget top;
    vb::FlexGrid *grid = nullptr;
    QComboBox *list0 = nullptr;
    QPushButton *button = nullptr;
    std::unique_ptr<ColumnFilters> filters;
    vb::TextMeasurer measure{vb::designFont(QStringLiteral("MS Sans Serif"), 8.25)};

    Window(const QStringList &header, const std::vector<QStringList> &rows)
    {
        top.resize(900, 500);
        grid = new vb::FlexGrid(&top);
        grid->Move(120, 600, 9000, 5000);
        list0 = new QComboBox(&top);
        list0->setObjectName(QStringLiteral("cmbFilter_0"));
        list0->setVisible(false);
        button = new QPushButton(QStringLiteral("Show filters"), &top);
        grid->setFixedRows(1);
        grid->setFixedCols(0);
        grid->setRow(0);
        grid->setCol(0);
        filters = std::make_unique<ColumnFilters>(grid, list0, button);
        filters->VScrollWidth = vb::roundHalfEven(vb::verticalScrollBarWidthPixels() * vb::twipsPerPixelY());
        filters->FilterItemHeight = vb::roundHalfEven(grid->CellHeight() / vb::twipsPerPixelY() - 3);
        filters->StandardRowHeight = grid->RowHeight(1);
        measure.setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25), QStringLiteral("MS Sans Serif"));
        grid->fill(header, rows);
    }

    void activate()
    {
        grid::FG_AlternateRowColors(*grid, measure, kYellow, kWhite, -1, -1, false, -1, -1, filters.get());
    }

    QComboBox *list(int c) const { return filters->cmbFilter.at(size_t(c)); }

    // Picks an item as the user does: the list is focused and stepped with
    // the keyboard, which raises its click.
    void pick(int c, const QString &text)
    {
        QComboBox *l = list(c);
        const int target = itemsOf(l).indexOf(text);
        QVERIFY2(target >= 0, qPrintable(text));
        if (l->currentIndex() == target) {
            filters->setListIndex(c, target);
            return;
        }
        l->setFocus();
        while (l->currentIndex() != target)
            QTest::keyClick(l, l->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }

    QList<int> shownRows() const
    {
        QList<int> rows;
        for (int r = grid->FixedRows(); r < grid->Rows(); ++r) {
            if (grid->RowHeight(r) > 0)
                rows << r;
        }
        return rows;
    }
};

// The main window's diary columns are many; these few carry the cases.
const QStringList kHeader{QStringLiteral("DATE"), QStringLiteral("BREAKFAST"), QStringLiteral("SCORE")};

std::vector<QStringList> sampleRows()
{
    return {
        {QStringLiteral("01/01/26"), QStringLiteral("RICE"), QStringLiteral("9")},
        {QStringLiteral("02/01/26"), QStringLiteral("toast"), QStringLiteral("8")},
        {QStringLiteral("03/01/26"), QStringLiteral("rice"), QStringLiteral("8")},
        {QStringLiteral("04/01/26"), QString(), QStringLiteral("7")},
        {QStringLiteral("05/01/26"), QStringLiteral("TOAST"), QStringLiteral("3")},
        {QStringLiteral("06/01/26"), QStringLiteral("*"), QStringLiteral("3")},
        {QStringLiteral("07/01/26"), QStringLiteral("RICE"), QStringLiteral("2")},
    };
}

} // namespace

class tst_ColumnFilters : public QObject
{
    Q_OBJECT

private slots:
    void show_listsHoldStarThenFirstOccurrences_caseDuplicatesDropped_emptyAndStarItems()
    {
        Window w(kHeader, sampleRows());
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        // Building selects "*" in every list while it is still hidden; that
        // must not filter, so these odd heights survive the showing.
        w.grid->setRowHeight(2, 999);
        w.grid->setRowHeight(3, 0);
        const QList<int> before = w.shownRows();

        w.filters->cmdFilter_Click();

        QVERIFY(w.filters->FiltersShown);
        QCOMPARE(w.button->text(), QStringLiteral("Hide filters"));
        QCOMPARE(w.filters->cmbFilter.size(), size_t(3));
        QCOMPARE(w.list(0), w.list0);
        QCOMPARE(w.list(1)->objectName(), QStringLiteral("cmbFilter_1"));
        QCOMPARE(w.list(2)->objectName(), QStringLiteral("cmbFilter_2"));
        QCOMPARE(w.list(2)->parentWidget(), &w.top);
        QVERIFY(!w.list(2)->isEditable());
        QCOMPARE(itemsOf(w.list(1)), (QStringList{QStringLiteral("*"), QStringLiteral("RICE"), QStringLiteral("toast"),
                                                  QString(), QStringLiteral("*")}));
        QCOMPARE(itemsOf(w.list(2)), (QStringList{QStringLiteral("*"), QStringLiteral("9"), QStringLiteral("8"),
                                                  QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("2")}));
        QCOMPARE(itemsOf(w.list(0)).size(), 8); // every date once, after "*"
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(w.list(c)->currentIndex(), 0);
            QVERIFY(!w.list(c)->isHidden());
        }
        // Showing the lists hides no row and shows none.
        QCOMPARE(w.shownRows(), before);
        QCOMPARE(w.grid->RowHeight(2), 999);
        QCOMPARE(w.grid->RowHeight(3), 0);
    }

    void pick_matchesWithoutCase_emptyItemKeepsEmptyCells_eitherStarKeepsAll()
    {
        Window w(kHeader, sampleRows());
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->cmdFilter_Click();

        // The one "RICE" entry stands for "rice" too.
        w.pick(1, QStringLiteral("RICE"));
        QCOMPARE(w.shownRows(), (QList<int>{1, 3, 7}));
        w.pick(1, QStringLiteral("toast"));
        QCOMPARE(w.shownRows(), (QList<int>{2, 5}));
        w.pick(1, QString());
        QCOMPARE(w.shownRows(), (QList<int>{4}));
        QCOMPARE(w.grid->RowHeight(2), 0);
        // The "*" that a cell holds is read as "any", like the leading one.
        w.filters->setListIndex(1, 4);
        QCOMPARE(w.list(1)->currentText(), QStringLiteral("*"));
        QCOMPARE(w.shownRows(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        w.pick(1, QStringLiteral("RICE"));
        w.filters->setListIndex(1, 0);
        QCOMPARE(w.shownRows(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        // The header row is never hidden.
        QVERIFY(w.grid->RowHeight(0) > 0);
    }

    void accentedWordsInTwoCases_oneEntryThatKeepsBoth()
    {
        // Whatever the lists take as one value, a pick must keep every form of it.
        Window w({QStringLiteral("DATE"), QStringLiteral("TEA")},
                 {{QStringLiteral("1"), QStringLiteral("CRÈME BRÛLÉE")},
                  {QStringLiteral("2"), QStringLiteral("crème brûlée")},
                  {QStringLiteral("3"), QStringLiteral("Σούπα")},
                  {QStringLiteral("4"), QStringLiteral("σούπα")},
                  {QStringLiteral("5"), QStringLiteral("straße")},
                  {QStringLiteral("6"), QStringLiteral("STRASSE")}});
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->cmdFilter_Click();
        const QStringList items = itemsOf(w.list(1));
        QCOMPARE(items.mid(0, 3),
                 (QStringList{QStringLiteral("*"), QStringLiteral("CRÈME BRÛLÉE"), QStringLiteral("Σούπα")}));
        for (int i = 1; i < items.size(); ++i) {
            w.filters->setListIndex(1, i);
            QList<int> expected;
            for (int r = 1; r < w.grid->Rows(); ++r) {
                if (QString::compare(w.grid->TextMatrix(r, 1), items.at(i), Qt::CaseInsensitive) == 0)
                    expected << r;
            }
            QCOMPARE(w.shownRows(), expected);
        }
        // Every row is reachable through some entry.
        QSet<int> reached;
        for (int i = 1; i < items.size(); ++i) {
            w.filters->setListIndex(1, i);
            for (int r : w.shownRows())
                reached.insert(r);
        }
        QCOMPARE(reached.size(), 6);
        w.filters->setListIndex(1, 1);
        QCOMPARE(w.shownRows(), (QList<int>{1, 2}));
    }

    void twoLists_onlyRowsMatchingBoth_oneBackToStarBringsBackTheOthers()
    {
        Window w(kHeader, sampleRows());
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->cmdFilter_Click();
        w.pick(1, QStringLiteral("RICE"));
        w.pick(2, QStringLiteral("8"));
        QCOMPARE(w.shownRows(), (QList<int>{3}));
        w.pick(1, QStringLiteral("*"));
        QCOMPARE(w.shownRows(), (QList<int>{2, 3}));
        w.pick(2, QStringLiteral("*"));
        QCOMPARE(w.shownRows().size(), 7);
    }

    void noDays_eachListOnlyStar()
    {
        Window w(kHeader, {});
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->cmdFilter_Click();
        QCOMPARE(w.filters->cmbFilter.size(), size_t(3));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(itemsOf(w.list(c)), QStringList{QStringLiteral("*")});
        w.filters->setListIndex(1, 0);
        QCOMPARE(w.grid->Rows(), 1);
    }

    void hideAndShowAgain_listsDestroyedRowsBack_rebuiltAfreshAllAtStar()
    {
        Window w(kHeader, sampleRows());
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->cmdFilter_Click();
        w.pick(1, QStringLiteral("toast"));
        QPointer<QComboBox> list2 = w.list(2);

        w.filters->cmdFilter_Click();

        QVERIFY(!w.filters->FiltersShown);
        QCOMPARE(w.button->text(), QStringLiteral("Show filters"));
        QVERIFY(list2.isNull());
        QCOMPARE(w.filters->cmbFilter.size(), size_t(1));
        QVERIFY(w.list0->isHidden());
        QCOMPARE(w.top.findChildren<QComboBox *>().size(), 1);
        QCOMPARE(w.shownRows().size(), 7);
        // Hidden, the lists do not move and a click on element 0 does nothing.
        w.filters->PositionFilterCombos(*w.grid);
        QVERIFY(w.list0->isHidden());

        // The grid changed meanwhile: the next show lists what it holds now.
        w.grid->setTextMatrix(2, 1, QStringLiteral("EGGS"));
        w.filters->cmdFilter_Click();
        QCOMPARE(itemsOf(w.list(1)), (QStringList{QStringLiteral("*"), QStringLiteral("RICE"), QStringLiteral("EGGS"),
                                                  QString(), QStringLiteral("TOAST"), QStringLiteral("*")}));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(w.list(c)->currentText(), QStringLiteral("*"));
        QCOMPARE(w.shownRows().size(), 7);
    }

    void newFill_picksTakenOutThenPutBackWhereStillListed_data()
    {
        QTest::addColumn<bool>("shown");    // the filters shown before the new fill
        QTest::addColumn<QString>("picks"); // BREAKFAST|SCORE picked in the sample; empty: none
        QTest::addColumn<QString>("after"); // the new rows' BREAKFAST/SCORE
        QTest::addColumn<QString>("kept");  // the two lists' picks afterwards
        QTest::addColumn<bool>("applied");
        QTest::addColumn<QList<int>>("rows"); // rows in view
        QTest::newRow("filters hidden: nothing to keep") << false << "|"
                                                         << "rice/8"
                                                         << "" << false << QList<int>{1};
        QTest::newRow("shown, nothing picked") << true << "|"
                                               << "rice/8 eggs/3"
                                               << "*|*" << false << QList<int>{1, 2};
        QTest::newRow("the very text") << true << "toast|"
                                       << "rice/8 toast/8 TOAST/3"
                                       << "toast|*" << true << QList<int>{2, 3};
        QTest::newRow("the form now listed") << true << "toast|"
                                             << "TOAST/8 toast/3 rice/8"
                                             << "TOAST|*" << true << QList<int>{1, 2};
        QTest::newRow("two picks, one gone") << true << "RICE|9"
                                             << "rice/8 RICE/3 toast/8"
                                             << "rice|*" << true << QList<int>{1, 2};
        QTest::newRow("every pick gone") << true << "toast|"
                                         << "rice/8 eggs/3"
                                         << "*|*" << false << QList<int>{1, 2};
    }
    void newFill_picksTakenOutThenPutBackWhereStillListed()
    {
        QFETCH(bool, shown);
        QFETCH(QString, picks);
        QFETCH(QString, after);
        QFETCH(QString, kept);
        QFETCH(bool, applied);
        QFETCH(QList<int>, rows);
        Window w(kHeader, sampleRows());
        if (shown) {
            w.filters->cmdFilter_Click();
            const QStringList texts = picks.split(QLatin1Char('|'));
            for (int c = 1; c <= 2; ++c) {
                if (!texts.at(c - 1).isEmpty())
                    w.filters->setListIndex(c, w.list(c)->findText(texts.at(c - 1)));
            }
        }
        const auto taken = w.filters->takePicks(*w.grid);
        QCOMPARE(taken.has_value(), shown);
        QVERIFY(!w.filters->FiltersShown);
        std::vector<QStringList> newRows;
        for (const QString &row : after.split(QLatin1Char(' ')))
            newRows.push_back(QStringList{QStringLiteral("01/02/26")} + row.split(QLatin1Char('/')));
        w.grid->fill(kHeader, newRows);
        if (taken) {
            QCOMPARE(w.filters->putBackPicks(*w.grid, *taken), applied);
            QVERIFY(w.filters->FiltersShown);
            QCOMPARE(w.list(1)->currentText() + QLatin1Char('|') + w.list(2)->currentText(), kept);
        }
        QCOMPARE(w.shownRows(), rows);
    }

    void placing_overHeaderCells_followScrollRight_hiddenWhenCutOrOutOfView()
    {
        std::vector<QStringList> rows;
        QStringList header;
        for (int c = 0; c < 12; ++c)
            header << QStringLiteral("COLUMN %1").arg(c);
        for (int r = 0; r < 3; ++r) {
            QStringList row;
            for (int c = 0; c < 12; ++c)
                row << QStringLiteral("v%1").arg(r);
            rows.push_back(row);
        }
        Window w(header, rows);
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        for (int c = 0; c < 12; ++c)
            w.grid->setColWidth(c, 1500);
        w.filters->cmdFilter_Click();
        QCoreApplication::processEvents();

        const double tppX = vb::twipsPerPixelX();
        // Counts the lists shown into `lists`; QCOMPARE leaves it early on a failure.
        auto check = [&](int leftCol, int &lists) {
            vb::FlexGrid &g = *w.grid;
            // Few rows: no vertical scroll bar takes room.
            const double limit = g.Width() - 4 * tppX;
            lists = 0;
            for (int c = 0; c < 12; ++c) {
                QComboBox *l = w.list(c);
                const QRect r = l->geometry();
                // 3 pixels in from the cell's left edge, 2 down from its top.
                QCOMPARE(r.topLeft() - headerCellOnParent(g, c), QPoint(3, 2));
                QCOMPARE(r.width(), vb::twipsToPixelsX(g.ColWidth(c)));
                const bool fullyInView =
                    c >= leftCol && g.ColIsVisible(c) && g.ColPos(c) >= 0 && g.ColPos(c) + g.ColWidth(c) < limit;
                QCOMPARE(!l->isHidden(), fullyInView);
                if (fullyInView) {
                    ++lists;
                    // The closed list lies inside its header cell, clear of the first day.
                    QCOMPARE(l->height(), w.filters->FilterItemHeight);
                    const int headerBottom = g.y() + g.viewport()->y() + vb::twipsToPixelsY(g.RowPos(1));
                    QVERIFY(r.bottom() < headerBottom);
                    QVERIFY(r.right() < g.geometry().right());
                }
            }
        };
        auto shown = [&](int leftCol) {
            int lists = -1;
            check(leftCol, lists);
            return QTest::currentTestFailed() ? -1 : lists;
        };
        const int atStart = shown(0);
        QVERIFY(atStart > 0 && atStart < 12);

        w.grid->setLeftCol(5);
        QCOMPARE(w.grid->LeftCol(), 5);
        w.filters->PositionFilterCombos(*w.grid);
        const int scrolled = shown(5);
        QVERIFY(scrolled > 0);
        QVERIFY(w.list(0)->isHidden());
        QVERIFY(w.list(4)->isHidden());
        QVERIFY(!w.list(5)->isHidden());

        // Scrolled a few pixels further, column 5 is cut at the left: no list
        // for it, the next ones stay over their header cells.
        w.grid->horizontalScrollBar()->setValue(w.grid->horizontalScrollBar()->value() + 10);
        w.filters->PositionFilterCombos(*w.grid);
        QVERIFY(w.grid->ColIsVisible(5));
        QVERIFY(w.list(5)->isHidden());
        QVERIFY(!w.list(6)->isHidden());
        QVERIFY(shown(6) > 0);

        // A narrower grid shows fewer lists; a wider one more again.
        w.grid->setLeftCol(0);
        w.grid->Move(120, 600, 4000, 5000);
        w.filters->PositionFilterCombos(*w.grid);
        const int narrow = shown(0);
        QVERIFY(narrow >= 0 && narrow < atStart);
        w.grid->Move(120, 600, 12000, 5000);
        w.filters->PositionFilterCombos(*w.grid);
        QVERIFY(shown(0) > atStart);
    }

    void scrolledFullyIntoView_everyColumnGetsItsList_theLastToo_data()
    {
        // Widths in whole pixels, or in twips that the pixels round down;
        // few rows, or enough for a vertical scroll bar.
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rows");
        QTest::newRow("whole pixels, no vertical bar") << 1500 << 3;
        QTest::newRow("whole pixels, vertical bar") << 1500 << 80;
        QTest::newRow("twips rounded down, vertical bar") << 1507 << 80;
    }
    void scrolledFullyIntoView_everyColumnGetsItsList_theLastToo()
    {
        QFETCH(int, width);
        QFETCH(int, rows);
        constexpr int kCols = 25;
        QStringList header;
        for (int c = 0; c < kCols; ++c)
            header << QStringLiteral("C%1").arg(c);
        std::vector<QStringList> data(size_t(rows), header);
        Window w(header, data);
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        for (int c = 0; c < kCols; ++c)
            w.grid->setColWidth(c, width);
        w.filters->cmdFilter_Click();
        QCoreApplication::processEvents();
        QScrollBar *h = w.grid->horizontalScrollBar();

        // Dragged to the end of the scroll bar.
        h->setValue(h->maximum());
        w.filters->PositionFilterCombos(*w.grid);
        QVERIFY2(!w.list(kCols - 1)->isHidden(), "scrolled to the end, the last column has no list");
        // Brought into view one by one from the keyboard, at the right edge.
        h->setValue(0);
        w.grid->setFocus();
        for (int c = 1; c < kCols; ++c) {
            QTest::keyClick(w.grid, Qt::Key_Right);
            QCOMPARE(w.grid->Col(), c);
            w.filters->PositionFilterCombos(*w.grid);
            QVERIFY2(!w.list(c)->isHidden(), qPrintable(QStringLiteral("column %1 has no list").arg(c)));
        }
    }

    void placing_columnUnderVerticalScrollBarGetsNoList()
    {
        std::vector<QStringList> rows;
        rows.reserve(300);
        for (int r = 0; r < 300; ++r)
            rows.push_back({r < 3 ? QStringLiteral("few") : QStringLiteral("many"), QStringLiteral("b")});
        Window w({QStringLiteral("A"), QStringLiteral("B")}, rows);
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        QCoreApplication::processEvents();
        vb::FlexGrid &g = *w.grid;
        // Column 1 ends just inside the grid's last 4 pixels less half a scroll bar.
        const int room = g.Width() - w.filters->VScrollWidth / 2 - 6 * vb::roundHalfEven(vb::twipsPerPixelX());
        g.setColWidth(0, 1000);
        g.setColWidth(1, room - 1000);
        w.filters->cmdFilter_Click();
        QCoreApplication::processEvents();
        w.filters->PositionFilterCombos(g);
        QVERIFY(!g.RowIsVisible(g.Rows() - 1));
        QVERIFY(!w.list(0)->isHidden());
        QVERIFY(w.list(1)->isHidden());

        // A pick that leaves rows enough for one page takes the scroll bar
        // away, and with it the reason to hide the list.
        w.pick(0, QStringLiteral("few"));
        QCOMPARE(w.shownRows(), (QList<int>{1, 2, 3}));
        QVERIFY(!w.list(1)->isHidden());
        w.pick(0, QStringLiteral("*"));
        QVERIFY(w.list(1)->isHidden());

        // Once every row is in view there is no scroll bar to avoid.
        w.filters->cmdFilter_Click();
        g.setRows(3);
        QCoreApplication::processEvents();
        w.filters->cmdFilter_Click();
        QVERIFY(g.RowIsVisible(g.Rows() - 1));
        QVERIFY(!w.list(1)->isHidden());
    }

    void placing_columnIntoTheGridsLastFourPixelsGetsNoList_data()
    {
        // The grid is 9000 twips wide, 15 twips a pixel; column 0 is 1000.
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("listed");
        QTest::newRow("ends 3 px from the edge") << 7955 << false;
        QTest::newRow("ends 4 px from the edge") << 7940 << false;
        QTest::newRow("ends 5 px from the edge") << 7925 << true;
    }
    void placing_columnIntoTheGridsLastFourPixelsGetsNoList()
    {
        QFETCH(int, width);
        QFETCH(bool, listed);
        Window w({QStringLiteral("A"), QStringLiteral("B")}, {{QStringLiteral("a"), QStringLiteral("b")}});
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        vb::FlexGrid &g = *w.grid;
        QCOMPARE(g.Width(), 9000);
        g.setColWidth(0, 1000);
        g.setColWidth(1, width);
        w.filters->cmdFilter_Click();
        QCoreApplication::processEvents();
        w.filters->PositionFilterCombos(g);
        QVERIFY(!w.list(0)->isHidden());
        QCOMPARE(!w.list(1)->isHidden(), listed);
    }

    void fitting_whileFiltered_keepsRejectedRowsHidden_shownRowsGetFittedHeight()
    {
        std::vector<QStringList> rows = sampleRows();
        rows[0][0] = QStringLiteral("01/01/26\nfirst day\nof the diary"); // a row of three lines, "RICE"
        Window w(kHeader, rows);
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.activate();
        std::vector<int> fitted;
        fitted.reserve(size_t(w.grid->Rows()));
        for (int r = 0; r < w.grid->Rows(); ++r)
            fitted.push_back(w.grid->RowHeight(r));
        QVERIFY(fitted[1] > w.filters->StandardRowHeight);

        w.filters->cmdFilter_Click();
        w.pick(1, QStringLiteral("toast"));
        QCOMPARE(w.shownRows(), (QList<int>{2, 5}));

        // Coming back to the window fits the grid again; the lists still say
        // "toast", so the grid must too.
        w.activate();
        QCOMPARE(w.shownRows(), (QList<int>{2, 5}));
        QCOMPARE(w.grid->RowHeight(2), fitted[2]);
        QCOMPARE(w.list(1)->currentText(), QStringLiteral("toast"));
        QVERIFY(w.grid->RowHeight(0) > 0);

        // A row shown again by a pick is as tall as its text, not one line.
        w.pick(1, QStringLiteral("RICE"));
        QCOMPARE(w.shownRows(), (QList<int>{1, 3, 7}));
        QCOMPARE(w.grid->RowHeight(1), fitted[1]);
        QCOMPARE(w.filters->fittedHeight(1), fitted[1]);

        // And so is every row when the filters are hidden.
        w.pick(1, QStringLiteral("toast"));
        w.filters->cmdFilter_Click();
        for (int r = 1; r < w.grid->Rows(); ++r)
            QCOMPARE(w.grid->RowHeight(r), fitted[size_t(r)]);

        // With the filters hidden the fitting shows every row.
        w.activate();
        QCOMPARE(w.shownRows().size(), 7);
    }

    void neverFitted_rowShownAgainGetsStandardHeight()
    {
        Window w(kHeader, sampleRows());
        w.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        w.filters->StandardRowHeight = 321;
        w.filters->cmdFilter_Click();
        w.pick(2, QStringLiteral("3"));
        QCOMPARE(w.shownRows(), (QList<int>{5, 6}));
        QCOMPARE(w.grid->RowHeight(5), 321);
        w.filters->cmdFilter_Click();
        QCOMPARE(w.grid->RowHeight(1), 321);
    }

    void mainWindow_buttonListsActivationAndScrollWired()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY2(d.ok(), qPrintable(d.error()));
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 9}, {QStringLiteral("BREAKFAST"), QStringLiteral("RICE")}});
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 6}, {QStringLiteral("BREAKFAST"), QStringLiteral("rice")}});
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 4}, {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}});
        MessageLog log;
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Form_Activate();
        vb::FlexGrid *g = w.MSFlexGrid1;
        QCOMPARE(w.filters()->StandardRowHeight, w.StandardRowHeight);
        QCOMPARE(w.filters()->FilterItemHeight, w.FilterItemHeight);
        QCOMPARE(w.filters()->VScrollWidth, w.VScrollWidth);

        QTest::mouseClick(w.cmdFilter, Qt::LeftButton);
        QCOMPARE(w.cmdFilter->text(), QStringLiteral("Hide filters"));
        ColumnFilters *f = w.filters();
        QVERIFY(f->FiltersShown);
        QCOMPARE(int(f->cmbFilter.size()), g->Cols());
        QCOMPARE(f->cmbFilter[0], w.cmbFilter0);
        QVERIFY(w.findChild<QComboBox *>(QStringLiteral("cmbFilter_%1").arg(g->Cols() - 1)));

        int breakfast = -1;
        for (int c = 0; c < g->Cols(); ++c) {
            if (g->TextMatrix(0, c) == QStringLiteral("BREAKFAST"))
                breakfast = c;
        }
        QVERIFY(breakfast >= 0);
        QComboBox *list = f->cmbFilter[size_t(breakfast)];
        QCOMPARE(itemsOf(list), (QStringList{QStringLiteral("*"), QStringLiteral("RICE"), QStringLiteral("TOAST")}));
        if (list->isHidden()) {
            g->setLeftCol(breakfast); // the Scroll event places the lists
            QVERIFY(!list->isHidden());
        }
        // Over the fitted header row, clear of the first day's text.
        QCOMPARE(list->height(), w.FilterItemHeight);
        QVERIFY(list->geometry().bottom() < g->y() + g->viewport()->y() + vb::twipsToPixelsY(g->RowPos(1)));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QStringLiteral("RICE"));
        QVERIFY(g->RowHeight(1) > 0);
        QVERIFY(g->RowHeight(2) > 0);
        QCOMPARE(g->RowHeight(3), 0);

        // Coming back from another window keeps the rejected day hidden.
        w.Form_Activate();
        QCOMPARE(g->RowHeight(3), 0);
        QVERIFY(g->RowHeight(1) > 0);
        // A fitting that widens a column moves the lists to its right with it.
        const int before = f->cmbFilter[1]->x();
        g->setTextMatrix(1, 0, QStringLiteral("a much longer text than a date"));
        w.Form_Activate();
        QVERIFY(f->cmbFilter[1]->x() > before);
        QCOMPARE(f->cmbFilter[1]->pos() - headerCellOnParent(*g, 1), QPoint(3, 2));
        // The banding still follows the row indexes.
        g->setRow(3);
        QCOMPARE(g->CellBackColor(), kWhite);
        g->setRow(0);

        // Scrolling right moves the lists with their columns.
        const int lastCol = g->Cols() - 1;
        g->setLeftCol(lastCol);
        QVERIFY(f->cmbFilter[0]->isHidden());
        const QRect r = f->cmbFilter[size_t(lastCol)]->geometry();
        QCOMPARE(r.topLeft() - headerCellOnParent(*g, lastCol), QPoint(3, 2));
        QVERIFY2(!f->cmbFilter[size_t(lastCol)]->isHidden(), "the last column, scrolled into view, has no list");

        // A smaller client area: the resize lays out the grid and then the
        // lists, so none is left beyond the grid's new right edge.
        g->setLeftCol(0);
        w.clientArea->setFixedSize(w.clientArea->width() / 2, w.clientArea->height());
        w.Form_Resize();
        const int gridRight = g->geometry().right();
        int shownLists = 0;
        for (QComboBox *l : f->cmbFilter) {
            if (!l->isHidden()) {
                ++shownLists;
                QVERIFY(l->geometry().right() < gridRight);
            }
        }
        QVERIFY(shownLists > 0);
        QVERIFY(f->cmbFilter[size_t(lastCol)]->isHidden());

        QTest::mouseClick(w.cmdFilter, Qt::LeftButton);
        QCOMPARE(w.cmdFilter->text(), QStringLiteral("Show filters"));
        QVERIFY(g->RowHeight(3) > 0);
        QCOMPARE(w.findChildren<QComboBox *>().size(), 1);
        QVERIFY(log.messages.isEmpty());
    }
};

QTEST_MAIN(tst_ColumnFilters)
#include "tst_columnfilters.moc"
