#include "platform/flexgridaccessible.h"

#include "platform/flexgrid.h"
#include "platform/twips.h"

#include <QPointer>

namespace vb {

namespace {

class FlexGridCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    FlexGridCell(FlexGridAccessible *table, FlexGrid *grid, int gridRow, int col)
        : m_table(table)
        , m_grid(grid)
        , m_row(gridRow)
        , m_col(col)
    {}

    bool isValid() const override { return m_grid && m_row < m_grid->Rows() && m_col < m_grid->Cols(); }
    QObject *object() const override { return nullptr; }
    QAccessibleInterface *parent() const override { return m_table; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        if (t == QAccessible::Name || t == QAccessible::Value)
            return m_grid->TextMatrix(m_row, m_col);
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QPoint topLeft(twipsToPixelsX(m_grid->ColPos(m_col)), twipsToPixelsY(m_grid->RowPos(m_row)));
        return QRect(m_grid->viewport()->mapToGlobal(topLeft),
                     QSize(twipsToPixelsX(m_grid->ColWidth(m_col)), twipsToPixelsY(m_grid->RowHeight(m_row))));
    }
    QAccessible::Role role() const override
    {
        // Asked for after the grid has gone, a cell is a plain cell.
        return m_grid && m_row < m_grid->FixedRows() ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.selectable = m_row >= m_grid->FixedRows();
        s.selected = isSelected();
        s.focused = m_grid->hasFocus() && m_grid->Row() == m_row && m_grid->Col() == m_col;
        s.invisible = m_grid->RowHeight(m_row) == 0 || !m_grid->RowIsVisible(m_row) || !m_grid->ColIsVisible(m_col);
        s.offscreen = s.invisible;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    bool isSelected() const override
    {
        return isValid() && m_row >= m_grid->FixedRows() && m_table->isRowSelected(m_row - m_grid->FixedRows());
    }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QList<QAccessibleInterface *> cells;
        for (int r = 0; isValid() && r < m_grid->FixedRows(); ++r)
            cells << m_table->gridCell(r, m_col);
        return cells;
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_col; }
    int rowIndex() const override { return m_grid ? m_row - m_grid->FixedRows() : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return m_table; }

    int gridRow() const { return m_row; }

private:
    FlexGridAccessible *m_table;
    QPointer<FlexGrid> m_grid;
    int m_row;
    int m_col;
};

qint64 cellKey(int row, int col)
{
    return (qint64(row) << 32) | quint32(col);
}

} // namespace

FlexGridAccessible::FlexGridAccessible(QWidget *grid)
    : QAccessibleWidget(grid, QAccessible::Table)
{}

FlexGridAccessible::~FlexGridAccessible()
{
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
}

FlexGrid *FlexGridAccessible::grid() const
{
    return static_cast<FlexGrid *>(widget());
}

void *FlexGridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface *FlexGridAccessible::gridCell(int gridRow, int col) const
{
    const FlexGrid *g = grid();
    if (gridRow < 0 || col < 0 || gridRow >= g->Rows() || col >= g->Cols())
        return nullptr;
    const qint64 key = cellKey(gridRow, col);
    if (const auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto *cell = new FlexGridCell(const_cast<FlexGridAccessible *>(this), grid(), gridRow, col);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

// Children: the header cells first, then the data cells row by row.
int FlexGridAccessible::childCount() const
{
    return grid()->Rows() * grid()->Cols();
}

QAccessibleInterface *FlexGridAccessible::child(int index) const
{
    const int cols = grid()->Cols();
    if (index < 0 || cols == 0 || index >= childCount())
        return nullptr;
    return gridCell(index / cols, index % cols);
}

int FlexGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child || child->parent() != this)
        return -1;
    const auto *cell = static_cast<const FlexGridCell *>(child);
    return cell->isValid() ? cell->gridRow() * grid()->Cols() + cell->columnIndex() : -1;
}

QAccessibleInterface *FlexGridAccessible::childAt(int x, int y) const
{
    const QPoint p = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    return gridCell(grid()->rowAt(p.y()), grid()->colAt(p.x()));
}

QAccessibleInterface *FlexGridAccessible::cellAt(int row, int column) const
{
    return gridCell(row + grid()->FixedRows(), column);
}

int FlexGridAccessible::columnCount() const
{
    return grid()->Cols();
}

int FlexGridAccessible::rowCount() const
{
    return std::max(0, grid()->Rows() - grid()->FixedRows());
}

QString FlexGridAccessible::columnDescription(int column) const
{
    return grid()->FixedRows() > 0 ? grid()->TextMatrix(0, column) : QString();
}

QString FlexGridAccessible::rowDescription(int) const
{
    return QString();
}

QList<int> FlexGridAccessible::selectedRows() const
{
    // The selection runs from the current row to RowSel, whole rows.
    const FlexGrid *g = grid();
    QList<int> rows;
    const int from = std::max(std::min(g->Row(), g->RowSel()), g->FixedRows());
    const int to = std::max(g->Row(), g->RowSel());
    for (int r = from; r <= to && r < g->Rows(); ++r)
        rows << r - g->FixedRows();
    return rows;
}

bool FlexGridAccessible::isRowSelected(int row) const
{
    const FlexGrid *g = grid();
    const int r = row + g->FixedRows();
    return r >= g->FixedRows() && r >= std::min(g->Row(), g->RowSel()) && r <= std::max(g->Row(), g->RowSel());
}

bool FlexGridAccessible::selectRow(int row)
{
    FlexGrid *g = grid();
    const int r = row + g->FixedRows();
    if (r < g->FixedRows() || r >= g->Rows())
        return false;
    g->setRow(r);
    return true;
}

int FlexGridAccessible::selectedCellCount() const
{
    return int(selectedRows().size()) * columnCount();
}

QList<QAccessibleInterface *> FlexGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface *> cells;
    for (const int row : selectedRows()) {
        for (int c = 0; c < columnCount(); ++c)
            cells << cellAt(row, c);
    }
    return cells;
}

void FlexGridAccessible::modelChange(QAccessibleTableModelChangeEvent *)
{
    // Cells are addressed by row and column and check the grid's shape on
    // every question, so a new fill needs only the cache of the old one gone.
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

} // namespace vb
