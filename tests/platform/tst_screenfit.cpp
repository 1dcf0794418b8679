// Keeping windows on their screen, and the arithmetic between a window's
// frame and its client area.
#include "platform/screenfit.h"

#include <QtTest>

class tst_ScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void fitOnScreen_titleBarAndCornerOnAllWhereItFits_data()
    {
        // Pixels: the daily record window's outer size under a window
        // manager (669 x 510 client, 4 px borders, 21 px title bar).
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("outer");
        QTest::addColumn<QRect>("expected");
        const QSize rec(677, 535);
        QTest::newRow("640x480, centred off the top left")
            << QRect(0, 0, 640, 480) << QRect(QPoint(-19, -28), rec) << QRect(QPoint(0, 0), rec);
        QTest::newRow("800x600, centred")
            << QRect(0, 0, 800, 600) << QRect(QPoint(61, 32), rec) << QRect(QPoint(61, 32), rec);
        QTest::newRow("800x600, past the bottom right")
            << QRect(0, 0, 800, 600) << QRect(QPoint(500, 300), rec) << QRect(QPoint(123, 65), rec);
        QTest::newRow("panel at the top, too short")
            << QRect(0, 30, 1024, 450) << QRect(QPoint(10, 0), rec) << QRect(QPoint(10, 30), rec);
        QTest::newRow("second screen on the left")
            << QRect(-1280, 0, 1280, 1024) << QRect(QPoint(-100, 10), rec) << QRect(QPoint(-677, 10), rec);
    }
    void fitOnScreen_titleBarAndCornerOnAllWhereItFits()
    {
        QFETCH(QRect, area);
        QFETCH(QRect, outer);
        QFETCH(QRect, expected);
        QCOMPARE(vb::fitOnScreen(outer, area), expected);
    }

    void frameMargins_eachSideOfTheClientArea_data()
    {
        QTest::addColumn<QRect>("outer");
        QTest::addColumn<QRect>("client");
        QTest::addColumn<QMargins>("expected");
        QTest::newRow("not framed yet") << QRect(100, 80, 669, 510) << QRect(100, 80, 669, 510) << QMargins();
        QTest::newRow("borders and a title bar")
            << QRect(100, 80, 677, 535) << QRect(104, 101, 669, 510) << QMargins(4, 21, 4, 4);
        QTest::newRow("a title bar only, off the screen's left")
            << QRect(-50, 0, 300, 221) << QRect(-50, 21, 300, 200) << QMargins(0, 21, 0, 0);
        QTest::newRow("a wider left border")
            << QRect(0, 0, 310, 230) << QRect(6, 24, 300, 202) << QMargins(6, 24, 4, 4);
    }
    void frameMargins_eachSideOfTheClientArea()
    {
        QFETCH(QRect, outer);
        QFETCH(QRect, client);
        QFETCH(QMargins, expected);
        QCOMPARE(vb::frameMargins(outer, client), expected);
    }

    void clientSizeWithin_outerLessFrameAtLeastAPixel_data()
    {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QMargins>("frame"); // a menu bar's height added to its top
        QTest::addColumn<QSize>("expected");
        QTest::newRow("no frame") << QSize(738, 409) << QMargins() << QSize(738, 409);
        QTest::newRow("no frame, a menu bar") << QSize(738, 430) << QMargins(0, 21, 0, 0) << QSize(738, 409);
        QTest::newRow("borders, title and menu bar")
            << QSize(746, 455) << QMargins(4, 21 + 21, 4, 4) << QSize(738, 409);
        QTest::newRow("smaller than its frame") << QSize(10, 30) << QMargins(4, 42, 4, 4) << QSize(2, 1);
        QTest::newRow("nothing left across") << QSize(8, 100) << QMargins(4, 42, 4, 4) << QSize(1, 54);
    }
    void clientSizeWithin_outerLessFrameAtLeastAPixel()
    {
        QFETCH(QSize, outer);
        QFETCH(QMargins, frame);
        QFETCH(QSize, expected);
        QCOMPARE(vb::clientSizeWithin(outer, frame), expected);
    }
};

QTEST_MAIN(tst_ScreenFit)
#include "tst_screenfit.moc"
