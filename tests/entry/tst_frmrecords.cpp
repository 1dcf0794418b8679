// The daily record window driven through its real widgets: layout, the
// navigator bar and its captions, opening on the selected day, Add, Delete,
// Update, Refresh and Close, two windows on one day, and what the user types.
#include "data/diarynames.h"
#include "data/rowset.h"
#include "entry/adodc.h"
#include "entry/frmrecords.h"
#include "entry/textboxes.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextCursor>
#include <QToolButton>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;

namespace {

QHash<QString, QVariant> day(const QString &date, int score, const QString &breakfast)
{
    return {{QStringLiteral("DATE"), date},
            {QStringLiteral("OVERALL SCORE"), score},
            {QStringLiteral("BREAKFAST"), breakfast}};
}

// Days in table order with scores 3, 9, 1, 7, 5, 10, 2: ID i has breakfast "b<i>".
const int kScores[] = {3, 9, 1, 7, 5, 10, 2};

void fillDays(const TempDiary &diary, int count = 7)
{
    for (int i = 0; i < count; ++i)
        QCOMPARE(diary.insertDay(day(QStringLiteral("2026-03-%1").arg(i + 1, 2, 10, QLatin1Char('0')), kScores[i],
                                     QStringLiteral("b%1").arg(i + 1))),
                 qint64(i + 1));
}

// A grid as the main window fills it: ranked best first, with the IDs as keys.
void fillGridRanked(vb::FlexGrid &grid, const TempDiary &diary)
{
    const QList<QVariantList> rows = diary.rows(QStringLiteral("SELECT DATE, [OVERALL SCORE], ID FROM [Diary Query]"));
    std::vector<QStringList> cells;
    std::vector<qint64> keys;
    for (const QVariantList &r : rows) {
        cells.push_back({r.at(0).toString(), r.at(1).toString()});
        keys.push_back(r.at(2).toLongLong());
    }
    grid.setFixedRows(1);
    grid.fill({QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE")}, cells, keys);
}

QVariant fieldOf(const TempDiary &diary, const QString &column, qint64 id)
{
    return diary.scalar(QStringLiteral("SELECT [") + column + QStringLiteral("] FROM records WHERE ID = ?"), {id});
}

template <typename T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QString caption(frmrecords *w)
{
    return w->datPrimaryRS->Caption();
}

void click(QWidget *w, const char *name)
{
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}

// Key by key, as typed; characters beyond Latin-1 arrive as the text of a key.
void typeText(QWidget *target, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(target, Qt::Key_Return);
        } else if (c.unicode() < 0x7f) {
            QTest::keyClick(target, c.toLatin1());
        } else {
            const qsizetype n = (c.isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text.mid(i, n), Qt::NoModifier);
            i += n - 1;
        }
    }
}

// Replaces what a box holds the way a user does: select all, then type.
void typeInto(QWidget *box, const QString &text)
{
    QWidget *target = box;
    if (auto *list = qobject_cast<QComboBox *>(box))
        target = list->lineEdit();
    target->setFocus();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Delete);
    typeText(target, text);
}

QString textOf(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        return line->text();
    if (auto *multi = qobject_cast<MultiLineTextBox *>(box))
        return multi->text();
    if (auto *list = qobject_cast<QComboBox *>(box))
        return list->currentText();
    return QString();
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_frmrecords : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void layoutAsDesigned();
    void itemListsTooltipsAndTabOrder();
    void barCaptionsAndEnds();
    void barFromBeforeFirstOrAfterLastLandsOnARow_data();
    void barFromBeforeFirstOrAfterLastLandsOnARow();
    void opensOnTheDayClickedInTheGrid();
    void opensByPositionWithoutKey();
    void emptyTableOpensReadyForAdd();
    void deleteLastMiddleOnlyAndNone();
    void addThenUpdateAndAddThenMove();
    void twoWindowsOnOneDay();
    void oneDeletesWhatTheOtherEdits();
    void badDatesAndScoresStayPending();
    void storedOutOfRangeScoresAreKeptUntilChanged();
    void datesReadDayFirst();
    void textKeptExactly();
    void lengthLimits();
    void longValuesNeverCut_data();
    void longValuesNeverCut();
    void lineEndsKeptWhereNotEdited_data();
    void lineEndsKeptWhereNotEdited();
    void noTypingWithoutCurrentRow();
    void pendingWrittenOnEveryClose();
    void failedWriteOnCloseIsReported();
    void refreshWritesFirstAndKeepsFailedEdit();
    void navigatorErrorsHaveTheirPrefix();

private:
    frmrecords *open(const QString &path, const vb::FlexGrid *grid = nullptr);
    QList<QPointer<QWidget>> m_windows;
};

frmrecords *tst_frmrecords::open(const QString &path, const vb::FlexGrid *grid)
{
    auto *w = new frmrecords(grid, path);
    m_windows << w;
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window not exposed");
    return w;
}

void tst_frmrecords::cleanup()
{
    // Without writing: a test that leaves an edit behind must not write it here.
    for (const QPointer<QWidget> &w : m_windows)
        delete w.data();
    m_windows.clear();
    flushDeletes();
}

void tst_frmrecords::layoutAsDesigned()
{
    TempDiary diary;
    fillDays(diary, 1);
    MessageLog log;
    frmrecords *w = open(diary.path());
    QCOMPARE(w->windowTitle(), QStringLiteral("records"));
    QCOMPARE(w->size(), vb::twipsSize(10035, 7650));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!w->windowIcon().isNull());
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(vb::Forms::list().contains(w));

    struct Box
    {
        const char *name;
        int l, t, wd, h;
        QColor colour;
        int maxLength;
    };
    const Box boxes[] = {
        {"txtFields_5", 1320, 720, 3375, 615, QColor(255, 192, 192), 200},
        {"txtFields_6", 1320, 5940, 4695, 765, QColor(255, 192, 255), 200},
        {"txtFields_7", 4920, 375, 1695, 285, QColor(192, 255, 255), 0},
        {"txtFields_9", 1320, 3360, 3375, 615, QColor(255, 224, 192), 200},
        {"txtFields_14", 1320, 2880, 3375, 285, QColor(255, 192, 192), 0},
        {"txtFields_15", 1320, 5580, 3375, 285, QColor(255, 224, 192), 0},
        {"txtFields_16", 6600, 3015, 3375, 285, QColor(192, 255, 192), 0},
        {"txtFields_17", 6480, 4785, 3375, 285, QColor(255, 192, 255), 0},
        {"txtFields_18", 6600, 840, 3375, 615, QColor(192, 255, 192), 200},
        {"Combo2", 3120, 360, 735, 315, QColor(192, 255, 255), 0},
        {"Combo3", 7560, 360, 735, 315, QColor(192, 255, 255), 0},
        {"Combo7", 1320, 1440, 3375, 315, QColor(255, 192, 192), 0},
        {"Combo8", 1320, 4080, 3375, 315, QColor(255, 224, 192), 0},
        {"Combo9", 6600, 1560, 3375, 315, QColor(192, 255, 192), 0},
        {"Combo10", 6480, 4320, 3375, 315, QColor(255, 192, 255), 0},
        {"Combo1", 1320, 2160, 3375, 315, QColor(255, 192, 192), 0},
        {"Combo11", 1320, 1800, 3375, 315, QColor(255, 192, 192), 0},
        {"Combo4", 1320, 4440, 3375, 315, QColor(255, 224, 192), 0},
        {"Combo5", 6600, 1920, 3375, 315, QColor(192, 255, 192), 0},
        {"Combo6", 1320, 2520, 3375, 315, QColor(255, 192, 192), 0},
        {"Combo12", 1320, 4800, 3375, 315, QColor(255, 224, 192), 0},
        {"Combo13", 1320, 5160, 3375, 315, QColor(255, 224, 192), 0},
        {"Combo14", 6600, 2280, 3375, 315, QColor(192, 255, 192), 0},
        {"Combo15", 6600, 2640, 3375, 315, QColor(192, 255, 192), 0},
    };
    for (const Box &b : boxes) {
        QWidget *box = child<QWidget>(w, b.name);
        QCOMPARE(box->geometry(), vb::twipsRect(b.l, b.t, b.wd, b.h));
        QCOMPARE(box->palette().color(QPalette::Base), b.colour);
        if (auto *multi = qobject_cast<MultiLineTextBox *>(box)) {
            QCOMPARE(multi->maxLength(), b.maxLength);
            QCOMPARE(multi->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        } else if (auto *line = qobject_cast<QLineEdit *>(box)) {
            QCOMPARE(b.maxLength, 0);
            QVERIFY(line->maxLength() > 10000);
        } else {
            QVERIFY(qobject_cast<QComboBox *>(box)->isEditable());
        }
    }
    QCOMPARE(w->txtFields(5), child<QWidget>(w, "txtFields_5"));
    QVERIFY(w->txtFields(8) == nullptr);

    QCOMPARE(child<QLabel>(w, "lblLabels_13")->text(), QStringLiteral("OVERALL SCORE:"));
    QCOMPARE(child<QLabel>(w, "lblLabels_13")->geometry(), vb::twipsRect(1680, 375, 1815, 255));
    QCOMPARE(child<QLabel>(w, "lblLabels_4")->text(), QStringLiteral("BMs:"));
    QCOMPARE(child<QLabel>(w, "lblLabels_18")->geometry(), vb::twipsRect(5400, 960, 1095, 255));
    QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblLabels_8")) == nullptr);
    QCOMPARE(w->findChildren<QLabel *>(QRegularExpression(QStringLiteral("^lblLabels_"))).size(), 18);
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QStringLiteral("EXTRAS:"));
    QVERIFY(child<QLabel>(w, "Label2")->text().startsWith(QStringLiteral("Use this form to keep track of your diet")));
    QCOMPARE(child<QLabel>(w, "Label2")->geometry(), vb::twipsRect(480, 0, 9495, 255));
    QCOMPARE(child<QLabel>(w, "Image1")->geometry(), vb::twipsRect(0, 0, 10095, 7695));
    QVERIFY(!child<QLabel>(w, "Image1")->pixmap().isNull());
    QCOMPARE(w->children().indexOf(child<QLabel>(w, "Image1")), 0); // behind everything

    QCOMPARE(child<QWidget>(w, "datPrimaryRS")->geometry(), vb::twipsRect(0, 7020, 10035, 330));
    QVERIFY(child<QWidget>(w, "datPrimaryRS")->isVisible());
    QCOMPARE(child<QWidget>(w, "picButtons")->geometry(), vb::twipsRect(0, 7350, 10035, 300));
    const struct
    {
        const char *name;
        const char *text;
        int left;
    } buttons[] = {{"cmdAdd", "&Add", 59},
                   {"cmdUpdate", "&Update", 1213},
                   {"cmdDelete", "&Delete", 2367},
                   {"cmdRefresh", "&Refresh", 3521},
                   {"cmdClose", "&Close", 4675}};
    for (const auto &b : buttons) {
        auto *button = child<QPushButton>(w, b.name);
        QCOMPARE(button->text(), QLatin1String(b.text));
        QCOMPARE(button->parentWidget(), child<QWidget>(w, "picButtons"));
        QCOMPARE(button->geometry(), vb::twipsRect(b.left, 0, 1095, 300));
    }
    QCOMPARE(w->focusWidget(), w->txtFields(5));
    // Centred on the screen when it opens.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 2);

    // Access keys: Alt+U updates, Alt+A adds.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    typeInto(w->txtFields(5), QStringLiteral("by the access key"));
    QTest::keyClick(w->focusWidget(), Qt::Key_U, Qt::AltModifier);
    // The key presses the button as a click would, a moment later.
    QTRY_COMPARE(diary.scalar(QStringLiteral("SELECT BREAKFAST FROM records WHERE ID = 1")).toString(),
                 QStringLiteral("by the access key"));
    QTest::keyClick(w->focusWidget(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(caption(w), QStringLiteral("Record: 2"));
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::itemListsTooltipsAndTabOrder()
{
    TempDiary diary;
    MessageLog log;
    frmrecords *w = open(diary.path());
    auto items = [](QComboBox *list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->itemText(i);
        return out;
    };
    QCOMPARE(items(w->Combo2),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                          QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                          QStringLiteral("9"), QStringLiteral("10")}));
    QCOMPARE(items(w->Combo3), items(w->Combo2));
    QCOMPARE(w->Combo7->count(), 13);
    QCOMPARE(w->Combo7->itemText(0), QStringLiteral("TEA"));
    QCOMPARE(w->Combo10->itemText(12), QStringLiteral("3*COFFEE"));
    QCOMPARE(w->Combo15->count(), 14);
    QCOMPARE(w->Combo15->itemText(13), QStringLiteral("ALPHA-2-ADRENERGIC AGENTS"));
    // With no day in the table the lists keep their design texts.
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("Combo2"));
    QCOMPARE(w->Combo3->currentText(), QStringLiteral("Combo2"));
    QCOMPARE(w->Combo9->currentText(), QStringLiteral("Combo9"));
    QCOMPARE(w->Combo12->currentText(), QStringLiteral("Combo4"));
    QVERIFY(w->Combo2->toolTip().startsWith(QStringLiteral("A score for this day, 1 for bad and 10 for good.")));
    QCOMPARE(w->Combo3->toolTip(), QStringLiteral("Bowl movements for this day."));
    QCOMPARE(w->cmdAdd->toolTip(), QStringLiteral("To add new records, click, enter data and then update."));
    QCOMPARE(w->cmdUpdate->toolTip(), QStringLiteral("After changing records, click me to save."));

    const QStringList expected{
        QStringLiteral("txtFields_5"),  QStringLiteral("txtFields_6"),  QStringLiteral("txtFields_7"),
        QStringLiteral("txtFields_9"),  QStringLiteral("txtFields_14"), QStringLiteral("txtFields_15"),
        QStringLiteral("txtFields_16"), QStringLiteral("txtFields_17"), QStringLiteral("txtFields_18"),
        QStringLiteral("cmdAdd"),       QStringLiteral("cmdUpdate"),    QStringLiteral("cmdDelete"),
        QStringLiteral("cmdRefresh"),   QStringLiteral("cmdClose"),     QStringLiteral("Combo2"),
        QStringLiteral("Combo3"),       QStringLiteral("Combo7"),       QStringLiteral("Combo8"),
        QStringLiteral("Combo9"),       QStringLiteral("Combo10"),      QStringLiteral("Combo1"),
        QStringLiteral("Combo11"),      QStringLiteral("Combo4"),       QStringLiteral("Combo5"),
        QStringLiteral("Combo6"),       QStringLiteral("Combo12"),      QStringLiteral("Combo13"),
        QStringLiteral("Combo14"),      QStringLiteral("Combo15")};
    QStringList chain;
    QWidget *at = w->txtFields(5);
    for (int i = 0; i < expected.size() && at; ++i) {
        chain << at->objectName();
        do {
            at = at->nextInFocusChain();
        } while (at && at != w->txtFields(5) &&
                 ((at->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || qobject_cast<QComboBox *>(at->parentWidget())));
    }
    QCOMPARE(chain, expected);
}

void tst_frmrecords::barCaptionsAndEnds()
{
    TempDiary diary;
    fillDays(diary);
    MessageLog log;
    vb::FlexGrid grid;
    grid.setFixedRows(1);
    grid.fill({QStringLiteral("DATE")}, std::vector<QStringList>(7, QStringList{QStringLiteral("x")}));
    grid.setRow(1);
    frmrecords *w = open(diary.path(), &grid);
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b1"));

    Adodc *bar = w->datPrimaryRS;
    QTest::mouseClick(bar->previousButton(), Qt::LeftButton); // back from the first stays there
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    QCOMPARE(caption(w), QStringLiteral("Record: 5"));
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b5"));
    QTest::mouseClick(bar->lastButton(), Qt::LeftButton);
    QCOMPARE(caption(w), QStringLiteral("Record: 7"));
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton); // on from the last stays there
    QCOMPARE(caption(w), QStringLiteral("Record: 7"));
    QCOMPARE(w->datPrimaryRS->Recordset()->RecordCount(), 7); // and adds nothing
    QTest::mouseClick(bar->firstButton(), Qt::LeftButton);
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));

    // Moves by code reach the ends, and the caption says so.
    RowSet *rs = w->datPrimaryRS->Recordset();
    QVERIFY(rs->MovePrevious());
    QCOMPARE(caption(w), QStringLiteral("Record: -2"));
    QVERIFY(rs->MoveLast());
    QVERIFY(rs->MoveNext());
    QCOMPARE(caption(w), QStringLiteral("Record: -3"));
    QTest::mouseClick(bar->previousButton(), Qt::LeftButton); // from after the last: the last
    QCOMPARE(caption(w), QStringLiteral("Record: 7"));
    QVERIFY(log.messages.isEmpty());

    // A selection past the end opens on the last row.
    grid.setRow(7);
    grid.fill({QStringLiteral("DATE")}, std::vector<QStringList>(20, QStringList{QStringLiteral("x")}));
    grid.setRow(15);
    frmrecords *past = open(diary.path(), &grid);
    QCOMPARE(caption(past), QStringLiteral("Record: 7"));
    // The header row: Move(-1) from the first row, before it.
    grid.setRow(0);
    frmrecords *header = open(diary.path(), &grid);
    QCOMPARE(caption(header), QStringLiteral("Record: -2"));
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::barFromBeforeFirstOrAfterLastLandsOnARow_data()
{
    QTest::addColumn<bool>("afterLast"); // else before the first, opened from the grid's header row
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("landsOn");
    QTest::newRow("Previous before the first") << false << QStringLiteral("Previous") << QStringLiteral("Record: 1");
    QTest::newRow("Next before the first") << false << QStringLiteral("Next") << QStringLiteral("Record: 1");
    QTest::newRow("Next after the last") << true << QStringLiteral("Next") << QStringLiteral("Record: 7");
    QTest::newRow("Previous after the last") << true << QStringLiteral("Previous") << QStringLiteral("Record: 7");
}

void tst_frmrecords::barFromBeforeFirstOrAfterLastLandsOnARow()
{
    QFETCH(bool, afterLast);
    QFETCH(QString, button);
    QFETCH(QString, landsOn);
    TempDiary diary;
    fillDays(diary);
    MessageLog log;
    vb::FlexGrid grid;
    grid.setFixedRows(1);
    grid.fill({QStringLiteral("DATE")}, std::vector<QStringList>(7, QStringList{QStringLiteral("x")}));
    grid.setRow(0);
    frmrecords *w = open(diary.path(), &grid);
    QCOMPARE(caption(w), QStringLiteral("Record: -2"));
    if (afterLast) {
        QVERIFY(w->datPrimaryRS->Recordset()->MoveLast());
        QVERIFY(w->datPrimaryRS->Recordset()->MoveNext());
        QCOMPARE(caption(w), QStringLiteral("Record: -3"));
    }
    QTest::mouseClick(w->datPrimaryRS->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(caption(w), landsOn);
    QCOMPARE(textOf(w->txtFields(5)), landsOn.endsWith(QLatin1Char('1')) ? QStringLiteral("b1") : QStringLiteral("b7"));
    QCOMPARE(w->datPrimaryRS->Recordset()->RecordCount(), 7);
    QCOMPARE(log.messages, QStringList());
}

void tst_frmrecords::opensOnTheDayClickedInTheGrid()
{
    TempDiary diary;
    fillDays(diary);
    MessageLog log;
    vb::FlexGrid grid;
    fillGridRanked(grid, diary);
    // Ranked 10, 9, 7, 5, 3, 2, 1: the fifth day is ID 1 (score 3), which is
    // the first row of the table; its fifth row is ID 5.
    QCOMPARE(grid.RowKey(5).value(), qint64(1));
    grid.setRow(5);
    frmrecords *w = open(diary.path(), &grid);
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b1"));
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("3"));
    QCOMPARE(textOf(w->txtFields(7)), QStringLiteral("01/03/26"));
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));

    // The bar then moves in the table's own order.
    QTest::mouseClick(w->datPrimaryRS->nextButton(), Qt::LeftButton);
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b2"));

    // The best day, grid row 1, is ID 6: the table's sixth row.
    grid.setRow(1);
    frmrecords *best = open(diary.path(), &grid);
    QCOMPARE(textOf(best->txtFields(5)), QStringLiteral("b6"));
    QCOMPARE(caption(best), QStringLiteral("Record: 6"));
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::opensByPositionWithoutKey()
{
    TempDiary diary;
    fillDays(diary);
    MessageLog log;
    vb::FlexGrid grid;
    fillGridRanked(grid, diary);
    // The day of grid row 2 (ID 2) was deleted since the grid was filled.
    QCOMPARE(grid.RowKey(2).value(), qint64(2));
    QVERIFY(diary.exec(QStringLiteral("DELETE FROM records WHERE ID = 2")));
    grid.setRow(2);
    frmrecords *w = open(diary.path(), &grid);
    QCOMPARE(caption(w), QStringLiteral("Record: 2")); // the second row of what is left
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b3"));

    // A grid without keys: the ordinal position.
    vb::FlexGrid plain;
    plain.setFixedRows(1);
    plain.fill({QStringLiteral("DATE")}, std::vector<QStringList>(6, QStringList{QStringLiteral("x")}));
    plain.setRow(4);
    frmrecords *byPlace = open(diary.path(), &plain);
    QCOMPARE(caption(byPlace), QStringLiteral("Record: 4"));
    QCOMPARE(textOf(byPlace->txtFields(5)), QStringLiteral("b5"));
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::emptyTableOpensReadyForAdd()
{
    TempDiary diary;
    MessageLog log;
    vb::FlexGrid grid;
    grid.setFixedRows(1);
    grid.fill({QStringLiteral("DATE")}, {});
    grid.setRow(0);
    frmrecords *w = open(diary.path(), &grid);
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
    QCOMPARE(caption(w), QStringLiteral("Record: -1"));
    QVERIFY(qobject_cast<MultiLineTextBox *>(w->txtFields(5))->isReadOnly());
    click(w, "cmdDelete");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY2(log.last().startsWith(QStringLiteral("There is no day to delete")), qPrintable(log.last()));
    log.clear();

    click(w, "cmdAdd");
    QVERIFY(!qobject_cast<MultiLineTextBox *>(w->txtFields(5))->isReadOnly());
    QCOMPARE(w->Combo2->currentText(), QString()); // a new day shows empty
    typeInto(w->txtFields(5), QStringLiteral("first breakfast"));
    typeInto(w->Combo2, QStringLiteral("6"));
    click(w, "cmdUpdate");
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT BREAKFAST FROM records")).toString(),
             QStringLiteral("first breakfast"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT [OVERALL SCORE] FROM records")).toInt(), 6);

    // Days added with nothing typed are dropped, whichever way they would be written.
    click(w, "cmdAdd");
    click(w, "cmdRefresh");
    for (int i = 0; i < 3; ++i)
        click(w, "cmdAdd");
    click(w, "cmdClose");
    flushDeletes();
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 1);
}

void tst_frmrecords::deleteLastMiddleOnlyAndNone()
{
    TempDiary diary;
    fillDays(diary, 4);
    MessageLog log;
    frmrecords *w = open(diary.path());
    Adodc *bar = w->datPrimaryRS;

    // The last row: the new last row is current.
    QTest::mouseClick(bar->lastButton(), Qt::LeftButton);
    click(w, "cmdDelete");
    QCOMPARE(caption(w), QStringLiteral("Record: 3"));
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b3"));
    QVERIFY(!fieldOf(diary, QStringLiteral("ID"), 4).isValid());

    // A middle row: the one that followed it.
    QTest::mouseClick(bar->firstButton(), Qt::LeftButton);
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    click(w, "cmdDelete");
    QCOMPARE(caption(w), QStringLiteral("Record: 2"));
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("b3"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 2);
    QVERIFY(log.messages.isEmpty());

    // No current row: refused with its description, nothing deleted.
    QVERIFY(w->datPrimaryRS->Recordset()->MoveLast());
    QVERIFY(w->datPrimaryRS->Recordset()->MoveNext());
    click(w, "cmdDelete");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().startsWith(QStringLiteral("No row is current")));
    QVERIFY(!log.last().startsWith(QStringLiteral("Data error")));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 2);
    QCOMPARE(caption(w), QStringLiteral("Record: -3"));
    log.clear();

    // Down to the only row and then none: the empty set, without a message.
    QTest::mouseClick(bar->firstButton(), Qt::LeftButton);
    click(w, "cmdDelete");
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
    click(w, "cmdDelete");
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 0);
    QCOMPARE(caption(w), QStringLiteral("Record: -1"));
    QCOMPARE(textOf(w->txtFields(5)), QString());
    QVERIFY(!w->Combo2->isEnabled());
    // Ready for Add again.
    click(w, "cmdAdd");
    QVERIFY(w->Combo2->isEnabled());
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::addThenUpdateAndAddThenMove()
{
    TempDiary diary;
    fillDays(diary, 2);
    MessageLog log;
    frmrecords *w = open(diary.path());

    click(w, "cmdAdd");
    QCOMPARE(caption(w), QStringLiteral("Record: 3"));
    QCOMPARE(textOf(w->txtFields(5)), QString());
    typeInto(w->txtFields(7), QStringLiteral("5/4/26"));
    typeInto(w->txtFields(5), QStringLiteral("muesli"));
    typeInto(w->Combo7, QStringLiteral("TEA"));
    typeInto(w->Combo11, QStringLiteral("my own pill")); // not in the list: kept as typed
    typeInto(w->Combo3, QStringLiteral("2"));
    // Picking from a list: the second beverage of the list, by the keyboard.
    w->Combo9->setFocus();
    QTest::keyClick(w->Combo9, Qt::Key_Down);
    QTest::keyClick(w->Combo9, Qt::Key_Down);
    QCOMPARE(w->Combo9->currentText(), QStringLiteral("COFFEE"));
    click(w, "cmdUpdate");
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
    const QList<QVariantList> rows =
        diary.rows(QStringLiteral("SELECT ID, DATE, BREAKFAST, BEVERAGE1, MEDICATION1, BMs FROM records WHERE ID = 3"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][1].toString(), QStringLiteral("2026-04-05"));
    QCOMPARE(rows[0][2].toString(), QStringLiteral("muesli"));
    QCOMPARE(rows[0][3].toString(), QStringLiteral("TEA"));
    QCOMPARE(rows[0][4].toString(), QStringLiteral("my own pill"));
    QCOMPARE(rows[0][5].toInt(), 2);
    QCOMPARE(fieldOf(diary, QStringLiteral("BEVERAGE3"), 3).toString(), QStringLiteral("COFFEE"));
    QCOMPARE(textOf(w->txtFields(7)), QStringLiteral("05/04/26")); // shown in its own form again

    // The new day learnt its ID: a second edit changes that row, not a new one.
    typeInto(w->txtFields(5), QStringLiteral("muesli and fruit"));
    click(w, "cmdUpdate");
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 3).toString(), QStringLiteral("muesli and fruit"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 3);

    // Add, then a move with the bar: written too.
    click(w, "cmdAdd");
    typeInto(w->txtFields(18), QStringLiteral("fish"));
    QTest::mouseClick(w->datPrimaryRS->firstButton(), Qt::LeftButton);
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records WHERE ID = 4")).toString(), QStringLiteral("fish"));
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
}

void tst_frmrecords::twoWindowsOnOneDay()
{
    TempDiary diary;
    fillDays(diary, 3);
    MessageLog log;
    frmrecords *first = open(diary.path());
    frmrecords *second = open(diary.path());
    typeInto(first->txtFields(5), QStringLiteral("first window's"));
    click(first, "cmdUpdate");
    typeInto(second->txtFields(9), QStringLiteral("second window's"));
    click(second, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("another window")));
    QVERIFY(log.last().contains(QStringLiteral("Refresh")));
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString(), QStringLiteral("first window's"));
    QVERIFY(fieldOf(diary, QStringLiteral("LUNCH"), 1).isNull());
    QCOMPARE(textOf(second->txtFields(9)), QStringLiteral("second window's"));
    QVERIFY(second->datPrimaryRS->Recordset()->isFieldPending(QStringLiteral("LUNCH")));

    // Moving off the row does not overwrite either; the bar reports it.
    log.clear();
    QTest::mouseClick(second->datPrimaryRS->nextButton(), Qt::LeftButton);
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().startsWith(QStringLiteral("Data error event hit err:")));
    QCOMPARE(caption(second), QStringLiteral("Record: 1"));

    // Refresh: the first click keeps the edit, the second shows the other change.
    log.clear();
    click(second, "cmdRefresh");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("once more")));
    QCOMPARE(textOf(second->txtFields(9)), QStringLiteral("second window's"));
    click(second, "cmdRefresh");
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(textOf(second->txtFields(5)), QStringLiteral("first window's"));
    QCOMPARE(textOf(second->txtFields(9)), QString());
    // Now its edits write.
    typeInto(second->txtFields(9), QStringLiteral("lunch after all"));
    click(second, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(fieldOf(diary, QStringLiteral("LUNCH"), 1).toString(), QStringLiteral("lunch after all"));
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString(), QStringLiteral("first window's"));
}

void tst_frmrecords::oneDeletesWhatTheOtherEdits()
{
    TempDiary diary;
    fillDays(diary, 3);
    MessageLog log;
    frmrecords *deleting = open(diary.path());
    frmrecords *editing = open(diary.path());
    click(deleting, "cmdDelete");
    QVERIFY(log.messages.isEmpty());
    typeInto(editing->txtFields(18), QStringLiteral("soup"));
    click(editing, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("deleted")));
    QVERIFY(!fieldOf(diary, QStringLiteral("ID"), 1).isValid());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 2);
    QCOMPARE(textOf(editing->txtFields(18)), QStringLiteral("soup"));

    // And the other way: a day changed elsewhere is not deleted.
    log.clear();
    QTest::mouseClick(deleting->datPrimaryRS->firstButton(), Qt::LeftButton); // ID 2
    click(deleting, "cmdRefresh");
    typeInto(deleting->txtFields(18), QStringLiteral("stew"));
    click(deleting, "cmdUpdate");
    frmrecords *stale = open(diary.path());
    QVERIFY(log.messages.isEmpty());
    typeInto(deleting->txtFields(18), QStringLiteral("stew again"));
    click(deleting, "cmdUpdate");
    click(stale, "cmdDelete");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("another window")));
    QCOMPARE(fieldOf(diary, QStringLiteral("TEA"), 2).toString(), QStringLiteral("stew again"));
}

void tst_frmrecords::storedOutOfRangeScoresAreKeptUntilChanged()
{
    // A diary made before the ranges were checked, holding such values.
    TempDiary diary;
    QStringList columns;
    for (const QString &c : diary::recordsColumns())
        columns << (c == QLatin1String("ID") ? QStringLiteral("ID INTEGER PRIMARY KEY")
                                             : QLatin1Char('"') + c + QLatin1Char('"'));
    QVERIFY(diary.exec(QStringLiteral("DROP VIEW [Diary Query]")));
    QVERIFY(diary.exec(QStringLiteral("DROP TABLE records")));
    QVERIFY(diary.exec(QStringLiteral("CREATE TABLE records (%1)").arg(columns.join(QLatin1Char(',')))));
    QVERIFY(diary.exec(
        QStringLiteral("INSERT INTO records (ID, DATE, [OVERALL SCORE], BMs) VALUES (1, '2026-03-01', 11, -1)")));
    MessageLog log;
    frmrecords *w = open(diary.path());
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("11"));
    QCOMPARE(w->Combo3->currentText(), QStringLiteral("-1"));
    typeInto(w->txtFields(5), QStringLiteral("toast"));
    click(w, "cmdUpdate");
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
    QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), 11);
    QCOMPARE(fieldOf(diary, QStringLiteral("BMs"), 1).toInt(), -1);
    typeInto(w->Combo2, QStringLiteral("12"));
    click(w, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY2(log.last().contains(QStringLiteral("from 1 to 10")), qPrintable(log.last()));
    QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), 11);
}

void tst_frmrecords::badDatesAndScoresStayPending()
{
    TempDiary diary;
    fillDays(diary, 2);
    MessageLog log;
    frmrecords *w = open(diary.path());
    for (const QString &bad : {QStringLiteral("31/02/26"), QStringLiteral("hello"), QStringLiteral("12/31/26")}) {
        log.clear();
        typeInto(w->txtFields(7), bad);
        click(w, "cmdUpdate");
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(QStringLiteral("is not a date")), qPrintable(log.last()));
        QVERIFY(log.last().contains(bad));
        QVERIFY(log.last().startsWith(QStringLiteral("The day 01/03/26 was not saved")));
        QCOMPARE(textOf(w->txtFields(7)), bad);
        QCOMPARE(fieldOf(diary, QStringLiteral("DATE"), 1).toString(), QStringLiteral("2026-03-01"));
    }
    typeInto(w->txtFields(7), QStringLiteral("02/03/26"));
    click(w, "cmdUpdate");
    QCOMPARE(fieldOf(diary, QStringLiteral("DATE"), 1).toString(), QStringLiteral("2026-03-02"));

    for (const QString &bad : {QStringLiteral("abc"), QStringLiteral("7.5"), QStringLiteral("11"), QStringLiteral("0"),
                               QStringLiteral("-1"), QStringLiteral("1e1"), QStringLiteral("+5")}) {
        log.clear();
        typeInto(w->Combo2, bad);
        typeInto(w->txtFields(5), QStringLiteral("with a bad score"));
        click(w, "cmdUpdate");
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(QStringLiteral("OVERALL SCORE must be a whole number from 1 to 10")),
                 qPrintable(log.last()));
        QVERIFY(log.last().contains(QLatin1Char('"') + bad + QLatin1Char('"')));
        QCOMPARE(w->Combo2->currentText(), bad);
        QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), 3);
        QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString(), QStringLiteral("b1"));
    }
    for (const QString &bad : {QStringLiteral("x"), QStringLiteral("-1"), QStringLiteral("2e0")}) {
        log.clear();
        typeInto(w->Combo3, bad);
        typeInto(w->Combo2, QStringLiteral(" 8 "));
        click(w, "cmdUpdate");
        QVERIFY2(log.last().contains(QStringLiteral("BMs must be a whole number from 0 up")), qPrintable(log.last()));
        QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), 3);
    }
    typeInto(w->Combo3, QStringLiteral("0"));
    click(w, "cmdUpdate");
    QCOMPARE(fieldOf(diary, QStringLiteral("BMs"), 1).toInt(), 0);
    typeInto(w->Combo3, QStringLiteral("4"));
    click(w, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), 8);
    QCOMPARE(fieldOf(diary, QStringLiteral("BMs"), 1).toInt(), 4);
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("8"));
    // Both ends of the score's range are days.
    for (const int score : {10, 1}) {
        typeInto(w->Combo2, QString::number(score));
        click(w, "cmdUpdate");
        QCOMPARE(log.messages.size(), 1);
        QCOMPARE(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).toInt(), score);
    }

    // An emptied date or score holds nothing.
    typeInto(w->txtFields(7), QString());
    typeInto(w->Combo2, QString());
    click(w, "cmdUpdate");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(fieldOf(diary, QStringLiteral("DATE"), 1).isNull());
    QVERIFY(fieldOf(diary, QStringLiteral("OVERALL SCORE"), 1).isNull());
    QCOMPARE(fieldOf(diary, QStringLiteral("ID"), 1).toInt(), 1);
}

void tst_frmrecords::datesReadDayFirst()
{
    TempDiary diary;
    fillDays(diary, 1);
    MessageLog log;
    frmrecords *w = open(diary.path());
    // The window is given its today, so the two-digit-year window is checked
    // on both sides of its edge whatever the clock says.
    const struct
    {
        int todayYear;
        const char *typed;
        const char *stored;
        const char *shown;
    } cases[] = {
        {2026, "3/4/26", "2026-04-03", "03/04/26"},     {2026, "13/1/47", "1947-01-13", "13/01/47"},
        {2026, "13/1/46", "2046-01-13", "13/01/46"},    {2027, "13/1/47", "2047-01-13", "13/01/47"},
        {2027, "13/1/48", "1948-01-13", "13/01/48"},    {2046, "31/12/66", "2066-12-31", "31/12/66"},
        {2046, "1/1/67", "1967-01-01", "01/01/67"},     {2026, "1/2/1930", "1930-02-01", "01/02/30"},
        {2026, "29/02/2028", "2028-02-29", "29/02/28"},
    };
    for (const auto &c : cases) {
        w->setTodayProvider([y = c.todayYear] { return QDate(y, 6, 15); });
        typeInto(w->txtFields(7), QLatin1String(c.typed));
        click(w, "cmdUpdate");
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
        QCOMPARE(fieldOf(diary, QStringLiteral("DATE"), 1).toString(), QLatin1String(c.stored));
        QCOMPARE(textOf(w->txtFields(7)), QLatin1String(c.shown));
    }
}

void tst_frmrecords::textKeptExactly()
{
    TempDiary diary;
    fillDays(diary, 1);
    MessageLog log;
    frmrecords *w = open(diary.path());
    const QString quotes = QStringLiteral("Mum's \"special\" stew");
    const QString sql = QStringLiteral("x'); DELETE FROM records; --");
    const QString foreign = QStringLiteral("Müsli, crème brûlée, 寿司, Ωμέγα");
    typeInto(w->txtFields(5), quotes);
    typeInto(w->txtFields(14), sql);
    typeInto(w->Combo7, foreign);
    typeInto(w->txtFields(6), QStringLiteral("two\nlines"));
    const QString longSnack = QString(10000, QLatin1Char('n')) + QStringLiteral("end");
    qobject_cast<QLineEdit *>(w->txtFields(15))->setFocus();
    qobject_cast<QLineEdit *>(w->txtFields(15))->insert(longSnack); // as a paste does
    QCOMPARE(textOf(w->txtFields(15)), longSnack);
    QTest::mouseClick(w->datPrimaryRS->nextButton(), Qt::LeftButton); // the only row: stays, writes
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString(), quotes);
    QCOMPARE(fieldOf(diary, QStringLiteral("SNACK1"), 1).toString(), sql);
    QCOMPARE(fieldOf(diary, QStringLiteral("BEVERAGE1"), 1).toString(), foreign);
    QCOMPARE(fieldOf(diary, QStringLiteral("COMMENTS"), 1).toString(), QStringLiteral("two\nlines"));
    QCOMPARE(fieldOf(diary, QStringLiteral("SNACK2"), 1).toString(), longSnack);
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 1);

    // And read back the same by a new window.
    frmrecords *again = open(diary.path());
    QCOMPARE(textOf(again->txtFields(5)), quotes);
    QCOMPARE(textOf(again->txtFields(14)), sql);
    QCOMPARE(again->Combo7->currentText(), foreign);
    QCOMPARE(textOf(again->txtFields(15)), longSnack);
}

void tst_frmrecords::lengthLimits()
{
    TempDiary diary;
    fillDays(diary, 1);
    MessageLog log;
    frmrecords *w = open(diary.path());
    const QString typed = QString(150, QLatin1Char('a')) + QString(100, QLatin1Char('b'));
    for (const int index : {5, 6, 9, 18}) {
        typeInto(w->txtFields(index), typed);
        QCOMPARE(textOf(w->txtFields(index)).size(), 200);
        QCOMPARE(textOf(w->txtFields(index)), typed.left(200));
    }
    // A paste is cut to what fits, whole characters only.
    auto *tea = qobject_cast<MultiLineTextBox *>(w->txtFields(18));
    typeInto(tea, QString(198, QLatin1Char('t')));
    QCOMPARE(tea->fitting(QStringLiteral("xy🍣z")), QStringLiteral("xy"));
    QCOMPARE(tea->fitting(QStringLiteral("x🍣")), QStringLiteral("x"));
    typeText(tea, QStringLiteral("uvw"));
    QCOMPARE(tea->text(), QString(198, QLatin1Char('t')) + QStringLiteral("uv"));
    // Replacing a selection makes room.
    QTest::keyClick(tea, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(tea, QStringLiteral("new"));
    QCOMPARE(tea->text(), QStringLiteral("new"));
    // Snacks, the date box and the lists set no limit of their own.
    typeInto(w->txtFields(16), QString(300, QLatin1Char('s')));
    QCOMPARE(textOf(w->txtFields(16)).size(), 300);
    typeInto(w->Combo8, QString(300, QLatin1Char('c')));
    QCOMPARE(w->Combo8->currentText().size(), 300);
    click(w, "cmdUpdate");
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString().size(), 200);
    QCOMPARE(fieldOf(diary, QStringLiteral("BEVERAGE2"), 1).toString().size(), 300);

    // A longer stored text is shown whole, and typing adds nothing to it.
    QVERIFY(diary.exec(QStringLiteral("UPDATE records SET LUNCH = ? WHERE ID = 1"), {QString(250, QLatin1Char('L'))}));
    click(w, "cmdRefresh");
    QCOMPARE(textOf(w->txtFields(9)).size(), 250);
    QTest::keyClicks(w->txtFields(9), QStringLiteral("more"));
    QCOMPARE(textOf(w->txtFields(9)).size(), 250);
}

void tst_frmrecords::longValuesNeverCut_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("control"); // object name
    QTest::newRow("beverage list") << QStringLiteral("BEVERAGE1") << QStringLiteral("Combo7");
    QTest::newRow("medication list") << QStringLiteral("MEDICATION9") << QStringLiteral("Combo15");
    QTest::newRow("score list") << QStringLiteral("OVERALL SCORE") << QStringLiteral("Combo2");
    QTest::newRow("snack box") << QStringLiteral("SNACK1") << QStringLiteral("txtFields_14");
}

void tst_frmrecords::longValuesNeverCut()
{
    // Past the 32767 characters of a line edit's default limit.
    QFETCH(QString, field);
    QFETCH(QString, control);
    TempDiary diary;
    fillDays(diary, 1);
    const QString stored = QString(40000, QLatin1Char('s')) + QStringLiteral("end");
    {
        // Another tool's long value, past the diary's own checks.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("othertool"));
        db.setDatabaseName(diary.path());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON")));
        q.prepare(QStringLiteral("UPDATE records SET [%1] = ? WHERE ID = 1").arg(field));
        q.addBindValue(stored);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("othertool"));
    MessageLog log;
    frmrecords *w = open(diary.path());
    QWidget *box = child<QWidget>(w, qPrintable(control));
    QCOMPARE(textOf(box), stored);
    QLineEdit *line = qobject_cast<QLineEdit *>(box);
    if (auto *list = qobject_cast<QComboBox *>(box))
        line = list->lineEdit();
    QVERIFY(line);
    line->setFocus();
    line->end(false);
    QTest::keyClick(line, Qt::Key_X);
    line->insert(stored); // as a paste does
    QCOMPARE(textOf(box), stored + QStringLiteral("x") + stored);
    if (field != QLatin1String("OVERALL SCORE")) {
        click(w, "cmdUpdate");
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
        QCOMPARE(fieldOf(diary, field, 1).toString(), stored + QStringLiteral("x") + stored);
    }
}

void tst_frmrecords::lineEndsKeptWhereNotEdited_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("at"); // where one character is typed, in the box's own text
    QTest::addColumn<QString>("written");
    const QString mixed = QStringLiteral("a\r\nb\rc\u2028d\u2029e\u00a0f\ng");
    QTest::newRow("typed at the end") << mixed << 13 << mixed + QStringLiteral("x");
    QTest::newRow("typed at the start") << mixed << 0 << QStringLiteral("x") + mixed;
    QTest::newRow("typed in the middle") << mixed << 5 << QStringLiteral("a\r\nb\rcx\u2028d\u2029e\u00a0f\ng");
    QTest::newRow("typed after a CRLF") << QStringLiteral("one\r\ntwo\r\n") << 4 << QStringLiteral("one\r\nxtwo\r\n");
}

void tst_frmrecords::lineEndsKeptWhereNotEdited()
{
    QFETCH(QString, stored);
    QFETCH(int, at);
    QFETCH(QString, written);
    TempDiary diary;
    fillDays(diary, 1);
    QVERIFY(diary.exec(QStringLiteral("UPDATE records SET COMMENTS = ?, TEA = ? WHERE ID = 1"), {stored, stored}));
    MessageLog log;
    frmrecords *w = open(diary.path());
    auto *comments = qobject_cast<MultiLineTextBox *>(w->txtFields(6));
    auto *tea = qobject_cast<MultiLineTextBox *>(w->txtFields(18));
    QCOMPARE(comments->text(), stored);
    comments->setFocus();
    QTextCursor cursor = comments->textCursor();
    cursor.setPosition(at);
    comments->setTextCursor(cursor);
    QTest::keyClick(comments, Qt::Key_X);
    // A second edit elsewhere, typed and taken back, changes nothing between.
    QTest::keyClick(comments, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(comments, Qt::Key_Y);
    QTest::keyClick(comments, Qt::Key_Backspace);
    QCOMPARE(comments->text(), written);
    click(w, "cmdUpdate");
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
    QCOMPARE(fieldOf(diary, QStringLiteral("COMMENTS"), 1).toString(), written);
    QCOMPARE(fieldOf(diary, QStringLiteral("TEA"), 1).toString(), stored); // not touched at all
    QCOMPARE(tea->text(), stored);
}

void tst_frmrecords::noTypingWithoutCurrentRow()
{
    TempDiary diary;
    fillDays(diary, 2);
    MessageLog log;
    vb::FlexGrid grid;
    grid.setFixedRows(1);
    grid.fill({QStringLiteral("DATE")}, std::vector<QStringList>(2, QStringList{QStringLiteral("x")}));
    grid.setRow(0);
    frmrecords *w = open(diary.path(), &grid); // before the first row
    QCOMPARE(caption(w), QStringLiteral("Record: -2"));
    QTest::keyClicks(w->txtFields(5), QStringLiteral("lost?"));
    QTest::keyClicks(w->txtFields(7), QStringLiteral("1/1/26"));
    QCOMPARE(textOf(w->txtFields(5)), QString());
    QCOMPARE(textOf(w->txtFields(7)), QString());
    QVERIFY(!w->Combo2->isEnabled());
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("Combo2"));
    QVERIFY(!w->datPrimaryRS->Recordset()->hasPendingChanges());
    // Back on a row, typing works again.
    QTest::mouseClick(w->datPrimaryRS->nextButton(), Qt::LeftButton);
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
    QVERIFY(w->Combo2->isEnabled());
    typeInto(w->txtFields(5), QStringLiteral("kept"));
    QCOMPARE(textOf(w->txtFields(5)), QStringLiteral("kept"));
    QVERIFY(log.messages.isEmpty());
}

void tst_frmrecords::pendingWrittenOnEveryClose()
{
    TempDiary diary;
    fillDays(diary, 3);
    MessageLog log;

    QPointer<frmrecords> byButton = open(diary.path());
    typeInto(byButton->txtFields(5), QStringLiteral("by Close"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    click(byButton, "cmdClose");
    flushDeletes();
    QVERIFY(byButton.isNull());
    QVERIFY(!QApplication::overrideCursor()); // the unload puts the default pointer back
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 1).toString(), QStringLiteral("by Close"));

    QPointer<frmrecords> byBox = open(diary.path());
    QTest::mouseClick(byBox->datPrimaryRS->nextButton(), Qt::LeftButton);
    typeInto(byBox->txtFields(5), QStringLiteral("by the close box"));
    byBox->close();
    flushDeletes();
    QVERIFY(byBox.isNull());
    QCOMPARE(fieldOf(diary, QStringLiteral("BREAKFAST"), 2).toString(), QStringLiteral("by the close box"));

    // The main window closes every window, the newest first.
    QPointer<frmrecords> older = open(diary.path());
    QPointer<frmrecords> newer = open(diary.path());
    QTest::mouseClick(older->datPrimaryRS->lastButton(), Qt::LeftButton);
    typeInto(older->txtFields(18), QStringLiteral("older's tea"));
    click(newer, "cmdAdd");
    typeInto(newer->txtFields(18), QStringLiteral("newer's day"));
    const QList<QWidget *> windows = vb::Forms::list();
    for (qsizetype i = windows.size() - 1; i >= 0; --i)
        windows.at(i)->close();
    flushDeletes();
    QVERIFY(older.isNull() && newer.isNull());
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(fieldOf(diary, QStringLiteral("TEA"), 3).toString(), QStringLiteral("older's tea"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records WHERE TEA = ?"), {QStringLiteral("newer's day")})
                 .toInt(),
             1);
}

void tst_frmrecords::failedWriteOnCloseIsReported()
{
    TempDiary diary;
    fillDays(diary, 1);
    MessageLog log;
    QPointer<frmrecords> w = open(diary.path());
    typeInto(w->Combo3, QStringLiteral("many"));
    click(w, "cmdClose");
    flushDeletes();
    QVERIFY(w.isNull()); // closing still goes ahead
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("closes without")));
    QVERIFY(log.last().contains(QStringLiteral("BMs must be a whole number")));
    QVERIFY(fieldOf(diary, QStringLiteral("BMs"), 1).isNull());
}

void tst_frmrecords::refreshWritesFirstAndKeepsFailedEdit()
{
    TempDiary diary;
    fillDays(diary, 2);
    MessageLog log;
    frmrecords *w = open(diary.path());
    typeInto(w->txtFields(9), QStringLiteral("pasta"));
    QVERIFY(diary.insertDay(day(QStringLiteral("2026-05-01"), 4, QStringLiteral("from elsewhere"))) == 3);
    click(w, "cmdRefresh");
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(fieldOf(diary, QStringLiteral("LUNCH"), 1).toString(), QStringLiteral("pasta"));
    QCOMPARE(w->datPrimaryRS->Recordset()->RecordCount(), 3); // the other day is read
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));

    typeInto(w->txtFields(7), QStringLiteral("not a day"));
    click(w, "cmdRefresh");
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().contains(QStringLiteral("is not a date")));
    QCOMPARE(textOf(w->txtFields(7)), QStringLiteral("not a day"));
    // Edited again: Refresh tries to write again rather than drop it.
    typeInto(w->txtFields(7), QStringLiteral("still not"));
    click(w, "cmdRefresh");
    QCOMPARE(log.messages.size(), 2);
    QCOMPARE(textOf(w->txtFields(7)), QStringLiteral("still not"));
    // Asked twice for the same edit: dropped, and the diary is shown as saved.
    click(w, "cmdRefresh");
    QCOMPARE(log.messages.size(), 2);
    QCOMPARE(textOf(w->txtFields(7)), QStringLiteral("01/03/26"));
    QVERIFY(!w->datPrimaryRS->Recordset()->hasPendingChanges());
}

void tst_frmrecords::navigatorErrorsHaveTheirPrefix()
{
    TempDiary diary;
    fillDays(diary, 2);
    MessageLog log;
    frmrecords *w = open(diary.path());
    typeInto(w->Combo2, QStringLiteral("ten"));
    QTest::mouseClick(w->datPrimaryRS->nextButton(), Qt::LeftButton);
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().startsWith(QStringLiteral("Data error event hit err:The day 01/03/26 was not saved")));
    QCOMPARE(caption(w), QStringLiteral("Record: 1"));
    QCOMPARE(w->Combo2->currentText(), QStringLiteral("ten"));

    // A diary that is not there: reported by the navigator, once, and the
    // window stays usable for nothing but closing.
    log.clear();
    const QString missing = diary.path() + QStringLiteral(".missing");
    QPointer<frmrecords> none = open(missing);
    QCOMPARE(log.messages.size(), 1);
    QVERIFY(log.last().startsWith(QStringLiteral("Data error event hit err:The diary file")));
    QVERIFY(log.last().contains(missing));
    QVERIFY(qobject_cast<MultiLineTextBox *>(none->txtFields(5))->isReadOnly());
    click(none, "cmdAdd");
    QCOMPARE(log.messages.size(), 2);
    QVERIFY(!log.last().startsWith(QStringLiteral("Data error")));
    click(none, "cmdClose");
    flushDeletes();
    QVERIFY(none.isNull());
    QVERIFY(!QFile::exists(missing));
}

QTEST_MAIN(tst_frmrecords)
#include "tst_frmrecords.moc"
