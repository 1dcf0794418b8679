// Start-up, the main window's grid, its layout and its placement between runs.
#include "app/artwork.h"
#include "app/frmfind.h"
#include "app/frmmain.h"
#include "app/frmsplash.h"
#include "app/module1.h"
#include "app/placement.h"
#include "data/diarynames.h"
#include "entry/frmrecords.h"
#include "grid/columnfilters.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {
// The store as another run, or the user, finds it: section and key names as
// literal texts, read and written in the settings file itself.
QString settingsFile()
{
    return qEnvironmentVariable("HOME") + QStringLiteral("/.config/MEALWISE/MEALWISE.conf");
}
QString setting(const char *key)
{
    return QSettings(settingsFile(), QSettings::IniFormat)
        .value(QStringLiteral("Settings/") + QLatin1String(key))
        .toString();
}
void store(const char *key, const QString &value)
{
    QSettings(settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("Settings/") + QLatin1String(key), value);
}
QRect outerTwips(const QWidget &w)
{
    const QRect r = w.frameGeometry();
    return QRect(vb::pixelsToTwipsX(r.x()), vb::pixelsToTwipsY(r.y()), vb::pixelsToTwipsX(r.width()),
                 vb::pixelsToTwipsY(r.height()));
}
} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void placement_readsNumbersAndRefusesGarbage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<double>("value");
        const QString c = QStringLiteral("C"), de = QStringLiteral("de_DE");
        QTest::newRow("whole") << c << QStringLiteral("1000") << true << 1000.0;
        QTest::newRow("negative") << c << QStringLiteral("-345") << true << -345.0;
        QTest::newRow("fraction") << c << QStringLiteral("1234.5") << true << 1234.5;
        QTest::newRow("blanks") << c << QStringLiteral(" 77 ") << true << 77.0;
        QTest::newRow("word") << c << QStringLiteral("left") << false << 0.0;
        QTest::newRow("empty") << c << QString() << false << 0.0;
        QTest::newRow("infinite") << c << QStringLiteral("inf") << false << 0.0;
        QTest::newRow("not a number") << c << QStringLiteral("nan") << false << 0.0;
        QTest::newRow("huge") << c << QStringLiteral("1e30") << false << 0.0;
        // Under a decimal comma the user's format comes first, then the C one.
        QTest::newRow("comma, user's format") << de << QStringLiteral("1234,5") << true << 1234.5;
        QTest::newRow("comma, C format") << de << QStringLiteral("1234.5") << true << 1234.5;
        QTest::newRow("comma, negative") << de << QStringLiteral("-345") << true << -345.0;
        QTest::newRow("comma, word") << de << QStringLiteral("links") << false << 0.0;
    }
    void placement_readsNumbersAndRefusesGarbage()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, readable);
        QFETCH(double, value);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const std::optional<double> read = placement::readTwips(text);
        QLocale::setDefault(before);
        QCOMPARE(read.has_value(), readable);
        if (readable)
            QCOMPARE(*read, value);
    }

    void placement_resolve_defaultsGarbageAndOffScreen()
    {
        const QList<QRect> screens{QRect(0, 0, 19200, 15360)};
        const QRect primary = screens.first();
        const QSize design(11100, 6800);
        // First run: left and top 1000, the designed outer size.
        QCOMPARE(placement::resolve({}, design, screens, primary), QRect(1000, 1000, 11100, 6800));
        // Stored values are applied as they stand.
        placement::Stored s{QStringLiteral("2000"), QStringLiteral("300"), QStringLiteral("8000"),
                            QStringLiteral("5000")};
        QCOMPARE(placement::resolve(s, design, screens, primary), QRect(2000, 300, 8000, 5000));
        // A value that is not a number takes its key's default.
        s.width = QStringLiteral("wide");
        s.top = QStringLiteral("");
        QCOMPARE(placement::resolve(s, design, screens, primary), QRect(2000, 1000, 11100, 5000));
        // Off every screen: centred on the primary one, size kept.
        placement::Stored off{QStringLiteral("-90000"), QStringLiteral("-90000"), QStringLiteral("8000"),
                              QStringLiteral("5000")};
        const QRect centred = placement::resolve(off, design, screens, primary);
        QCOMPARE(centred.size(), QSize(8000, 5000));
        QCOMPARE(centred.center(), primary.center());
        // Partly on a screen counts as on it, and is brought onto it.
        placement::Stored partly{QStringLiteral("-4000"), QStringLiteral("100"), QStringLiteral("8000"),
                                 QStringLiteral("5000")};
        QCOMPARE(placement::resolve(partly, design, screens, primary).topLeft(), QPoint(0, 100));
    }

    void placement_resolve_sizesCutAndUsablePartOnScreen_data()
    {
        // One screen; a usable part is 1500 twips (100 px) across and 300
        // down; the designed outer size is 11100 x 6800. Expected values
        // worked out by hand.
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QStringList>("stored"); // left, top, width, height
        QTest::addColumn<QRect>("expected");
        const QRect big(0, 0, 19200, 15360);   // 1280 x 1024
        const QRect small(0, 0, 9600, 7200);   // 640 x 480
        const QRect medium(0, 0, 12000, 9000); // 800 x 600
        auto row = [](const char *name, QRect screen, std::initializer_list<const char *> values, QRect expected) {
            QStringList stored;
            for (const char *v : values)
                stored << QLatin1String(v);
            QTest::newRow(name) << screen << stored << expected;
        };
        row("as stored", big, {"2000", "300", "8000", "5000"}, QRect(2000, 300, 8000, 5000));
        row("halves to even", big, {"2000.5", "300.5", "8001.5", "5000.5"}, QRect(2000, 300, 8002, 5000));
        row("size 0 or below takes the default", big, {"2000", "300", "0", "-5"}, QRect(2000, 300, 11100, 6800));
        row("huge size cut to the desktop", big, {"0", "0", "99999999", "99999999"}, big);
        row("2 px across on screen: centred", big, {"19170", "300", "8000", "5000"}, QRect(5600, 5180, 8000, 5000));
        row("title bar cut off below: centred", big, {"2000", "15210", "8000", "5000"}, QRect(5600, 5180, 8000, 5000));
        row("100 px across at the left: brought on", big, {"-6500", "300", "8000", "5000"}, QRect(0, 300, 8000, 5000));
        row("over the right edge: brought in", big, {"15000", "300", "8000", "5000"}, QRect(11200, 300, 8000, 5000));
        row("above the top: title bar brought down", big, {"2000", "-1000", "8000", "5000"},
            QRect(2000, 0, 8000, 5000));
        row("first run on 800 x 600: all of it on", medium, {}, QRect(900, 1000, 11100, 6800));
        row("first run on 640 x 480: cut, all on", small, {}, QRect(0, 400, 9600, 6800));
    }
    void placement_resolve_sizesCutAndUsablePartOnScreen()
    {
        QFETCH(QRect, screen);
        QFETCH(QStringList, stored);
        QFETCH(QRect, expected);
        placement::Stored s;
        if (!stored.isEmpty())
            s = placement::Stored{stored.at(0), stored.at(1), stored.at(2), stored.at(3)};
        QCOMPARE(placement::resolve(s, QSize(11100, 6800), {screen}, screen, QSize(1500, 300)), expected);
    }

    void firstRun_designedClientAreaAndGridFillsIt()
    {
        TempHome home;
        TempDiary d(true);
        MessageLog log;
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(w.ScaleWidth(), vb::pixelsToTwipsX(vb::twipsToPixelsX(11070)));
        QCOMPARE(w.ScaleHeight(), vb::pixelsToTwipsY(vb::twipsToPixelsY(6135)));
        const QRect outer = outerTwips(w);
        // At 1000 twips from the top and left, unless the screen (800 x 600
        // offscreen) needs it further left to hold all of it.
        const QRect px = w.frameGeometry();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(px.top(), vb::twipsToPixelsY(1000));
        QCOMPARE(px.left(), std::min(vb::twipsToPixelsX(1000), area.left() + area.width() - px.width()));
        QVERIFY(area.contains(px));
        QCOMPARE(outer.top(), vb::pixelsToTwipsY(vb::twipsToPixelsY(1000)));
        // "Show filters" lies inside the client area, so it can be reached.
        QVERIFY(w.cmdFilter->geometry().right() < w.clientArea->width());
        // The grid keeps margin L left, right and below, T above.
        const QRect g = w.MSFlexGrid1->geometry();
        QCOMPARE(g.left(), vb::twipsToPixelsX(120));
        QCOMPARE(g.top(), vb::twipsToPixelsY(600));
        QVERIFY(qAbs(w.clientArea->width() - g.right() - 1 - g.left()) <= 1);
        QVERIFY(qAbs(w.clientArea->height() - g.bottom() - 1 - g.left()) <= 1);
    }

    void placement_roundTripAndMinimizedClose()
    {
        TempHome home;
        TempDiary d(true);
        {
            frmMain w;
            w.load();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.move(vb::twipsToPixelsX(600), vb::twipsToPixelsY(1200));
            w.close();
        }
        const int left = setting("MainLeft").toInt();
        const int top = setting("MainTop").toInt();
        const int width = setting("MainWidth").toInt();
        const int height = setting("MainHeight").toInt();
        QVERIFY(qAbs(left - 600) <= 15);
        QVERIFY(qAbs(top - 1200) <= 15);
        QVERIFY(width > 11000);
        QVERIFY(height > 6100);
        QCOMPARE(vb::settingsFilePath(QStringLiteral("MEALWISE")),
                 home.path() + QStringLiteral("/.config/MEALWISE/MEALWISE.conf"));

        {
            frmMain w;
            w.load();
            const QRect outer = outerTwips(w);
            QVERIFY(qAbs(outer.left() - left) <= 15);
            QVERIFY(qAbs(outer.width() - width) <= 15);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.showMinimized();
            w.move(vb::twipsToPixelsX(3000), vb::twipsToPixelsY(3000));
            QVERIFY(w.isMinimized());
            w.close();
        }
        // A minimized window writes nothing: the last run's values stay.
        QCOMPARE(setting("MainLeft").toInt(), left);
        QCOMPARE(setting("MainTop").toInt(), top);
    }

    void storedPlacement_garbageAndOffScreen()
    {
        TempHome home;
        TempDiary d(true);
        store("MainLeft", QStringLiteral("over there"));
        store("MainTop", QStringLiteral("2000"));
        store("MainWidth", QStringLiteral("9000"));
        store("MainHeight", QStringLiteral("#!"));
        {
            frmMain w;
            w.load();
            const QRect outer = outerTwips(w);
            QVERIFY(qAbs(outer.left() - 1000) <= 15);
            QVERIFY(qAbs(outer.top() - 2000) <= 15);
            QVERIFY(qAbs(outer.width() - 9000) <= 15);
            QVERIFY(qAbs(outer.height() - w.designOuterSize().height()) <= 15);
        }
        store("MainLeft", QStringLiteral("-500000"));
        store("MainTop", QStringLiteral("-500000"));
        {
            frmMain w;
            w.load();
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY(screen.intersects(w.frameGeometry()));
            QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 2);
        }
    }

    void resize_gridKeepsItsMarginsAndSmallAreaKeepsSize()
    {
        TempHome home;
        TempDiary d(true);
        frmMain w;
        w.load();
        w.clientArea->setFixedSize(vb::twipsToPixelsX(8000), vb::twipsToPixelsY(5000));
        w.Form_Resize();
        QCOMPARE(w.MSFlexGrid1->Width(), w.ScaleWidth() - 240);
        QCOMPARE(w.MSFlexGrid1->Height(), w.ScaleHeight() - 720);
        const QSize before = w.MSFlexGrid1->size();
        w.clientArea->setFixedSize(vb::twipsToPixelsX(200), vb::twipsToPixelsY(500));
        w.Form_Resize();
        QCOMPARE(w.MSFlexGrid1->size(), before);
    }

    void grid_filledOnceRankedWithHiddenKeys()
    {
        TempHome home;
        TempDiary d(true);
        const qint64 low = d.insertDay({{QStringLiteral("OVERALL SCORE"), 3},
                                        {QStringLiteral("DATE"), QStringLiteral("2026-01-02")},
                                        {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}});
        const qint64 high = d.insertDay({{QStringLiteral("OVERALL SCORE"), 10},
                                         {QStringLiteral("DATE"), QStringLiteral("2026-01-03")},
                                         {QStringLiteral("BREAKFAST"), QStringLiteral("PORRIDGE")}});
        frmMain w;
        w.load();
        vb::FlexGrid *g = w.MSFlexGrid1;
        QCOMPARE(g->Rows(), 3);
        QCOMPARE(g->Cols(), 24); // every column of the query but ID
        QCOMPARE(g->FixedRows(), 1);
        QCOMPARE(g->FixedCols(), 0);
        QCOMPARE(g->TextMatrix(0, 0), QStringLiteral("DATE"));
        QCOMPARE(g->TextMatrix(0, 1), QStringLiteral("OVERALL SCORE"));
        QCOMPARE(g->TextMatrix(1, 0), QStringLiteral("03/01/26"));
        QCOMPARE(g->TextMatrix(1, 3), QStringLiteral("PORRIDGE"));
        QCOMPARE(g->RowKey(1), std::optional<qint64>(high));
        QCOMPARE(g->RowKey(2), std::optional<qint64>(low));
        QCOMPARE(g->RowKey(0), std::nullopt);
        // Load-time values for the filters.
        QCOMPARE(w.StandardRowHeight, g->standardRowHeight());
        QCOMPARE(w.FilterItemHeight, vb::roundHalfEven(g->standardRowHeight() / vb::twipsPerPixelY() - 3));
        QVERIFY(w.VScrollWidth > 0);
        // A day added later shows only from the next start.
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 7}});
        w.Form_Activate();
        QCOMPARE(g->Rows(), 3);
    }

    // A diary without a day shows the way to the first one, painted by the
    // grid: no cell, no wider column, nothing for the filters to list.
    void emptyDiary_hintPaintedUntilADayExists_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("hideAll"); // filters that no day passes
        QTest::addColumn<bool>("hint");
        QTest::newRow("no day") << 0 << false << true;
        QTest::newRow("two days") << 2 << false << false;
        QTest::newRow("filters hide every day") << 2 << true << false;
    }
    void emptyDiary_hintPaintedUntilADayExists()
    {
        QFETCH(int, days);
        QFETCH(bool, hideAll);
        QFETCH(bool, hint);
        TempHome home;
        TempDiary d(true);
        const QStringList breakfasts{QStringLiteral("EGGS"), QStringLiteral("TOAST")};
        const QStringList lunches{QStringLiteral("RICE"), QStringLiteral("SOUP")};
        for (int i = 0; i < days; ++i)
            d.insertDay({{QStringLiteral("OVERALL SCORE"), 5 + i},
                         {QStringLiteral("BREAKFAST"), breakfasts.at(i)},
                         {QStringLiteral("LUNCH"), lunches.at(i)}});
        const QString text = QStringLiteral("No days yet: Data > Records, then Add");
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        vb::FlexGrid &g = *w.MSFlexGrid1;
        if (hideAll) {
            w.cmdFilter_Click();
            for (const auto &[name, pick] : {std::pair{"BREAKFAST", "EGGS"}, {"LUNCH", "SOUP"}}) {
                for (int c = 0; c < g.Cols(); ++c) {
                    if (g.TextMatrix(0, c) == QLatin1String(name))
                        w.filters()->cmbFilter[size_t(c)]->setCurrentText(QLatin1String(pick));
                }
            }
            w.filters()->ApplyFilters(g);
            for (int r = g.FixedRows(); r < g.Rows(); ++r)
                QCOMPARE(g.RowHeight(r), 0);
        }
        QCOMPARE(g.emptyText(), text);
        QCOMPARE(g.showsEmptyText(), hint);
        QCOMPARE(g.accessibleDescription(), hint ? text : QString());
        std::vector<int> widths;
        for (int c = 0; c < g.Cols(); ++c) {
            widths.push_back(g.ColWidth(c));
            for (int r = 0; r < g.Rows(); ++r)
                QVERIFY(!g.TextMatrix(r, c).contains(QStringLiteral("No days")));
        }
        // Painted where it is shown, and nowhere else.
        const QImage with = g.viewport()->grab().toImage();
        g.setEmptyText(QString());
        const QImage without = g.viewport()->grab().toImage();
        QCOMPARE(with != without, hint);
        w.Form_Activate();
        for (int c = 0; c < g.Cols(); ++c)
            QCOMPARE(g.ColWidth(c), widths[size_t(c)]);
        if (hint) {
            // The filters list no such value.
            w.cmdFilter_Click();
            QCOMPARE(w.filters()->cmbFilter[0]->count(), 1);
            w.cmdFilter_Click();
            // Gone once a day exists and the ranking is read again.
            d.insertDay({{QStringLiteral("OVERALL SCORE"), 7}});
            w.mnuViewRefresh_Click();
            QCOMPARE(g.Rows(), 2);
            QVERIFY(!g.showsEmptyText());
            QVERIFY(g.accessibleDescription().isEmpty());
        }
    }

    void pictures_sharpAtRatioAndAsDrawnWhereTheBuildDrewThem_data()
    {
        QTest::addColumn<bool>("splash");
        QTest::addColumn<double>("dpr");
        // The build draws ratio 1 at 15 twips to the pixel; the rest now.
        QTest::newRow("splash, ratio 1") << true << 1.0;
        QTest::newRow("backdrop, ratio 1") << false << 1.0;
        QTest::newRow("splash, ratio 1.5") << true << 1.5;
        QTest::newRow("backdrop, ratio 2") << false << 2.0;
    }
    void pictures_sharpAtRatioAndAsDrawnWhereTheBuildDrewThem()
    {
        QFETCH(bool, splash);
        QFETCH(double, dpr);
        const QSize size = splash ? QSize(693, 577) : QSize(737, 423);
        const QRect shown = splash ? QRect(0, 0, 492, 306) : QRect(QPoint(0, 0), size);
        const QPixmap pixmap = splash ? artwork::splashPicture(size, dpr, shown) : artwork::mainBackdrop(size, dpr);
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        QCOMPARE(pixmap.size(), (QSizeF(shown.size()) * dpr).toSize());
        QImage drawn = splash ? artwork::drawSplashPicture(size, dpr, shown) : artwork::drawMainBackdrop(size, dpr);
        QImage got = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
        drawn = drawn.convertToFormat(QImage::Format_RGB32);
        got.setDevicePixelRatio(1);
        drawn.setDevicePixelRatio(1);
        QVERIFY(got == drawn);
    }

    void refresh_readsAgainKeepingPicks_data()
    {
        QTest::addColumn<QString>("pick");      // a BREAKFAST to pick before; empty: filters hidden
        QTest::addColumn<QString>("change");    // what another window writes meanwhile
        QTest::addColumn<QString>("expected");  // the list's pick afterwards
        QTest::addColumn<QStringList>("shown"); // BREAKFAST of the rows in view, best first
        QTest::newRow("day added, no filters")
            << QString() << QStringLiteral("INSERT INTO records ([OVERALL SCORE], BREAKFAST) VALUES (8, 'PORRIDGE')")
            << QString()
            << QStringList{QStringLiteral("EGGS"), QStringLiteral("PORRIDGE"), QStringLiteral("TOAST"),
                           QStringLiteral("EGGS")};
        QTest::newRow("pick kept, a new day it matches shows")
            << QStringLiteral("EGGS")
            << QStringLiteral("INSERT INTO records ([OVERALL SCORE], BREAKFAST) VALUES (8, 'EGGS')")
            << QStringLiteral("EGGS")
            << QStringList{QStringLiteral("EGGS"), QStringLiteral("EGGS"), QStringLiteral("EGGS")};
        QTest::newRow("pick gone: any value")
            << QStringLiteral("TOAST")
            << QStringLiteral("UPDATE records SET BREAKFAST = 'BAGEL' WHERE BREAKFAST = 'TOAST'") << QStringLiteral("*")
            << QStringList{QStringLiteral("EGGS"), QStringLiteral("BAGEL"), QStringLiteral("EGGS")};
        QTest::newRow("pick kept in the form now listed")
            << QStringLiteral("EGGS")
            << QStringLiteral("UPDATE records SET BREAKFAST = 'Eggs' WHERE [OVERALL SCORE] = 9")
            << QStringLiteral("Eggs") << QStringList{QStringLiteral("Eggs"), QStringLiteral("EGGS")};
    }
    void refresh_readsAgainKeepingPicks()
    {
        QFETCH(QString, pick);
        QFETCH(QString, change);
        QFETCH(QString, expected);
        QFETCH(QStringList, shown);
        TempHome home;
        TempDiary d(true);
        for (const auto &[score, breakfast] : {std::pair{9, "EGGS"}, {7, "TOAST"}, {5, "EGGS"}})
            d.insertDay(
                {{QStringLiteral("OVERALL SCORE"), score}, {QStringLiteral("BREAKFAST"), QLatin1String(breakfast)}});
        MessageLog log;
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ColumnFilters *f = w.filters();
        if (!pick.isEmpty()) {
            w.cmdFilter->click();
            f->setListIndex(3, f->cmbFilter.at(3)->findText(pick));
        }
        QVERIFY(d.exec(change));
        QCOMPARE(w.mnuViewRefresh->shortcut(), QKeySequence(Qt::Key_F5));
        w.mnuViewRefresh->trigger();
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(f->FiltersShown, !pick.isEmpty());
        if (!pick.isEmpty())
            QCOMPARE(f->cmbFilter.at(3)->currentText(), expected);
        QStringList inView;
        for (int r = 1; r < w.MSFlexGrid1->Rows(); ++r)
            if (w.MSFlexGrid1->RowHeight(r) > 0)
                inView << w.MSFlexGrid1->TextMatrix(r, 3);
        QCOMPARE(inView, shown);
    }

    void refresh_diaryGone_saysSoWithoutBusyCursorGridEmpty()
    {
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 3}});
        frmMain w;
        w.load();
        w.cmdFilter->click();
        QVERIFY(QFile::remove(d.path()));
        QStringList seen;
        const vb::MsgBoxSink previous = vb::setMsgBoxSink([&](const QString &text, QWidget *) {
            seen << text + (QApplication::overrideCursor() ? QStringLiteral(" [busy]") : QString());
        });
        w.mnuViewRefresh_Click();
        vb::setMsgBoxSink(previous);
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.first().contains(QStringLiteral("does not exist")) &&
                     !seen.first().endsWith(QStringLiteral("[busy]")),
                 qPrintable(seen.first()));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(w.MSFlexGrid1->Rows(), 1);
        QCOMPARE(w.cmdFilter->text(), QStringLiteral("Show filters"));
    }

    void refresh_keepsTopAndSelectedDay()
    {
        TempHome home;
        TempDiary d(true);
        for (int i = 0; i < 80; ++i)
            d.insertDay({{QStringLiteral("OVERALL SCORE"), 5},
                         {QStringLiteral("DATE"), QDate(2026, 1, 1).addDays(i).toString(Qt::ISODate)}});
        frmMain w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        vb::FlexGrid *g = w.MSFlexGrid1;
        // At the very top the list stays at the top: the new best day shows.
        const qint64 best = d.insertDay({{QStringLiteral("OVERALL SCORE"), 9}});
        w.mnuViewRefresh_Click();
        QCOMPARE(g->RowKey(g->TopRow()), std::optional<qint64>(best));
        g->setTopRow(40);
        g->setRow(45);
        const std::optional<qint64> top = g->RowKey(g->TopRow());
        const std::optional<qint64> selected = g->RowKey(45);
        QVERIFY(top && g->TopRow() > 30);
        // A better day ranks first and moves every other day down one row.
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 10}});
        w.mnuViewRefresh_Click();
        QCOMPARE(g->Rows(), 83);
        QCOMPARE(g->RowKey(g->TopRow()), top);
        QCOMPARE(g->RowKey(g->RowSel()), selected);
    }

    void newDayLike_copiesMealsDatedTodayWrittenOnUpdate_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("source");
        QTest::addColumn<QVariant>("written");
        const QVariant none;
        QTest::newRow("breakfast") << QStringLiteral("BREAKFAST") << QVariant(QStringLiteral("OATS"))
                                   << QVariant(QStringLiteral("OATS"));
        QTest::newRow("tea") << QStringLiteral("TEA") << QVariant(QStringLiteral("FISH"))
                             << QVariant(QStringLiteral("FISH"));
        QTest::newRow("snack 4") << QStringLiteral("SNACK4") << QVariant(QStringLiteral("NUTS"))
                                 << QVariant(QStringLiteral("NUTS"));
        QTest::newRow("beverage 3") << QStringLiteral("BEVERAGE3") << QVariant(QStringLiteral("MILK"))
                                    << QVariant(QStringLiteral("MILK"));
        QTest::newRow("medication 9") << QStringLiteral("MEDICATION9") << QVariant(QStringLiteral("IMODIUM"))
                                      << QVariant(QStringLiteral("IMODIUM"));
        QTest::newRow("score not copied") << QStringLiteral("OVERALL SCORE") << QVariant(8) << none;
        QTest::newRow("BMs not copied") << QStringLiteral("BMs") << QVariant(2) << none;
        QTest::newRow("comments not copied") << QStringLiteral("COMMENTS") << QVariant(QStringLiteral("tired")) << none;
        QTest::newRow("today's date") << QStringLiteral("DATE") << QVariant(QStringLiteral("2026-05-06"))
                                      << QVariant(QStringLiteral("2031-02-03"));
    }
    void newDayLike_copiesMealsDatedTodayWrittenOnUpdate()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, source);
        QFETCH(QVariant, written);
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 10}, {QStringLiteral("BREAKFAST"), QStringLiteral("OTHER")}});
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 1}, {QStringLiteral("TEA"), QStringLiteral("OTHER")}});
        const qint64 id = d.insertDay({{QStringLiteral("OVERALL SCORE"), 9}, {field, source}});
        MessageLog log;
        frmMain w;
        w.setTodayProvider([] { return QDate(2031, 2, 3); });
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.MSFlexGrid1->RowKey(2), std::optional<qint64>(id)); // second by rank, third in the table
        w.MSFlexGrid1->setRow(2);
        QCOMPARE(w.mnuData->actions().last(), w.mnuDataNewLike);
        w.mnuDataNewLike->trigger();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        auto *window = qobject_cast<frmrecords *>(vb::Forms::list().last());
        QVERIFY(window);
        QCOMPARE(qobject_cast<QLineEdit *>(window->txtFields(7))->text(), QStringLiteral("03/02/31"));
        // Nothing is written until Update.
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 3);
        window->cmdUpdate->click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 4);
        const QVariant stored =
            d.scalar(QStringLiteral("SELECT [%1] FROM records WHERE ID = (SELECT max(ID) FROM records)").arg(field));
        QCOMPARE(stored.isNull(), written.isNull());
        if (!written.isNull())
            QCOMPARE(stored.toString(), written.toString());
        window->close();
    }

    void newDayLike_withNoDaySelected_saysSoOpensNothing()
    {
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 3}});
        MessageLog log;
        frmMain w;
        w.load();
        w.MSFlexGrid1->setRow(0);
        const int before = vb::Forms::count();
        w.mnuDataNewLike_Click();
        QCOMPARE(vb::Forms::count(), before);
        QVERIFY(log.last().contains(QStringLiteral("Select a day")));
    }

    void badDiary_oneClearMessageNoRowsNothingCreated_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray() << false << QStringLiteral("does not exist");
        QTest::newRow("not SQLite") << QByteArray("PK\x03\x04 this is no diary at all, just bytes", 40) << true
                                    << QStringLiteral("not a MEALWISE diary");
        QTest::newRow("empty SQLite file") << QByteArray() << true << QStringLiteral("Diary Query");
    }
    void badDiary_oneClearMessageNoRowsNothingCreated()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QFETCH(QString, expected);
        TempHome home;
        const QString path = diary::databasePath();
        if (exists) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        MessageLog log;
        frmMain w;
        w.load();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(expected), qPrintable(log.last()));
        QVERIFY(log.last().contains(path));
        QVERIFY(log.last().contains(QLatin1String("mealwise-setup")));
        QCOMPARE(w.MSFlexGrid1->Rows(), w.MSFlexGrid1->FixedRows());
        QCOMPARE(QFileInfo::exists(path), exists);
        if (exists)
            QCOMPARE(QFileInfo(path).size(), qint64(content.size()));
        QVERIFY(!QFileInfo::exists(QFileInfo(path).absolutePath() + QStringLiteral("/Records.mdb-journal")));
    }

    void unload_closesOthersMostRecentFirst()
    {
        TempHome home;
        TempDiary d(true);
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        QStringList closed;
        QList<QWidget *> others;
        for (const char *name : {"records A", "records B", "food"}) {
            auto *other = new QWidget;
            other->setAttribute(Qt::WA_DeleteOnClose);
            other->setObjectName(QLatin1String(name));
            vb::Forms::add(other);
            connect(other, &QObject::destroyed, this, [&closed, n = QLatin1String(name)] { closed << n; });
            other->show();
            others << other;
        }
        QPointer<frmMain> guard(w);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(closed,
                 (QStringList{QStringLiteral("food"), QStringLiteral("records B"), QStringLiteral("records A")}));
        QVERIFY(guard.isNull());
        QVERIFY(!setting("MainWidth").isEmpty());
    }

    void menus_captionsAsDesigned()
    {
        TempHome home;
        TempDiary d(true);
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("MEALWISE"));
        QCOMPARE(w.mnuFile->title(), QStringLiteral("&File"));
        QCOMPARE(w.mnuFileExit->text(), QStringLiteral("E&xit"));
        QCOMPARE(w.mnuData->title(), QStringLiteral("&Data"));
        // Shown with its ampersand.
        QCOMPARE(w.mnuDatafood->text(), QStringLiteral("Food && Medication"));
        QCOMPARE(w.mnuDatafrmrecords->text(), QStringLiteral("Records"));
        QCOMPARE(w.cmdFilter->text(), QStringLiteral("Show filters"));
        QCOMPARE(w.cmdFilter->toolTip(), QStringLiteral("To FILTER click, and then use the filter buttons to search."));
        QVERIFY(w.Label1->text().contains(QLatin1String("by the  OVERALL SCORE given.")));
        QVERIFY(!w.cmbFilter0->isVisibleTo(&w));
        QCOMPARE(w.Data2.RecordSource, QStringLiteral("Diary Query"));
    }

    void menusAndClick_openANewEntryWindowEachTime()
    {
        TempHome home;
        TempDiary d(true);
        d.insertDay({{QStringLiteral("OVERALL SCORE"), 5}, {QStringLiteral("DATE"), QStringLiteral("2026-04-01")}});
        MessageLog log;
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        const int before = vb::Forms::count();
        w->mnuDatafrmrecords->trigger();
        w->mnuDatafrmrecords->trigger();
        w->mnuDatafood->trigger();
        QTest::mouseClick(w->MSFlexGrid1->viewport(), Qt::LeftButton, {},
                          QPoint(10, vb::twipsToPixelsY(w->MSFlexGrid1->RowPos(1)) + 3));
        const QList<QWidget *> windows = vb::Forms::list();
        QCOMPARE(windows.size(), before + 4);
        QCOMPARE(windows.at(before)->objectName(), QStringLiteral("frmrecords"));
        QCOMPARE(windows.at(before + 1)->objectName(), QStringLiteral("frmrecords"));
        QCOMPARE(windows.at(before + 2)->objectName(), QStringLiteral("FOOD"));
        QCOMPARE(windows.at(before + 3)->objectName(), QStringLiteral("frmrecords"));
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(vb::Forms::count(), before - 1);
    }

    void exit_closesTheWindow()
    {
        TempHome home;
        TempDiary d(true);
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        QPointer<frmMain> guard(w);
        w->mnuFileExit->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
    }

    void splash_textsAndNeverBesideTheMainWindow()
    {
        TempHome home;
        TempDiary d(true);
        frmSplash *splash = frmSplash::instance();
        QVERIFY(splash);
        QCOMPARE(splash->lblVersion->text(), QStringLiteral("Version 1.0.0"));
        QCOMPARE(splash->lblProductName->text(), QStringLiteral("MEALWISE"));
        QCOMPARE(splash->Label1->text(), QStringLiteral("Now Loading...."));
        QVERIFY(splash->lblProductName->font().bold());
        QVERIFY(splash->lblProductName->font().italic());
        QCOMPARE(splash->lblProductName->palette().color(QPalette::WindowText), QColor(128, 0, 0));
        QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
        // The user cannot close it.
        splash->show();
        splash->close();
        QVERIFY(splash->isVisible());

        // Watch every show of either window while Main runs.
        struct Watch : QObject
        {
            bool together = false;
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::Show || e->type() == QEvent::Paint) {
                    const bool splashUp = frmSplash::instance() && frmSplash::instance()->isVisible();
                    if (qobject_cast<frmMain *>(o) && splashUp)
                        together = true;
                }
                return false;
            }
        } watch;
        qApp->installEventFilter(&watch);
        Main();
        qApp->removeEventFilter(&watch);
        QVERIFY(gMainWindow);
        QVERIFY(gMainWindow->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmSplash::instance());
        QVERIFY(!watch.together);
        gMainWindow->close();
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
