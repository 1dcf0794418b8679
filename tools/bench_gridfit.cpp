// Speed of the overview grid's activation fitting and of the column filters on
// a diary of many years: the fitting as the main window runs it, against the
// same walk measuring every cell through the window's measurement, and the
// filters' build, a pick and a fitting while filtered.
//
//   mealwise-bench-gridfit [days]      (default 36500, 25 columns)
//
// Runs headless (offscreen unless QT_QPA_PLATFORM says otherwise). Links
// mw_grid, mw_data and mw_platform; no window class is needed. It exits with 1
// when the two ways of fitting disagree or a filtered fitting shows a row that
// the lists reject.
#include "data/diarynames.h"
#include "data/sampledays.h"
#include "grid/columnfilters.h"
#include "grid/gridformat.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

vb::TextMeasurer windowMeasurer()
{
    const QFont font = vb::designFont(QStringLiteral("MS Sans Serif"), 8.25);
    vb::TextMeasurer m(font);
    m.setFont(font, QStringLiteral("MS Sans Serif"));
    return m;
}

// The same walk as the fitting, every cell measured through the window.
void fitEveryCell(vb::FlexGrid &g, vb::TextMeasurer &m)
{
    for (int r = 0; r < g.Rows(); ++r) {
        int tallest = 0;
        for (int c = 0; c < g.Cols(); ++c)
            tallest = std::max(tallest, vb::roundHalfEven(m.TextHeight(g.TextMatrix(r, c))));
        g.setRowHeight(r, vb::roundHalfEven(m.TextHeight(QStringLiteral("Wg")) / 5 + tallest));
    }
    for (int c = 0; c < g.Cols(); ++c) {
        int widest = 0;
        for (int r = 0; r < g.Rows(); ++r)
            widest = std::max(widest, vb::roundHalfEven(m.TextWidth(g.TextMatrix(r, c))));
        g.setColWidth(c, vb::roundHalfEven(m.TextWidth(QStringLiteral("W")) + widest));
    }
}

double bestOf(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int days = argc > 1 ? std::max(0, atoi(argv[1])) : 36500;

    QStringList header = diary::diaryQueryColumns();
    header.removeAll(QStringLiteral("ID"));
    diary::SampleDays sample(20260101);
    std::vector<QStringList> rows;
    rows.reserve(size_t(days));
    for (int d = 0; d < days; ++d) {
        const diary::SampleDay day = sample.day(d);
        QStringList row;
        for (const QString &col : header)
            row << day.value(col).toString();
        rows.push_back(row);
    }

    QWidget window;
    window.resize(1000, 600);
    auto *grid = new vb::FlexGrid(&window);
    grid->Move(120, 600, 10815, 3855);
    auto *list0 = new QComboBox(&window);
    list0->hide();
    auto *button = new QPushButton(&window);
    grid->setFixedRows(1);
    grid->setFixedCols(0);
    ColumnFilters filters(grid, list0, button);
    filters.StandardRowHeight = grid->RowHeight(1);
    filters.FilterItemHeight = vb::roundHalfEven(grid->CellHeight() / vb::twipsPerPixelY() - 3);
    filters.VScrollWidth = vb::roundHalfEven(vb::verticalScrollBarWidthPixels() * vb::twipsPerPixelY());
    grid->fill(header, rows);
    window.show();
    QCoreApplication::processEvents();

    QTextStream out(stdout);
    out << days << " days x " << grid->Cols() << " columns, " << qint64(days) * grid->Cols()
        << " cells; best of 5, ms\n";

    vb::TextMeasurer m = windowMeasurer();
    const QColor yellow(255, 255, 192), white(255, 255, 255);
    const double activation =
        bestOf(5, [&] { grid::FG_AlternateRowColors(*grid, m, yellow, white, -1, -1, false, -1, -1, &filters); });
    std::vector<int> heights, widths;
    for (int r = 0; r < grid->Rows(); ++r)
        heights.push_back(grid->RowHeight(r));
    for (int c = 0; c < grid->Cols(); ++c)
        widths.push_back(grid->ColWidth(c));

    const double fitOnly = bestOf(5, [&] {
        grid::FG_AutosizeRows(*grid, m, -1, -1, false, &filters);
        grid::FG_AutosizeCols(*grid, m, -1, -1, false);
    });
    const double everyCell = bestOf(5, [&] {
        vb::TextMeasurer fresh = windowMeasurer();
        fitEveryCell(*grid, fresh);
    });
    bool same = true;
    for (int r = 0; r < grid->Rows(); ++r)
        same = same && grid->RowHeight(r) == heights[size_t(r)];
    for (int c = 0; c < grid->Cols(); ++c)
        same = same && grid->ColWidth(c) == widths[size_t(c)];

    out << "activation (band + fit rows + fit cols):  " << activation << "\n";
    out << "fitting, each distinct text measured once: " << fitOnly << "\n";
    out << "fitting, every cell through the window:    " << everyCell << "\n";
    out << "same sizes both ways:                      " << (same ? "yes" : "NO") << "\n";

    QElapsedTimer t;
    t.start();
    filters.cmdFilter_Click();
    const double build = t.nsecsElapsed() / 1e6;
    // A pick in the score column and one in the breakfast column.
    const int score = int(header.indexOf(QStringLiteral("OVERALL SCORE")));
    const int breakfast = int(header.indexOf(QStringLiteral("BREAKFAST")));
    const double pick = bestOf(5, [&] {
        filters.cmbFilter[size_t(score)]->setCurrentIndex(2);
        filters.cmbFilter[size_t(breakfast)]->setCurrentIndex(0);
        filters.ApplyFilters(*grid);
    });
    const double twoPicks = bestOf(5, [&] {
        filters.cmbFilter[size_t(breakfast)]->setCurrentIndex(1);
        filters.ApplyFilters(*grid);
    });
    int shown = 0;
    for (int r = 1; r < grid->Rows(); ++r)
        shown += grid->RowHeight(r) > 0;
    const double filteredActivation =
        bestOf(5, [&] { grid::FG_AlternateRowColors(*grid, m, yellow, white, -1, -1, false, -1, -1, &filters); });
    int shownAfter = 0;
    for (int r = 1; r < grid->Rows(); ++r)
        shownAfter += grid->RowHeight(r) > 0;
    const double position = bestOf(5, [&] { filters.PositionFilterCombos(*grid); });
    t.restart();
    filters.cmdFilter_Click();
    const double hide = t.nsecsElapsed() / 1e6;

    out << "show filters (build every list):           " << build << "\n";
    out << "one pick (ApplyFilters):                   " << pick << "\n";
    out << "two picks combined (ApplyFilters):         " << twoPicks << "   rows left " << shown << "\n";
    out << "activation while filtered:                 " << filteredActivation << "   rows left " << shownAfter << "\n";
    out << "placing the lists:                         " << position << "\n";
    out << "hide filters:                              " << hide << "\n";
    return same && shown == shownAfter ? 0 : 1;
}
