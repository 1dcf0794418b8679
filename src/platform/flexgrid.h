#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QString>

#include <optional>
#include <vector>

class QTimer;

namespace vb {

// The flexible grid: text cells addressed by row and column from 0, the first
// FixedRows rows and FixedCols columns fixed (header) cells, a current cell
// (Row, Col) through which cell colour and font are set, a selection from the
// current cell to (RowSel, ColSel), row heights and column widths in twips (a
// height of 0 hides a row) and suspendable repainting.
//
// The cells live in flat arrays, not in widgets, and only the part in view is
// painted, so a grid of 36,500 days stays smooth.
//
// Events, as signals: Click (a click anywhere on the cell area: on any cell,
// header cells included, or on the empty part below or beside them),
// RowColChange (the current cell changed), Scroll (the part in view changed)
// and SelChange (the selection changed). A change of the current cell made by
// code while Redraw is off raises nothing until Redraw is switched back on,
// and then RowColChange only if the cell differs from the one it was.
class FlexGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit FlexGrid(QWidget *parent = nullptr);
    ~FlexGrid() override;

    // Shape. Growing keeps the cells that were there; new rows get the
    // standard height and new columns the standard width.
    int Rows() const { return m_rows; }
    void setRows(int rows);
    int Cols() const { return m_cols; }
    void setCols(int cols);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int rows);
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int cols);

    // Current cell and selection. Setting Row or Col also ends the selection
    // there (RowSel = Row, ColSel = Col), as a click does.
    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    void setCol(int col);
    int RowSel() const { return m_rowSel; }
    void setRowSel(int row);
    int ColSel() const { return m_colSel; }
    void setColSel(int col);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);
    // Text of the current cell.
    QString Text() const { return TextMatrix(m_row, m_col); }
    void setText(const QString &text) { setTextMatrix(m_row, m_col, text); }

    // Properties of the current cell.
    QColor CellBackColor() const;
    void setCellBackColor(const QColor &color);
    QString CellFontName() const;
    void setCellFontName(const QString &name);
    double CellFontSize() const;
    void setCellFontSize(double points);
    bool CellFontBold() const;
    void setCellFontBold(bool bold);
    int CellHeight() const; // twips
    int CellWidth() const;  // twips

    // Twips. Reading gives back what was set.
    int RowHeight(int row) const;
    void setRowHeight(int row, int twips);
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);

    bool Redraw() const { return m_redraw; }
    void setRedraw(bool on);

    // 0 none, 1 horizontal, 2 vertical, 3 both (shown as needed).
    int ScrollBars() const { return m_scrollBars; }
    void setScrollBars(int which);
    bool ScrollTrack() const { return m_scrollTrack; }
    void setScrollTrack(bool on);
    int FocusRect() const { return m_focusRect; } // 0 none
    void setFocusRect(int style);
    int HighLight() const { return m_highLight; } // 1 always
    void setHighLight(int style);
    int AllowUserResizing() const { return m_allowUserResizing; } // 0 none, 1 columns
    void setAllowUserResizing(int how);
    int SelectionMode() const { return m_selectionMode; } // 0 free, 1 by row
    void setSelectionMode(int mode);

    // What is scrolled into view. A fixed row or column is always in view; a
    // scrolling one is in view when any part of it lies inside the cell area.
    bool RowIsVisible(int row) const;
    bool ColIsVisible(int col) const;
    // Distance in twips from the grid's top (left) inner edge to the row's top
    // (column's left) as it is drawn now; negative when scrolled out above.
    int RowPos(int row) const;
    int ColPos(int col) const;
    // The first scrolling row and column in view.
    int TopRow() const;
    void setTopRow(int row);
    int LeftCol() const;
    void setLeftCol(int col);

    // Place and size on the parent window, in twips.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void Move(int left, int top, int width, int height);

    // Filling from a record source: `header` becomes row 0, each entry of
    // `rows` one further row; `keys` (may be empty) become the rows' hidden
    // keys, one per data row. Cell colours, fonts and sizes are reset.
    void fill(const QStringList &header, const std::vector<QStringList> &rows, const std::vector<qint64> &keys = {});
    // The same from texts already laid out row by row, header row first,
    // `cols` per row; the grid takes them over without a copy.
    void fill(std::vector<QString> &&cells, int cols, const std::vector<qint64> &keys = {});
    // The hidden key of a row: the diary day it shows, if it has one.
    std::optional<qint64> RowKey(int row) const;
    // The first row whose hidden key is `key`, or -1 (also for no key): a day
    // found again after the rows were filled anew.
    int RowWithKey(std::optional<qint64> key) const;

    // Makes (row, col) current, ends the selection there and scrolls it into
    // view, as the keyboard does.
    void goToCell(int row, int col);
    // As goToCell, and the cell is marked (framed within its selected row)
    // until the current cell moves or the grid is filled again. The view
    // scrolls so that the cell and column `alsoCol` are both in it where
    // they fit side by side, else so that the cell is.
    void goToFoundCell(int row, int col, int alsoCol);
    // The marked cell, or (-1, -1).
    int markedRow() const { return m_markedRow; }
    int markedCol() const { return m_markedCol; }
    // Whether the column lies wholly in the part in view.
    bool colWhollyVisible(int col) const;

    // One line painted over the cell area while the grid has no rows below
    // its fixed rows: not a cell, so neither fitting nor the filters see it.
    void setEmptyText(const QString &text);
    QString emptyText() const { return m_emptyText; }
    // Whether the empty text is painted now.
    bool showsEmptyText() const { return !m_emptyText.isEmpty() && m_rows <= m_fixedRows && m_cols > 0; }
    // The selected cells as tab-separated text, one line per row shown (rows
    // of height 0 are left out); what Ctrl+C copies. A cell holding a tab, a
    // line break or a quote is quoted, its quotes doubled.
    QString selectionText() const;

    // Height in twips that a new row gets: one line of the grid's font and a margin.
    int standardRowHeight() const;

    // The grid's font by its design name ("MS Sans Serif") and size; cells
    // without a font of their own report and use it.
    void setDesignFont(const QString &name, double points);
    QString designFontName() const { return m_designFontName; }

    // Work done so far: how many times the rows' pixel positions were
    // rebuilt. Setting many heights in a row must cost one rebuild, not one each.
    qint64 rowPositionRebuilds() const { return m_rowPositionRebuilds; }

    // Cell under a point of the viewport, or -1.
    int rowAt(int y) const;
    int colAt(int x) const;

signals:
    void Click();
    void RowColChange();
    void Scroll();
    void SelChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;

private:
    struct CellFont
    {
        QString name;
        double size = 0;
        bool bold = false;
    };
    int index(int row, int col) const { return row * m_cols + col; }
    bool validCell(int row, int col) const;
    void setCurrentCellFont(const CellFont &font);
    void resizeStorage(int rows, int cols);
    void updateLayout();
    void queueLayout();
    void invalidateRowPositions();
    void ensureRowPositions() const;
    int rowHeightPx(int row) const;
    int colWidthPx(int col) const;
    int fixedHeightPx() const;
    int fixedWidthPx() const;
    int scrollRowTopPx(int row) const; // top of a scrolling row in content coordinates
    int scrollColLeftPx(int col) const;
    int rightRoomPx() const; // room after the last column when scrolled to the end
    void setCurrent(int row, int col, int rowSel, int colSel, bool fromUser);
    void noteCurrentChanged(int oldRow, int oldCol, int oldRowSel, int oldColSel);
    void ensureVisible(int row, int col);
    void repaintIfAllowed();
    QFont cellFont(int row, int col) const;
    int firstScrollRowAt(int contentY) const;

    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    int m_row = 0;
    int m_col = 0;
    int m_rowSel = 0;
    int m_colSel = 0;

    std::vector<QString> m_text;
    std::vector<QRgb> m_back;   // 0 = the grid's own colour for the cell's kind
    std::vector<int> m_fontIdx; // -1 = the grid's font; else into m_fonts
    std::vector<CellFont> m_fonts;
    std::vector<int> m_rowHeights; // twips
    std::vector<int> m_colWidths;  // twips
    std::vector<qint64> m_keys;    // per data row; empty when unkeyed

    // Pixel tops of the scrolling rows, rebuilt lazily after a height change.
    mutable std::vector<qint64> m_rowTops;
    mutable bool m_rowTopsValid = false;
    mutable qint64 m_rowPositionRebuilds = 0;

    QString m_designFontName;
    bool m_redraw = true;
    bool m_layoutQueued = false;
    QTimer *m_layoutTimer = nullptr;
    bool m_pendingRowColChange = false;
    int m_redrawOffRow = 0;
    int m_redrawOffCol = 0;
    int m_scrollBars = 3;
    bool m_scrollTrack = false;
    int m_focusRect = 1;
    int m_highLight = 1;
    int m_allowUserResizing = 0;
    int m_selectionMode = 0;
    bool m_dragging = false;
    bool m_pressedOutsideCells = false;
    int m_resizingCol = -1;
    int m_resizeStartX = 0;
    int m_resizeStartWidth = 0;
    int m_markedRow = -1;
    int m_markedCol = -1;
    QString m_emptyText;
};

} // namespace vb
