// The row set on its own: reading, positions, writes with optimistic locking,
// the batch, and values kept exactly.
#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/rowset.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "testsupport.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using testing_support::TempDiary;

namespace {

QHash<QString, QVariant> day(const QString &date, int score, const QString &breakfast = QString())
{
    QHash<QString, QVariant> fields{{QStringLiteral("DATE"), date}, {QStringLiteral("OVERALL SCORE"), score}};
    if (!breakfast.isNull())
        fields.insert(QStringLiteral("BREAKFAST"), breakfast);
    return fields;
}

// Five days, ID 1 to 5, breakfast "b1" to "b5".
void fillFive(const TempDiary &diary)
{
    for (int i = 1; i <= 5; ++i)
        QVERIFY(diary.insertDay(day(QStringLiteral("2026-01-0%1").arg(i), i, QStringLiteral("b%1").arg(i))) == i);
}

QVariant breakfastOf(const TempDiary &diary, qint64 id)
{
    return diary.scalar(QStringLiteral("SELECT BREAKFAST FROM records WHERE ID = ?"), {id});
}

} // namespace

class tst_RowSet : public QObject
{
    Q_OBJECT
private slots:
    void readsEveryRowInOrderOnTheFirst();
    void emptyAndMissingDiaries();
    void positionsAndCodes();
    void editWritesOnMoveAndUpdate();
    void failedWriteKeepsEditAndPosition();
    void addNewLearnsItsId();
    void deleteKeepsDeletedRowCurrentUntilMove();
    void deleteRefusedWithoutCurrentRow();
    void secondWindowCannotOverwrite();
    void deleteAndEditInTwoWindows();
    void batchIsAllOrNothing();
    void valuesKeptExactly();
    void nullValuesMatch();
    void tableWithoutKeyChangesOneRow();
    void fieldWriterAndCancel();
    void manyRows();
    void emptyAddedDayIsNeverWritten_data();
    void emptyAddedDayIsNeverWritten();
    void textsThatAreNoUtf8CanBeChangedAndDeleted_data();
    void textsThatAreNoUtf8CanBeChangedAndDeleted();
    void idThatCannotGrowIsNamed();
    void replacedFileIsNoticedAndReadAgain();
    void writesLockBeforeTheyRead();
};

void tst_RowSet::readsEveryRowInOrderOnTheFirst()
{
    TempDiary diary;
    QVERIFY2(diary.ok(), qPrintable(diary.error()));
    fillFive(diary);
    RowSet rs;
    QSignalSpy moves(&rs, &RowSet::MoveComplete);
    QVERIFY2(rs.open(diary.path(), diary::recordsRecordSource()), qPrintable(rs.lastError()));
    QCOMPARE(rs.fieldNames(), diary::recordsColumns());
    QCOMPARE(rs.tableName(), QStringLiteral("records"));
    QCOMPARE(rs.RecordCount(), 5);
    QCOMPARE(rs.AbsolutePosition(), 1);
    QVERIFY(!rs.isBOF() && !rs.isEOF());
    QCOMPARE(moves.count(), 1);
    QCOMPARE(rs.field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("b1"));
    QCOMPARE(rs.field(QStringLiteral("OVERALL SCORE")).toLongLong(), 1);
    QCOMPARE(rs.fieldIndex(QStringLiteral("overall score")), 13);

    // The food select reads its bracketed table.
    RowSet food;
    QVERIFY2(food.open(diary.path(), diary::foodRecordSource()), qPrintable(food.lastError()));
    QCOMPARE(food.tableName(), QStringLiteral("FOOD AND MEDICATION"));
    QCOMPARE(food.RecordCount(), 1);
}

void tst_RowSet::emptyAndMissingDiaries()
{
    TempDiary diary;
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.isBOF() && rs.isEOF());
    QCOMPARE(rs.AbsolutePosition(), int(RowSet::adPosUnknown));
    QVERIFY(!rs.hasCurrentRow());
    QVERIFY(!rs.Move(0));
    QVERIFY(!rs.MoveLast());
    QVERIFY(rs.lastError().contains(QStringLiteral("no rows")));
    QVERIFY(!rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("x")));

    RowSet missing;
    const QString path = diary.path() + QStringLiteral(".gone");
    QVERIFY(!missing.open(path, diary::recordsRecordSource()));
    QVERIFY(missing.lastError().contains(path));
    QVERIFY(!missing.isOpen());
    QVERIFY(!missing.MoveNext());
    QVERIFY(!missing.lastError().isEmpty());
    QVERIFY(!QFile::exists(path)); // never created
}

void tst_RowSet::positionsAndCodes()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));

    QVERIFY(rs.Move(4));
    QCOMPARE(rs.AbsolutePosition(), 5);
    QVERIFY(rs.MoveNext());
    QVERIFY(rs.isEOF());
    QCOMPARE(rs.AbsolutePosition(), int(RowSet::adPosEOF));
    QVERIFY(!rs.MoveNext()); // nothing after EOF
    QVERIFY(rs.MovePrevious());
    QCOMPARE(rs.AbsolutePosition(), 5);

    QVERIFY(rs.MoveFirst());
    QVERIFY(rs.MovePrevious());
    QVERIFY(rs.isBOF());
    QCOMPARE(rs.AbsolutePosition(), int(RowSet::adPosBOF));
    QVERIFY(!rs.MovePrevious());
    QVERIFY(rs.MoveNext());
    QCOMPARE(rs.AbsolutePosition(), 1);

    // Move from the first row, as the daily record window's load does.
    QVERIFY(rs.Move(-1));
    QVERIFY(rs.isBOF());
    QVERIFY(rs.Move(3)); // from BOF: third row
    QCOMPARE(rs.AbsolutePosition(), 3);
    QVERIFY(rs.Move(1000));
    QVERIFY(rs.isEOF());
    QVERIFY(rs.Move(-2)); // from EOF: fourth row
    QCOMPARE(rs.AbsolutePosition(), 4);
    QVERIFY(rs.Move(-1000));
    QVERIFY(rs.isBOF());
    QVERIFY(rs.Move(std::numeric_limits<qint32>::max()));
    QVERIFY(rs.isEOF());
    QVERIFY(rs.MoveLast());
    QCOMPARE(rs.AbsolutePosition(), 5);

    QVERIFY(rs.setAbsolutePosition(2));
    QCOMPARE(rs.field(QStringLiteral("ID")).toLongLong(), 2);
    QVERIFY(!rs.setAbsolutePosition(6));
    QCOMPARE(rs.AbsolutePosition(), 2);
    QCOMPARE(rs.indexOf(QStringLiteral("ID"), QVariant::fromValue<qlonglong>(4)), 3);
    QCOMPARE(rs.indexOf(QStringLiteral("ID"), QVariant::fromValue<qlonglong>(99)), -1);
}

void tst_RowSet::editWritesOnMoveAndUpdate()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));

    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("porridge")));
    QVERIFY(rs.isFieldPending(QStringLiteral("BREAKFAST")));
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("b1")); // not yet
    QVERIFY(rs.MoveNext());                                           // leaving the row writes it
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("porridge"));
    QVERIFY(!rs.hasPendingChanges());

    // A typed number comes back as the number the diary holds.
    QSignalSpy written(&rs, &RowSet::RecordChangeComplete);
    QVERIFY(rs.setField(QStringLiteral("OVERALL SCORE"), QStringLiteral("10")));
    QVERIFY(rs.UpdateBatch(RowSet::adAffectAll));
    QCOMPARE(written.count(), 1);
    QCOMPARE(rs.field(QStringLiteral("OVERALL SCORE")).toLongLong(), 10);
    QCOMPARE(diary.scalar(QStringLiteral("SELECT typeof([OVERALL SCORE]) FROM records WHERE ID = 2")).toString(),
             QStringLiteral("integer"));

    // The written row can be changed again: its new values are what it matches on.
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QVariant()));
    QVERIFY(rs.UpdateBatch());
    QVERIFY(breakfastOf(diary, 2).isNull());
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("toast")));
    QVERIFY(rs.UpdateBatch());
    QCOMPARE(breakfastOf(diary, 2).toString(), QStringLiteral("toast"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);
}

void tst_RowSet::failedWriteKeepsEditAndPosition()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.Move(2));
    for (const QString &bad : {QStringLiteral("abc"), QStringLiteral("7.5")}) {
        QVERIFY(rs.setField(QStringLiteral("OVERALL SCORE"), bad));
        QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("eggs")));
        QVERIFY(!rs.MoveNext());
        QCOMPARE(rs.AbsolutePosition(), 3); // the move did not happen
        QVERIFY(rs.lastError().contains(QStringLiteral("OVERALL SCORE must be a whole number")));
        QVERIFY(rs.lastError().contains(bad));
        QVERIFY(!rs.UpdateBatch());
        QCOMPARE(rs.field(QStringLiteral("OVERALL SCORE")).toString(), bad);
        QVERIFY(rs.isPending(2));
        // Neither field reached the file.
        QCOMPARE(breakfastOf(diary, 3).toString(), QStringLiteral("b3"));
        QCOMPARE(diary.scalar(QStringLiteral("SELECT [OVERALL SCORE] FROM records WHERE ID = 3")).toInt(), 3);
    }
    QVERIFY(rs.setField(QStringLiteral("OVERALL SCORE"), QStringLiteral("8")));
    QVERIFY(rs.MoveNext());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT [OVERALL SCORE] FROM records WHERE ID = 3")).toInt(), 8);
    QCOMPARE(breakfastOf(diary, 3).toString(), QStringLiteral("eggs"));
}

void tst_RowSet::addNewLearnsItsId()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));

    // Add, then Update.
    QVERIFY(rs.AddNew());
    QCOMPARE(rs.RecordCount(), 6);
    QCOMPARE(rs.AbsolutePosition(), 6);
    QVERIFY(rs.isNew(5));
    QVERIFY(rs.field(QStringLiteral("ID")).isNull());
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("new one")));
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(rs.field(QStringLiteral("ID")).toLongLong(), 6);
    QCOMPARE(breakfastOf(diary, 6).toString(), QStringLiteral("new one"));
    // Edited and deleted again through the learnt ID.
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("changed")));
    QVERIFY(rs.UpdateBatch());
    QCOMPARE(breakfastOf(diary, 6).toString(), QStringLiteral("changed"));
    QVERIFY(rs.Delete(RowSet::adAffectCurrent));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);

    // Add, then a move: written as it is.
    QVERIFY(rs.AddNew());
    QVERIFY(rs.setField(QStringLiteral("SNACK4"), QStringLiteral("nuts")));
    QVERIFY(rs.MoveFirst());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 6);
    QCOMPARE(rs.RecordCount(), 6);
    QVERIFY(!rs.isNew(5));
    QVERIFY(rs.storedValue(5, rs.fieldIndex(QStringLiteral("ID"))).toLongLong() > 6);

    // A new row that is deleted before it was written touches nothing.
    QVERIFY(rs.AddNew());
    QVERIFY(rs.Delete());
    QVERIFY(rs.MoveNext());
    QVERIFY(rs.isEOF());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 6);
}

void tst_RowSet::deleteKeepsDeletedRowCurrentUntilMove()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    // A middle row: the row that followed it comes next.
    QVERIFY(rs.Move(1));
    QVERIFY(rs.Delete(RowSet::adAffectCurrent));
    QCOMPARE(rs.AbsolutePosition(), int(RowSet::adPosUnknown));
    QVERIFY(!rs.hasCurrentRow());
    QVERIFY(!rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("x")));
    QVERIFY(rs.MoveNext());
    QCOMPARE(rs.field(QStringLiteral("ID")).toLongLong(), 3);
    QCOMPARE(rs.AbsolutePosition(), 2);
    QVERIFY(breakfastOf(diary, 2).isNull());

    // The last row: MoveNext reaches EOF.
    QVERIFY(rs.MoveLast());
    QVERIFY(rs.Delete());
    QVERIFY(rs.MoveNext());
    QVERIFY(rs.isEOF());
    QVERIFY(rs.MoveLast());
    QCOMPARE(rs.field(QStringLiteral("ID")).toLongLong(), 4);
    QCOMPARE(
        diary.scalar(QStringLiteral("SELECT group_concat(ID) FROM (SELECT ID FROM records ORDER BY ID)")).toString(),
        QStringLiteral("1,3,4"));

    // Back from a deleted first row: BOF.
    QVERIFY(rs.MoveFirst());
    QVERIFY(rs.Delete());
    QVERIFY(rs.MovePrevious());
    QVERIFY(rs.isBOF());
}

void tst_RowSet::deleteRefusedWithoutCurrentRow()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.MovePrevious());
    QVERIFY(!rs.Delete());
    QVERIFY(rs.lastError().contains(QStringLiteral("No row is current")));
    QVERIFY(rs.MoveLast());
    QVERIFY(rs.MoveNext());
    QVERIFY(!rs.Delete());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);
    QVERIFY(!rs.Delete(RowSet::adAffectAll));
}

void tst_RowSet::secondWindowCannotOverwrite()
{
    TempDiary diary;
    fillFive(diary);
    RowSet first;
    RowSet second;
    QVERIFY(first.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(second.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(first.setField(QStringLiteral("BREAKFAST"), QStringLiteral("first's")));
    QVERIFY(first.UpdateBatch());
    QVERIFY(second.setField(QStringLiteral("LUNCH"), QStringLiteral("second's")));
    QVERIFY(!second.UpdateBatch());
    QVERIFY(second.lastError().contains(QStringLiteral("another window")));
    QVERIFY(second.lastError().contains(QStringLiteral("Refresh")));
    QVERIFY(second.isPending(0));
    QCOMPARE(second.field(QStringLiteral("LUNCH")).toString(), QStringLiteral("second's"));
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("first's"));
    QVERIFY(diary.scalar(QStringLiteral("SELECT LUNCH FROM records WHERE ID = 1")).isNull());
    // Moving off the row does not write it either.
    QVERIFY(!second.MoveNext());
    QCOMPARE(second.AbsolutePosition(), 1);
    // Re-reading shows the first window's change.
    QVERIFY(second.Requery());
    QCOMPARE(second.field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("first's"));
    QVERIFY(!second.hasPendingChanges());
}

void tst_RowSet::deleteAndEditInTwoWindows()
{
    TempDiary diary;
    fillFive(diary);
    RowSet deleting;
    RowSet editing;
    QVERIFY(deleting.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(editing.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(deleting.Delete());
    QVERIFY(editing.setField(QStringLiteral("BREAKFAST"), QStringLiteral("ghost")));
    QVERIFY(!editing.UpdateBatch());
    QVERIFY(editing.lastError().contains(QStringLiteral("deleted")));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 4);
    QVERIFY(editing.isPending(0));

    // The other way round: a delete of a day another window changed is refused.
    QVERIFY(editing.MoveNext() == false); // still the refused edit
    editing.CancelBatch();
    QVERIFY(editing.MoveNext());  // ID 2
    QVERIFY(deleting.MoveNext()); // ID 2 as well
    QVERIFY(deleting.setField(QStringLiteral("TEA"), QStringLiteral("changed")));
    QVERIFY(deleting.UpdateBatch());
    QVERIFY(!editing.Delete());
    QVERIFY(editing.lastError().contains(QStringLiteral("another window")));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records WHERE ID = 2")).toString(),
             QStringLiteral("changed"));
    QCOMPARE(editing.RecordCount(), 5);
    QCOMPARE(editing.AbsolutePosition(), 2);
}

void tst_RowSet::batchIsAllOrNothing()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    rs.setLockType(RowSet::adLockBatchOptimistic);
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("one")));
    QVERIFY(rs.MoveNext());
    QVERIFY(rs.setField(QStringLiteral("BMs"), QStringLiteral("lots")));
    QVERIFY(rs.MoveNext());
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("three")));
    QVERIFY(rs.AddNew());
    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("new")));
    QCOMPARE(rs.pendingRowCount(), 4);
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("b1")); // moves wrote nothing

    QVERIFY(!rs.UpdateBatch(RowSet::adAffectAll));
    QVERIFY(rs.lastError().contains(QStringLiteral("None of the 4")));
    QVERIFY(rs.lastError().contains(QStringLiteral("row 2")));
    QVERIFY(rs.lastError().contains(QStringLiteral("BMs must be a whole number")));
    QCOMPARE(rs.pendingRowCount(), 4);
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("b1"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);

    QVERIFY(rs.setAbsolutePosition(2));
    QVERIFY(rs.setField(QStringLiteral("BMs"), QStringLiteral("3")));
    QVERIFY2(rs.UpdateBatch(RowSet::adAffectAll), qPrintable(rs.lastError()));
    QCOMPARE(rs.pendingRowCount(), 0);
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("one"));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT BMs FROM records WHERE ID = 2")).toInt(), 3);
    QCOMPARE(breakfastOf(diary, 3).toString(), QStringLiteral("three"));
    QCOMPARE(breakfastOf(diary, 6).toString(), QStringLiteral("new"));
    QCOMPARE(rs.storedValue(5, rs.fieldIndex(QStringLiteral("ID"))).toLongLong(), 6);
}

void tst_RowSet::valuesKeptExactly()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    const QStringList values{
        QStringLiteral("it's \"quoted\""),
        QStringLiteral("'); DROP TABLE records; --"),
        QStringLiteral("Müsli, café, 寿司, 🍣 and ✓"),
        QString(10000, QLatin1Char('s')),
        QStringLiteral("line one\nline two\ttab"),
    };
    for (int i = 0; i < values.size(); ++i) {
        QVERIFY(rs.setAbsolutePosition(i + 1));
        QVERIFY(rs.setField(QStringLiteral("SNACK1"), values.at(i)));
        QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    }
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(diary.scalar(QStringLiteral("SELECT SNACK1 FROM records WHERE ID = ?"), {i + 1}).toString(),
                 values.at(i));
    // The rows stay writable with those values as their match.
    QVERIFY(rs.setAbsolutePosition(2));
    QVERIFY(rs.setField(QStringLiteral("SNACK2"), QStringLiteral("after")));
    QVERIFY(rs.UpdateBatch());
    QVERIFY(rs.Requery());
    QCOMPARE(rs.RecordCount(), 5);
    QCOMPARE(rs.value(1, rs.fieldIndex(QStringLiteral("SNACK1"))).toString(), values.at(1));
}

void tst_RowSet::nullValuesMatch()
{
    TempDiary diary;
    QVERIFY(diary.insertDay({}) == 1); // every field NULL
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("soup")));
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records")).toString(), QStringLiteral("soup"));
    QVERIFY(rs.Delete());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 0);
}

void tst_RowSet::tableWithoutKeyChangesOneRow()
{
    TempDiary diary;
    // Two identical rows, and a third that differs.
    QVERIFY(diary.exec(QStringLiteral("INSERT INTO [FOOD AND MEDICATION] DEFAULT VALUES")));
    QVERIFY(diary.exec(QStringLiteral("INSERT INTO [FOOD AND MEDICATION] ([ADEQUATE FOOD]) VALUES ('rice')")));
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::foodRecordSource()));
    QCOMPARE(rs.RecordCount(), 3);
    QVERIFY(rs.setField(QStringLiteral("IRRITABLE FOOD"), QStringLiteral("onions")));
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(
        diary.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION] WHERE [IRRITABLE FOOD] = 'onions'"))
            .toInt(),
        1);
    QCOMPARE(diary.scalar(QStringLiteral("SELECT [IRRITABLE FOOD] FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"))
                 .toString(),
             QStringLiteral("onions"));

    // Changed elsewhere since it was read: refused.
    RowSet other;
    QVERIFY(other.open(diary.path(), diary::foodRecordSource()));
    QVERIFY(other.setField(QStringLiteral("ADEQUATE FOOD"), QStringLiteral("bread")));
    QVERIFY(other.UpdateBatch());
    QVERIFY(rs.setField(QStringLiteral("ADEQUATE FOOD"), QStringLiteral("pasta")));
    QVERIFY(!rs.UpdateBatch());
    QVERIFY(rs.lastError().contains(QStringLiteral("another window")));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"))
                 .toString(),
             QStringLiteral("bread"));
}

void tst_RowSet::fieldWriterAndCancel()
{
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    rs.setFieldWriter(QStringLiteral("TEA"), [](const QVariant &v, QString *error) -> std::optional<QVariant> {
        if (v.toString() == QLatin1String("bad")) {
            *error = QStringLiteral("TEA cannot be bad.");
            return std::nullopt;
        }
        return QVariant(v.toString().toUpper());
    });
    rs.setRowDescriber([](const RowSet &, int row) { return QStringLiteral("Day number %1").arg(row + 1); });
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("bad")));
    QVERIFY(!rs.UpdateBatch());
    QCOMPARE(rs.lastError(), QStringLiteral("Day number 1 was not saved: TEA cannot be bad."));
    QVERIFY(rs.isPending(0));
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("fish")));
    QVERIFY(rs.UpdateBatch());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records WHERE ID = 1")).toString(), QStringLiteral("FISH"));

    QList<int> reasons;
    connect(&rs, &RowSet::WillChangeRecord, this, [&reasons](int reason, bool *cancel) {
        reasons << reason;
        *cancel = reason == RowSet::adRsnDelete;
    });
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("more")));
    QVERIFY(rs.UpdateBatch());
    QVERIFY(!rs.Delete());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);
    QCOMPARE(reasons, (QList<int>{RowSet::adRsnFirstChange, RowSet::adRsnUpdate, RowSet::adRsnDelete}));
}

void tst_RowSet::manyRows()
{
    TempDiary diary;
    QVERIFY(diary::addSampleDays(diary.path(), 3650, QDate::currentDate()).isEmpty());
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QCOMPARE(rs.RecordCount(), 3650);
    QVERIFY(rs.MoveLast());
    const qlonglong lastId = rs.field(QStringLiteral("ID")).toLongLong();
    QCOMPARE(diary.scalar(QStringLiteral("SELECT ID FROM records ORDER BY rowid DESC LIMIT 1")).toLongLong(), lastId);
    QVERIFY(rs.setField(QStringLiteral("COMMENTS"), QStringLiteral("last")));
    QVERIFY(rs.MoveFirst());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT COMMENTS FROM records WHERE ID = ?"), {lastId}).toString(),
             QStringLiteral("last"));
}

void tst_RowSet::emptyAddedDayIsNeverWritten_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("rowsAfter"); // in the window; the file keeps 5
    QTest::newRow("update") << QStringLiteral("update") << 5;
    QTest::newRow("move to the first row") << QStringLiteral("first") << 5;
    QTest::newRow("move back") << QStringLiteral("previous") << 5;
    QTest::newRow("move on past the end") << QStringLiteral("next") << 5;
    QTest::newRow("add again") << QStringLiteral("add") << 6;
    QTest::newRow("typed, then emptied") << QStringLiteral("emptied") << 5;
}

void tst_RowSet::emptyAddedDayIsNeverWritten()
{
    QFETCH(QString, how);
    QFETCH(int, rowsAfter);
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.AddNew());
    bool ok = false;
    if (how == QLatin1String("update")) {
        ok = rs.UpdateBatch();
    } else if (how == QLatin1String("first")) {
        ok = rs.MoveFirst();
        QCOMPARE(rs.AbsolutePosition(), 1);
    } else if (how == QLatin1String("previous")) {
        ok = rs.MovePrevious();
        QCOMPARE(rs.AbsolutePosition(), 5);
    } else if (how == QLatin1String("next")) {
        ok = rs.MoveNext();
        QVERIFY(rs.isEOF());
    } else if (how == QLatin1String("add")) {
        ok = rs.AddNew() && rs.AddNew() && rs.UpdateBatch() == true;
        rowsAfter = 5; // every one of them empty
    } else {
        QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("soup")));
        QVERIFY(rs.setField(QStringLiteral("TEA"), QVariant()));
        QVERIFY(rs.setField(QStringLiteral("SNACK1"), QStringLiteral("  ")));
        ok = rs.UpdateBatch();
    }
    QVERIFY2(ok, qPrintable(rs.lastError()));
    QCOMPARE(rs.RecordCount(), rowsAfter);
    QVERIFY(!rs.hasPendingChanges());
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 5);
}

void tst_RowSet::textsThatAreNoUtf8CanBeChangedAndDeleted_data()
{
    // Values as another tool stores them: the hex of BREAKFAST's bytes and
    // how they are typed.
    QTest::addColumn<QString>("stored");
    QTest::newRow("Latin-1 text") << QStringLiteral("CAST(X'636166E9' AS TEXT)");
    QTest::newRow("lone continuation byte") << QStringLiteral("CAST(X'41B04220' AS TEXT)");
    QTest::newRow("invalid lead byte") << QStringLiteral("CAST(X'FF6F6B' AS TEXT)");
    QTest::newRow("blob") << QStringLiteral("X'00FF10'");
}

void tst_RowSet::textsThatAreNoUtf8CanBeChangedAndDeleted()
{
    QFETCH(QString, stored);
    TempDiary diary;
    QVERIFY(
        diary.exec(QStringLiteral("INSERT INTO records (ID, DATE, BREAKFAST, LUNCH) VALUES (1, '2026-01-01', %1, %1)")
                       .arg(stored)));
    const QString before =
        diary.scalar(QStringLiteral("SELECT typeof(BREAKFAST) || hex(BREAKFAST) FROM records")).toString();
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    // Twice: once as first read, once as read back after the first write.
    for (const QString &tea : {QStringLiteral("soup"), QStringLiteral("stew")}) {
        QVERIFY(rs.setField(QStringLiteral("TEA"), tea));
        QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
        QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records")).toString(), tea);
        QCOMPARE(diary.scalar(QStringLiteral("SELECT typeof(BREAKFAST) || hex(BREAKFAST) FROM records")).toString(),
                 before);
    }
    // An edit of one such field leaves the other's bytes as they were.
    QVERIFY(rs.setField(QStringLiteral("LUNCH"), QStringLiteral("rice")));
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT typeof(BREAKFAST) || hex(BREAKFAST) FROM records")).toString(),
             before);
    // Still found after reading again, and changed elsewhere still refused.
    QVERIFY(rs.Requery());
    QVERIFY(diary.exec(QStringLiteral("UPDATE records SET BREAKFAST = CAST(X'636166E8' AS TEXT)")));
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("pie")));
    QVERIFY(!rs.UpdateBatch());
    QVERIFY(rs.lastError().contains(QStringLiteral("another window")));
    QVERIFY(rs.Requery());
    QVERIFY2(rs.Delete(), qPrintable(rs.lastError()));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 0);
}

void tst_RowSet::idThatCannotGrowIsNamed()
{
    TempDiary diary;
    QVERIFY(diary.exec(QStringLiteral("INSERT INTO records (ID, DATE) VALUES (9223372036854775807, '2026-01-01')")));
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    QVERIFY(rs.AddNew());
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("soup")));
    QVERIFY(!rs.UpdateBatch());
    QVERIFY2(rs.lastError().contains(QStringLiteral("cannot number another day")), qPrintable(rs.lastError()));
    QVERIFY2(rs.lastError().contains(QStringLiteral("9223372036854775807")), qPrintable(rs.lastError()));
    QVERIFY2(!rs.lastError().contains(QStringLiteral("full")), qPrintable(rs.lastError()));
    QVERIFY(rs.hasPendingChanges());
}

void tst_RowSet::replacedFileIsNoticedAndReadAgain()
{
    TempDiary diary;
    fillFive(diary);
    TempDiary other;
    QVERIFY(other.insertDay(day(QStringLiteral("2027-02-02"), 9, QStringLiteral("restored"))) == 1);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    // As a restore or a sync tool does: a new file renamed over the old.
    QVERIFY(::rename(QFile::encodeName(other.path()).constData(), QFile::encodeName(diary.path()).constData()) == 0);

    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("soup")));
    QVERIFY(!rs.UpdateBatch());
    QVERIFY2(rs.lastError().contains(QStringLiteral("replaced by another program")), qPrintable(rs.lastError()));
    QVERIFY2(rs.lastError().contains(QStringLiteral("Refresh reads")), qPrintable(rs.lastError()));
    QVERIFY(rs.hasPendingChanges());
    QVERIFY(rs.MoveNext() == false);
    rs.CancelBatch();
    QVERIFY(!rs.Delete());
    QVERIFY(rs.lastError().contains(QStringLiteral("replaced by another program")));

    QVERIFY2(rs.Requery(), qPrintable(rs.lastError()));
    QCOMPARE(rs.RecordCount(), 1);
    QCOMPARE(rs.field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("restored"));
    QVERIFY(rs.setField(QStringLiteral("TEA"), QStringLiteral("soup")));
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(diary.scalar(QStringLiteral("SELECT TEA FROM records WHERE BREAKFAST = 'restored'")).toString(),
             QStringLiteral("soup"));
}

QTEST_GUILESS_MAIN(tst_RowSet)
// Another program holding the write lock: the row set's write asks for the
// lock before it reads the row it will change, so it is refused as locked,
// not part-way after finding the row (when a change made meanwhile could be
// missed), and what was typed stays pending.
void tst_RowSet::writesLockBeforeTheyRead()
{
    diary::Connection::setBusyTimeoutMs(200);
    const auto restore = qScopeGuard([] { diary::Connection::setBusyTimeoutMs(diary::Connection::kCommandTimeoutMs); });
    TempDiary diary;
    fillFive(diary);
    RowSet rs;
    QVERIFY(rs.open(diary.path(), diary::recordsRecordSource()));
    diary::SqliteFile holder;
    QVERIFY(holder.open(diary.path(), diary::SqliteFile::ReadWrite));
    diary::SqliteRunner sql(holder);
    diary::Transaction hold(sql);
    QString why;
    QVERIFY(hold.begin(diary::Transaction::Immediate, &why));

    QVERIFY(rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("typed")));
    QVERIFY(!rs.UpdateBatch());
    QVERIFY2(rs.lastError().contains(QStringLiteral("could not be locked for writing")), qPrintable(rs.lastError()));
    QVERIFY(rs.isPending(0));
    QVERIFY(!rs.Delete());
    QVERIFY2(rs.lastError().contains(QStringLiteral("could not be locked for writing")), qPrintable(rs.lastError()));

    hold.rollback();
    QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));
    QCOMPARE(breakfastOf(diary, 1).toString(), QStringLiteral("typed"));
}

#include "tst_rowset.moc"
