#include "platform/flexgrid.h"

#include "platform/accessibility.h"
#include "platform/fonts.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"
#include "text/fields.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vb {

namespace {
constexpr int kDefaultColWidthTwips = 960;
constexpr int kCellPaddingPx = 2;
constexpr int kResizeGripPx = 3;
} // namespace

FlexGrid::FlexGrid(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    installAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    // Many size changes in a row lay out once, when the events settle.
    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(0);
    connect(m_layoutTimer, &QTimer::timeout, this, [this] {
        if (m_layoutQueued)
            updateLayout();
    });
    setDesignFont(QStringLiteral("MS Sans Serif"), 8.25);
    // The control's design contents: two rows and two columns, one of each fixed.
    setRows(2);
    setCols(2);
    setFixedRows(1);
    setFixedCols(1);
}

FlexGrid::~FlexGrid() = default;

void FlexGrid::setDesignFont(const QString &name, double points)
{
    m_designFontName = name;
    setFont(designFont(name, points));
}

int FlexGrid::standardRowHeight() const
{
    return pixelsToTwipsY(fontMetrics().height() + 3);
}

// --- shape ---------------------------------------------------------------

void FlexGrid::resizeStorage(int rows, int cols)
{
    if (rows == m_rows && cols == m_cols)
        return;
    std::vector<QString> text(size_t(rows) * size_t(cols));
    std::vector<QRgb> back(text.size(), 0);
    std::vector<int> fontIdx(text.size(), -1);
    const int keepRows = std::min(rows, m_rows);
    const int keepCols = std::min(cols, m_cols);
    for (int r = 0; r < keepRows; ++r) {
        for (int c = 0; c < keepCols; ++c) {
            const size_t from = size_t(index(r, c));
            const size_t to = size_t(r) * size_t(cols) + size_t(c);
            text[to] = std::move(m_text[from]);
            back[to] = m_back[from];
            fontIdx[to] = m_fontIdx[from];
        }
    }
    m_text = std::move(text);
    m_back = std::move(back);
    m_fontIdx = std::move(fontIdx);
    m_rowHeights.resize(size_t(rows), standardRowHeight());
    m_colWidths.resize(size_t(cols), kDefaultColWidthTwips);
    if (!m_keys.empty())
        m_keys.resize(size_t(std::max(0, rows - m_fixedRows)), -1);
    m_rows = rows;
    m_cols = cols;
    m_fixedRows = std::min(m_fixedRows, rows);
    m_fixedCols = std::min(m_fixedCols, cols);
    m_row = std::clamp(m_row, 0, std::max(0, rows - 1));
    m_col = std::clamp(m_col, 0, std::max(0, cols - 1));
    m_rowSel = std::clamp(m_rowSel, 0, std::max(0, rows - 1));
    m_colSel = std::clamp(m_colSel, 0, std::max(0, cols - 1));
    invalidateRowPositions();
    queueLayout();
}

void FlexGrid::setRows(int rows)
{
    resizeStorage(std::max(0, rows), m_cols);
}

void FlexGrid::setCols(int cols)
{
    resizeStorage(m_rows, std::max(0, cols));
}

void FlexGrid::setFixedRows(int rows)
{
    m_fixedRows = std::clamp(rows, 0, m_rows);
    m_keys.clear();
    invalidateRowPositions();
    queueLayout();
}

void FlexGrid::setFixedCols(int cols)
{
    m_fixedCols = std::clamp(cols, 0, m_cols);
    queueLayout();
}

bool FlexGrid::validCell(int row, int col) const
{
    return row >= 0 && row < m_rows && col >= 0 && col < m_cols;
}

// --- current cell and selection ------------------------------------------

void FlexGrid::setCurrent(int row, int col, int rowSel, int colSel, bool fromUser)
{
    if (m_rows == 0 || m_cols == 0)
        return;
    row = std::clamp(row, 0, m_rows - 1);
    col = std::clamp(col, 0, m_cols - 1);
    rowSel = std::clamp(rowSel, 0, m_rows - 1);
    colSel = std::clamp(colSel, 0, m_cols - 1);
    const int oldRow = m_row, oldCol = m_col, oldRowSel = m_rowSel, oldColSel = m_colSel;
    if (row != m_markedRow || col != m_markedCol)
        m_markedRow = m_markedCol = -1;
    m_row = row;
    m_col = col;
    m_rowSel = rowSel;
    m_colSel = colSel;
    if (fromUser)
        ensureVisible(rowSel, colSel);
    noteCurrentChanged(oldRow, oldCol, oldRowSel, oldColSel);
}

void FlexGrid::noteCurrentChanged(int oldRow, int oldCol, int oldRowSel, int oldColSel)
{
    const bool cellChanged = oldRow != m_row || oldCol != m_col;
    const bool selChanged = cellChanged || oldRowSel != m_rowSel || oldColSel != m_colSel;
    if (selChanged && m_redraw)
        viewport()->update();
    if (!m_redraw) {
        // Code that walks the cells with repainting off raises one event at
        // the end, if the cell it leaves current differs from where it began.
        m_pendingRowColChange = true;
        return;
    }
    if (cellChanged && hasFocus() && QAccessible::isActive()) {
        // A screen reader follows the current cell.
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(m_row * m_cols + m_col);
        QAccessible::updateAccessibility(&event);
    }
    if (cellChanged)
        emit RowColChange();
    if (selChanged)
        emit SelChange();
}

void FlexGrid::setRow(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    setCurrent(row, m_col, row, m_col, false);
}

void FlexGrid::setCol(int col)
{
    if (col < 0 || col >= m_cols)
        return;
    setCurrent(m_row, col, m_row, col, false);
}

void FlexGrid::setRowSel(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    setCurrent(m_row, m_col, row, m_colSel, false);
}

void FlexGrid::setColSel(int col)
{
    if (col < 0 || col >= m_cols)
        return;
    setCurrent(m_row, m_col, m_rowSel, col, false);
}

// --- cells ---------------------------------------------------------------

QString FlexGrid::TextMatrix(int row, int col) const
{
    if (!validCell(row, col))
        return QString();
    return m_text[size_t(index(row, col))];
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (!validCell(row, col))
        return;
    m_text[size_t(index(row, col))] = text;
    repaintIfAllowed();
}

QColor FlexGrid::CellBackColor() const
{
    if (!validCell(m_row, m_col))
        return QColor();
    const QRgb rgb = m_back[size_t(index(m_row, m_col))];
    if (rgb != 0)
        return QColor::fromRgb(rgb);
    const bool fixed = m_row < m_fixedRows || m_col < m_fixedCols;
    return palette().color(fixed ? QPalette::Button : QPalette::Base);
}

void FlexGrid::setCellBackColor(const QColor &color)
{
    if (!validCell(m_row, m_col))
        return;
    m_back[size_t(index(m_row, m_col))] = color.isValid() ? (color.rgb() | 0xff000000u) : 0;
    repaintIfAllowed();
}

QFont FlexGrid::cellFont(int row, int col) const
{
    if (!validCell(row, col))
        return font();
    const int idx = m_fontIdx[size_t(index(row, col))];
    if (idx < 0)
        return font();
    const CellFont &cf = m_fonts[size_t(idx)];
    return designFont(cf.name, cf.size, cf.bold);
}

QString FlexGrid::CellFontName() const
{
    if (!validCell(m_row, m_col))
        return m_designFontName;
    const int idx = m_fontIdx[size_t(index(m_row, m_col))];
    return idx < 0 ? m_designFontName : m_fonts[size_t(idx)].name;
}

double FlexGrid::CellFontSize() const
{
    if (!validCell(m_row, m_col))
        return font().pointSizeF();
    const int idx = m_fontIdx[size_t(index(m_row, m_col))];
    return idx < 0 ? font().pointSizeF() : m_fonts[size_t(idx)].size;
}

bool FlexGrid::CellFontBold() const
{
    if (!validCell(m_row, m_col))
        return font().bold();
    const int idx = m_fontIdx[size_t(index(m_row, m_col))];
    return idx < 0 ? font().bold() : m_fonts[size_t(idx)].bold;
}

void FlexGrid::setCurrentCellFont(const CellFont &cf)
{
    // Cells share font entries, so a grid of many bold cells holds few fonts.
    int idx = -1;
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i].name == cf.name && m_fonts[i].size == cf.size && m_fonts[i].bold == cf.bold) {
            idx = int(i);
            break;
        }
    }
    if (idx < 0) {
        m_fonts.push_back(cf);
        idx = int(m_fonts.size()) - 1;
    }
    m_fontIdx[size_t(index(m_row, m_col))] = idx;
    repaintIfAllowed();
}

void FlexGrid::setCellFontName(const QString &name)
{
    if (validCell(m_row, m_col))
        setCurrentCellFont({name, CellFontSize(), CellFontBold()});
}

void FlexGrid::setCellFontSize(double points)
{
    if (validCell(m_row, m_col) && points > 0)
        setCurrentCellFont({CellFontName(), points, CellFontBold()});
}

void FlexGrid::setCellFontBold(bool bold)
{
    if (validCell(m_row, m_col))
        setCurrentCellFont({CellFontName(), CellFontSize(), bold});
}

int FlexGrid::CellHeight() const
{
    return RowHeight(m_row);
}

int FlexGrid::CellWidth() const
{
    return ColWidth(m_col);
}

// --- sizes ---------------------------------------------------------------

int FlexGrid::RowHeight(int row) const
{
    if (row < 0 || row >= m_rows)
        return 0;
    return m_rowHeights[size_t(row)];
}

void FlexGrid::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= m_rows)
        return;
    twips = std::max(0, twips);
    if (m_rowHeights[size_t(row)] == twips)
        return;
    m_rowHeights[size_t(row)] = twips;
    invalidateRowPositions();
    queueLayout();
    repaintIfAllowed();
}

int FlexGrid::ColWidth(int col) const
{
    if (col < 0 || col >= m_cols)
        return 0;
    return m_colWidths[size_t(col)];
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= m_cols)
        return;
    twips = std::max(0, twips);
    if (m_colWidths[size_t(col)] == twips)
        return;
    m_colWidths[size_t(col)] = twips;
    queueLayout();
    repaintIfAllowed();
}

int FlexGrid::rowHeightPx(int row) const
{
    return twipsToPixelsY(m_rowHeights[size_t(row)]);
}

int FlexGrid::colWidthPx(int col) const
{
    return twipsToPixelsX(m_colWidths[size_t(col)]);
}

int FlexGrid::fixedHeightPx() const
{
    int h = 0;
    for (int r = 0; r < m_fixedRows; ++r)
        h += rowHeightPx(r);
    return h;
}

int FlexGrid::fixedWidthPx() const
{
    int w = 0;
    for (int c = 0; c < m_fixedCols; ++c)
        w += colWidthPx(c);
    return w;
}

void FlexGrid::invalidateRowPositions()
{
    m_rowTopsValid = false;
}

void FlexGrid::ensureRowPositions() const
{
    if (m_rowTopsValid)
        return;
    ++m_rowPositionRebuilds;
    const int scrolling = std::max(0, m_rows - m_fixedRows);
    m_rowTops.resize(size_t(scrolling) + 1);
    qint64 y = 0;
    const double tpp = twipsPerPixelY();
    for (int i = 0; i < scrolling; ++i) {
        m_rowTops[size_t(i)] = y;
        y += roundHalfEven(m_rowHeights[size_t(m_fixedRows) + size_t(i)] / tpp);
    }
    m_rowTops[size_t(scrolling)] = y;
    m_rowTopsValid = true;
}

int FlexGrid::scrollRowTopPx(int row) const
{
    ensureRowPositions();
    const int i = std::clamp(row - m_fixedRows, 0, int(m_rowTops.size()) - 1);
    return int(m_rowTops[size_t(i)]);
}

int FlexGrid::scrollColLeftPx(int col) const
{
    int x = 0;
    for (int c = m_fixedCols; c < col && c < m_cols; ++c)
        x += colWidthPx(c);
    return x;
}

int FlexGrid::firstScrollRowAt(int contentY) const
{
    ensureRowPositions();
    // The first row whose bottom lies below contentY.
    const auto it = std::upper_bound(m_rowTops.begin() + 1, m_rowTops.end(), qint64(contentY));
    return m_fixedRows + int(it - (m_rowTops.begin() + 1));
}

// --- repainting and layout -----------------------------------------------

void FlexGrid::setRedraw(bool on)
{
    if (on == m_redraw)
        return;
    m_redraw = on;
    if (!on) {
        m_redrawOffRow = m_row;
        m_redrawOffCol = m_col;
        m_pendingRowColChange = false;
        return;
    }
    updateLayout();
    viewport()->update();
    if (m_pendingRowColChange) {
        m_pendingRowColChange = false;
        if (m_row != m_redrawOffRow || m_col != m_redrawOffCol)
            emit RowColChange();
    }
}

void FlexGrid::repaintIfAllowed()
{
    if (m_redraw)
        viewport()->update();
}

void FlexGrid::queueLayout()
{
    if (m_layoutQueued)
        return;
    m_layoutQueued = true;
    m_layoutTimer->start();
}

void FlexGrid::updateLayout()
{
    m_layoutQueued = false;
    ensureRowPositions();
    const int contentH = int(m_rowTops.back());
    int contentW = 0;
    for (int c = m_fixedCols; c < m_cols; ++c)
        contentW += colWidthPx(c);
    const int viewH = std::max(0, viewport()->height() - fixedHeightPx());
    const int viewW = std::max(0, viewport()->width() - fixedWidthPx());

    const bool allowV = m_scrollBars == 2 || m_scrollBars == 3;
    const bool allowH = m_scrollBars == 1 || m_scrollBars == 3;
    setVerticalScrollBarPolicy(allowV ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(allowH ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);

    QScrollBar *v = verticalScrollBar();
    v->setRange(0, allowV ? std::max(0, contentH - viewH) : 0);
    v->setPageStep(std::max(1, viewH));
    v->setSingleStep(std::max(1, fontMetrics().height()));
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, allowH ? std::max(0, contentW + rightRoomPx() - viewW) : 0);
    h->setPageStep(std::max(1, viewW));
    h->setSingleStep(20);
    if (m_redraw)
        viewport()->update();
}

int FlexGrid::rightRoomPx() const
{
    // A list laid over a header cell needs the column's right edge more than
    // 4 pixels inside the grid's outer edge, the frame included, with the
    // widths added up in twips; each column's width is drawn rounded to whole
    // pixels, so the twips may run ahead of the pixels by up to half a pixel
    // a column. Scrolled to its end, the last column stops that far short.
    double ahead = 0;
    for (int c = m_fixedCols; c < m_cols; ++c)
        ahead += std::max(0.0, m_colWidths[size_t(c)] / twipsPerPixelX() - colWidthPx(c));
    return std::max(0, 5 - 2 * frameWidth()) + int(std::ceil(ahead));
}

void FlexGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateLayout();
}

void FlexGrid::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        invalidateRowPositions();
        queueLayout();
    }
}

void FlexGrid::scrollContentsBy(int, int)
{
    viewport()->update();
    emit Scroll();
}

void FlexGrid::setScrollBars(int which)
{
    m_scrollBars = std::clamp(which, 0, 3);
    updateLayout();
}

void FlexGrid::setScrollTrack(bool on)
{
    m_scrollTrack = on;
    verticalScrollBar()->setTracking(on);
    horizontalScrollBar()->setTracking(on);
}

void FlexGrid::setFocusRect(int style)
{
    m_focusRect = style;
    repaintIfAllowed();
}

void FlexGrid::setHighLight(int style)
{
    m_highLight = style;
    repaintIfAllowed();
}

void FlexGrid::setAllowUserResizing(int how)
{
    m_allowUserResizing = how;
}

void FlexGrid::setSelectionMode(int mode)
{
    m_selectionMode = mode;
    repaintIfAllowed();
}

// --- what is in view -----------------------------------------------------

int FlexGrid::TopRow() const
{
    if (m_rows <= m_fixedRows)
        return m_fixedRows;
    return std::min(firstScrollRowAt(verticalScrollBar()->value()), m_rows - 1);
}

void FlexGrid::setTopRow(int row)
{
    if (row < m_fixedRows || row >= m_rows)
        return;
    updateLayout();
    verticalScrollBar()->setValue(scrollRowTopPx(row));
}

int FlexGrid::LeftCol() const
{
    const int offset = horizontalScrollBar()->value();
    int x = 0;
    for (int c = m_fixedCols; c < m_cols; ++c) {
        x += colWidthPx(c);
        if (x > offset)
            return c;
    }
    return std::max(m_fixedCols, m_cols - 1);
}

void FlexGrid::setLeftCol(int col)
{
    if (col < m_fixedCols || col >= m_cols)
        return;
    updateLayout();
    horizontalScrollBar()->setValue(scrollColLeftPx(col));
}

int FlexGrid::RowPos(int row) const
{
    if (row < 0 || row >= m_rows)
        return 0;
    int px = 0;
    if (row < m_fixedRows) {
        for (int r = 0; r < row; ++r)
            px += rowHeightPx(r);
    } else {
        px = fixedHeightPx() + scrollRowTopPx(row) - verticalScrollBar()->value();
    }
    return pixelsToTwipsY(px);
}

int FlexGrid::ColPos(int col) const
{
    if (col < 0 || col >= m_cols)
        return 0;
    int px = 0;
    if (col < m_fixedCols) {
        for (int c = 0; c < col; ++c)
            px += colWidthPx(c);
    } else {
        px = fixedWidthPx() + scrollColLeftPx(col) - horizontalScrollBar()->value();
    }
    return pixelsToTwipsX(px);
}

bool FlexGrid::RowIsVisible(int row) const
{
    if (row < 0 || row >= m_rows)
        return false;
    if (row < m_fixedRows)
        return true;
    const int top = fixedHeightPx() + scrollRowTopPx(row) - verticalScrollBar()->value();
    const int bottom = top + rowHeightPx(row);
    return bottom > fixedHeightPx() && top < viewport()->height();
}

bool FlexGrid::ColIsVisible(int col) const
{
    if (col < 0 || col >= m_cols)
        return false;
    if (col < m_fixedCols)
        return true;
    const int left = fixedWidthPx() + scrollColLeftPx(col) - horizontalScrollBar()->value();
    const int right = left + colWidthPx(col);
    return right > fixedWidthPx() && left < viewport()->width();
}

int FlexGrid::rowAt(int y) const
{
    if (y < 0 || y >= viewport()->height())
        return -1;
    int top = 0;
    for (int r = 0; r < m_fixedRows; ++r) {
        const int h = rowHeightPx(r);
        if (y < top + h)
            return r;
        top += h;
    }
    const int contentY = y - top + verticalScrollBar()->value();
    const int row = firstScrollRowAt(contentY);
    return row < m_rows ? row : -1;
}

int FlexGrid::colAt(int x) const
{
    if (x < 0 || x >= viewport()->width())
        return -1;
    int left = 0;
    for (int c = 0; c < m_fixedCols; ++c) {
        const int w = colWidthPx(c);
        if (x < left + w)
            return c;
        left += w;
    }
    int cx = left - horizontalScrollBar()->value();
    for (int c = m_fixedCols; c < m_cols; ++c) {
        const int w = colWidthPx(c);
        if (x >= cx && x < cx + w)
            return c;
        cx += w;
    }
    return -1;
}

// --- placement in twips --------------------------------------------------

int FlexGrid::Left() const
{
    return pixelsToTwipsX(x());
}
int FlexGrid::Top() const
{
    return pixelsToTwipsY(y());
}
int FlexGrid::Width() const
{
    return pixelsToTwipsX(width());
}
int FlexGrid::Height() const
{
    return pixelsToTwipsY(height());
}

void FlexGrid::Move(int left, int top, int width, int height)
{
    setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
}

// --- data binding --------------------------------------------------------

void FlexGrid::fill(const QStringList &header, const std::vector<QStringList> &rows, const std::vector<qint64> &keys)
{
    const int cols = int(header.size());
    std::vector<QString> cells(size_t(1 + rows.size()) * size_t(cols));
    for (int c = 0; c < cols; ++c)
        cells[size_t(c)] = header.at(c);
    for (size_t r = 0; r < rows.size(); ++r) {
        const int n = std::min(cols, int(rows[r].size()));
        for (int c = 0; c < n; ++c)
            cells[(r + 1) * size_t(cols) + size_t(c)] = rows[r].at(c);
    }
    fill(std::move(cells), cols, keys);
}

void FlexGrid::fill(std::vector<QString> &&cells, int cols, const std::vector<qint64> &keys)
{
    cols = std::max(0, cols);
    const int total = cols > 0 ? std::max(1, int(cells.size() / size_t(cols))) : 1;
    cells.resize(size_t(total) * size_t(cols));
    m_text = std::move(cells);
    m_back.assign(m_text.size(), 0);
    m_fontIdx.assign(m_text.size(), -1);
    m_fonts.clear();
    m_rowHeights.assign(size_t(total), standardRowHeight());
    m_colWidths.assign(size_t(cols), kDefaultColWidthTwips);
    m_rows = total;
    m_cols = cols;
    m_fixedRows = std::min(m_fixedRows, total);
    m_fixedCols = std::min(m_fixedCols, cols);
    // Keys belong to the data rows below the one header row that a fill makes.
    m_keys.clear();
    if (!keys.empty()) {
        m_keys.assign(size_t(total - m_fixedRows), -1);
        for (size_t i = 0; i < keys.size() && i + 1 < size_t(total); ++i) {
            const size_t slot = i + 1 - size_t(m_fixedRows);
            if (i + 1 >= size_t(m_fixedRows) && slot < m_keys.size())
                m_keys[slot] = keys[i];
        }
    }
    m_row = std::min(m_row, total - 1);
    m_col = std::min(m_col, std::max(0, cols - 1));
    m_rowSel = std::min(m_rowSel, total - 1);
    m_colSel = std::min(m_colSel, std::max(0, cols - 1));
    m_markedRow = m_markedCol = -1;
    invalidateRowPositions();
    updateLayout();
    // The cells a screen reader was told of are gone; the event drops them.
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
}

std::optional<qint64> FlexGrid::RowKey(int row) const
{
    const int slot = row - m_fixedRows;
    if (row < m_fixedRows || slot >= int(m_keys.size()) || m_keys[size_t(slot)] < 0)
        return std::nullopt;
    return m_keys[size_t(slot)];
}

int FlexGrid::RowWithKey(std::optional<qint64> key) const
{
    // A slot without a key holds -1, which no key of a day is.
    if (!key || *key < 0)
        return -1;
    const auto found = std::find(m_keys.begin(), m_keys.end(), *key);
    const int row = m_fixedRows + int(found - m_keys.begin());
    return found != m_keys.end() && row < m_rows ? row : -1;
}

// --- painting ------------------------------------------------------------

void FlexGrid::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const QPalette pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Window).darker(110));
    if (m_rows == 0 || m_cols == 0)
        return;

    const int viewW = viewport()->width();
    const int viewH = viewport()->height();
    const int fixedH = fixedHeightPx();
    const int fixedW = fixedWidthPx();
    const int offY = verticalScrollBar()->value();
    const int offX = horizontalScrollBar()->value();
    const QColor gridColor = pal.color(QPalette::Mid);
    const QColor fixedGridColor = pal.color(QPalette::Dark);

    const int selTop = std::min(m_row, m_rowSel), selBottom = std::max(m_row, m_rowSel);
    const int selLeft = m_selectionMode == 1 ? 0 : std::min(m_col, m_colSel);
    const int selRight = m_selectionMode == 1 ? m_cols - 1 : std::max(m_col, m_colSel);
    const bool showSelection = m_highLight == 1 || (m_highLight == 2 && hasFocus());

    // Columns in view, with their x positions.
    std::vector<std::pair<int, int>> columns; // (col, x)
    {
        int x = 0;
        for (int c = 0; c < m_fixedCols && x < viewW; ++c) {
            columns.emplace_back(c, x);
            x += colWidthPx(c);
        }
        int cx = fixedW - offX;
        for (int c = m_fixedCols; c < m_cols && cx < viewW; ++c) {
            const int w = colWidthPx(c);
            if (cx + w > fixedW)
                columns.emplace_back(c, cx);
            cx += w;
        }
    }

    auto paintRow = [&](int r, int y, int h) {
        for (const auto &[c, x] : columns) {
            const int w = colWidthPx(c);
            if (w <= 0)
                continue;
            const bool fixed = r < m_fixedRows || c < m_fixedCols;
            const QRect cell(x, y, w, h);
            const size_t i = size_t(index(r, c));
            const QRgb rgb = m_back[i];
            QColor back = rgb ? QColor::fromRgb(rgb) : pal.color(fixed ? QPalette::Button : QPalette::Base);
            QColor fore = pal.color(fixed ? QPalette::ButtonText : QPalette::Text);
            const bool selected = showSelection && !fixed && r >= selTop && r <= selBottom && c >= selLeft &&
                                  c <= selRight && !(r == m_row && c == m_col && m_selectionMode != 1);
            if (selected) {
                back = pal.color(QPalette::Highlight);
                fore = pal.color(QPalette::HighlightedText);
            }
            p.fillRect(cell, back);
            p.setPen(fixed ? fixedGridColor : gridColor);
            p.drawLine(cell.topRight(), cell.bottomRight());
            p.drawLine(cell.bottomLeft(), cell.bottomRight());
            const QString &text = m_text[i];
            if (!text.isEmpty()) {
                p.setPen(fore);
                p.setFont(m_fontIdx[i] < 0 ? font() : cellFont(r, c));
                p.drawText(cell.adjusted(kCellPaddingPx, 0, -kCellPaddingPx, 0), Qt::AlignLeft | Qt::AlignVCenter,
                           withDrawnLineBreaks(text));
            }
            if (r == m_markedRow && c == m_markedCol) {
                // Found: framed in the selection's colour, on the cell's own.
                p.fillRect(cell.adjusted(0, 0, -1, -1), rgb ? QColor::fromRgb(rgb) : pal.color(QPalette::Base));
                p.setPen(QPen(pal.color(QPalette::Highlight), 2));
                p.drawRect(cell.adjusted(1, 1, -2, -2));
                if (!text.isEmpty()) {
                    p.setPen(pal.color(QPalette::Text));
                    p.setFont(m_fontIdx[i] < 0 ? font() : cellFont(r, c));
                    p.drawText(cell.adjusted(kCellPaddingPx, 0, -kCellPaddingPx, 0), Qt::AlignLeft | Qt::AlignVCenter,
                               withDrawnLineBreaks(text));
                }
            }
            if (m_focusRect != 0 && hasFocus() && r == m_row && c == m_col) {
                p.setPen(QPen(fore, 1, Qt::DotLine));
                p.drawRect(cell.adjusted(1, 1, -2, -2));
            }
        }
    };

    // Scrolling rows first, then the fixed rows over them.
    p.save();
    p.setClipRect(QRect(0, fixedH, viewW, std::max(0, viewH - fixedH)));
    if (m_rows > m_fixedRows) {
        for (int r = firstScrollRowAt(offY); r < m_rows; ++r) {
            const int y = fixedH + scrollRowTopPx(r) - offY;
            if (y >= viewH)
                break;
            const int h = rowHeightPx(r);
            if (h > 0)
                paintRow(r, y, h);
        }
    }
    p.restore();
    int y = 0;
    for (int r = 0; r < m_fixedRows; ++r) {
        const int h = rowHeightPx(r);
        if (h > 0)
            paintRow(r, y, h);
        y += h;
    }
    if (showsEmptyText()) {
        // Below the header, in the grid's font, cut to the view's width.
        const QRect line(kCellPaddingPx * 2, fixedH + fontMetrics().height() / 2,
                         std::max(0, viewW - 4 * kCellPaddingPx), fontMetrics().height() + 2);
        p.setPen(pal.color(QPalette::WindowText));
        p.setFont(font());
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(m_emptyText, Qt::ElideRight, line.width()));
    }
}

void FlexGrid::setEmptyText(const QString &text)
{
    if (text == m_emptyText)
        return;
    m_emptyText = text;
    repaintIfAllowed();
}

// --- mouse and keyboard --------------------------------------------------

void FlexGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    const int col = colAt(pos.x());
    if (m_allowUserResizing != 0 && row >= 0 && row < m_fixedRows) {
        // A press on the border at a header cell's right edge drags its width.
        for (int c = 0; c < m_cols; ++c) {
            const int right = twipsToPixelsX(ColPos(c)) + colWidthPx(c);
            if (std::abs(pos.x() - right) <= kResizeGripPx) {
                m_resizingCol = c;
                m_resizeStartX = pos.x();
                m_resizeStartWidth = colWidthPx(c);
                return;
            }
        }
    }
    if (row < 0 || col < 0) {
        // Below the last row or beside the last column: a click on the grid
        // all the same, which leaves the current cell where it is.
        m_pressedOutsideCells = true;
        return;
    }
    m_dragging = true;
    setCurrent(row, col, row, col, true);
}

void FlexGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizingCol >= 0) {
        const int w = std::max(0, m_resizeStartWidth + pos.x() - m_resizeStartX);
        setColWidth(m_resizingCol, pixelsToTwipsX(w));
        return;
    }
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    const int row = rowAt(std::clamp(pos.y(), 0, viewport()->height() - 1));
    const int col = colAt(std::clamp(pos.x(), 0, viewport()->width() - 1));
    if (row >= m_fixedRows && col >= 0 && m_row >= m_fixedRows)
        setCurrent(m_row, m_col, row, col, true);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_resizingCol >= 0) {
        m_resizingCol = -1;
        return;
    }
    if (m_pressedOutsideCells) {
        m_pressedOutsideCells = false;
        emit Click();
        return;
    }
    if (!m_dragging)
        return;
    m_dragging = false;
    emit Click();
}

void FlexGrid::keyPressEvent(QKeyEvent *event)
{
    if (m_rows == 0 || m_cols == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        if (QClipboard *clipboard = QGuiApplication::clipboard())
            clipboard->setText(selectionText());
        return;
    }
    const int firstRow = std::min(m_fixedRows, m_rows - 1);
    const int firstCol = std::min(m_fixedCols, m_cols - 1);
    int row = std::max(m_row, firstRow);
    int col = std::max(m_col, firstCol);
    const int page = std::max(1, (viewport()->height() - fixedHeightPx()) / std::max(1, fontMetrics().height() + 3));
    // Rows hidden by a height of 0 are stepped over.
    auto step = [&](int from, int delta) {
        int r = from;
        for (int n = std::abs(delta); n > 0;) {
            const int next = r + (delta > 0 ? 1 : -1);
            if (next < firstRow || next >= m_rows)
                break;
            r = next;
            if (m_rowHeights[size_t(r)] > 0)
                --n;
        }
        return r;
    };
    switch (event->key()) {
    case Qt::Key_Up:
        row = step(row, -1);
        break;
    case Qt::Key_Down:
        row = step(row, 1);
        break;
    case Qt::Key_PageUp:
        row = step(row, -page);
        break;
    case Qt::Key_PageDown:
        row = step(row, page);
        break;
    case Qt::Key_Left:
        col = std::max(firstCol, col - 1);
        break;
    case Qt::Key_Right:
        col = std::min(m_cols - 1, col + 1);
        break;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier)
            row = firstRow;
        col = firstCol;
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier)
            row = m_rows - 1;
        col = m_cols - 1;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // The keyboard's way to do what a click on the current cell does.
        emit Click();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    setCurrent(row, col, row, col, true);
}

void FlexGrid::goToCell(int row, int col)
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return;
    setCurrent(row, col, row, col, true);
}

void FlexGrid::goToFoundCell(int row, int col, int alsoCol)
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return;
    setCurrent(row, col, row, col, true);
    m_markedRow = row;
    m_markedCol = col;
    // The cell is in view; bring the other column in beside it if both fit.
    if (alsoCol >= m_fixedCols && alsoCol < m_cols && col >= m_fixedCols && alsoCol != col) {
        const int left = std::min(scrollColLeftPx(col), scrollColLeftPx(alsoCol));
        const int right =
            std::max(scrollColLeftPx(col) + colWidthPx(col), scrollColLeftPx(alsoCol) + colWidthPx(alsoCol));
        const int viewW = std::max(0, viewport()->width() - fixedWidthPx());
        QScrollBar *h = horizontalScrollBar();
        if (right - left <= viewW) {
            if (left < h->value())
                h->setValue(left);
            else if (right > h->value() + viewW)
                h->setValue(right - viewW);
        }
    }
    repaintIfAllowed();
}

bool FlexGrid::colWhollyVisible(int col) const
{
    if (col < 0 || col >= m_cols)
        return false;
    if (col < m_fixedCols)
        return true;
    const int left = fixedWidthPx() + scrollColLeftPx(col) - horizontalScrollBar()->value();
    return left >= fixedWidthPx() && left + colWidthPx(col) <= viewport()->width();
}

QString FlexGrid::selectionText() const
{
    if (m_rows == 0 || m_cols == 0)
        return {};
    const int top = std::min(m_row, m_rowSel);
    const int bottom = std::max(m_row, m_rowSel);
    const int left = m_selectionMode == 1 ? 0 : std::min(m_col, m_colSel);
    const int right = m_selectionMode == 1 ? m_cols - 1 : std::max(m_col, m_colSel);
    QStringList lines;
    for (int r = top; r <= bottom; ++r) {
        if (m_rowHeights[size_t(r)] <= 0)
            continue;
        QStringList cells;
        for (int c = left; c <= right; ++c)
            cells << text::quotedField(m_text[size_t(index(r, c))], text::Separator::Tab);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void FlexGrid::ensureVisible(int row, int col)
{
    updateLayout();
    if (row >= m_fixedRows && row < m_rows) {
        const int top = scrollRowTopPx(row);
        const int bottom = top + rowHeightPx(row);
        const int viewH = std::max(0, viewport()->height() - fixedHeightPx());
        QScrollBar *v = verticalScrollBar();
        if (top < v->value())
            v->setValue(top);
        else if (bottom > v->value() + viewH)
            v->setValue(std::min(top, bottom - viewH));
    }
    if (col >= m_fixedCols && col < m_cols) {
        const int left = scrollColLeftPx(col);
        const int right = left + colWidthPx(col);
        const int viewW = std::max(0, viewport()->width() - fixedWidthPx());
        QScrollBar *h = horizontalScrollBar();
        const int room = rightRoomPx();
        if (left < h->value())
            h->setValue(left);
        else if (right + room > h->value() + viewW)
            h->setValue(std::min(left, right + room - viewW));
    }
}

} // namespace vb
