// The grid control: shape, current cell, sizes in twips, what is in view,
// and the events a user's click and the code raise.
#include "platform/flexgrid.h"
#include "platform/textmeasure.h"
#include "platform/twips.h"

#include <QAbstractScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using vb::FlexGrid;

namespace {
void fillDays(FlexGrid &g, int rows, int cols)
{
    QStringList header;
    for (int c = 0; c < cols; ++c)
        header << QStringLiteral("H%1").arg(c);
    std::vector<QStringList> data;
    std::vector<qint64> keys;
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < cols; ++c)
            row << QStringLiteral("r%1c%2").arg(r + 1).arg(c);
        data.push_back(row);
        keys.push_back(1000 + r);
    }
    g.setFixedRows(1);
    g.setFixedCols(0);
    g.fill(header, data, keys);
}
QPoint cellCentre(const FlexGrid &g, int row, int col)
{
    return QPoint(vb::twipsToPixelsX(g.ColPos(col) + g.ColWidth(col) / 2.0),
                  vb::twipsToPixelsY(g.RowPos(row) + g.RowHeight(row) / 2.0));
}
} // namespace

class tst_FlexGrid : public QObject
{
    Q_OBJECT

private slots:
    void twips_roundHalfToEven()
    {
        QCOMPARE(vb::roundHalfEven(2.5), 2);
        QCOMPARE(vb::roundHalfEven(3.5), 4);
        QCOMPARE(vb::roundHalfEven(-2.5), -2);
        QCOMPARE(vb::roundHalfEven(2.4999), 2);
        QCOMPARE(vb::roundHalfEven(2.5001), 3);
    }

    void twipsPerPixel_fromLogicalDpi_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<double>("twips");
        QTest::newRow("96") << 96.0 << 15.0;
        QTest::newRow("120") << 120.0 << 12.0;
        QTest::newRow("144") << 144.0 << 10.0;
        QTest::newRow("192") << 192.0 << 7.5;
    }

    void twipsPerPixel_fromLogicalDpi()
    {
        QFETCH(double, dpi);
        QFETCH(double, twips);
        QCOMPARE(vb::twipsPerPixelAt(dpi), twips);
    }

    // Also run at a device pixel ratio of 2 (QT_SCALE_FACTOR=2), where Qt's
    // scaling keeps the logical DPI at 96.
    void twipsPerPixel_96LogicalDpiAtAnyDeviceRatio()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
        QCOMPARE(vb::twipsPerPixelX(), 15.0);
        QCOMPARE(vb::twipsPerPixelY(), 15.0);
        QCOMPARE(vb::twipsRect(1680, 600, 3855, 735), QRect(112, 40, 257, 49));
    }

    void textMeasure_linesAndWidestLine()
    {
        vb::TextMeasurer m;
        const double line = m.TextHeight(QStringLiteral("W"));
        QVERIFY(line > 0);
        QCOMPARE(m.TextHeight(QString()), line);
        QCOMPARE(m.TextHeight(QStringLiteral("a\nb\nc")), 3 * line);
        QCOMPARE(m.TextHeight(QStringLiteral("a\r\nb")), 2 * line);
        QCOMPARE(m.TextWidth(QStringLiteral("short\nthe longest line\nmid")),
                 m.TextWidth(QStringLiteral("the longest line")));
        QCOMPARE(m.TextWidth(QString()), 0.0);
        const double plain = m.TextWidth(QStringLiteral("WWWW"));
        m.setFontBold(true);
        QVERIFY(m.TextWidth(QStringLiteral("WWWW")) > plain);
        m.setFontBold(false);
        QCOMPARE(m.TextWidth(QStringLiteral("WWWW")), plain);
    }

    void shape_growKeepsCellsAndFixedStayInRange()
    {
        FlexGrid g;
        QCOMPARE(g.Rows(), 2);
        QCOMPARE(g.Cols(), 2);
        QCOMPARE(g.FixedRows(), 1);
        QCOMPARE(g.FixedCols(), 1);
        g.setTextMatrix(1, 1, QStringLiteral("kept"));
        g.setRows(5);
        g.setCols(4);
        QCOMPARE(g.TextMatrix(1, 1), QStringLiteral("kept"));
        QCOMPARE(g.TextMatrix(4, 3), QString());
        QCOMPARE(g.RowHeight(4), g.standardRowHeight());
        g.setRows(1);
        QCOMPARE(g.FixedRows(), 1);
        QCOMPARE(g.TextMatrix(1, 1), QString());
        QCOMPARE(g.TextMatrix(-1, 0), QString());
    }

    void fill_headerRowsAndHiddenKeys()
    {
        FlexGrid g;
        fillDays(g, 3, 4);
        QCOMPARE(g.Rows(), 4);
        QCOMPARE(g.Cols(), 4);
        QCOMPARE(g.TextMatrix(0, 2), QStringLiteral("H2"));
        QCOMPARE(g.TextMatrix(3, 1), QStringLiteral("r3c1"));
        QCOMPARE(g.RowKey(0), std::nullopt);
        QCOMPARE(g.RowKey(1), std::optional<qint64>(1000));
        QCOMPARE(g.RowKey(3), std::optional<qint64>(1002));
        QCOMPARE(g.RowKey(4), std::nullopt);
        // An empty record source leaves the header alone.
        g.fill({QStringLiteral("A")}, {});
        QCOMPARE(g.Rows(), 1);
        QCOMPARE(g.RowKey(1), std::nullopt);
    }

    void rowWithKey_firstDataRowHoldingIt_data()
    {
        QTest::addColumn<std::optional<qint64>>("key");
        QTest::addColumn<int>("row");
        // Rows 1 to 4 keyed 11, 12, 11 and none.
        QTest::newRow("second day") << std::optional<qint64>(12) << 2;
        QTest::newRow("held twice: the first") << std::optional<qint64>(11) << 1;
        QTest::newRow("no such day") << std::optional<qint64>(99) << -1;
        QTest::newRow("no key asked") << std::optional<qint64>() << -1;
        QTest::newRow("the unkeyed row's slot") << std::optional<qint64>(-1) << -1;
    }
    void rowWithKey_firstDataRowHoldingIt()
    {
        QFETCH(std::optional<qint64>, key);
        QFETCH(int, row);
        FlexGrid g;
        g.setFixedRows(1);
        g.fill({QStringLiteral("H")},
               {{QStringLiteral("a")}, {QStringLiteral("b")}, {QStringLiteral("c")}, {QStringLiteral("d")}},
               {11, 12, 11});
        QCOMPARE(g.RowWithKey(key), row);
    }

    void currentCell_colourAndFontAddressOneCell()
    {
        FlexGrid g;
        fillDays(g, 3, 3);
        g.setRow(2);
        g.setCol(1);
        g.setCellBackColor(QColor(255, 255, 192));
        g.setCellFontBold(true);
        QCOMPARE(g.CellBackColor(), QColor(255, 255, 192));
        QVERIFY(g.CellFontBold());
        QCOMPARE(g.CellFontName(), QStringLiteral("MS Sans Serif"));
        g.setCol(2);
        QVERIFY(!g.CellFontBold());
        QVERIFY(g.CellBackColor() != QColor(255, 255, 192));
        g.setRow(2);
        g.setCol(1);
        QVERIFY(g.CellFontBold());
        // Setting Row ends the selection there.
        g.setRowSel(3);
        QCOMPARE(g.RowSel(), 3);
        g.setRow(1);
        QCOMPARE(g.RowSel(), 1);
    }

    void redrawOff_raisesOneRowColChangeAtTheEnd()
    {
        FlexGrid g;
        fillDays(g, 5, 3);
        QSignalSpy spy(&g, &FlexGrid::RowColChange);
        g.setRow(1);
        QCOMPARE(spy.count(), 1);
        g.setRedraw(false);
        for (int r = 1; r < 5; ++r) {
            g.setRow(r);
            for (int c = 0; c < 3; ++c)
                g.setCol(c);
        }
        g.setRow(1);
        g.setCol(0);
        g.setRedraw(true);
        // Back where it started: nothing to report.
        QCOMPARE(spy.count(), 1);
        g.setRedraw(false);
        g.setRow(3);
        QCOMPARE(spy.count(), 1);
        g.setRedraw(true);
        QCOMPARE(spy.count(), 2);
    }

    void sizes_twipsAndHiddenRows()
    {
        FlexGrid g;
        fillDays(g, 4, 3);
        g.resize(400, 300);
        g.setRowHeight(0, 300);
        g.setRowHeight(1, 600);
        g.setColWidth(1, 2000);
        QCOMPARE(g.RowHeight(1), 600);
        QCOMPARE(g.ColWidth(1), 2000);
        // Positions add whole pixels (15 twips each at 96 dots an inch):
        // 20 + 40 rows; 64 (the default 960) + 133 (2000 / 15, rounded) columns.
        QCOMPARE(g.RowPos(2), 900);
        QCOMPARE(g.ColPos(2), 2955);
        g.setRowHeight(2, 0);
        // A hidden row takes no room: the next row starts where it would have.
        QCOMPARE(g.RowPos(3), g.RowPos(2));
        g.setRowHeight(-1, 100);
        g.setColWidth(99, 100);
        QCOMPARE(g.Rows(), 5);
    }

    void inView_scrollingAndVisibility()
    {
        FlexGrid g;
        fillDays(g, 200, 12);
        for (int c = 0; c < 12; ++c)
            g.setColWidth(c, 1500);
        g.resize(vb::twipsToPixelsX(6000), vb::twipsToPixelsY(3000));
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QVERIFY(g.RowIsVisible(0));
        QVERIFY(g.RowIsVisible(1));
        QVERIFY(!g.RowIsVisible(199));
        QVERIFY(g.ColIsVisible(0));
        QVERIFY(!g.ColIsVisible(11));
        QSignalSpy scroll(&g, &FlexGrid::Scroll);
        g.setTopRow(150);
        QCOMPARE(g.TopRow(), 150);
        QVERIFY(scroll.count() >= 1);
        QVERIFY(!g.RowIsVisible(1));
        QVERIFY(g.RowIsVisible(150));
        // The header stays at the top whatever is scrolled.
        QCOMPARE(g.RowPos(0), 0);
        QCOMPARE(g.RowPos(150), vb::pixelsToTwipsY(vb::twipsToPixelsY(g.RowHeight(0))));
        g.setLeftCol(5);
        QCOMPARE(g.LeftCol(), 5);
        QVERIFY(!g.ColIsVisible(0));
        QVERIFY(g.ColIsVisible(5));
        QCOMPARE(g.ColPos(5), 0);
        QVERIFY(g.ColPos(4) < 0);
    }

    // A found cell is made current and marked; the view shows it with the
    // other column where the two fit side by side, else the cell alone.
    void goToFoundCell_bringsTheOtherColumnWhereBothFit_data()
    {
        QTest::addColumn<int>("startCol"); // left column in view before
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("alsoCol");
        QTest::addColumn<bool>("alsoInView");
        QTest::newRow("both in view already") << 0 << 2 << 0 << true;
        QTest::newRow("scrolled back to show both") << 6 << 2 << 0 << true;
        QTest::newRow("too far apart: the cell") << 0 << 8 << 0 << false;
        QTest::newRow("both to the right") << 0 << 7 << 5 << true;
        QTest::newRow("the other to the right") << 11 << 5 << 7 << true;
        QTest::newRow("no other column") << 0 << 9 << -1 << false;
    }
    void goToFoundCell_bringsTheOtherColumnWhereBothFit()
    {
        QFETCH(int, startCol);
        QFETCH(int, col);
        QFETCH(int, alsoCol);
        QFETCH(bool, alsoInView);
        FlexGrid g;
        fillDays(g, 50, 12);
        for (int c = 0; c < 12; ++c)
            g.setColWidth(c, 1500); // 100 pixels each, about three and a half in view
        g.resize(vb::twipsToPixelsX(6000), vb::twipsToPixelsY(3000));
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        g.setLeftCol(startCol);
        g.goToFoundCell(30, col, alsoCol);
        QCOMPARE(std::pair(g.Row(), g.Col()), std::pair(30, col));
        QCOMPARE(std::pair(g.markedRow(), g.markedCol()), std::pair(30, col));
        QVERIFY(g.RowIsVisible(30));
        QVERIFY(g.colWhollyVisible(col));
        QCOMPARE(alsoCol >= 0 && g.colWhollyVisible(alsoCol), alsoInView);
    }

    // The empty text is painted only while there is no row below the header.
    void emptyText_paintedOnlyWithoutDataRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("shown");
        QTest::newRow("header only") << 0 << true;
        QTest::newRow("one day") << 1 << false;
    }
    void emptyText_paintedOnlyWithoutDataRows()
    {
        QFETCH(int, rows);
        QFETCH(bool, shown);
        FlexGrid g;
        fillDays(g, rows, 4);
        g.resize(300, 200);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        const QImage plain = g.viewport()->grab().toImage();
        g.setEmptyText(QStringLiteral("No days yet"));
        QCOMPARE(g.showsEmptyText(), shown);
        QCOMPARE(g.viewport()->grab().toImage() != plain, shown);
        QCOMPARE(g.Rows(), rows + 1);
    }

    void click_selectsTheRowAndRaisesEvents()
    {
        FlexGrid g;
        fillDays(g, 10, 3);
        g.setSelectionMode(1);
        g.resize(400, 400);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QSignalSpy click(&g, &FlexGrid::Click);
        QSignalSpy rowCol(&g, &FlexGrid::RowColChange);
        QSignalSpy sel(&g, &FlexGrid::SelChange);
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(g, 5, 1));
        QCOMPARE(click.count(), 1);
        QCOMPARE(g.Row(), 5);
        QCOMPARE(g.RowSel(), 5);
        QCOMPARE(g.Col(), 1);
        QVERIFY(rowCol.count() >= 1);
        QVERIFY(sel.count() >= 1);
        // The header row can be clicked too.
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(g, 0, 0));
        QCOMPARE(click.count(), 2);
        QCOMPARE(g.RowSel(), 0);
        // The keyboard moves and opens as well; hidden rows are stepped over.
        g.setRow(2);
        g.setRowHeight(3, 0);
        QTest::keyClick(&g, Qt::Key_Down);
        QCOMPARE(g.Row(), 4);
        QTest::keyClick(&g, Qt::Key_Return);
        QCOMPARE(click.count(), 3);
    }

    void clickOnEmptyPart_isAClickTooAndKeepsTheCurrentCell_data()
    {
        // Data rows; where, as a fraction of the viewport, the click lands.
        QTest::addColumn<int>("rows");
        QTest::addColumn<QPointF>("at");
        QTest::newRow("below the last row") << 3 << QPointF(0.2, 0.9);
        QTest::newRow("beside the last column") << 3 << QPointF(0.95, 0.02);
        QTest::newRow("an empty diary") << 0 << QPointF(0.5, 0.5);
    }
    void clickOnEmptyPart_isAClickTooAndKeepsTheCurrentCell()
    {
        QFETCH(int, rows);
        QFETCH(QPointF, at);
        FlexGrid g;
        fillDays(g, rows, 2);
        g.setSelectionMode(1);
        g.resize(600, 400);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        const QPoint p(int(at.x() * g.viewport()->width()), int(at.y() * g.viewport()->height()));
        QVERIFY2(g.rowAt(p.y()) < 0 || g.colAt(p.x()) < 0, "the point lies on a cell");
        QSignalSpy click(&g, &FlexGrid::Click);
        const int row = g.Row();
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(click.count(), 1);
        QCOMPARE(g.Row(), row);
    }

    void bigGrid_settingEveryHeightRebuildsPositionsOnce()
    {
        // 36,500 days, every row's height set one at a time, with reads of
        // positions between batches: one rebuild per batch, not one per row.
        FlexGrid g;
        fillDays(g, 36500, 2);
        g.resize(400, 400);
        const qint64 before = g.rowPositionRebuilds();
        for (int r = 1; r < g.Rows(); ++r)
            g.setRowHeight(r, r % 2 ? 0 : 300);
        QCOMPARE(g.RowPos(3), g.RowPos(2) + vb::pixelsToTwipsY(vb::twipsToPixelsY(300)));
        g.setTopRow(36500);
        QVERIFY(g.RowIsVisible(36500));
        QCOMPARE(g.rowPositionRebuilds() - before, 1);
        for (int r = 1; r < g.Rows(); ++r)
            g.setRowHeight(r, 240);
        QCoreApplication::processEvents(); // the queued layout reads the positions too
        g.setTopRow(36000);
        QVERIFY(g.RowIsVisible(36000));
        QCOMPARE(g.rowPositionRebuilds() - before, 2);
    }
};

QTEST_MAIN(tst_FlexGrid)
#include "tst_flexgrid.moc"
