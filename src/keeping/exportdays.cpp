#include "keeping/exportdays.h"

#include "data/datetext.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"
#include "keeping/csvformat.h"
#include "keeping/jsonformat.h"
#include "keeping/utf8check.h"
#include "text/fields.h"

#include <QCoreApplication>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

// A stored value as the export writes it: its bytes, repaired to UTF-8.
struct Cell
{
    bool null = false;
    bool integer = false;
    QByteArray text;
};

Cell readCell(const diary::Statement &s, int column, int *repaired)
{
    Cell cell;
    if (s.isNull(column)) {
        cell.null = true;
        return cell;
    }
    cell.integer = s.isInteger(column);
    cell.text = s.bytes(column);
    if (!cell.integer && !isValidUtf8(cell.text)) {
        cell.text = QString::fromUtf8(cell.text).toUtf8();
        ++*repaired;
    }
    return cell;
}
} // namespace

std::optional<std::pair<QDate, QDate>> exportedDayRange(const QString &diaryPath, const ExportOptions &options)
{
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadOnly, 30000, true))
        return std::nullopt;
    diary::Statement s(file, QStringLiteral("SELECT ID, DATE FROM records WHERE typeof(DATE) = 'text'"));
    if (!s.ok())
        return std::nullopt;
    QDate first, last;
    while (s.step()) {
        if (options.ids && !options.ids->contains(s.integer(0)))
            continue;
        const QDate day = QDate::fromString(QString::fromUtf8(s.bytes(1)), Qt::ISODate);
        if (!day.isValid() || (options.from.isValid() && day < options.from) ||
            (options.to.isValid() && day > options.to))
            continue;
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
    }
    if (!first.isValid())
        return std::nullopt;
    return std::pair{first, last};
}

ExportResult exportDays(const QString &diaryPath, const ExportOptions &options)
{
    ExportResult r;
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true)) {
        r.error = tr("The diary %1 could not be opened: %2").arg(diaryPath, file.lastError());
        return r;
    }
    const QStringList &columns = exchangedColumns();
    QStringList select;
    for (const QString &c : columns)
        select << bracketed(c);
    QString sql = QStringLiteral("SELECT ") + select.join(QLatin1Char(',')) + QStringLiteral(", ID FROM records");
    QStringList where;
    if (options.from.isValid())
        where << QStringLiteral("DATE >= ?");
    if (options.to.isValid())
        where << QStringLiteral("DATE <= ?");
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY DATE, ID");
    diary::Statement s(file, sql);
    if (!s.ok()) {
        r.error = tr("The days of %1 could not be read: %2").arg(diaryPath, s.error());
        return r;
    }
    int bind = 1;
    if (options.from.isValid())
        s.bind(bind++, diary::storeDate(options.from));
    if (options.to.isValid())
        s.bind(bind++, diary::storeDate(options.to));

    const int idColumn = int(columns.size());
    QByteArray &out = r.bytes;
    const bool csv = options.format == Format::Csv;
    if (csv) {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i)
                out += ',';
            text::appendQuotedField(out, columns[i].toUtf8(), text::Separator::Comma);
        }
        out += "\r\n";
    } else {
        out += "{\n  \"days\": [";
    }
    while (s.step()) {
        if (options.ids && !options.ids->contains(s.integer(idColumn)))
            continue;
        if (csv) {
            for (int i = 0; i < idColumn; ++i) {
                if (i)
                    out += ',';
                const Cell cell = readCell(s, i, &r.repairedTexts);
                if (!cell.null)
                    text::appendQuotedField(out, cell.text, text::Separator::Comma);
            }
            out += "\r\n";
        } else {
            out += r.days ? ",\n    {" : "\n    {";
            for (int i = 0; i < idColumn; ++i) {
                if (i)
                    out += ", ";
                appendJsonString(out, columns[i].toUtf8());
                out += ": ";
                const Cell cell = readCell(s, i, &r.repairedTexts);
                if (cell.null)
                    out += "null";
                else if (cell.integer)
                    out += cell.text;
                else
                    appendJsonString(out, cell.text);
            }
            out += '}';
        }
        ++r.days;
    }
    if (!s.error().isEmpty()) {
        r.error = tr("The days of %1 could not be read: %2").arg(diaryPath, s.error());
        return r;
    }
    if (!csv) {
        out += r.days ? "\n  ],\n  \"lists\": {" : "],\n  \"lists\": {";
        QStringList listColumns;
        for (const QString &c : diary::foodColumns())
            listColumns << bracketed(c);
        diary::Statement l(file, QStringLiteral("SELECT ") + listColumns.join(QLatin1Char(',')) +
                                     QStringLiteral(" FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"));
        const bool have = l.ok() && l.step();
        for (qsizetype i = 0; i < diary::foodColumns().size(); ++i) {
            out += i ? ",\n    " : "\n    ";
            appendJsonString(out, diary::foodColumns()[i].toUtf8());
            out += ": ";
            const Cell cell = have ? readCell(l, int(i), &r.repairedTexts) : Cell{true, false, {}};
            if (cell.null)
                out += "null";
            else
                appendJsonString(out, cell.text);
        }
        out += "\n  }\n}\n";
    }
    return r;
}

} // namespace keeping
