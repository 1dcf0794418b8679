#pragma once

#include <QColor>

namespace vb {
class FlexGrid;
class TextMeasurer;
} // namespace vb

// The main window's routines that band the overview grid and fit its rows and
// columns to their text. They measure with the window's own text measurement
// (`window`), take the grid as their first argument, keep no state between
// calls and give back the current cell and the window's font they change.
//
// A bound of -1 stands for row (column) 0 as a lower bound and for the last
// row (column) as an upper bound; any other bound must lie inside the grid,
// else std::out_of_range is thrown at the first row (column) outside it, with
// what was done by then left done.
namespace grid {

// Lets the owner of the grid decide which height a freshly fitted row is
// given; the column filters use it to keep the rows they reject hidden and to
// remember every row's fitted height for when it is shown again.
class RowFitHook
{
public:
    virtual ~RowFitHook() = default;
    // Called once before a run of row fitting on `grid`.
    virtual void beginRowFit(const vb::FlexGrid &grid) = 0;
    // The height to set for `row`, whose text needs `fittedTwips`.
    virtual int fittedRowHeight(const vb::FlexGrid &grid, int row, int fittedTwips) = 0;
};

// Bands the data rows (lColor1 on even row indexes, lcolor2 on odd ones, fixed
// rows and columns untouched) with repainting suspended, then fits the rows
// and the columns exactly as FG_AutosizeRows and FG_AutosizeCols do.
void FG_AlternateRowColors(vb::FlexGrid &FG, vb::TextMeasurer &window, QColor lColor1, QColor lcolor2, int lFirstRow,
                           int lLastRow, bool bCheckFont, int lFirstCol, int lLastCol, RowFitHook *hook = nullptr);

// Each row from lFirstRow to lLastRow becomes its tallest text plus a fifth of
// the height of "Wg". With bCheckFont every cell is measured in its own font.
void FG_AutosizeRows(vb::FlexGrid &myGrid, vb::TextMeasurer &window, int lFirstRow, int lLastRow, bool bCheckFont,
                     RowFitHook *hook = nullptr);

// Each column from lFirstCol to lLastCol becomes its widest text (header
// included) plus the width of "W".
void FG_AutosizeCols(vb::FlexGrid &myGrid, vb::TextMeasurer &window, int lFirstCol, int lLastCol, bool bCheckFont);

} // namespace grid
