#include "access/conversion.h"

#include "data/diarynames.h"
#include "keeping/privatefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace jet {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("access", text);
}

SourceTable sourceOf(const Table &t)
{
    SourceTable s;
    s.name = t.name;
    for (const Column &c : t.columns)
        s.columns << c.name;
    s.rows = t.rows;
    return s;
}

} // namespace

PreparedConversion prepareConversion(const QString &accessPath, bool asIs, int currentYear, const ReadOptions &read)
{
    PreparedConversion out;
    ReadOptions options = read;
    options.tables = QStringList{QLatin1String(diary::kRecordsTable), QLatin1String(diary::kFoodTable)};
    const FileContents contents = readAccessFile(accessPath, options);
    out.jetVersion = contents.jetVersion;
    out.textEncoding = contents.textEncoding;
    out.tables = contents.tables;
    if (!contents.ok()) {
        out.error = contents.error + QLatin1Char(' ') + tr("Nothing was written.");
        return out;
    }
    const Table *records = contents.table(QLatin1String(diary::kRecordsTable));
    if (!records) {
        out.error =
            tr("%1 is an Access database but not a diary: it has no table named records. Its tables are: %2. "
               "Nothing was written.")
                .arg(accessPath, contents.tables.isEmpty() ? tr("none") : contents.tables.join(QStringLiteral(", ")));
        return out;
    }
    out.sourceRows = records->rows.size();
    std::optional<SourceTable> lists;
    if (const Table *food = contents.table(QLatin1String(diary::kFoodTable)))
        lists = sourceOf(*food);
    out.plan = planConversion(sourceOf(*records), lists, asIs, currentYear);
    return out;
}

QString keptAccessName(const QString &diaryPath, const QDateTime &now)
{
    const QFileInfo info(diaryPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral("-access-") +
                                       now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".mdb"));
}

QStringList keptAccessFiles(const QString &diaryPath)
{
    const QFileInfo info(diaryPath);
    QDir dir = info.absoluteDir();
    QStringList names = dir.entryList({info.completeBaseName() + QStringLiteral("-access-*.mdb")}, QDir::Files);
    std::sort(names.begin(), names.end(), std::greater<>());
    QStringList out;
    for (const QString &n : names)
        out << dir.filePath(n);
    return out;
}

ReplaceResult replaceAccessDiary(const PreparedConversion &prepared, const QString &diaryPath, const QDateTime &now,
                                 const WriteOptions &write)
{
    ReplaceResult r;
    if (!prepared.error.isEmpty()) {
        r.error = prepared.error;
        return r;
    }
    const QString target = QFileInfo(diaryPath).absoluteFilePath();
    const keeping::MadeFile made = writeDiaryBeside(prepared.plan, target, write);
    if (!made.ok()) {
        r.error = made.error;
        return r;
    }
    const QString &temp = made.path;
    QString error;
    const QString kept = keptAccessName(target, now);
    // A rename keeps the Access file's bytes, mode and times as they were.
    error = keeping::renameInto(target, kept, false);
    if (!error.isEmpty()) {
        QFile::remove(temp);
        r.error = tr("The Access file could not be renamed aside: %1 Nothing was changed.").arg(error);
        return r;
    }
    error = keeping::renameInto(temp, target, false);
    if (!error.isEmpty()) {
        // Put the Access file back where it was, so that nothing changed.
        if (keeping::renameInto(kept, target, false).isEmpty()) {
            QFile::remove(temp);
            r.error = tr("The new diary could not be put in place: %1 Nothing was changed.").arg(error);
        } else {
            r.error = tr("The new diary could not be put in place: %1 The Access file is kept as %2; the new diary "
                         "is %3.")
                          .arg(error, kept, temp);
        }
        return r;
    }
    r.keptPath = kept;
    return r;
}

} // namespace jet
