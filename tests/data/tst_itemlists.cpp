// Adding an item to one of the user's four lists in the diary.
#include "data/itemlists.h"
#include "testsupport.h"

#include <QTest>

using diary::ListAddition;
using testing_support::TempDiary;

class tst_ItemLists : public QObject
{
    Q_OBJECT
private slots:
    void listWithItem_onALineOfItsOwnOnceAndFitting_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("item");
        QTest::addColumn<ListAddition>("outcome");
        QTest::addColumn<QString>("text");
        const QString full(250, QLatin1Char('x'));
        QTest::newRow("empty list") << ""
                                    << "RICE" << ListAddition::Added << "RICE";
        QTest::newRow("a line of its own") << "TOAST"
                                           << "RICE" << ListAddition::Added << "TOAST\nRICE";
        QTest::newRow("after a last line break") << "TOAST\n"
                                                 << "RICE" << ListAddition::Added << "TOAST\nRICE";
        QTest::newRow("there in another case") << "toast\nrice"
                                               << "RICE" << ListAddition::Already << "toast\nrice";
        QTest::newRow("there behind a dose and a comma") << "2*TEA, toast"
                                                         << "TEA" << ListAddition::Already << "2*TEA, toast";
        QTest::newRow("a longer name is another item") << "TOAST AND JAM"
                                                       << "TOAST" << ListAddition::Added << "TOAST AND JAM\nTOAST";
        QTest::newRow("exactly 255") << full << "ABCD" << ListAddition::Added
                                     << QString(full + QStringLiteral("\nABCD"));
        QTest::newRow("256: nothing added") << full << "ABCDE" << ListAddition::TooLong << full;
    }
    void listWithItem_onALineOfItsOwnOnceAndFitting()
    {
        QFETCH(QString, list);
        QFETCH(QString, item);
        QFETCH(ListAddition, outcome);
        QFETCH(QString, text);
        const diary::ListWithItem got = diary::listWithItem(list, item);
        QCOMPARE(got.outcome, outcome);
        QCOMPARE(got.text, text);
    }

    void addToList_writtenOrSaidWhyNot_data()
    {
        QTest::addColumn<QString>("before"); // a statement run on the diary first
        QTest::addColumn<ListAddition>("outcome");
        QTest::addColumn<QString>("stored"); // IRRITABLE FOOD afterwards
        QTest::newRow("written") << "UPDATE [FOOD AND MEDICATION] SET [IRRITABLE FOOD] = 'BREAD'" << ListAddition::Added
                                 << "BREAD\nCOFFEE";
        QTest::newRow("already there") << "UPDATE [FOOD AND MEDICATION] SET [IRRITABLE FOOD] = 'coffee'"
                                       << ListAddition::Already << "coffee";
        QTest::newRow("no list row") << "DELETE FROM [FOOD AND MEDICATION]" << ListAddition::NoList << "";
        QTest::newRow("no list table") << "DROP TABLE [FOOD AND MEDICATION]" << ListAddition::Failed << "";
    }
    void addToList_writtenOrSaidWhyNot()
    {
        QFETCH(QString, before);
        QFETCH(ListAddition, outcome);
        QFETCH(QString, stored);
        TempDiary d;
        QVERIFY(d.exec(before));
        const diary::ListWrite written =
            diary::addToList(d.path(), QStringLiteral("IRRITABLE FOOD"), QStringLiteral("COFFEE"));
        QCOMPARE(written.outcome, outcome);
        QCOMPARE(written.error.isEmpty(), outcome != ListAddition::Failed);
        if (outcome != ListAddition::Failed)
            QCOMPARE(d.scalar(QStringLiteral("SELECT coalesce(max([IRRITABLE FOOD]), '') FROM [FOOD AND MEDICATION]"))
                         .toString(),
                     stored);
    }
};

QTEST_MAIN(tst_ItemLists)
#include "tst_itemlists.moc"
