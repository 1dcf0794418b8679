// Two row sets over one diary, driven by random operations (add, edit, move,
// delete, update, refresh). After every step the file must hold exactly what
// was acknowledged: a failed step changes nothing, a step that succeeded
// wrote what its row set now holds, and a row that another set changed since
// it was read is never overwritten.
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/rowset.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

using Rows = std::map<qint64, QVariantList>; // by ID, the selected columns

Rows fileRows(const QString &path)
{
    Rows out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("oracle"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(diary::recordsRecordSource());
        const int id = q.record().indexOf(QStringLiteral("ID"));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out[q.value(id).toLongLong()] = row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("oracle"));
    return out;
}

QVariantList storedRow(const RowSet &rs, int row)
{
    QVariantList out;
    for (int c = 0; c < rs.fieldNames().size(); ++c)
        out << rs.storedValue(row, c);
    return out;
}

[[noreturn]] void fault(const char *what)
{
    std::fprintf(stderr, "fault: %s\n", what);
    std::abort();
}

struct Pending
{
    bool isNew;
    QVariantList base; // what the set read
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_rowsets";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Records.mdb"));
    if (!diary::createDiary(path).isEmpty() || !diary::addSampleDays(path, 4, QDate(2026, 1, 1), 1).isEmpty())
        fault("setup");
    RowSet sets[2];
    for (RowSet &rs : sets) {
        if (!rs.open(path, diary::recordsRecordSource()))
            fault("open");
    }
    const int idColumn = sets[0].fieldIndex(QStringLiteral("ID"));
    const int comments = sets[0].fieldIndex(QStringLiteral("COMMENTS"));

    for (size_t i = 0; i + 1 < size && i < 64; i += 2) {
        RowSet &rs = sets[data[i] & 1];
        const int op = (data[i] >> 1) % 8;
        const int arg = data[i + 1];
        const Rows before = fileRows(path);
        std::map<int, Pending> pending; // row index in rs -> what it read
        for (int r = 0; r < rs.RecordCount(); ++r) {
            if (rs.isPending(r))
                pending[r] = {rs.isNew(r), storedRow(rs, r)};
        }
        const int deleting = op == 4 ? rs.currentIndex() : -1;
        const QVariantList deletedBase = deleting >= 0 ? storedRow(rs, deleting) : QVariantList();
        bool ok = true;
        switch (op) {
        case 0:
            ok = rs.setField(QStringLiteral("COMMENTS"), QStringLiteral("edit %1").arg(arg));
            break;
        case 1:
            ok = rs.setField(QStringLiteral("OVERALL SCORE"), arg % 12);
            break;
        case 2:
            // An added day left empty is dropped rather than written (its own
            // tests cover that); here every added day holds a text.
            ok = rs.AddNew() && rs.setField(QStringLiteral("COMMENTS"), QStringLiteral("new %1").arg(arg));
            break;
        case 3:
            ok = rs.Move(arg % 5 - 2);
            break;
        case 4:
            ok = rs.Delete();
            break;
        case 5:
            ok = rs.UpdateBatch();
            break;
        case 6:
            ok = rs.Requery();
            break;
        case 7:
            rs.setLockType(arg & 1 ? RowSet::adLockOptimistic : RowSet::adLockBatchOptimistic);
            break;
        }
        const Rows after = fileRows(path);
        if (op == 6 || op == 0 || op == 1 || op == 7) {
            if (after != before)
                fault("a step that writes nothing changed the file");
            continue;
        }
        if (!ok) {
            if (after != before)
                fault("a failed step changed the file");
            continue;
        }
        // What this step wrote: rows pending before and not pending now.
        Rows expected = before;
        if (op == 4 && deleting >= 0) {
            const qint64 id = deletedBase.value(idColumn).toLongLong();
            if (!deletedBase.value(idColumn).isNull()) {
                if (before.count(id) == 0 || before.at(id) != deletedBase)
                    fault("a delete went through over another window's change");
                expected.erase(id);
            }
        }
        int shift = 0; // rows after a deleted one moved up by one
        for (const auto &[index, p] : pending) {
            if (op == 4 && index == deleting)
                continue;
            const int now = (op == 4 && deleting >= 0 && index > deleting) ? index - 1 : index;
            if (rs.isPending(now))
                continue; // still pending: must not have been written
            const QVariantList written = storedRow(rs, now);
            const qint64 id = written.value(idColumn).toLongLong();
            if (!p.isNew) {
                if (before.count(id) == 0 || before.at(id) != p.base)
                    fault("a write went through over another window's change");
            } else if (before.count(id) != 0) {
                fault("a new row took an existing ID");
            }
            expected[id] = written;
            ++shift;
        }
        (void)comments;
        if (after != expected)
            fault("the file differs from what was acknowledged");
    }
    return 0;
}
