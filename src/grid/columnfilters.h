#pragma once

#include "grid/gridformat.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class QComboBox;
class QPushButton;

namespace vb {
class FlexGrid;
}

// The drop-down lists that the main window lays over its grid's header row,
// one per column, to keep only the days that share values. The window owns
// one of these; it holds the window's filter state and the control array
// cmbFilter, whose element 0 is the window's designed, hidden list and whose
// further elements are made as copies of it while the filters are shown.
//
// Matching ignores letter case, as the lists do when they drop duplicates, so
// every row whose text a list shows can be picked by it. A row shown again
// gets the height it was last fitted to, and while the filters are shown the
// row fitting (through RowFitHook) leaves the rows the lists reject hidden.
class ColumnFilters : public QObject, public grid::RowFitHook
{
    Q_OBJECT
public:
    // `grid` is the window's grid, `designedList` element 0 of the array and
    // `button` the button that shows and hides the filters (may be null).
    ColumnFilters(vb::FlexGrid *grid, QComboBox *designedList, QPushButton *button, QObject *parent = nullptr);
    ~ColumnFilters() override;

    bool FiltersShown = false;
    int StandardRowHeight = 0; // twips: a shown row whose fitted height is unknown
    int FilterItemHeight = 0;  // pixels: the lists' selection field
    int VScrollWidth = 0;      // twips

    // Element i serves grid column i; an index that serves no column is null.
    std::vector<QComboBox *> cmbFilter;

    void cmdFilter_Click();
    void cmbFilter_Click(int Index);

    void BuildFilterCombos(vb::FlexGrid &grid);
    void RemoveFilterCombos(vb::FlexGrid &grid);
    void PositionFilterCombos(vb::FlexGrid &grid);
    void ApplyFilters(vb::FlexGrid &grid);

    // A shown list's pick ("*" is none), by its column's name, so that it
    // outlives the lists when the grid is filled anew.
    struct Pick
    {
        QString column;
        QString text;
    };
    // The picks of the shown lists, which are then removed so that the grid
    // can be filled anew; nothing while the filters are not shown.
    std::optional<std::vector<Pick>> takePicks(vb::FlexGrid &grid);
    // Shows the filters again over the grid's new rows and puts back each pick
    // that the list of a column of its name still holds: the very text, else
    // the form of it now listed. The lists are applied when one was put back;
    // returns whether one was.
    bool putBackPicks(vb::FlexGrid &grid, const std::vector<Pick> &picks);

    // Selects an item of list `index` as code does: the list's click handler
    // runs at once, inside this call.
    void setListIndex(int index, int item);

    // The height last fitted for a row, or -1.
    int fittedHeight(int row) const;

    // RowFitHook
    void beginRowFit(const vb::FlexGrid &grid) override;
    int fittedRowHeight(const vb::FlexGrid &grid, int row, int fittedTwips) override;

private:
    struct ActiveFilter
    {
        int col;
        QString text;
    };
    std::vector<ActiveFilter> activeFilters(const vb::FlexGrid &grid) const;
    static bool accepts(const vb::FlexGrid &grid, int row, const std::vector<ActiveFilter> &filters);
    int shownHeight(int row) const;
    QComboBox *makeElement(int index);
    void applySelectionFieldHeight(QComboBox *list) const;

    vb::FlexGrid *m_grid = nullptr;
    QPushButton *m_button = nullptr;
    std::vector<int> m_fitted;              // per grid row, -1 = never fitted
    std::vector<ActiveFilter> m_fitFilters; // the lists' picks during one row fitting
};
