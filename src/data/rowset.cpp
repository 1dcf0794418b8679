#include "data/rowset.h"

#include "data/textpool.h"

#include "data/daybin.h"
#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/sqlitecodes.h"
#include "data/sqlrunner.h"
#include "data/writehooks.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <limits>

namespace {

// The engine's words for a failure, with what it means for the user where
// the engine's own words would mislead (a folder that cannot be written reads
// "readonly database" in SQLite's words).
QString databaseText(const QSqlQuery &q, const QString &path)
{
    const QSqlError e = q.lastError();
    const QString text = (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed();
    return diary::writeFailureText(e.nativeErrorCode().toInt(), path, text);
}

// A text whose stored bytes may not be the UTF-8 of what was read: the
// engine turns bytes that are no UTF-8 into U+FFFD or into U+0080..U+00BF.
// A text that begins with U+FEFF reads whole, but bound again as UTF-16 the
// engine takes that character for a byte-order mark and drops it, so such a
// row would never be found by its value.
bool mayHideBytes(const QString &text)
{
    if (text.startsWith(QChar(0xFEFF)))
        return true;
    for (const QChar c : text) {
        if (c.unicode() == 0xFFFD || (c.unicode() >= 0x80 && c.unicode() <= 0xBF))
            return true;
    }
    return false;
}

const QRegularExpression &leadingSelect()
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*select\s+)"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

RowSet::RowSet(QObject *parent)
    : QObject(parent)
    , m_rereadHint(tr("Refresh shows the other change."))
    , m_deletedBy(diary::binByDelete())
{}

QString RowSet::conflictReason() const
{
    return tr("it was changed or deleted in another window after this window read it, so nothing was "
              "overwritten. %1")
        .arg(m_rereadHint);
}

QString RowSet::replacedMessage() const
{
    return tr("Nothing was written: the diary %1 was replaced by another program after this window read it, so "
              "this window no longer shows what the file holds. %2")
        .arg(m_path, m_replacedHint.isEmpty() ? tr("Refresh reads the diary that is there now.") : m_replacedHint);
}

RowSet::~RowSet()
{
    close();
}

bool RowSet::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool RowSet::succeed()
{
    m_lastError.clear();
    return true;
}

QString RowSet::quoted(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

bool RowSet::open(const QString &path, const QString &recordSource)
{
    close();
    m_path = path;
    m_recordSource = recordSource;

    // The record sources select columns of one table: "select ... from records"
    // or "... from [FOOD AND MEDICATION]". Writes go to that table.
    static const QRegularExpression fromTable(
        QStringLiteral(R"(\bfrom\s+(?:\[([^\]]+)\]|([A-Za-z_][A-Za-z0-9_]*))\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = fromTable.match(recordSource);
    if (!match.hasMatch())
        return fail(tr("The record source \"%1\" does not select from one table.").arg(recordSource));
    m_table = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);

    QString error;
    m_connection = diary::Connection::open(path, &error);
    if (!m_connection)
        return fail(error);
    if (!readAll()) {
        const QString message = m_lastError;
        close();
        return fail(message);
    }
    m_connection->finishOpening();
    moveTo(0);
    return succeed();
}

void RowSet::close()
{
    m_rows.clear();
    m_fields.clear();
    m_connection.reset();
    m_cur = 0;
    m_bof = m_eof = true;
    m_deletedCurrent = false;
}

bool RowSet::readAll()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    std::vector<Row> rows;
    QStringList fields;
    {
        // Each row's rowid is read first, so that the bytes of a text that is
        // no UTF-8 can be fetched (see readRaw).
        QString select = m_recordSource;
        const QRegularExpressionMatch lead = leadingSelect().match(select);
        int first = lead.hasMatch() ? 1 : 0;
        if (lead.hasMatch())
            select = lead.captured(0) + quoted(m_table) + QStringLiteral(".rowid, ") + select.mid(lead.capturedEnd());
        QSqlQuery q(m_connection->database());
        q.setForwardOnly(true);
        bool ok = q.exec(select);
        if (!ok && first) {
            // A table made without rowids by another tool: read it as it is.
            first = 0;
            ok = q.exec(m_recordSource);
        }
        if (!ok)
            return fail(diary::openFailure(m_path, q.lastError()));
        const QSqlRecord record = q.record();
        const int columns = record.count() - first;
        for (int i = 0; i < columns; ++i)
            fields << record.fieldName(i + first);
        diary::TextPool pool(columns);
        while (q.next()) {
            Row row;
            row.values.reserve(columns);
            if (first)
                row.rowid = q.value(0).toLongLong();
            for (int i = 0; i < columns; ++i) {
                QVariant value = q.value(i + first);
                if (value.typeId() == QMetaType::QString) {
                    const QString text = value.toString();
                    if (first && mayHideBytes(text))
                        row.rawColumns.push_back(i);
                    value = QVariant(pool.shared(i, text));
                }
                row.values.push_back(std::move(value));
            }
            rows.push_back(std::move(row));
        }
        if (q.lastError().isValid())
            return fail(tr("The diary %1 could not be read to the end: %2").arg(m_path, databaseText(q, m_path)));
    }
    m_fields = fields;
    for (Row &row : rows) {
        if (!row.rawColumns.empty())
            readRaw(&row);
    }
    m_rows = std::move(rows);
    return true;
}

void RowSet::readRaw(Row *row)
{
    // Keeps the stored bytes of each text that the trip through UTF-16 may
    // have changed, so that the row is still found by what was read.
    std::vector<int> candidates;
    candidates.swap(row->rawColumns);
    row->raw.clear();
    for (const int column : candidates) {
        QSqlQuery q(m_connection->database());
        q.prepare(QStringLiteral("SELECT CAST(") + quoted(m_fields.at(column)) + QStringLiteral(" AS BLOB) FROM ") +
                  quoted(m_table) + QStringLiteral(" WHERE rowid = ? AND typeof(") + quoted(m_fields.at(column)) +
                  QStringLiteral(") = 'text'"));
        q.addBindValue(row->rowid);
        if (!q.exec() || !q.next())
            continue;
        const QByteArray bytes = q.value(0).toByteArray();
        const QString read = row->values[size_t(column)].toString();
        if (bytes != read.toUtf8() || read.startsWith(QChar(0xFEFF))) {
            row->rawColumns.push_back(column);
            row->raw.push_back(bytes);
        }
    }
}

int RowSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RowSet::hasCurrentRow() const
{
    return !m_bof && !m_eof && !m_deletedCurrent && m_cur >= 0 && m_cur < RecordCount();
}

int RowSet::AbsolutePosition() const
{
    if (m_deletedCurrent || m_rows.empty())
        return adPosUnknown;
    if (m_bof)
        return adPosBOF;
    if (m_eof)
        return adPosEOF;
    return m_cur + 1;
}

bool RowSet::moveTo(qint64 target)
{
    const int count = RecordCount();
    if (count == 0) {
        m_cur = 0;
        m_bof = m_eof = true;
    } else if (target < 0) {
        m_cur = -1;
        m_bof = true;
        m_eof = false;
    } else if (target >= count) {
        m_cur = count;
        m_bof = false;
        m_eof = true;
    } else {
        m_cur = int(target);
        m_bof = m_eof = false;
    }
    m_deletedCurrent = false;
    emit MoveComplete();
    return succeed();
}

bool RowSet::writeBeforeMove(qint64 *target)
{
    if (!hasCurrentRow() || !m_rows[size_t(m_cur)].hasPending())
        return true;
    if (m_lockType != adLockOptimistic) {
        // Nothing is written on a move, but an empty added day still goes.
        std::vector<int> current{m_cur};
        dropEmptyNewRows(&current, target);
        return true;
    }
    if (isEmptyNewRow(m_rows[size_t(m_cur)])) {
        std::vector<int> current{m_cur};
        dropEmptyNewRows(&current, target);
        return true;
    }
    bool cancel = false;
    emit WillChangeRecord(adRsnUpdate, &cancel);
    if (cancel)
        return fail(tr("The change was cancelled."));
    return writeRows({m_cur}, target);
}

bool RowSet::Move(qint64 rows)
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (m_rows.empty())
        return fail(tr("There are no rows to move to."));
    qint64 target = 0;
    if (m_deletedCurrent) {
        if (rows == 0)
            return fail(tr("The current row has been deleted; move to another row."));
        // m_cur already names the row that followed the deleted one.
        target = rows > 0 ? qint64(m_cur) + rows - 1 : qint64(m_cur) + rows;
    } else {
        const qint64 base = m_bof ? -1 : (m_eof ? RecordCount() : m_cur);
        target = base + rows;
    }
    if (!writeBeforeMove(&target))
        return false;
    return moveTo(target);
}

bool RowSet::MoveNext()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (!m_deletedCurrent && m_eof)
        return fail(tr("There is no next row: the position is already after the last row."));
    qint64 target = m_deletedCurrent ? m_cur : (m_bof ? 0 : m_cur + 1);
    if (!writeBeforeMove(&target))
        return false;
    return moveTo(target);
}

bool RowSet::MovePrevious()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (!m_deletedCurrent && m_bof)
        return fail(tr("There is no previous row: the position is already before the first row."));
    qint64 target = m_deletedCurrent ? m_cur - 1 : (m_eof ? RecordCount() - 1 : m_cur - 1);
    if (!writeBeforeMove(&target))
        return false;
    return moveTo(target);
}

bool RowSet::MoveFirst()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (m_rows.empty())
        return fail(tr("There are no rows, so there is no first row to move to."));
    if (!writeBeforeMove())
        return false;
    return moveTo(0);
}

bool RowSet::MoveLast()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (m_rows.empty())
        return fail(tr("There are no rows, so there is no last row to move to."));
    if (!writeBeforeMove())
        return false;
    return moveTo(RecordCount() - 1);
}

bool RowSet::setAbsolutePosition(int position)
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (position < 1 || position > RecordCount())
        return fail(tr("There is no row %1; the rows are numbered 1 to %2.").arg(position).arg(RecordCount()));
    if (!writeBeforeMove())
        return false;
    return moveTo(position - 1);
}

int RowSet::indexOf(const QString &field, const QVariant &value) const
{
    const int column = fieldIndex(field);
    if (column < 0)
        return -1;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].values[size_t(column)] == value)
            return int(i);
    }
    return -1;
}

QVariant RowSet::storedValue(int row, int column) const
{
    if (row < 0 || row >= RecordCount() || column < 0 || column >= m_fields.size())
        return QVariant();
    return m_rows[size_t(row)].values[size_t(column)];
}

QVariant RowSet::value(int row, int column) const
{
    if (row < 0 || row >= RecordCount() || column < 0 || column >= m_fields.size())
        return QVariant();
    const Row &r = m_rows[size_t(row)];
    if (size_t(column) < r.pending.size() && r.pending[size_t(column)])
        return *r.pending[size_t(column)];
    return r.values[size_t(column)];
}

QVariant RowSet::field(const QString &name) const
{
    return hasCurrentRow() ? value(m_cur, fieldIndex(name)) : QVariant();
}

bool RowSet::isFieldPending(const QString &name) const
{
    if (!hasCurrentRow())
        return false;
    const int column = fieldIndex(name);
    const Row &r = m_rows[size_t(m_cur)];
    return column >= 0 && size_t(column) < r.pending.size() && r.pending[size_t(column)].has_value();
}

bool RowSet::isPending(int row) const
{
    return row >= 0 && row < RecordCount() && m_rows[size_t(row)].hasPending();
}

bool RowSet::isNew(int row) const
{
    return row >= 0 && row < RecordCount() && m_rows[size_t(row)].isNew;
}

bool RowSet::hasPendingChanges() const
{
    return pendingRowCount() > 0;
}

int RowSet::pendingRowCount() const
{
    int count = 0;
    for (const Row &r : m_rows)
        count += r.hasPending() ? 1 : 0;
    return count;
}

bool RowSet::askWillChange(int reason)
{
    bool cancel = false;
    emit WillChangeRecord(reason, &cancel);
    return cancel ? fail(tr("The change was cancelled.")) : true;
}

bool RowSet::setField(const QString &name, const QVariant &value)
{
    const int column = fieldIndex(name);
    if (column < 0)
        return fail(tr("There is no field %1 here.").arg(name));
    if (!hasCurrentRow())
        return fail(tr("No row is current, so there is nothing to change. Move to a row or add one first."));
    Row &r = m_rows[size_t(m_cur)];
    if (!r.hasPending() && !askWillChange(adRsnFirstChange))
        return false;
    if (r.pending.empty())
        r.pending.resize(m_fields.size());
    r.pending[size_t(column)] = value;
    ++m_changeSerial;
    return succeed();
}

bool RowSet::AddNew()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (!askWillChange(adRsnAddNew))
        return false;
    if (!writeBeforeMove())
        return false;
    Row row;
    row.values.resize(m_fields.size());
    row.isNew = true;
    m_rows.push_back(std::move(row));
    ++m_changeSerial;
    return moveTo(RecordCount() - 1);
}

bool RowSet::Delete(AffectEnum affect)
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (affect != adAffectCurrent)
        return fail(tr("Only the current row can be deleted."));
    if (!hasCurrentRow())
        return fail(tr("No row is current, so there is nothing to delete. Move to a row first."));
    if (!askWillChange(adRsnDelete))
        return false;

    const int index = m_cur;
    if (!m_rows[size_t(index)].isNew) {
        if (diary::writeHooks().beforeDelete)
            diary::writeHooks().beforeDelete(m_path);
        QSqlDatabase db = m_connection->database();
        const QString what = describeRow(index);
        QString why;
        if (m_connection->fileReplaced())
            return fail(replacedMessage());
        diary::QtSqlRunner sql(db, [this](const QSqlQuery &failed) { return databaseText(failed, m_path); });
        diary::Transaction tx(sql);
        if (!beginWrite(tx, &why))
            return fail(tr("%1 was not deleted: the diary could not be locked for writing (%2).").arg(what, why));
        qint64 rowid = 0;
        QString reason;
        bool ok = findRowid(m_rows[size_t(index)], &rowid, &reason);
        if (ok && m_table.compare(QLatin1String(diary::kRecordsTable), Qt::CaseInsensitive) == 0) {
            // The day goes to the bin in the same transaction as it leaves
            // the table: whatever happens, it is in one of the two.
            const int binned = diary::binRecords(sql, QStringLiteral("rowid = ?"), {rowid}, m_deletedBy,
                                                 QDateTime::currentDateTime(), &reason);
            if (binned != 1) {
                ok = false;
                if (binned >= 0)
                    reason = conflictReason();
            }
        }
        if (ok) {
            QSqlQuery del(db);
            del.prepare(QStringLiteral("DELETE FROM ") + quoted(m_table) + QStringLiteral(" WHERE rowid = ?"));
            del.addBindValue(rowid);
            if (!del.exec()) {
                ok = false;
                reason = databaseText(del, m_path);
            } else if (del.numRowsAffected() != 1) {
                ok = false;
                reason = conflictReason();
            }
        }
        if (ok && !tx.commit(&reason))
            ok = false;
        if (!ok) {
            tx.rollback();
            return fail(tr("%1 was not deleted: %2").arg(what, reason));
        }
        if (diary::writeHooks().afterWrite)
            diary::writeHooks().afterWrite(m_path);
    }
    m_rows.erase(m_rows.begin() + index);
    ++m_changeSerial;
    // The deleted row stays current: m_cur now names the row that followed it.
    m_deletedCurrent = true;
    m_bof = m_eof = false;
    emit MoveComplete();
    return succeed();
}

bool RowSet::UpdateBatch(AffectEnum affect)
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    std::vector<int> rows;
    if (affect == adAffectCurrent) {
        if (hasCurrentRow() && m_rows[size_t(m_cur)].hasPending())
            rows.push_back(m_cur);
    } else {
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].hasPending())
                rows.push_back(int(i));
        }
    }
    if (rows.empty())
        return succeed();
    if (!askWillChange(adRsnUpdate))
        return false;
    return writeRows(rows);
}

void RowSet::CancelBatch()
{
    const bool currentGoes = hasCurrentRow() && m_rows[size_t(m_cur)].isNew;
    for (size_t i = m_rows.size(); i-- > 0;) {
        if (m_rows[i].isNew)
            m_rows.erase(m_rows.begin() + qsizetype(i));
        else
            m_rows[i].pending.clear();
    }
    ++m_changeSerial;
    if (currentGoes)
        moveTo(RecordCount() - 1);
    emit RecordChangeComplete();
}

bool RowSet::Requery()
{
    if (!m_connection)
        return fail(tr("The diary is not open in this window, so nothing can be read or written."));
    if (m_connection->fileReplaced()) {
        // Another program put a new file at the path: read that one.
        QString error;
        std::unique_ptr<diary::Connection> fresh = diary::Connection::open(m_path, &error);
        if (!fresh)
            return fail(error);
        m_connection = std::move(fresh);
        if (!readAll())
            return false;
        m_connection->finishOpening();
        ++m_changeSerial;
        return moveTo(0);
    }
    if (!readAll())
        return false;
    ++m_changeSerial;
    return moveTo(0);
}

void RowSet::setFieldWriter(const QString &field, FieldWriter writer)
{
    m_writers.emplace(field.toUpper(), std::move(writer));
}

QString RowSet::explainRefusal(const QString &databaseText, const std::vector<std::pair<int, QVariant>> &sets) const
{
    // The schema names its checks after the rule ("OVERALL SCORE must be a
    // whole number"); say which value broke it.
    static const QString prefix = QStringLiteral("CHECK constraint failed: ");
    if (!databaseText.startsWith(prefix))
        return databaseText;
    const QString rule = databaseText.mid(prefix.size()).trimmed();
    for (const auto &s : sets) {
        const QString &name = m_fields.at(s.first);
        if (rule.startsWith(name + QLatin1Char(' '), Qt::CaseInsensitive)) {
            QString shown = s.second.toString();
            if (shown.size() > 40)
                shown = shown.left(40) + QChar(0x2026);
            return tr("%1, and \"%2\" is not one.").arg(rule, shown);
        }
    }
    return rule + QLatin1Char('.');
}

QString RowSet::describeRow(int row) const
{
    if (m_describer)
        return m_describer(*this, row);
    if (isNew(row))
        return tr("The new row");
    return tr("Row %1").arg(row + 1);
}

QString RowSet::columnList() const
{
    QStringList names;
    names.reserve(m_fields.size());
    for (const QString &f : m_fields)
        names << quoted(f);
    return names.join(QLatin1Char(','));
}

QString RowSet::matchClause(const Row &row) const
{
    QStringList parts;
    parts.reserve(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i) {
        const QString f = quoted(m_fields.at(i));
        if (std::find(row.rawColumns.begin(), row.rawColumns.end(), i) != row.rawColumns.end())
            parts << QStringLiteral("(typeof(") + f + QStringLiteral(") = 'text' AND CAST(") + f +
                         QStringLiteral(" AS BLOB) = ?)");
        else
            parts << f + QStringLiteral(" IS ?");
    }
    return parts.join(QStringLiteral(" AND "));
}

bool RowSet::findRowid(const Row &row, qint64 *rowid, QString *reason)
{
    // Every value read must still be there; IS treats two NULLs as equal.
    QSqlQuery q(m_connection->database());
    q.prepare(QStringLiteral("SELECT rowid FROM ") + quoted(m_table) + QStringLiteral(" WHERE ") + matchClause(row) +
              QStringLiteral(" ORDER BY rowid LIMIT 1"));
    for (int i = 0; i < int(row.values.size()); ++i) {
        const auto raw = std::find(row.rawColumns.begin(), row.rawColumns.end(), i);
        if (raw != row.rawColumns.end())
            q.addBindValue(row.raw[size_t(raw - row.rawColumns.begin())]);
        else
            q.addBindValue(row.values[size_t(i)]);
    }
    if (!q.exec()) {
        *reason = databaseText(q, m_path);
        return false;
    }
    if (!q.next()) {
        *reason = conflictReason();
        return false;
    }
    *rowid = q.value(0).toLongLong();
    return true;
}

bool RowSet::readBack(qint64 rowid, Written *written, QString *reason)
{
    QSqlQuery q(m_connection->database());
    q.prepare(QStringLiteral("SELECT ") + columnList() + QStringLiteral(" FROM ") + quoted(m_table) +
              QStringLiteral(" WHERE rowid = ?"));
    q.addBindValue(rowid);
    if (!q.exec()) {
        *reason = databaseText(q, m_path);
        return false;
    }
    if (!q.next()) {
        *reason = conflictReason();
        return false;
    }
    written->rowid = rowid;
    written->values.clear();
    written->values.reserve(m_fields.size());
    written->rawColumns.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        written->values.push_back(q.value(i));
        if (written->values.back().typeId() == QMetaType::QString && mayHideBytes(written->values.back().toString()))
            written->rawColumns.push_back(i);
    }
    return true;
}

bool RowSet::writeRow(int index, Written *written, QString *reason)
{
    const Row &r = m_rows[size_t(index)];
    std::vector<std::pair<int, QVariant>> sets;
    for (size_t column = 0; column < r.pending.size(); ++column) {
        if (!r.pending[column])
            continue;
        QVariant v = *r.pending[column];
        const auto writer = m_writers.constFind(m_fields.at(int(column)).toUpper());
        if (writer != m_writers.constEnd() && *writer) {
            QString why;
            const std::optional<QVariant> out = (*writer)(v, &why);
            if (!out) {
                *reason = why;
                return false;
            }
            v = *out;
        }
        sets.emplace_back(int(column), v);
    }

    QSqlDatabase db = m_connection->database();
    qint64 rowid = 0;
    if (r.isNew) {
        QSqlQuery q(db);
        if (sets.empty()) {
            q.prepare(QStringLiteral("INSERT INTO ") + quoted(m_table) + QStringLiteral(" DEFAULT VALUES"));
        } else {
            QStringList names;
            QStringList marks;
            for (const auto &s : sets) {
                names << quoted(m_fields.at(s.first));
                marks << QStringLiteral("?");
            }
            q.prepare(QStringLiteral("INSERT INTO ") + quoted(m_table) + QStringLiteral(" (") +
                      names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                      QLatin1Char(')'));
            for (const auto &s : sets)
                q.addBindValue(s.second);
        }
        if (!q.exec()) {
            *reason = explainRefusal(databaseText(q, m_path), sets);
            if (diary::engineFailure(q.lastError().nativeErrorCode().toInt()) == diary::EngineFailure::Full &&
                idCannotGrow())
                *reason = tr("the diary cannot number another day: the highest ID in %1 is %2, the largest "
                             "number there is (another program stored it). Give that day a smaller ID with that "
                             "program, then try again")
                              .arg(m_table)
                              .arg(std::numeric_limits<qint64>::max());
            return false;
        }
        bool ok = false;
        rowid = q.lastInsertId().toLongLong(&ok);
        if (!ok) {
            *reason = tr("the database gave the new row no number");
            return false;
        }
    } else {
        if (!findRowid(r, &rowid, reason))
            return false;
        if (!sets.empty()) {
            QStringList assignments;
            for (const auto &s : sets)
                assignments << quoted(m_fields.at(s.first)) + QStringLiteral(" = ?");
            QSqlQuery q(db);
            q.prepare(QStringLiteral("UPDATE ") + quoted(m_table) + QStringLiteral(" SET ") +
                      assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid = ?"));
            for (const auto &s : sets)
                q.addBindValue(s.second);
            q.addBindValue(rowid);
            if (!q.exec()) {
                *reason = explainRefusal(databaseText(q, m_path), sets);
                return false;
            }
            if (q.numRowsAffected() != 1) {
                *reason = conflictReason();
                return false;
            }
        }
    }
    written->row = index;
    return readBack(rowid, written, reason);
}

bool RowSet::idCannotGrow()
{
    QSqlQuery q(m_connection->database());
    return q.exec(QStringLiteral("SELECT max(rowid) FROM ") + quoted(m_table)) && q.next() &&
           q.value(0).toLongLong() == std::numeric_limits<qint64>::max();
}

bool RowSet::beginWrite(diary::Transaction &tx, QString *why)
{
    // A diary opened while write-protected stays read-only on its
    // connection; once the user has made it writable, a fresh connection
    // writes it without the window being reopened.
    m_connection->reopenIfWritableNow();
    // IMMEDIATE takes the write lock first, so the rows cannot change
    // between finding and writing them.
    return tx.begin(diary::Transaction::Immediate, why);
}

bool RowSet::isEmptyNewRow(const Row &row) const
{
    if (!row.isNew)
        return false;
    for (const std::optional<QVariant> &p : row.pending) {
        if (p && !p->isNull() && !p->toString().trimmed().isEmpty())
            return false;
    }
    return true;
}

bool RowSet::dropEmptyNewRows(std::vector<int> *rows, qint64 *target)
{
    // A day added with nothing in it is no day: it goes, never written.
    bool droppedCurrent = false;
    for (size_t i = rows->size(); i-- > 0;) {
        const int index = (*rows)[i];
        if (!isEmptyNewRow(m_rows[size_t(index)]))
            continue;
        m_rows.erase(m_rows.begin() + index);
        rows->erase(rows->begin() + qsizetype(i));
        for (int &later : *rows) {
            if (later > index)
                --later;
        }
        if (m_cur == index)
            droppedCurrent = true;
        else if (m_cur > index)
            --m_cur;
        if (target && *target > index)
            --*target;
        ++m_changeSerial;
    }
    return droppedCurrent;
}

bool RowSet::writeRows(std::vector<int> rows, qint64 *target)
{
    if (dropEmptyNewRows(&rows, target) && !target)
        moveTo(RecordCount() - 1);
    if (rows.empty())
        return succeed();
    QSqlDatabase db = m_connection->database();
    if (m_connection->fileReplaced())
        return fail(replacedMessage());
    diary::QtSqlRunner sql(db, [this](const QSqlQuery &failed) { return databaseText(failed, m_path); });
    diary::Transaction tx(sql);
    {
        QString why;
        if (!beginWrite(tx, &why))
            return fail(tr("Nothing was saved: the diary could not be locked for writing (%1). Try again in "
                           "a moment.")
                            .arg(why));
    }
    std::vector<Written> written;
    written.reserve(rows.size());
    for (const int index : rows) {
        Written w{index, {}, -1, {}};
        QString reason;
        if (!writeRow(index, &w, &reason)) {
            tx.rollback();
            const QString what = describeRow(index);
            if (rows.size() == 1)
                return fail(tr("%1 was not saved: %2")
                                .arg(what, reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.')));
            return fail(tr("None of the %1 changed rows was saved, because %2 was refused: %3 All the changes "
                           "are still pending.")
                            .arg(rows.size())
                            .arg(what.left(1).toLower() + what.mid(1),
                                 reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.')));
        }
        written.push_back(std::move(w));
    }
    {
        QString why;
        if (!tx.commit(&why))
            return fail(tr("Nothing was saved: the diary could not complete the write (%1).").arg(why));
    }
    if (diary::writeHooks().afterWrite)
        diary::writeHooks().afterWrite(m_path);
    for (Written &w : written) {
        Row &r = m_rows[size_t(w.row)];
        r.values = std::move(w.values);
        r.rowid = w.rowid;
        r.rawColumns = std::move(w.rawColumns);
        r.pending.clear();
        r.isNew = false;
        if (!r.rawColumns.empty())
            readRaw(&r);
    }
    ++m_changeSerial;
    emit RecordChangeComplete();
    return succeed();
}
