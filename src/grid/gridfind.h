#pragma once

#include <QString>

namespace vb {
class FlexGrid;
}

namespace grid {

// The next data row after `fromRow` (or before it, going back) whose cells
// hold `text`, letter case ignored as the filters ignore it, among the rows
// shown (a row of height 0 is skipped). The search wraps at either end and
// comes back to `fromRow` itself last. -1 when no row shown holds the text,
// or the text is empty. `col`, when given, gets the first column that holds it.
int findRow(const vb::FlexGrid &grid, const QString &text, int fromRow, bool forward, int *col = nullptr);

} // namespace grid
