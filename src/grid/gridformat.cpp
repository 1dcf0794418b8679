#include "grid/gridformat.h"

#include "platform/flexgrid.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"

#include <QHash>
#include <QString>

#include <deque>
#include <stdexcept>

namespace grid {

namespace {

// Every cell is measured on every activation, and a diary repeats its texts
// (the same meals, empty cells, scores) over and over: each distinct text is
// measured once per font and call. The answers are those of the window's own
// measurement, so the sizes do not change.
class Measurements
{
public:
    explicit Measurements(vb::TextMeasurer &window)
        : m_window(window)
    {}

    double height(const QString &text)
    {
        Font &f = current();
        const auto it = f.heights.constFind(text);
        if (it != f.heights.constEnd())
            return it.value();
        const double h = m_window.TextHeight(text);
        f.heights.insert(text, h);
        return h;
    }

    double width(const QString &text)
    {
        Font &f = current();
        const auto it = f.widths.constFind(text);
        if (it != f.widths.constEnd())
            return it.value();
        const double w = m_window.TextWidth(text);
        f.widths.insert(text, w);
        return w;
    }

    // Makes the window measure in the current cell's font, setting bold, name
    // and size in that order. A font that is already the window's is left
    // alone: setting it again would measure the same.
    void takeCellFont(const vb::FlexGrid &grid)
    {
        const bool bold = grid.CellFontBold();
        const QString name = grid.CellFontName();
        const double size = grid.CellFontSize();
        if (bold == m_window.FontBold() && name == m_window.FontName() && size == m_window.FontSize())
            return;
        m_window.setFontBold(bold);
        m_window.setFontName(name);
        m_window.setFontSize(size);
        m_current = nullptr;
    }

private:
    struct Font
    {
        QString name;
        double size = 0;
        bool bold = false;
        QHash<QString, double> heights;
        QHash<QString, double> widths;
    };

    // Within one call only the name, size and bold flag of the window's font
    // change, so they tell its fonts apart.
    Font &current()
    {
        if (m_current)
            return *m_current;
        const QString name = m_window.FontName();
        const double size = m_window.FontSize();
        const bool bold = m_window.FontBold();
        for (Font &f : m_fonts) {
            if (f.bold == bold && f.size == size && f.name == name) {
                m_current = &f;
                return f;
            }
        }
        m_fonts.push_back(Font{name, size, bold, {}, {}});
        m_current = &m_fonts.back();
        return *m_current;
    }

    vb::TextMeasurer &m_window;
    std::deque<Font> m_fonts; // stable addresses for m_current
    Font *m_current = nullptr;
};

struct SavedFont
{
    bool bold = false;
    QString name;
    double size = 0;
};

SavedFont saveFont(const vb::TextMeasurer &window)
{
    return {window.FontBold(), window.FontName(), window.FontSize()};
}

void restoreFont(vb::TextMeasurer &window, const SavedFont &saved)
{
    window.setFontBold(saved.bold);
    window.setFontName(saved.name);
    window.setFontSize(saved.size);
}

void requireRow(const vb::FlexGrid &grid, int row)
{
    if (row < 0 || row >= grid.Rows())
        throw std::out_of_range("row bound outside the grid");
}

void requireCol(const vb::FlexGrid &grid, int col)
{
    if (col < 0 || col >= grid.Cols())
        throw std::out_of_range("column bound outside the grid");
}

const QString kRowSample = QStringLiteral("Wg");
const QString kColSample = QStringLiteral("W");

} // namespace

void FG_AlternateRowColors(vb::FlexGrid &FG, vb::TextMeasurer &window, QColor lColor1, QColor lcolor2, int lFirstRow,
                           int lLastRow, bool bCheckFont, int lFirstCol, int lLastCol, RowFitHook *hook)
{
    // The colours go through the current cell one by one; with repainting
    // off the grid draws the bands once, at the end.
    FG.setRedraw(false);
    const int savedRow = FG.Row();
    const int savedCol = FG.Col();
    for (int r = FG.FixedRows(); r < FG.Rows(); ++r) {
        const QColor &color = (r % 2 == 0) ? lColor1 : lcolor2;
        FG.setRow(r);
        for (int c = FG.FixedCols(); c < FG.Cols(); ++c) {
            FG.setCol(c);
            FG.setCellBackColor(color);
        }
    }
    FG.setRow(savedRow);
    FG.setCol(savedCol);
    FG.setRedraw(true);

    FG_AutosizeRows(FG, window, lFirstRow, lLastRow, bCheckFont, hook);
    FG_AutosizeCols(FG, window, lFirstCol, lLastCol, bCheckFont);
}

void FG_AutosizeRows(vb::FlexGrid &myGrid, vb::TextMeasurer &window, int lFirstRow, int lLastRow, bool bCheckFont,
                     RowFitHook *hook)
{
    SavedFont savedFont;
    int savedCol = 0;
    int savedRow = 0;
    if (bCheckFont) {
        savedFont = saveFont(window);
        savedCol = myGrid.Col();
        savedRow = myGrid.Row();
    }
    if (lFirstRow == -1)
        lFirstRow = 0;
    if (lLastRow == -1)
        lLastRow = myGrid.Rows() - 1;

    Measurements measure(window);
    if (hook)
        hook->beginRowFit(myGrid);
    for (int r = lFirstRow; r <= lLastRow; ++r) {
        requireRow(myGrid, r);
        if (bCheckFont)
            myGrid.setRow(r);
        int tallest = 0;
        for (int c = 0; c < myGrid.Cols(); ++c) {
            if (bCheckFont) {
                myGrid.setCol(c);
                measure.takeCellFont(myGrid);
            }
            const int h = vb::roundHalfEven(measure.height(myGrid.TextMatrix(r, c)));
            if (h > tallest)
                tallest = h;
        }
        // The margin is measured in the font of the row's last cell.
        int height = vb::roundHalfEven(measure.height(kRowSample) / 5 + tallest);
        if (hook)
            height = hook->fittedRowHeight(myGrid, r, height);
        myGrid.setRowHeight(r, height);
    }

    if (bCheckFont) {
        myGrid.setRow(savedRow);
        myGrid.setCol(savedCol);
        restoreFont(window, savedFont);
    }
}

void FG_AutosizeCols(vb::FlexGrid &myGrid, vb::TextMeasurer &window, int lFirstCol, int lLastCol, bool bCheckFont)
{
    SavedFont savedFont;
    int savedRow = 0;
    int savedCol = 0;
    if (bCheckFont) {
        savedFont = saveFont(window);
        savedRow = myGrid.Row();
        savedCol = myGrid.Col();
    }
    if (lFirstCol == -1)
        lFirstCol = 0;
    if (lLastCol == -1)
        lLastCol = myGrid.Cols() - 1;

    Measurements measure(window);
    for (int c = lFirstCol; c <= lLastCol; ++c) {
        requireCol(myGrid, c);
        if (bCheckFont)
            myGrid.setCol(c);
        int widest = 0;
        for (int r = 0; r < myGrid.Rows(); ++r) {
            if (bCheckFont) {
                myGrid.setRow(r);
                measure.takeCellFont(myGrid);
            }
            const int w = vb::roundHalfEven(measure.width(myGrid.TextMatrix(r, c)));
            if (w > widest)
                widest = w;
        }
        myGrid.setColWidth(c, vb::roundHalfEven(measure.width(kColSample) + widest));
    }

    if (bCheckFont) {
        myGrid.setRow(savedRow);
        myGrid.setCol(savedCol);
        restoreFont(window, savedFont);
    }
}

} // namespace grid
