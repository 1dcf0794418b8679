// The food and medication window through its real widgets: layout, the first
// row only, the round trip, the length limit, an empty table and two windows.
#include "data/rowset.h"
#include "entry/adodc.h"
#include "entry/food.h"
#include "entry/textboxes.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;

namespace {

void typeInto(MultiLineTextBox *box, const QString &text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(box, Qt::Key_Return);
        else if (c.unicode() < 0x7f)
            QTest::keyClick(box, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QVariantList firstFoodRow(const TempDiary &diary)
{
    const QList<QVariantList> rows = diary.rows(
        QStringLiteral("SELECT [ADEQUATE FOOD],[IRRITABLE FOOD],[RELIABLE MEDICATION],[UNSATISFACTORY MEDICATION] "
                       "FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"));
    return rows.isEmpty() ? QVariantList() : rows.first();
}

// The next control that the Tab key reaches.
QWidget *nextTab(QWidget *from)
{
    QWidget *at = from->nextInFocusChain();
    while (at && at != from && (at->focusPolicy() & Qt::TabFocus) != Qt::TabFocus)
        at = at->nextInFocusChain();
    return at;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_FOOD : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void layoutAsDesigned();
    void roundTrip();
    void firstRowOnly();
    void lengthLimit();
    void emptyTableSaysSoAndWritesNothing();
    void closeWritesAndConflictsAreRefused();
    void missingDiaryIsANavigatorError();

private:
    FOOD *open(const QString &path);
    QList<QPointer<QWidget>> m_windows;
};

FOOD *tst_FOOD::open(const QString &path)
{
    auto *w = new FOOD(path);
    m_windows << w;
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window not exposed");
    return w;
}

void tst_FOOD::cleanup()
{
    for (const QPointer<QWidget> &w : m_windows)
        delete w.data();
    m_windows.clear();
    flushDeletes();
}

void tst_FOOD::layoutAsDesigned()
{
    TempDiary diary;
    MessageLog log;
    FOOD *w = open(diary.path());
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(w->windowTitle(), QStringLiteral("FOOD AND MEDICATION"));
    // The design's twips at 96 dots an inch: 15 to a pixel.
    QCOMPARE(w->size(), QSize(746, 439));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(!w->windowIcon().isNull());
    QVERIFY(vb::Forms::list().contains(w));
    const QRect boxes[] = {QRect(136, 8, 225, 161), QRect(136, 208, 225, 161), QRect(512, 8, 225, 161),
                           QRect(512, 208, 225, 161)};
    const char *labels[] = {"ADEQUATE FOOD:", "IRRITABLE FOOD:", "RELIABLE MEDICATION:", "UNSATISFACTORY MEDICATION:"};
    for (int i = 0; i < 4; ++i) {
        auto *box = w->findChild<MultiLineTextBox *>(QStringLiteral("txtFields_%1").arg(i));
        QVERIFY(box);
        QCOMPARE(box->geometry(), boxes[i]);
        QCOMPARE(box->maxLength(), 255);
        QCOMPARE(box->palette().color(QPalette::Base), QColor(255, 224, 192));
        QCOMPARE(box->font().pointSizeF(), 9.75);
        auto *label = w->findChild<QLabel *>(QStringLiteral("lblLabels_%1").arg(i));
        QVERIFY(label);
        QCOMPARE(label->text(), QLatin1String(labels[i]));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QVERIFY(label->font().bold());
    }
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("lblLabels_2"))->geometry(), QRect(384, 7, 121, 41));
    QCOMPARE(w->Label1->text(),
             QStringLiteral("Enter food and medication and the effect it has on you for your own records."));
    QCOMPARE(w->Label1->geometry(), QRect(216, 376, 481, 17));
    QCOMPARE(w->Image1->geometry(), QRect(0, 0, 768, 488));
    QCOMPARE(w->cmdUpdate->text(), QStringLiteral("&Update"));
    QCOMPARE(w->cmdUpdate->geometry(), QRect(184, 416, 73, 20));
    QCOMPARE(w->cmdUpdate->toolTip(), QStringLiteral("After changes, click to save."));
    QCOMPARE(w->cmdClose->text(), QStringLiteral("&Close"));
    QCOMPARE(w->cmdClose->geometry(), QRect(336, 416, 73, 20));
    // The navigator is there but hidden: no way to another row, no Add or Delete.
    QVERIFY(!w->datPrimaryRS->isVisible());
    QCOMPARE(w->datPrimaryRS->geometry(), QRect(0, 417, 746, 22));
    QCOMPARE(w->datPrimaryRS->Caption(), QStringLiteral("Record: 1"));
    QVERIFY(!w->findChild<QPushButton *>(QStringLiteral("cmdAdd")));
    QVERIFY(!w->findChild<QPushButton *>(QStringLiteral("cmdDelete")));
    QVERIFY(!w->findChild<QPushButton *>(QStringLiteral("cmdRefresh")));
    QCOMPARE(w->focusWidget(), w->txtFields[0]);
    QCOMPARE(nextTab(w->txtFields[0]), w->txtFields[1]);
    QCOMPARE(nextTab(w->txtFields[1]), w->txtFields[2]);
    QCOMPARE(nextTab(w->txtFields[2]), w->txtFields[3]);
    QCOMPARE(nextTab(w->txtFields[3]), w->cmdUpdate);
    QCOMPARE(nextTab(w->cmdUpdate), w->cmdClose);
}

void tst_FOOD::roundTrip()
{
    TempDiary diary;
    MessageLog log;
    const QStringList texts{QStringLiteral("rice, \"plain\" bread"), QStringLiteral("onions'); DROP TABLE records; --"),
                            QStringLiteral("Imodium\nColofac"), QStringLiteral("Lomotil – über schlecht")};
    {
        FOOD *w = open(diary.path());
        for (int i = 0; i < 4; ++i)
            typeInto(w->txtFields[size_t(i)], texts.at(i));
        QTest::mouseClick(w->cmdUpdate, Qt::LeftButton);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
        QTest::mouseClick(w->cmdClose, Qt::LeftButton);
        flushDeletes();
    }
    const QVariantList stored = firstFoodRow(diary);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(stored.at(i).toString(), texts.at(i));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION]")).toInt(), 1);
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 0);

    FOOD *again = open(diary.path());
    for (int i = 0; i < 4; ++i)
        QCOMPARE(again->txtFields[size_t(i)]->text(), texts.at(i));
    // A second edit of the same row writes too.
    typeInto(again->txtFields[0], QStringLiteral("just rice"));
    QTest::mouseClick(again->cmdUpdate, Qt::LeftButton);
    QCOMPARE(firstFoodRow(diary).at(0).toString(), QStringLiteral("just rice"));
    QVERIFY(log.messages.isEmpty());
}

void tst_FOOD::firstRowOnly()
{
    TempDiary diary;
    MessageLog log;
    QVERIFY(diary.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'first'")));
    QVERIFY(diary.exec(QStringLiteral("INSERT INTO [FOOD AND MEDICATION] ([ADEQUATE FOOD]) VALUES ('second')")));
    QVERIFY(diary.exec(QStringLiteral("INSERT INTO [FOOD AND MEDICATION] ([ADEQUATE FOOD]) VALUES ('first')")));
    FOOD *w = open(diary.path());
    QCOMPARE(w->txtFields[0]->text(), QStringLiteral("first"));
    typeInto(w->txtFields[1], QStringLiteral("beans"));
    QTest::mouseClick(w->cmdUpdate, Qt::LeftButton);
    QVERIFY(log.messages.isEmpty());
    const QList<QVariantList> rows = diary.rows(
        QStringLiteral("SELECT [ADEQUATE FOOD], [IRRITABLE FOOD] FROM [FOOD AND MEDICATION] ORDER BY rowid"));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0][1].toString(), QStringLiteral("beans"));
    QVERIFY(rows[1][1].isNull());
    QVERIFY(rows[2][1].isNull()); // the identical third row is left alone
    QCOMPARE(w->datPrimaryRS->Recordset()->AbsolutePosition(), 1);
}

void tst_FOOD::lengthLimit()
{
    TempDiary diary;
    MessageLog log;
    FOOD *w = open(diary.path());
    for (MultiLineTextBox *box : w->txtFields) {
        typeInto(box, QString(300, QLatin1Char('x')));
        QCOMPARE(box->text().size(), 255);
    }
    QTest::mouseClick(w->cmdUpdate, Qt::LeftButton);
    QVERIFY(log.messages.isEmpty());
    for (const QVariant &v : firstFoodRow(diary))
        QCOMPARE(v.toString(), QString(255, QLatin1Char('x')));
}

void tst_FOOD::emptyTableSaysSoAndWritesNothing()
{
    TempDiary diary;
    MessageLog log;
    QVERIFY(diary.exec(QStringLiteral("DELETE FROM [FOOD AND MEDICATION]")));
    QPointer<FOOD> w = open(diary.path());
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("no food and medication list")));
    QVERIFY(log.last().contains(diary.path()));
    QVERIFY(w->txtFields[0]->isReadOnly());
    QTest::keyClicks(w->txtFields[0], QStringLiteral("typed"));
    QCOMPARE(w->txtFields[0]->text(), QString());
    QTest::mouseClick(w->cmdUpdate, Qt::LeftButton);
    QCOMPARE(log.messages.size(), 2);
    QVERIFY(log.last().contains(QStringLiteral("nothing can be saved")));
    QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    flushDeletes();
    QVERIFY(w.isNull());
    QCOMPARE(log.messages.size(), 2);
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION]")).toInt(), 0);
}

void tst_FOOD::closeWritesAndConflictsAreRefused()
{
    TempDiary diary;
    MessageLog log;
    FOOD *first = open(diary.path());
    FOOD *second = open(diary.path());
    typeInto(first->txtFields[2], QStringLiteral("Caltrate"));
    QTest::mouseClick(first->cmdUpdate, Qt::LeftButton);
    typeInto(second->txtFields[3], QStringLiteral("Lotronex"));
    QTest::mouseClick(second->cmdUpdate, Qt::LeftButton);
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("another window")));
    // This window has no Refresh; the message names what it offers.
    QVERIFY2(!log.last().contains(QStringLiteral("Refresh")), qPrintable(log.last()));
    QVERIFY2(log.last().contains(QStringLiteral("open it again")), qPrintable(log.last()));
    QVERIFY(!log.last().startsWith(QStringLiteral("Data error")));
    QCOMPARE(firstFoodRow(diary).at(2).toString(), QStringLiteral("Caltrate"));
    QCOMPARE(firstFoodRow(diary).at(3).toString(), QString()); // as the diary was made
    QCOMPARE(second->txtFields[3]->text(), QStringLiteral("Lotronex"));

    // Closed by its close box with an edit: written first.
    QPointer<FOOD> closing = first;
    typeInto(first->txtFields[0], QStringLiteral("oats"));
    first->close();
    flushDeletes();
    QVERIFY(closing.isNull());
    QCOMPARE(firstFoodRow(diary).at(0).toString(), QStringLiteral("oats"));
    QCOMPARE(log.messages.size(), 1);
}

void tst_FOOD::missingDiaryIsANavigatorError()
{
    TempDiary diary;
    MessageLog log;
    const QString missing = diary.path() + QStringLiteral(".none");
    FOOD *w = open(missing);
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().startsWith(QStringLiteral("Data error event hit err:The diary file")));
    QVERIFY(w->txtFields[0]->isReadOnly());
    QCOMPARE(w->datPrimaryRS->Caption(), QStringLiteral(" "));
    QTest::mouseClick(w->cmdUpdate, Qt::LeftButton);
    QVERIFY(!QFile::exists(missing));
}

QTEST_MAIN(tst_FOOD)
#include "tst_food.moc"
