// Child of the crash test: reads the diary through the row set, changes some
// days and adds others, says "ready", writes them all in one batch, and says
// "done" once the batch is acknowledged. The parent kills it at any moment.
//
//   crashwriter FILE ROUND CHANGED ADDED
//
// Or one of the diary's keeping jobs, with the same "ready" and "done":
//   crashwriter --backup FILE
//   crashwriter --restore FILE BACKUP
//   crashwriter --import FILE CSV
// Or every day deleted one by one as the records window's Delete does:
//   crashwriter --delete FILE
#include "data/diarynames.h"
#include "data/rowset.h"
#include "keeping/backups.h"
#include "keeping/exchange.h"
#include "keeping/restore.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--delete") {
        RowSet rs;
        if (!rs.open(QString::fromLocal8Bit(argv[2]), diary::recordsRecordSource())) {
            std::fprintf(stderr, "open: %s\n", qPrintable(rs.lastError()));
            return 1;
        }
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        while (rs.RecordCount() > 0) {
            if (!rs.MoveFirst() || !rs.Delete()) {
                std::fprintf(stderr, "delete: %s\n", qPrintable(rs.lastError()));
                return 1;
            }
        }
        std::fputs("done\n", stdout);
        std::fflush(stdout);
        return 0;
    }
    if (argc >= 3 && argv[1][0] == '-') {
        const QString job = QString::fromLocal8Bit(argv[1]);
        const QString path = QString::fromLocal8Bit(argv[2]);
        const QString other = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
        keeping::ImportPlan plan;
        if (job == QLatin1String("--import")) {
            QFile f(other);
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            plan = keeping::readImport(f.readAll(), keeping::Format::Csv, false, 2026);
        }
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        QString error;
        if (job == QLatin1String("--backup"))
            error = keeping::backUp(path, QDateTime::currentDateTime()).error;
        else if (job == QLatin1String("--restore"))
            error = keeping::restoreDiary(path, other, QDateTime::currentDateTime()).error;
        else if (job == QLatin1String("--import"))
            error = keeping::applyImport(path, plan, keeping::Duplicates::Add, false).error;
        else
            error = QStringLiteral("unknown job");
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::fputs("done\n", stdout);
        std::fflush(stdout);
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: crashwriter FILE ROUND CHANGED ADDED\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int round = std::atoi(argv[2]);
    const int changed = std::atoi(argv[3]);
    const int added = std::atoi(argv[4]);

    RowSet rs;
    rs.setLockType(RowSet::adLockBatchOptimistic);
    if (!rs.open(path, diary::recordsRecordSource())) {
        std::fprintf(stderr, "open: %s\n", qPrintable(rs.lastError()));
        return 1;
    }
    const QString mark = QStringLiteral("round %1 ").arg(round);
    for (int i = 0; i < changed && i < rs.RecordCount(); ++i) {
        if (!rs.setAbsolutePosition(i + 1) ||
            !rs.setField(QStringLiteral("COMMENTS"), QString(mark + QStringLiteral("changed %1").arg(i))) ||
            !rs.setField(QStringLiteral("OVERALL SCORE"), 1 + (round + i) % 10)) {
            std::fprintf(stderr, "change: %s\n", qPrintable(rs.lastError()));
            return 1;
        }
    }
    for (int j = 0; j < added; ++j) {
        if (!rs.AddNew() ||
            !rs.setField(QStringLiteral("DATE"), QDate(2030, 1, 1).addDays(round * 1000 + j).toString(Qt::ISODate)) ||
            !rs.setField(QStringLiteral("COMMENTS"), QString(mark + QStringLiteral("added %1").arg(j))) ||
            !rs.setField(QStringLiteral("BREAKFAST"), QString(150, QLatin1Char('a' + j % 26)))) {
            std::fprintf(stderr, "add: %s\n", qPrintable(rs.lastError()));
            return 1;
        }
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    if (!rs.UpdateBatch(RowSet::adAffectAll)) {
        std::fprintf(stderr, "update: %s\n", qPrintable(rs.lastError()));
        return 1;
    }
    std::fputs("done\n", stdout);
    std::fflush(stdout);
    return 0;
}
