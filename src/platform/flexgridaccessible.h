#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace vb {

class FlexGrid;

// The overview grid as assistive technology sees it: a table whose column
// headers are the fixed row and whose cells are made when first asked for.
// Made for every FlexGrid by the factory of platform/accessibility.h.
class FlexGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit FlexGridAccessible(QWidget *grid);
    ~FlexGridAccessible() override;

    FlexGrid *grid() const;

    // QAccessibleInterface
    void *interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // QAccessibleTableInterface; rows are the data rows, without the header.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    int columnCount() const override;
    QString rowDescription(int row) const override;
    int rowCount() const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override;

    // A cell of the grid by its grid row (the header row is 0) and column.
    QAccessibleInterface *gridCell(int gridRow, int col) const;

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};

} // namespace vb
