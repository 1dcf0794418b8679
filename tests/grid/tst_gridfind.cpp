// Finding a day in the overview grid, the find window, and copying cells.
#include "app/frmfind.h"
#include "app/frmmain.h"
#include "grid/gridfind.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
// Header and five days; row 4 hidden as a filter hides it.
void fillSample(vb::FlexGrid &g)
{
    g.setFixedRows(1);
    g.setFixedCols(0);
    g.fill({QStringLiteral("DATE"), QStringLiteral("BREAKFAST"), QStringLiteral("COMMENTS")},
           {{QStringLiteral("01/01/26"), QStringLiteral("Porridge"), QString()},
            {QStringLiteral("02/01/26"), QStringLiteral("TOAST"), QStringLiteral("said \"fine\"")},
            {QStringLiteral("03/01/26"), QStringLiteral("eggs"), QStringLiteral("tab\there")},
            {QStringLiteral("04/01/26"), QStringLiteral("PORRIDGE"), QString()},
            {QStringLiteral("05/01/26"), QStringLiteral("rice"), QStringLiteral("two\nlines")}},
           {11, 12, 13, 14, 15});
    g.setRowHeight(4, 0);
}
} // namespace

class tst_GridFind : public QObject
{
    Q_OBJECT

private slots:
    void findRow_nextPreviousWrappingSkippingHidden_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("col");
        QTest::newRow("next, case ignored")
            << QStringLiteral("porr") << 1 << true << 1 << 1; // row 4 hidden: wraps to itself
        QTest::newRow("from the header") << QStringLiteral("PORRIDGE") << 0 << true << 1 << 1;
        QTest::newRow("back from the header") << QStringLiteral("RI") << 0 << false << 5 << 1;
        QTest::newRow("next wraps at the end") << QStringLiteral("01/26") << 5 << true << 1 << 0;
        QTest::newRow("previous wraps at the start") << QStringLiteral("01/26") << 1 << false << 5 << 0;
        QTest::newRow("previous skips the hidden") << QStringLiteral("26") << 5 << false << 3 << 0;
        QTest::newRow("any column") << QStringLiteral("LINES") << 1 << true << 5 << 2;
        QTest::newRow("only in a hidden row") << QStringLiteral("04/01") << 1 << true << -1 << -1;
        QTest::newRow("header text is no day") << QStringLiteral("BREAKFAST") << 1 << true << -1 << -1;
        QTest::newRow("nowhere") << QStringLiteral("kale") << 1 << true << -1 << -1;
        QTest::newRow("empty text") << QString() << 1 << true << -1 << -1;
    }
    void findRow_nextPreviousWrappingSkippingHidden()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(bool, forward);
        QFETCH(int, found);
        QFETCH(int, col);
        vb::FlexGrid g;
        fillSample(g);
        int at = -1;
        QCOMPARE(grid::findRow(g, text, from, forward, &at), found);
        QCOMPARE(at, col);
    }

    // The find window says on which day and in which column; the cell is
    // the grid's current cell and marked, and it and DATE are in view.
    void findWindow_saysWhereSelectsTheCell_data()
    {
        QTest::addColumn<QVariant>("date"); // as stored
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fromFarRight"); // the grid scrolled to its last column first
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("dateInView");   // DATE and the cell fit side by side
        QTest::addColumn<bool>("cuttingQuery"); // the ranking query of diaries made by earlier versions
        const QVariant day(QStringLiteral("2026-08-21"));
        QTest::newRow("in BREAKFAST") << day << "lentil" << false << "found on 21/08/26 in BREAKFAST" << true << false;
        QTest::newRow("in BREAKFAST, from the far right")
            << day << "lentil" << true << "found on 21/08/26 in BREAKFAST" << true << false;
        QTest::newRow("in COMMENTS, too far from DATE")
            << day << "walk" << false << "found on 21/08/26 in COMMENTS" << false << false;
        QTest::newRow("in the date itself") << day << "21/08" << true << "found on 21/08/26 in DATE" << true << false;
        QTest::newRow("no calendar day, as stored") << QVariant(QStringLiteral("2026-13-45")) << "lentil" << false
                                                    << "found on 2026-13-45 in BREAKFAST" << true << false;
        QTest::newRow("cut by an earlier query, as stored")
            << QVariant(QStringLiteral("2026-13-45")) << "lentil" << false << "found on 2026-13-45 in BREAKFAST" << true
            << true;
        QTest::newRow("a day, earlier query")
            << day << "lentil" << false << "found on 21/08/26 in BREAKFAST" << true << true;
        QTest::newRow("no date") << QVariant() << "lentil" << false << "found in BREAKFAST on a day without a date"
                                 << true << false;
    }
    void findWindow_saysWhereSelectsTheCell()
    {
        QFETCH(QVariant, date);
        QFETCH(QString, text);
        QFETCH(bool, fromFarRight);
        QFETCH(QString, said);
        QFETCH(bool, dateInView);
        QFETCH(bool, cuttingQuery);
        testing_support::TempHome home;
        testing_support::TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 9}, {QStringLiteral("DATE"), QStringLiteral("2026-08-20")}});
        const qint64 id = d.insertDay(
            {{QStringLiteral("OVERALL SCORE"), 4},
             {QStringLiteral("BREAKFAST"), QStringLiteral("LENTIL SOUP")},
             {QStringLiteral("COMMENTS"), QString(QString(60, QLatin1Char('x')) + QStringLiteral(" long walk"))}});
        QVERIFY(d.execPastChecks(QStringLiteral("UPDATE records SET DATE = ? WHERE ID = ?"), {date, id}));
        if (cuttingQuery) {
            // yyyy-MM-dd cut into dd/MM/yy whatever the text: 2026-13-45 shows as 45/13/26.
            QVERIFY(d.exec(QStringLiteral("DROP VIEW [Diary Query]")));
            QVERIFY(d.exec(QStringLiteral(
                "CREATE VIEW [Diary Query] AS SELECT substr(DATE, 9, 2) || '/' || substr(DATE, 6, 2) || '/' || "
                "substr(DATE, 3, 2) AS DATE, [OVERALL SCORE], BMs, BREAKFAST, COMMENTS, ID FROM records "
                "ORDER BY [OVERALL SCORE] DESC, DATE DESC, ID")));
        }
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        vb::FlexGrid &g = *w.MSFlexGrid1;
        if (fromFarRight) {
            g.setLeftCol(g.Cols() - 1);
            QVERIFY(!g.colWhollyVisible(0));
        }
        w.mnuViewFind_Click();
        frmFind *find = w.findWindow();
        QVERIFY(find);
        find->txtFind->setText(text);
        find->cmdFindNext->click();
        QCOMPARE(find->lblStatus->text(), said);
        QCOMPARE(g.Row(), 2);
        QVERIFY(said.contains(QStringLiteral(" in ") + g.TextMatrix(0, g.Col())));
        QCOMPARE(std::pair(g.markedRow(), g.markedCol()), std::pair(g.Row(), g.Col()));
        QVERIFY(g.colWhollyVisible(g.Col()));
        QCOMPARE(g.colWhollyVisible(0), dateInView);
        // The mark goes with the next move.
        g.goToCell(1, 0);
        QCOMPARE(g.markedRow(), -1);
    }

    void findWindow_movesGridSaysNotFoundClosesWithMain()
    {
        testing_support::TempHome home;
        testing_support::TempDiary d(true);
        for (const auto &[score, breakfast] : {std::pair{9, "EGGS"}, {7, "TOAST"}, {5, "eggs on toast"}})
            d.insertDay(
                {{QStringLiteral("OVERALL SCORE"), score}, {QStringLiteral("BREAKFAST"), QLatin1String(breakfast)}});
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->mnuViewFind->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        w->mnuViewFind->trigger();
        QPointer<frmFind> find = w->findWindow();
        QVERIFY(find && find->isVisible());
        QVERIFY(vb::Forms::list().contains(find.data()));
        QTest::keyClicks(find->txtFind, QStringLiteral("toast"));
        QTest::keyClick(find->txtFind, Qt::Key_Return); // Enter finds the next
        QCOMPARE(w->MSFlexGrid1->RowSel(), 2);
        find->cmdFindNext->click();
        QCOMPARE(w->MSFlexGrid1->RowSel(), 3);
        find->cmdFindNext->click();
        QCOMPARE(w->MSFlexGrid1->RowSel(), 2);
        find->cmdFindPrevious->click();
        QCOMPARE(w->MSFlexGrid1->RowSel(), 3);
        QCOMPARE(find->lblStatus->text(), QStringLiteral("found in BREAKFAST on a day without a date"));
        find->txtFind->setText(QStringLiteral("kale"));
        find->cmdFindNext->click();
        QCOMPARE(w->MSFlexGrid1->RowSel(), 3);
        QVERIFY(find->lblStatus->text().contains(QStringLiteral("not found")));
        // A second Find raises the same window.
        w->mnuViewFind_Click();
        QCOMPARE(w->findWindow(), find.data());
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!find);
    }

    void selectionText_tabSeparatedShownRowsQuoted_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("cells"); // x = col, y = row, to (right, bottom) as RowSel and ColSel
        QTest::addColumn<QString>("expected");
        QTest::newRow("one cell") << 0 << QRect(QPoint(1, 2), QPoint(1, 2)) << QStringLiteral("TOAST");
        QTest::newRow("block, quotes doubled")
            << 0 << QRect(QPoint(1, 1), QPoint(2, 2)) << QStringLiteral("Porridge\t\nTOAST\t\"said \"\"fine\"\"\"");
        QTest::newRow("hidden row left out, tab and line break quoted")
            << 0 << QRect(QPoint(2, 3), QPoint(2, 5)) << QStringLiteral("\"tab\there\"\n\"two\nlines\"");
        QTest::newRow("whole rows by row")
            << 1 << QRect(QPoint(1, 3), QPoint(1, 3)) << QStringLiteral("03/01/26\teggs\t\"tab\there\"");
    }
    void selectionText_tabSeparatedShownRowsQuoted()
    {
        QFETCH(int, mode);
        QFETCH(QRect, cells);
        QFETCH(QString, expected);
        vb::FlexGrid g;
        fillSample(g);
        g.setSelectionMode(mode);
        g.setRow(cells.top());
        g.setCol(cells.left());
        g.setRowSel(cells.bottom());
        g.setColSel(cells.right());
        QCOMPARE(g.selectionText(), expected);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&g, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }
};

QTEST_MAIN(tst_GridFind)
#include "tst_gridfind.moc"
