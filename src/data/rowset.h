#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace diary {
class Connection;
class Transaction;
} // namespace diary

// A client-side static copy of every row of one fixed record source, with a
// current position and the pending changes made to it, written back with
// optimistic locking. It belongs to one window and owns its own connection.
//
// Rows are kept in the order the engine returned them. Each row holds its
// fields by column index (fieldIndex() turns a name into one); the values are
// those last read from the file, and a pending change keeps the new values
// beside them until it is written.
//
// Writing. A change or delete first finds its row in the table by every value
// this copy read (NULL-safe, `IS ?`); when none matches, another connection has
// changed or deleted the row since, nothing is written and the change stays
// pending. The row is then changed by its rowid and read back, so the copy
// holds what the file holds (a typed "7" comes back as the number 7). Tables
// with an `ID` key are matched on it as well; a table without one (the food and
// medication list) is matched on its values alone, and of identical rows the
// first by rowid is changed. A row added here learns its rowid, and so its ID,
// when it is written. Every value goes in as a bound parameter; only the fixed
// table and column names of the record source are part of the statement text.
//
// Failures never throw and never show anything: an operation returns false and
// lastError() says what went wrong in words for the user.
class RowSet : public QObject
{
    Q_OBJECT
public:
    // Position codes of AbsolutePosition().
    enum PositionEnum { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };
    enum AffectEnum { adAffectCurrent = 1, adAffectAll = 3 };
    // Optimistic: every move writes the pending change of the row it leaves.
    // Batch optimistic: changes stay pending until UpdateBatch.
    enum LockTypeEnum { adLockOptimistic = 3, adLockBatchOptimistic = 4 };
    // Reasons given with WillChangeRecord.
    enum EventReasonEnum { adRsnAddNew = 1, adRsnDelete = 2, adRsnUpdate = 3, adRsnFirstChange = 11 };

    explicit RowSet(QObject *parent = nullptr);
    ~RowSet() override;

    // Opens a connection to `path` and reads every row of `recordSource`, a
    // select of columns from one table. The first row becomes current. Raises
    // MoveComplete on success.
    bool open(const QString &path, const QString &recordSource);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    QString path() const { return m_path; }
    QString recordSource() const { return m_recordSource; }
    QString tableName() const { return m_table; }

    QString lastError() const { return m_lastError; }

    LockTypeEnum LockType() const { return m_lockType; }
    void setLockType(LockTypeEnum type) { m_lockType = type; }

    // Fields.
    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString &name) const; // -1 when not selected
    int RecordCount() const { return int(m_rows.size()); }

    // Position.
    // BOF and EOF (the latter name is the C library's macro, hence the "is").
    bool isBOF() const { return m_bof; }
    bool isEOF() const { return m_eof; }
    // On a row: whether a current row exists that fields can be read from.
    bool hasCurrentRow() const;
    // 1-based index of the current row, or a position code.
    int AbsolutePosition() const;
    // Moves to the row with that 1-based index, writing first as a move does.
    bool setAbsolutePosition(int position);
    // 0-based index of the current row, or -1.
    int currentIndex() const { return hasCurrentRow() ? m_cur : -1; }

    bool Move(qint64 rows);
    bool MoveNext();
    bool MovePrevious();
    bool MoveFirst();
    bool MoveLast();

    // The 0-based index of the first row whose field equals `value`, or -1.
    int indexOf(const QString &field, const QVariant &value) const;

    // Values. value() gives the pending value where there is one.
    QVariant value(int row, int column) const;
    QVariant storedValue(int row, int column) const;
    QVariant field(const QString &name) const;      // current row
    bool isFieldPending(const QString &name) const; // current row
    bool isPending(int row) const;
    bool isNew(int row) const;
    bool hasPendingChanges() const;
    int pendingRowCount() const;
    // Counts every change made to pending values; lets a caller tell whether
    // anything was edited since it last looked.
    quint64 changeSerial() const { return m_changeSerial; }

    // Sets a field of the current row as a pending value. Fails when no row is
    // current or the field is not selected.
    bool setField(const QString &name, const QVariant &value);

    // Appends an empty row and makes it current (after writing the row it
    // leaves, as a move does).
    bool AddNew();
    // Deletes the current row from the file and from this copy at once. The
    // deleted row stays current (position unknown) until the next move. A row
    // of `records` goes to the bin of deleted days in the same transaction;
    // when the bin cannot take it, nothing is deleted.
    bool Delete(AffectEnum affect = adAffectCurrent);
    // Writes pending changes in one transaction: all of them, or none (all stay
    // pending). adAffectCurrent writes only the current row's change.
    bool UpdateBatch(AffectEnum affect = adAffectAll);
    // Drops every pending change (rows added and not written go).
    void CancelBatch();
    // Reads every row again; pending changes are dropped, the first row
    // becomes current.
    bool Requery();

    // How a pending value becomes the value written: returns the value to
    // bind, or nothing with the reason in `error`. Kept by field name, so it
    // holds across close, open and Requery.
    using FieldWriter = std::function<std::optional<QVariant>(const QVariant &pending, QString *error)>;
    void setFieldWriter(const QString &field, FieldWriter writer);
    // How messages name a row ("The day 09/12/26"); by default "Row n".
    using RowDescriber = std::function<QString(const RowSet &rows, int row)>;
    void setRowDescriber(RowDescriber describer) { m_describer = std::move(describer); }
    QString describeRow(int row) const;
    // How the user of this row set sees the file again, ending the message of
    // a refused write; by default "Refresh shows the other change.", and
    // "Refresh reads the diary that is there now." for a replaced file.
    // What the bin records as having deleted a day; the records window's
    // Delete by default.
    void setDeletedBy(const QString &by) { m_deletedBy = by; }
    void setRereadHints(const QString &conflict, const QString &replaced)
    {
        m_rereadHint = conflict;
        m_replacedHint = replaced;
    }

signals:
    // After every change of the current position.
    void MoveComplete();
    // Before a row is changed, added, deleted or written; setting *cancel
    // refuses the change.
    void WillChangeRecord(int reason, bool *cancel);
    // After pending changes were written or dropped: the current row's values
    // may differ from what was typed (a date in its stored form).
    void RecordChangeComplete();

private:
    struct Row
    {
        std::vector<QVariant> values; // as last read from the file
        qint64 rowid = -1;            // where it was read, when known
        // Text columns whose stored bytes are not the UTF-8 of the value read,
        // and those bytes, by which the row is found again.
        std::vector<int> rawColumns;
        std::vector<QByteArray> raw;
        std::vector<std::optional<QVariant>> pending; // empty when nothing is pending
        bool isNew = false;                           // added here, not yet in the file
        bool hasPending() const { return isNew || !pending.empty(); }
    };
    struct Written
    {
        int row;
        std::vector<QVariant> values;
        qint64 rowid = -1;
        std::vector<int> rawColumns;
    };

    bool fail(const QString &message);
    bool succeed();
    // Takes the write lock; false with the reason when it cannot be had.
    bool beginWrite(diary::Transaction &tx, QString *why);
    bool readAll();
    // Writes the current row's pending change before a move; an added row
    // left empty is dropped instead, and `target` (an index) follows.
    bool writeBeforeMove(qint64 *target = nullptr);
    bool isEmptyNewRow(const Row &row) const;
    // Drops the empty added rows among `rows`; says whether the current was one.
    bool dropEmptyNewRows(std::vector<int> *rows, qint64 *target);
    void readRaw(Row *row);
    bool idCannotGrow();
    QString conflictReason() const;
    QString replacedMessage() const;
    bool moveTo(qint64 target); // index; <0 BOF, >=count EOF
    bool askWillChange(int reason);
    bool writeRows(std::vector<int> rows, qint64 *target = nullptr);
    bool writeRow(int row, Written *written, QString *reason);
    bool findRowid(const Row &row, qint64 *rowid, QString *reason);
    bool readBack(qint64 rowid, Written *written, QString *reason);
    QString columnList() const;
    QString explainRefusal(const QString &databaseText, const std::vector<std::pair<int, QVariant>> &sets) const;
    QString matchClause(const Row &row) const;
    static QString quoted(const QString &name);

    std::unique_ptr<diary::Connection> m_connection;
    QString m_path;
    QString m_recordSource;
    QString m_table;
    QStringList m_fields;
    std::vector<Row> m_rows;
    int m_cur = 0;
    bool m_bof = true;
    bool m_eof = true;
    bool m_deletedCurrent = false; // the current row was deleted; no move since
    LockTypeEnum m_lockType = adLockOptimistic;
    QString m_lastError;
    quint64 m_changeSerial = 0;
    QHash<QString, FieldWriter> m_writers; // by upper-case field name
    RowDescriber m_describer;
    QString m_rereadHint;
    QString m_replacedHint;
    QString m_deletedBy;
};
