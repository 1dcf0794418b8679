#include "grid/gridfind.h"

#include "platform/flexgrid.h"

namespace grid {

int findRow(const vb::FlexGrid &grid, const QString &text, int fromRow, bool forward, int *col)
{
    const int first = grid.FixedRows();
    const int count = grid.Rows() - first;
    if (text.isEmpty() || count <= 0)
        return -1;
    // From a header row (or anywhere outside the data) the search starts
    // just before the first data row, or just after the last going back.
    int at = fromRow >= first && fromRow < grid.Rows() ? fromRow - first : (forward ? count - 1 : 0);
    for (int n = 0; n < count; ++n) {
        at = forward ? (at + 1) % count : (at + count - 1) % count;
        const int row = first + at;
        if (grid.RowHeight(row) <= 0)
            continue;
        for (int c = 0; c < grid.Cols(); ++c) {
            if (grid.TextMatrix(row, c).contains(text, Qt::CaseInsensitive)) {
                if (col)
                    *col = c;
                return row;
            }
        }
    }
    return -1;
}

} // namespace grid
