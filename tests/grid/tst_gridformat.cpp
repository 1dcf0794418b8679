// Banding and fitting of the overview grid, on the real grid control.
#include "app/frmmain.h"
#include "grid/gridformat.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <stdexcept>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {

const QColor kYellow(255, 255, 192);
const QColor kWhite(255, 255, 255);

QFont windowFont()
{
    return vb::designFont(QStringLiteral("MS Sans Serif"), 8.25);
}

// A measurer in the main window's font, as the window holds one.
vb::TextMeasurer windowMeasurer()
{
    vb::TextMeasurer m(windowFont());
    m.setFont(windowFont(), QStringLiteral("MS Sans Serif"));
    return m;
}

// A grid shaped as the main window's: one fixed row, no fixed column.
void fillGrid(vb::FlexGrid &g, const QStringList &header, const std::vector<QStringList> &rows)
{
    g.fill(header, rows);
    g.setFixedRows(1);
    g.setFixedCols(0);
}

// Expected sizes are worked out apart from the code under test: Qt's own
// metrics of the measurer's font, 15 twips a pixel (the tests' 96 logical
// dpi, checked in initTestCase) and rounding half to even written out.
int halfEven(double v)
{
    const double below = std::floor(v);
    const double fraction = v - below;
    if (fraction != 0.5)
        return int(fraction < 0.5 ? below : below + 1);
    return int(std::fmod(below, 2.0) == 0 ? below : below + 1);
}
double heightTwips(const QFont &font, const QString &text)
{
    return (text.count(QLatin1Char('\n')) + 1) * QFontMetricsF(font).height() * 15;
}
double widthTwips(const QFont &font, const QString &text)
{
    double widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, QFontMetricsF(font).horizontalAdvance(line));
    return widest * 15;
}

// What a row must become: its tallest text, each height rounded, plus a fifth
// of "Wg".
int expectedRowHeight(const vb::TextMeasurer &m, const QStringList &texts)
{
    int tallest = 0;
    for (const QString &t : texts)
        tallest = std::max(tallest, halfEven(heightTwips(m.font(), t)));
    return halfEven(heightTwips(m.font(), QStringLiteral("Wg")) / 5 + tallest);
}

int expectedColWidth(const vb::TextMeasurer &m, const QStringList &texts)
{
    int widest = 0;
    for (const QString &t : texts)
        widest = std::max(widest, halfEven(widthTwips(m.font(), t)));
    return halfEven(widthTwips(m.font(), QStringLiteral("W")) + widest);
}

QStringList rowTexts(const vb::FlexGrid &g, int r)
{
    QStringList t;
    for (int c = 0; c < g.Cols(); ++c)
        t << g.TextMatrix(r, c);
    return t;
}

QStringList colTexts(const vb::FlexGrid &g, int c)
{
    QStringList t;
    for (int r = 0; r < g.Rows(); ++r)
        t << g.TextMatrix(r, c);
    return t;
}

QColor colorAt(vb::FlexGrid &g, int r, int c)
{
    const int row = g.Row(), col = g.Col();
    g.setRow(r);
    g.setCol(c);
    const QColor color = g.CellBackColor();
    g.setRow(row);
    g.setCol(col);
    return color;
}

} // namespace

class tst_GridFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96.0);
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
        QCOMPARE(QFontInfo(windowFont()).family(), QStringLiteral("Liberation Sans"));
    }

    // Figures for Liberation Sans at 96 dpi, worked out by hand from its line
    // heights (8.25 pt: 12.28 px, 184.22 twips a line, a margin of 36.84;
    // 12 pt: 17.875 px, 268.13 and 53.63; 6.5 pt: 10.05 px, 150.70 and 30.14).
    // Two of the margins have a fraction of .5 or more, so a margin cut off
    // instead of rounded shows.
    void rowFitting_literalHeights_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("height");
        QTest::newRow("8.25 pt, one line") << 8.25 << QStringLiteral("TOAST") << 221;
        QTest::newRow("8.25 pt, two lines") << 8.25 << QStringLiteral("RICE\nPEAS") << 405;
        QTest::newRow("12 pt, one line") << 12.0 << QStringLiteral("TOAST") << 322;
        QTest::newRow("6.5 pt, one line") << 6.5 << QStringLiteral("TOAST") << 181;
    }
    void rowFitting_literalHeights()
    {
        QFETCH(double, points);
        QFETCH(QString, text);
        QFETCH(int, height);
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("H")}, {{text}});
        vb::TextMeasurer m = windowMeasurer();
        m.setFontSize(points);
        grid::FG_AutosizeRows(g, m, 1, 1, false);
        QCOMPARE(g.RowHeight(1), height);
    }

    void banding_oddRowsWhiteEvenRowsYellow_fixedRowUntouched_cellAndRedrawGivenBack()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("DATE"), QStringLiteral("SCORE"), QStringLiteral("TEA")},
                 {{QStringLiteral("a"), QStringLiteral("1"), QStringLiteral("x")},
                  {QStringLiteral("b"), QStringLiteral("2"), QStringLiteral("y")},
                  {QStringLiteral("c"), QStringLiteral("3"), QStringLiteral("z")},
                  {QStringLiteral("d"), QStringLiteral("4"), QString()}});
        const QColor headerBefore = colorAt(g, 0, 1);
        g.setRow(2);
        g.setCol(1);
        g.setRedraw(false); // whatever it was, it ends on
        vb::TextMeasurer m = windowMeasurer();
        QSignalSpy moved(&g, &vb::FlexGrid::RowColChange);

        grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);

        QVERIFY(g.Redraw());
        QCOMPARE(g.Row(), 2);
        QCOMPARE(g.Col(), 1);
        QCOMPARE(moved.count(), 0); // the walk ends where it began
        for (int c = 0; c < g.Cols(); ++c) {
            QCOMPARE(colorAt(g, 0, c), headerBefore);
            QCOMPARE(colorAt(g, 1, c), kWhite);
            QCOMPARE(colorAt(g, 2, c), kYellow);
            QCOMPARE(colorAt(g, 3, c), kWhite);
            QCOMPARE(colorAt(g, 4, c), kYellow);
        }
    }

    void banding_fixedColumnKeepsItsColour()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("H1"), QStringLiteral("H2")},
                 {{QStringLiteral("a"), QStringLiteral("b")}, {QStringLiteral("c"), QStringLiteral("d")}});
        g.setFixedCols(1);
        const QColor fixedBefore = colorAt(g, 1, 0);
        vb::TextMeasurer m = windowMeasurer();
        grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);
        QCOMPARE(colorAt(g, 1, 0), fixedBefore);
        QCOMPARE(colorAt(g, 2, 0), fixedBefore);
        QCOMPARE(colorAt(g, 1, 1), kWhite);
        QCOMPARE(colorAt(g, 2, 1), kYellow);
    }

    void fitting_everyRowAndColumnFitsItsText_multiLineAndEmptyColumn()
    {
        vb::FlexGrid g;
        const QString threeLines = QStringLiteral("RICE\nCHICKEN AND LEEKS\nPEAS");
        fillGrid(g, {QStringLiteral("DATE"), QStringLiteral("LUNCH"), QStringLiteral("COMMENTS")},
                 {{QStringLiteral("01/02/26"), threeLines, QString()},
                  {QStringLiteral("02/02/26"), QStringLiteral("SOUP"), QString()}});
        vb::TextMeasurer m = windowMeasurer();
        grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);

        vb::TextMeasurer fresh = windowMeasurer();
        for (int r = 0; r < g.Rows(); ++r)
            QCOMPARE(g.RowHeight(r), expectedRowHeight(fresh, rowTexts(g, r)));
        for (int c = 0; c < g.Cols(); ++c)
            QCOMPARE(g.ColWidth(c), expectedColWidth(fresh, colTexts(g, c)));

        // The multi-line row takes all three lines; its column the longest line.
        const int oneLine = halfEven(heightTwips(fresh.font(), QStringLiteral("SOUP")));
        const int margin = halfEven(heightTwips(fresh.font(), QStringLiteral("Wg")) / 5);
        QVERIFY(g.RowHeight(1) >= 3 * oneLine + margin - 2);
        QVERIFY(g.RowHeight(1) > g.RowHeight(2));
        QCOMPARE(g.ColWidth(1), halfEven(widthTwips(fresh.font(), QStringLiteral("W")) +
                                         halfEven(widthTwips(fresh.font(), QStringLiteral("CHICKEN AND LEEKS")))));
        // An empty column is "W" plus its header.
        QCOMPARE(g.ColWidth(2), halfEven(widthTwips(fresh.font(), QStringLiteral("W")) +
                                         halfEven(widthTwips(fresh.font(), QStringLiteral("COMMENTS")))));
    }

    void lineBreaks_measuredAsDrawn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("lone CR") << QStringLiteral("WIDE\rWg");
        QTest::newRow("CRLF") << QStringLiteral("WIDE\r\nWg");
        QTest::newRow("line separator") << QStringLiteral("WIDE\u2028Wg");
        QTest::newRow("paragraph separator") << QStringLiteral("WIDE\u2029Wg");
    }
    void lineBreaks_measuredAsDrawn()
    {
        // Each is fitted and painted exactly as the same two lines split by LF.
        QFETCH(QString, text);
        auto fittedPicture = [](const QString &cell, int *height, int *width) {
            vb::FlexGrid g;
            g.resize(300, 200);
            fillGrid(g, {QStringLiteral("H")}, {{cell}});
            vb::TextMeasurer m = windowMeasurer();
            grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);
            *height = g.RowHeight(1);
            *width = g.ColWidth(0);
            return g.grab().toImage();
        };
        int lfHeight = 0, lfWidth = 0, height = 0, width = 0;
        const QImage lf = fittedPicture(QStringLiteral("WIDE\nWg"), &lfHeight, &lfWidth);
        const QImage other = fittedPicture(text, &height, &width);
        QCOMPARE(height, lfHeight);
        QCOMPARE(width, lfWidth);
        QVERIFY2(other == lf, "drawn otherwise than the same lines split by LF");
    }

    void emptyGrid_noBandsHeaderRowAndColumnsFitted()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE")}, {});
        QCOMPARE(g.Rows(), 1);
        const QColor before = colorAt(g, 0, 0);
        vb::TextMeasurer m = windowMeasurer();
        grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);
        QCOMPARE(colorAt(g, 0, 0), before);
        QCOMPARE(colorAt(g, 0, 1), before);
        vb::TextMeasurer fresh = windowMeasurer();
        QCOMPARE(g.RowHeight(0), expectedRowHeight(fresh, rowTexts(g, 0)));
        QCOMPARE(g.ColWidth(0), expectedColWidth(fresh, {QStringLiteral("DATE")}));
        QCOMPARE(g.ColWidth(1), expectedColWidth(fresh, {QStringLiteral("OVERALL SCORE")}));
    }

    void bounds_rangeOnly_firstAfterLastChangesNothing_outsideGridThrows()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("A"), QStringLiteral("B")},
                 {{QStringLiteral("x\ny"), QStringLiteral("1")},
                  {QStringLiteral("x\ny"), QStringLiteral("2")},
                  {QStringLiteral("x\ny"), QStringLiteral("3")}});
        for (int r = 0; r < g.Rows(); ++r)
            g.setRowHeight(r, 777);
        for (int c = 0; c < g.Cols(); ++c)
            g.setColWidth(c, 555);
        vb::TextMeasurer m = windowMeasurer();
        vb::TextMeasurer fresh = windowMeasurer();

        grid::FG_AutosizeRows(g, m, 2, 3, false);
        QCOMPARE(g.RowHeight(0), 777);
        QCOMPARE(g.RowHeight(1), 777);
        QCOMPARE(g.RowHeight(2), expectedRowHeight(fresh, rowTexts(g, 2)));
        QCOMPARE(g.RowHeight(3), expectedRowHeight(fresh, rowTexts(g, 3)));

        grid::FG_AutosizeCols(g, m, 1, -1, false);
        QCOMPARE(g.ColWidth(0), 555);
        QCOMPARE(g.ColWidth(1), expectedColWidth(fresh, colTexts(g, 1)));

        // First bound after the last: nothing is fitted, and with bCheckFont
        // the current cell and the window's font are as they were.
        g.setRow(1);
        g.setCol(1);
        m.setFontBold(true);
        m.setFontSize(12);
        grid::FG_AutosizeRows(g, m, 3, 1, true);
        grid::FG_AutosizeCols(g, m, 1, 0, true);
        QCOMPARE(g.RowHeight(1), 777);
        QCOMPARE(g.ColWidth(0), 555);
        QCOMPARE(g.Row(), 1);
        QCOMPARE(g.Col(), 1);
        QVERIFY(m.FontBold());
        QCOMPARE(m.FontSize(), 12.0);
        QCOMPARE(m.FontName(), QStringLiteral("MS Sans Serif"));

        // A bound outside the grid fails at that row; the rows before it are done.
        m = windowMeasurer();
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid::FG_AutosizeRows(g, m, 1, g.Rows(), false));
        QCOMPARE(g.RowHeight(1), expectedRowHeight(fresh, rowTexts(g, 1)));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid::FG_AutosizeCols(g, m, -2, 0, false));
    }

    void checkFont_boldCellMeasuredInItsFont_windowFontAndCellGivenBack()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("H1"), QStringLiteral("H2"), QStringLiteral("H3")},
                 {{QStringLiteral("plain"), QStringLiteral("BIG BOLD TEXT"), QStringLiteral("plain")},
                  {QStringLiteral("plain"), QStringLiteral("plain"), QStringLiteral("plain")}});
        g.setRow(1);
        g.setCol(1);
        g.setCellFontBold(true);
        g.setCellFontSize(14);
        g.setRow(2);
        g.setCol(2);
        vb::TextMeasurer m = windowMeasurer();

        // Without the flag every cell is measured in the window's font.
        grid::FG_AutosizeRows(g, m, -1, -1, false);
        vb::TextMeasurer plain = windowMeasurer();
        QCOMPARE(g.RowHeight(1), expectedRowHeight(plain, rowTexts(g, 1)));

        grid::FG_AutosizeRows(g, m, -1, -1, true);
        grid::FG_AutosizeCols(g, m, -1, -1, true);

        vb::TextMeasurer bold = windowMeasurer();
        bold.setFontBold(true);
        bold.setFontSize(14);
        const int boldTall = halfEven(heightTwips(bold.font(), QStringLiteral("BIG BOLD TEXT")));
        QVERIFY(boldTall > halfEven(heightTwips(plain.font(), QStringLiteral("plain"))));
        // The margin comes from the row's last cell, which is plain.
        QCOMPARE(g.RowHeight(1), halfEven(heightTwips(plain.font(), QStringLiteral("Wg")) / 5 + boldTall));
        QCOMPARE(g.RowHeight(2), expectedRowHeight(plain, rowTexts(g, 2)));
        // The bold cell is the widest of its column; the margin is measured in
        // the font of the column's last cell, plain.
        const int boldWide = halfEven(widthTwips(bold.font(), QStringLiteral("BIG BOLD TEXT")));
        QCOMPARE(g.ColWidth(1), halfEven(widthTwips(plain.font(), QStringLiteral("W")) + boldWide));
        QCOMPARE(g.ColWidth(0), expectedColWidth(plain, colTexts(g, 0)));

        QCOMPARE(g.Row(), 2);
        QCOMPARE(g.Col(), 2);
        QVERIFY(!m.FontBold());
        QCOMPARE(m.FontSize(), windowFont().pointSizeF());
        QCOMPARE(m.FontName(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(widthTwips(m.font(), QStringLiteral("plain")), widthTwips(plain.font(), QStringLiteral("plain")));
    }

    void checkFont_boldCellLastInRow_marginInBoldFont()
    {
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("H1"), QStringLiteral("H2")}, {{QStringLiteral("x"), QStringLiteral("y")}});
        g.setRow(1);
        g.setCol(1);
        g.setCellFontBold(true);
        g.setCellFontSize(16);
        vb::TextMeasurer m = windowMeasurer();
        grid::FG_AutosizeRows(g, m, 1, 1, true);
        vb::TextMeasurer bold = windowMeasurer();
        bold.setFontBold(true);
        bold.setFontSize(16);
        QCOMPARE(g.RowHeight(1), halfEven(heightTwips(bold.font(), QStringLiteral("Wg")) / 5 +
                                          halfEven(heightTwips(bold.font(), QStringLiteral("y")))));
    }

    void checkFont_lastCellBold_windowFontGivenBackAsItWas()
    {
        // The walk ends on the bold bottom-right cell; the window's own font,
        // here not the cells' one, must be back afterwards.
        vb::FlexGrid g;
        fillGrid(g, {QStringLiteral("H1"), QStringLiteral("H2")},
                 {{QStringLiteral("x"), QStringLiteral("y")}, {QStringLiteral("z"), QStringLiteral("w")}});
        g.setRow(2);
        g.setCol(1);
        g.setCellFontBold(true);
        g.setCellFontName(QStringLiteral("Arial"));
        g.setCellFontSize(15);
        g.setRow(1);
        g.setCol(0);
        vb::TextMeasurer m = windowMeasurer();
        m.setFontSize(11);
        vb::TextMeasurer reference = windowMeasurer();
        reference.setFontSize(11);

        grid::FG_AutosizeRows(g, m, -1, -1, true);
        QVERIFY(!m.FontBold());
        QCOMPARE(m.FontSize(), 11.0);
        QCOMPARE(m.FontName(), QStringLiteral("MS Sans Serif"));
        grid::FG_AutosizeCols(g, m, -1, -1, true);
        QVERIFY(!m.FontBold());
        QCOMPARE(m.FontSize(), 11.0);
        QCOMPARE(m.FontName(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(widthTwips(m.font(), QStringLiteral("Wg")), widthTwips(reference.font(), QStringLiteral("Wg")));
        QCOMPARE(heightTwips(m.font(), QStringLiteral("Wg")), heightTwips(reference.font(), QStringLiteral("Wg")));
        QCOMPARE(g.Row(), 1);
        QCOMPARE(g.Col(), 0);
    }

    void manyRepeatedTexts_sameSizesAsMeasuringEveryCellAfresh()
    {
        // The fitting measures each distinct text once; the sizes must be those
        // of measuring every cell on its own.
        const QStringList pool{
            QStringLiteral("2*COFFEE"),  QStringLiteral("coffee"),     QString(),
            QStringLiteral("TOAST"),     QStringLiteral("RICE\nPEAS"), QStringLiteral("A\nB\nC\nD"),
            QStringLiteral("WWWWWWWWW"), QStringLiteral("i"),          QStringLiteral("Porridge with honey")};
        QRandomGenerator rng(42);
        const int cols = 6;
        QStringList header;
        for (int c = 0; c < cols; ++c)
            header << QStringLiteral("COLUMN %1").arg(c);
        std::vector<QStringList> rows;
        for (int r = 0; r < 400; ++r) {
            QStringList row;
            for (int c = 0; c < cols; ++c)
                row << pool.at(int(rng.bounded(quint32(pool.size()))));
            rows.push_back(row);
        }
        vb::FlexGrid g;
        fillGrid(g, header, rows);
        vb::TextMeasurer m = windowMeasurer();
        grid::FG_AlternateRowColors(g, m, kYellow, kWhite, -1, -1, false, -1, -1);
        for (int r = 0; r < g.Rows(); ++r) {
            vb::TextMeasurer fresh = windowMeasurer();
            QCOMPARE(g.RowHeight(r), expectedRowHeight(fresh, rowTexts(g, r)));
        }
        for (int c = 0; c < g.Cols(); ++c) {
            vb::TextMeasurer fresh = windowMeasurer();
            QCOMPARE(g.ColWidth(c), expectedColWidth(fresh, colTexts(g, c)));
        }
    }

    void mainWindow_activationBandsAndFits()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY2(d.ok(), qPrintable(d.error()));
        d.insertDay(
            {{QStringLiteral("OVERALL SCORE"), 9}, {QStringLiteral("BREAKFAST"), QStringLiteral("PORRIDGE\nHONEY")}});
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 5}, {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}});
        MessageLog log;
        frmMain w;
        w.load();
        vb::FlexGrid *g = w.MSFlexGrid1;
        QCOMPARE(g->Rows(), 3);
        w.Form_Activate();
        for (int c = 0; c < g->Cols(); ++c) {
            QCOMPARE(colorAt(*g, 1, c), kWhite);
            QCOMPARE(colorAt(*g, 2, c), kYellow);
        }
        vb::TextMeasurer fresh = windowMeasurer();
        for (int r = 0; r < g->Rows(); ++r)
            QCOMPARE(g->RowHeight(r), expectedRowHeight(fresh, rowTexts(*g, r)));
        for (int c = 0; c < g->Cols(); ++c)
            QCOMPARE(g->ColWidth(c), expectedColWidth(fresh, colTexts(*g, c)));
        QVERIFY(g->RowHeight(1) > g->RowHeight(2));
        QCOMPARE(g->Row(), 0);
        QCOMPARE(g->Col(), 0);
        QVERIFY(log.messages.isEmpty());
    }
};

QTEST_MAIN(tst_GridFormat)
#include "tst_gridformat.moc"
