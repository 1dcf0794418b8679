#include "grid/columnfilters.h"

#include "platform/flexgrid.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QPushButton>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {
const QString kAny = QStringLiteral("*");
} // namespace

ColumnFilters::ColumnFilters(vb::FlexGrid *grid, QComboBox *designedList, QPushButton *button, QObject *parent)
    : QObject(parent)
    , m_grid(grid)
    , m_button(button)
{
    cmbFilter.push_back(designedList);
    if (designedList) {
        // The user's pick; a pick made by code goes through setListIndex.
        connect(designedList, &QComboBox::activated, this, [this] { cmbFilter_Click(0); });
    }
}

ColumnFilters::~ColumnFilters() = default;

// --- the button and the lists' clicks ------------------------------------

void ColumnFilters::cmdFilter_Click()
{
    // The flag is set before building and cleared after removing, because
    // both routines do nothing while the filters are not shown.
    if (!FiltersShown) {
        FiltersShown = true;
        BuildFilterCombos(*m_grid);
        if (m_button)
            m_button->setText(QStringLiteral("Hide filters"));
    } else {
        RemoveFilterCombos(*m_grid);
        FiltersShown = false;
        if (m_button)
            m_button->setText(QStringLiteral("Show filters"));
    }
}

void ColumnFilters::cmbFilter_Click(int Index)
{
    // Building selects item 0 of each list while it is still hidden; only a
    // visible list filters.
    if (Index < 0 || size_t(Index) >= cmbFilter.size())
        return;
    QComboBox *list = cmbFilter[size_t(Index)];
    if (list && !list->isHidden())
        ApplyFilters(*m_grid);
}

void ColumnFilters::setListIndex(int index, int item)
{
    if (index < 0 || size_t(index) >= cmbFilter.size() || !cmbFilter[size_t(index)])
        return;
    cmbFilter[size_t(index)]->setCurrentIndex(item);
    cmbFilter_Click(index);
}

// --- keeping the picks over a new fill -----------------------------------

std::optional<std::vector<ColumnFilters::Pick>> ColumnFilters::takePicks(vb::FlexGrid &grid)
{
    if (!FiltersShown)
        return std::nullopt;
    std::vector<Pick> picks;
    for (int c = grid.FixedCols(); c < grid.Cols(); ++c) {
        const QComboBox *list = size_t(c) < cmbFilter.size() ? cmbFilter[size_t(c)] : nullptr;
        if (list && list->currentIndex() > 0)
            picks.push_back({grid.TextMatrix(0, c), list->currentText()});
    }
    cmdFilter_Click();
    return picks;
}

bool ColumnFilters::putBackPicks(vb::FlexGrid &grid, const std::vector<Pick> &picks)
{
    if (!FiltersShown)
        cmdFilter_Click();
    bool picked = false;
    for (const Pick &pick : picks) {
        for (int c = grid.FixedCols(); c < grid.Cols(); ++c) {
            QComboBox *list = size_t(c) < cmbFilter.size() ? cmbFilter[size_t(c)] : nullptr;
            if (!list || grid.TextMatrix(0, c) != pick.column)
                continue;
            // The very text first; a list holds one form of each value.
            int item = list->findText(pick.text, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (item <= 0)
                item = list->findText(pick.text, Qt::MatchFixedString);
            if (item > 0) {
                list->setCurrentIndex(item);
                picked = true;
            }
        }
    }
    if (picked)
        ApplyFilters(grid);
    return picked;
}

// --- building and removing -----------------------------------------------

QComboBox *ColumnFilters::makeElement(int index)
{
    if (size_t(index) < cmbFilter.size() && cmbFilter[size_t(index)])
        return cmbFilter[size_t(index)];
    if (cmbFilter.size() <= size_t(index))
        cmbFilter.resize(size_t(index) + 1, nullptr);
    const QComboBox *model = cmbFilter[0];
    auto *list = new QComboBox(model->parentWidget());
    list->setObjectName(QStringLiteral("cmbFilter_%1").arg(index));
    list->setEditable(model->isEditable());
    list->setFrame(model->hasFrame());
    list->setFont(model->font());
    list->setToolTip(model->toolTip());
    list->setFocusPolicy(model->focusPolicy());
    list->setMaxVisibleItems(model->maxVisibleItems());
    list->setSizeAdjustPolicy(model->sizeAdjustPolicy());
    list->setGeometry(model->geometry());
    list->setMinimumSize(model->minimumSize());
    list->setMaximumSize(model->maximumSize());
    list->hide();
    connect(list, &QComboBox::activated, this, [this, index] { cmbFilter_Click(index); });
    cmbFilter[size_t(index)] = list;
    return list;
}

void ColumnFilters::BuildFilterCombos(vb::FlexGrid &grid)
{
    const int firstRow = grid.FixedRows();
    for (int c = grid.FixedCols(); c < grid.Cols(); ++c) {
        if (c > 0)
            makeElement(c);
        // Distinct texts in the order met going down the grid; two texts that
        // differ only in letter case are one value, listed as first met. Most
        // repeats are exact, so those are dropped before any case folding.
        QStringList values;
        QSet<QString> seen;
        QSet<QString> folded;
        for (int r = firstRow; r < grid.Rows(); ++r) {
            const QString text = grid.TextMatrix(r, c);
            if (seen.contains(text))
                continue;
            seen.insert(text);
            const QString key = text.toCaseFolded();
            if (folded.contains(key))
                continue;
            folded.insert(key);
            values.append(text);
        }
        QComboBox *list = cmbFilter[size_t(c)];
        if (!list)
            continue;
        // Read out by its column: "BREAKFAST filter".
        if (grid.FixedRows() > 0)
            list->setAccessibleName(grid.TextMatrix(0, c) + QStringLiteral(" filter"));
        list->clear();
        list->addItem(kAny);
        list->addItems(values);
        setListIndex(c, 0);
        list->raise();
    }
    PositionFilterCombos(grid);
}

void ColumnFilters::RemoveFilterCombos(vb::FlexGrid &grid)
{
    if (!FiltersShown)
        return;
    for (size_t i = cmbFilter.size(); i-- > 1;)
        delete cmbFilter[i];
    cmbFilter.resize(1);
    // Element 0 keeps its items until the next build clears them.
    if (cmbFilter[0])
        cmbFilter[0]->hide();
    grid.setRedraw(false);
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        grid.setRowHeight(r, shownHeight(r));
    grid.setRedraw(true);
}

// --- placing -------------------------------------------------------------

void ColumnFilters::applySelectionFieldHeight(QComboBox *list) const
{
    // The closed list as a whole is FilterItemHeight pixels tall: the header
    // cell less 3, so that, 2 pixels down, it stays inside the header cell
    // and leaves the first day's text in view.
    const int height = std::max(1, FilterItemHeight);
    if (list->minimumHeight() != height || list->maximumHeight() != height)
        list->setFixedHeight(height);
}

void ColumnFilters::PositionFilterCombos(vb::FlexGrid &grid)
{
    if (!FiltersShown)
        return;
    const double tppX = vb::twipsPerPixelX();
    const double tppY = vb::twipsPerPixelY();

    int scroll = 0;
    if (grid.ScrollBars() == 3 && (!grid.RowIsVisible(grid.Rows() - 1) || !grid.RowIsVisible(0)))
        scroll = VScrollWidth;

    // The lists share the grid's window; if they sit on another widget of it,
    // the grid's coordinates are carried over.
    QWidget *gridParent = grid.parentWidget();

    // The grid scrolls by pixels, not by whole columns, so the first column in
    // view may be cut at the left: it gets no list (one would hang out over
    // the window beside the grid), and the right edges that decide the others
    // are measured from where the scrolling columns begin. With the first
    // column in view whole, that is the sum of the widths in view so far.
    int scrollLeftPx = 0;
    for (int c = 0; c < grid.FixedCols(); ++c)
        scrollLeftPx += vb::twipsToPixelsX(grid.ColWidth(c));
    const int scrollLeft = vb::pixelsToTwipsX(scrollLeftPx);
    int total = 0;
    bool anyInView = false;

    for (int c = grid.FixedCols(); c < grid.Cols(); ++c) {
        QComboBox *list = size_t(c) < cmbFilter.size() ? cmbFilter[size_t(c)] : nullptr;
        if (!list)
            continue;
        // ColPos and RowPos run from the inside of the grid's frame, Left and
        // Top to its outside: the frame lies between.
        const double left = grid.Left() + grid.viewport()->x() * tppX + grid.ColPos(c) + 3 * tppX;
        const double top = grid.Top() + grid.viewport()->y() * tppY + grid.RowPos(0) + 2 * tppY;
        const int width = grid.ColWidth(c);
        QPoint at(vb::twipsToPixelsX(left), vb::twipsToPixelsY(top));
        QWidget *listParent = list->parentWidget();
        if (gridParent && listParent && gridParent != listParent)
            at = listParent->mapFromGlobal(gridParent->mapToGlobal(at));
        list->setGeometry(at.x(), at.y(), vb::twipsToPixelsX(width), list->height());

        bool show = false;
        if (grid.ColIsVisible(c)) {
            const int colLeft = grid.ColPos(c);
            const bool cutAtLeft = colLeft < scrollLeft;
            if (!anyInView) {
                anyInView = true;
                total = colLeft - scrollLeft; // 0 unless cut
            }
            total += width;
            // total is the column's right edge from where the scrolling
            // columns begin: a column reaching under the scroll bar or into
            // the grid's last 4 pixels gets no list.
            show = !cutAtLeft && grid.Width() - scroll - 4 * tppX > total;
            applySelectionFieldHeight(list);
        }
        // Set once rather than hidden and shown again, so a list does not flicker.
        list->setVisible(show);
    }
}

// --- filtering -----------------------------------------------------------

std::vector<ColumnFilters::ActiveFilter> ColumnFilters::activeFilters(const vb::FlexGrid &grid) const
{
    // Each list is read once per pass; the lists do not change during one.
    std::vector<ActiveFilter> filters;
    for (int c = grid.FixedCols(); c < grid.Cols(); ++c) {
        const QComboBox *list = size_t(c) < cmbFilter.size() ? cmbFilter[size_t(c)] : nullptr;
        if (!list)
            continue;
        const QString text = list->currentText();
        if (text != kAny)
            filters.push_back({c, text});
    }
    return filters;
}

bool ColumnFilters::accepts(const vb::FlexGrid &grid, int row, const std::vector<ActiveFilter> &filters)
{
    // Letter case is ignored, as it is when the lists drop duplicates: the
    // one entry listed for "RICE" and "rice" keeps both.
    for (const ActiveFilter &f : filters) {
        if (QString::compare(grid.TextMatrix(row, f.col), f.text, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

int ColumnFilters::shownHeight(int row) const
{
    // A row of several lines must not come back cut to one line.
    const int fitted = fittedHeight(row);
    return fitted >= 0 ? fitted : StandardRowHeight;
}

int ColumnFilters::fittedHeight(int row) const
{
    if (row < 0 || size_t(row) >= m_fitted.size())
        return -1;
    return m_fitted[size_t(row)];
}

void ColumnFilters::ApplyFilters(vb::FlexGrid &grid)
{
    const std::vector<ActiveFilter> filters = activeFilters(grid);
    grid.setRedraw(false);
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        grid.setRowHeight(r, accepts(grid, r, filters) ? shownHeight(r) : 0);
    grid.setRedraw(true);
    // Fewer rows may leave no vertical scroll bar, and so room for the list of
    // a column that it covered; the grid raises no event for that.
    PositionFilterCombos(grid);
}

// --- row fitting ---------------------------------------------------------

void ColumnFilters::beginRowFit(const vb::FlexGrid &grid)
{
    if (&grid != m_grid)
        return;
    if (m_fitted.size() != size_t(grid.Rows()))
        m_fitted.resize(size_t(std::max(0, grid.Rows())), -1);
    m_fitFilters = FiltersShown ? activeFilters(grid) : std::vector<ActiveFilter>();
}

int ColumnFilters::fittedRowHeight(const vb::FlexGrid &grid, int row, int fittedTwips)
{
    if (&grid != m_grid || row < 0)
        return fittedTwips;
    if (size_t(row) >= m_fitted.size())
        m_fitted.resize(size_t(row) + 1, -1);
    m_fitted[size_t(row)] = fittedTwips;
    // While the lists are shown the grid must not contradict them.
    if (FiltersShown && row >= grid.FixedRows() && !m_fitFilters.empty() && !accepts(grid, row, m_fitFilters))
        return 0;
    return fittedTwips;
}
