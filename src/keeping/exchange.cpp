#include "keeping/exchange.h"

#include "data/datetext.h"
#include "data/daybin.h"
#include "data/dayvalues.h"
#include "data/diarynames.h"
#include "data/sqlitecodes.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "keeping/backups.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStringDecoder>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include <sqlite3.h>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

QString tr(const char *text, const char *, int n)
{
    return QCoreApplication::translate("keeping", text, nullptr, n);
}

// UTF-8 to text, keeping a U+FEFF at the start: inside a field it is a
// character of the text, not a byte order mark (QString::fromUtf8 drops it).
QString fromUtf8Exactly(const QByteArray &utf8)
{
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(utf8);
}

QString bracketed(const QString &name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray &b, qsizetype *badAt = nullptr)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned int cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            if (badAt)
                *badAt = i;
            return false;
        }
        if (i + len > n) {
            if (badAt)
                *badAt = i;
            return false;
        }
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                if (badAt)
                    *badAt = i;
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (badAt)
                *badAt = i;
            return false;
        }
        i += len;
    }
    return true;
}

bool needsQuotes(const QByteArray &field)
{
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

void appendCsvField(QByteArray &out, const QByteArray &field)
{
    if (!needsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
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

bool isScoreColumn(const QString &c)
{
    return c == QLatin1String("OVERALL SCORE") || c == QLatin1String("BMs");
}
} // namespace

const QStringList &exchangedColumns()
{
    static const QStringList columns = [] {
        QStringList out = diary::recordsColumns();
        out.removeAll(QStringLiteral("ID"));
        return out;
    }();
    return columns;
}

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
            appendCsvField(out, columns[i].toUtf8());
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
                    appendCsvField(out, cell.text);
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

// ---------------------------------------------------------------- import

QStringList ImportPlan::describeRefusals() const
{
    QStringList out;
    if (!fileError.isEmpty())
        out << fileError;
    const QString where = format == Format::Csv ? tr("Line %1: %2") : tr("Day %1: %2");
    for (const Refusal &r : refused)
        out << where.arg(r.line).arg(r.why);
    return out;
}

Format guessFormat(const QString &fileName, const QByteArray &bytes)
{
    if (fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return Format::Json;
    if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return Format::Csv;
    for (const char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{' ? Format::Json : Format::Csv;
    }
    return Format::Csv;
}

namespace {

// One value of a column, checked as the daily record window checks it; NULL
// for an empty field. Nothing, with the reason, when it is refused.
std::optional<QVariant> takeValue(const QString &column, const QVariant &raw, bool asIs, int currentYear, QString *why)
{
    if (raw.isNull())
        return QVariant();
    if (raw.typeId() == QMetaType::LongLong) {
        if (!isScoreColumn(column))
            return QVariant(QString::number(raw.toLongLong()));
    }
    const QString text = raw.typeId() == QMetaType::LongLong ? QString::number(raw.toLongLong()) : raw.toString();
    if (text.size() > kMaxFieldChars) {
        *why = tr("%1 holds %2 characters; at most %3 are taken").arg(column).arg(text.size()).arg(kMaxFieldChars);
        return std::nullopt;
    }
    if (column == QLatin1String("DATE")) {
        if (text.trimmed().isEmpty())
            return QVariant();
        const std::optional<QDate> date = diary::readDayFirstDate(text, currentYear);
        if (!date) {
            *why = tr("DATE \"%1\" is not a day (yyyy-MM-dd or dd/MM/yy)").arg(text.left(40));
            return std::nullopt;
        }
        return QVariant(diary::storeDate(*date));
    }
    if (isScoreColumn(column)) {
        if (text.trimmed().isEmpty())
            return QVariant();
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok) {
            *why = tr("%1 \"%2\" is not a whole number").arg(column, text.left(40));
            return std::nullopt;
        }
        if (!asIs) {
            *why = diary::dayNumberProblem(column, n);
            if (!why->isEmpty())
                return std::nullopt;
        }
        return QVariant(n);
    }
    if (raw.typeId() != QMetaType::LongLong && raw.typeId() != QMetaType::QString)
        return QVariant(text);
    return raw.typeId() == QMetaType::QString && text.isEmpty() && !raw.isNull() ? QVariant(text) : QVariant(text);
}

void readCsv(const QByteArray &input, bool asIs, int currentYear, ImportPlan *plan)
{
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.trimmed().isEmpty()) {
        plan->fileError = tr("The file is empty; it has no header row.");
        return;
    }
    // Whole-file checks first: a NUL byte or text that is not UTF-8 means
    // this is not the CSV the export writes.
    {
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0) {
            plan->fileError = tr("Line %1 holds a NUL byte; this is not a text file. Nothing was read.")
                                  .arg(bytes.left(nul).count('\n') + 1);
            return;
        }
        qsizetype bad = 0;
        if (!isValidUtf8(bytes, &bad)) {
            plan->fileError = tr("Line %1 is not UTF-8 text. Save the file as UTF-8 and try again.")
                                  .arg(bytes.left(bad).count('\n') + 1);
            return;
        }
    }

    struct Record
    {
        int line;
        QList<QByteArray> fields;
    };
    QList<Record> records;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    int line = 1;
    while (i < n) {
        Record rec{line, {}};
        QByteArray field;
        bool endOfRecord = false;
        while (!endOfRecord) {
            field.clear();
            if (i < n && bytes[i] == '"') {
                const int opened = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = bytes[i];
                    if (c == '"') {
                        if (i + 1 < n && bytes[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field += c;
                    ++i;
                }
                if (!closed) {
                    plan->fileError = tr("The quote opened on line %1 is never closed. Nothing was read.").arg(opened);
                    return;
                }
                if (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n') {
                    plan->fileError = tr("Line %1: a closing quote is followed by text; a field with a quote must be "
                                         "quoted whole, its quotes doubled. Nothing was read.")
                                          .arg(line);
                    return;
                }
            } else {
                while (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n') {
                    if (bytes[i] == '"') {
                        plan->fileError = tr("Line %1: a quote inside a field that does not start with one. "
                                             "Nothing was read.")
                                              .arg(line);
                        return;
                    }
                    field += bytes[i++];
                }
            }
            rec.fields << field;
            if (i >= n) {
                endOfRecord = true;
            } else if (bytes[i] == ',') {
                ++i;
            } else {
                if (bytes[i] == '\r')
                    ++i;
                if (i < n && bytes[i] == '\n')
                    ++i;
                ++line;
                endOfRecord = true;
            }
        }
        records << rec;
    }

    // The header: names of the file's columns, in any order.
    const Record header = records.takeFirst();
    const QStringList &known = exchangedColumns();
    QList<int> target; // per header field: index into exchangedColumns, -1 for ID
    QSet<int> seen;
    for (const QByteArray &raw : header.fields) {
        const QString name = fromUtf8Exactly(raw).trimmed();
        if (name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) {
            target << -1;
            continue;
        }
        int at = -1;
        for (qsizetype k = 0; k < known.size(); ++k) {
            if (known[k].compare(name, Qt::CaseInsensitive) == 0)
                at = int(k);
        }
        if (at < 0) {
            plan->fileError = tr("The header names the column \"%1\", which the diary does not have. The columns are: "
                                 "%2. Nothing was read.")
                                  .arg(name.left(60), known.join(QStringLiteral(", ")));
            return;
        }
        if (seen.contains(at)) {
            plan->fileError = tr("The header names the column %1 twice. Nothing was read.").arg(known[at]);
            return;
        }
        seen.insert(at);
        target << at;
    }
    if (!seen.contains(int(known.indexOf(QStringLiteral("DATE"))))) {
        plan->fileError = tr("The header has no DATE column. Nothing was read.");
        return;
    }

    for (const Record &rec : records) {
        if (rec.fields.size() == 1 && rec.fields.first().isEmpty() && header.fields.size() > 1)
            continue; // a blank line
        if (rec.fields.size() != header.fields.size()) {
            plan->refused << Refusal{
                rec.line, tr("it has %1 fields; the header has %2").arg(rec.fields.size()).arg(header.fields.size())};
            continue;
        }
        ImportDay day{rec.line, QVariantList(known.size())};
        QStringList whys;
        for (qsizetype f = 0; f < rec.fields.size(); ++f) {
            if (target[f] < 0)
                continue;
            const QString &column = known[target[f]];
            const QByteArray &raw = rec.fields[f];
            const QString text = fromUtf8Exactly(raw);
            if (text.size() > kMaxFieldChars) {
                whys << tr("%1 holds %2 characters; at most %3 are taken")
                            .arg(column)
                            .arg(text.size())
                            .arg(kMaxFieldChars);
                continue;
            }
            QString why;
            const std::optional<QVariant> v =
                takeValue(column, raw.isEmpty() ? QVariant() : QVariant(text), asIs, currentYear, &why);
            if (!v)
                whys << why;
            else
                day.values[target[f]] = *v;
        }
        if (!whys.isEmpty())
            plan->refused << Refusal{rec.line, whys.join(QStringLiteral("; "))};
        else
            plan->days << day;
    }
}

// A NUL is refused in a text on both sides alike: the CSV reader refuses the
// byte, and the JSON reader the escape.
QString nulRefusal(const QString &column)
{
    return QCoreApplication::translate("keeping", "%1 holds a NUL character, which no text of the diary may hold")
        .arg(column);
}

void readJson(const QByteArray &input, bool asIs, int currentYear, ImportPlan *plan)
{
    // The JSON reader drops a U+FEFF written as its bytes at the start of a
    // string; outside strings those bytes are an error all the same, so they
    // can be written as the escape the reader keeps. A byte order mark at the
    // very start of the file is one, and goes.
    QByteArray bytes = input.startsWith("\xEF\xBB\xBF") ? input.mid(3) : input;
    bytes.replace("\xEF\xBB\xBF", "\\ufeff");
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        plan->fileError = tr("The file is not JSON the export writes (%1 at byte %2). Nothing was read.")
                              .arg(error.errorString())
                              .arg(error.offset);
        return;
    }
    if (!doc.isObject() || !doc.object().value(QLatin1String("days")).isArray()) {
        plan->fileError = tr("The file holds no \"days\" array. Nothing was read.");
        return;
    }
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() != QLatin1String("days") && it.key() != QLatin1String("lists")) {
            plan->fileError =
                tr("The file holds \"%1\", which is neither days nor lists. Nothing was read.").arg(it.key().left(60));
            return;
        }
    }
    const QStringList &known = exchangedColumns();
    const QJsonArray days = root.value(QLatin1String("days")).toArray();
    for (qsizetype d = 0; d < days.size(); ++d) {
        const int place = int(d + 1);
        if (!days[d].isObject()) {
            plan->refused << Refusal{place, tr("it is not an object of columns")};
            continue;
        }
        const QJsonObject o = days[d].toObject();
        ImportDay day{place, QVariantList(known.size())};
        QStringList whys;
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() == QLatin1String("ID"))
                continue;
            const qsizetype at = known.indexOf(it.key());
            if (at < 0) {
                whys << tr("\"%1\" is not a column of the diary").arg(it.key().left(60));
                continue;
            }
            QVariant raw;
            const QJsonValue v = it.value();
            // A whole number only where it fits a 64-bit integer exactly:
            // 1e300 would not survive the conversion.
            const double number = v.isDouble() ? v.toDouble() : 0.0;
            const bool whole =
                v.isDouble() && number >= -9.0e15 && number <= 9.0e15 && number == double(qint64(number));
            if (v.isNull()) {
                raw = QVariant();
            } else if (v.isString()) {
                raw = v.toString();
                if (raw.toString().contains(QChar(0))) {
                    whys << nulRefusal(it.key());
                    continue;
                }
            } else if (whole && it.key() != QLatin1String("DATE")) {
                raw = QVariant(qint64(number));
            } else {
                whys << (it.key() == QLatin1String("DATE")
                             ? tr("DATE must be a text (yyyy-MM-dd or dd/MM/yy)")
                             : tr("%1 holds neither text nor a whole number").arg(it.key()));
                continue;
            }
            QString why;
            std::optional<QVariant> value;
            if (!isScoreColumn(it.key()) && it.key() != QLatin1String("DATE") && raw.typeId() == QMetaType::QString) {
                // Texts go in exactly, an empty one too.
                if (raw.toString().size() > kMaxFieldChars)
                    why = tr("%1 holds %2 characters; at most %3 are taken")
                              .arg(it.key())
                              .arg(raw.toString().size())
                              .arg(kMaxFieldChars);
                else
                    value = raw;
            } else {
                value = takeValue(it.key(), raw, asIs, currentYear, &why);
            }
            if (!value)
                whys << why;
            else
                day.values[at] = *value;
        }
        if (!whys.isEmpty())
            plan->refused << Refusal{place, whys.join(QStringLiteral("; "))};
        else
            plan->days << day;
    }
    if (root.contains(QLatin1String("lists"))) {
        // Junk is refused with its reason, as junk in a day is: a list is
        // never emptied by a value that was not meant as one.
        const QJsonValue value = root.value(QLatin1String("lists"));
        if (!value.isObject()) {
            plan->fileError = tr("\"lists\" is not an object of the four lists. Nothing was read.");
            return;
        }
        const QJsonObject lists = value.toObject();
        for (auto it = lists.begin(); it != lists.end(); ++it) {
            if (!diary::foodColumns().contains(it.key())) {
                plan->fileError = tr("\"lists\" holds \"%1\", which is not one of the lists: %2. Nothing was read.")
                                      .arg(it.key().left(60), diary::foodColumns().join(QStringLiteral(", ")));
                return;
            }
            if (!it.value().isString() && !it.value().isNull()) {
                plan->fileError = tr("The list %1 is neither a text nor null. Nothing was read.").arg(it.key());
                return;
            }
            if (it.value().toString().contains(QChar(0))) {
                plan->fileError = nulRefusal(it.key()) + QLatin1Char(' ') + tr("Nothing was read.");
                return;
            }
        }
        QList<std::optional<QString>> values;
        for (const QString &c : diary::foodColumns()) {
            if (!lists.contains(c))
                values << std::nullopt;
            else
                values << (lists.value(c).isNull() ? QString() : lists.value(c).toString());
        }
        plan->lists = values;
    }
}

} // namespace

ImportPlan readImport(const QByteArray &bytes, Format format, bool asIs, int currentYear)
{
    ImportPlan plan;
    plan.format = format;
    if (format == Format::Csv)
        readCsv(bytes, asIs, currentYear, &plan);
    else
        readJson(bytes, asIs, currentYear, &plan);
    return plan;
}

QStringList ImportPlan::listsGiven() const
{
    QStringList out;
    if (!lists)
        return out;
    for (qsizetype i = 0; i < lists->size() && i < diary::foodColumns().size(); ++i) {
        if (lists->at(i))
            out << diary::foodColumns().at(i);
    }
    return out;
}

int ImportPlan::dateCount() const
{
    const qsizetype dateAt = exchangedColumns().indexOf(QStringLiteral("DATE"));
    QSet<QString> dates;
    int undated = 0;
    for (const ImportDay &d : days) {
        if (d.values[dateAt].isNull())
            ++undated;
        else
            dates.insert(d.values[dateAt].toString());
    }
    return int(dates.size()) + undated;
}

QString readImportFile(const QString &path, QByteArray *bytes)
{
    // Opened without blocking, and judged by what was opened: a pipe put
    // in the file's place after a look at the name is caught all the same.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return tr("%1 could not be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct Close
    {
        int fd;
        ~Close() { ::close(fd); }
    } closeAtEnd{fd};
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return tr("%1 could not be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return tr("%1 is not a file but a pipe, a device or a folder; only a CSV or JSON file can be imported.")
            .arg(path);
    if (st.st_size > kMaxImportBytes)
        return tr("%1 holds %2 MB; at most %3 MB can be imported at once (an export of a million days is far less).")
            .arg(path)
            .arg(st.st_size / (1024 * 1024))
            .arg(kMaxImportBytes / (1024 * 1024));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly))
        return tr("%1 could not be read: %2.").arg(path, file.errorString());
    // A file that grows while it is read is cut at the limit, and refused.
    *bytes = file.read(kMaxImportBytes + 1);
    if (bytes->size() > kMaxImportBytes) {
        bytes->clear();
        return tr("%1 grew past %2 MB while it was read; nothing was imported.")
            .arg(path)
            .arg(kMaxImportBytes / (1024 * 1024));
    }
    return {};
}

QString findDuplicates(const QString &diaryPath, ImportPlan *plan, const std::function<bool()> &keepGoing)
{
    plan->duplicateDays.clear();
    plan->duplicateDates = 0;
    plan->diaryRowsOnDuplicateDates = 0;
    plan->repeatedDates.clear();
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true))
        return tr("The diary %1 could not be opened: %2").arg(diaryPath, file.lastError());
    std::map<QString, qint64> rowsOn;
    {
        diary::Statement s(file,
                           QStringLiteral("SELECT DATE, count(*) FROM records WHERE DATE IS NOT NULL GROUP BY DATE"));
        while (s.step())
            rowsOn[QString::fromUtf8(s.bytes(0))] = s.integer(1);
        if (!s.error().isEmpty())
            return tr("The days of %1 could not be read: %2").arg(diaryPath, s.error());
    }
    const qsizetype dateAt = exchangedColumns().indexOf(QStringLiteral("DATE"));
    std::map<QString, int> inFile;
    for (const ImportDay &day : plan->days) {
        if (!day.values[dateAt].isNull())
            ++inFile[day.values[dateAt].toString()];
    }
    for (const auto &[date, n] : inFile) {
        if (n > 1)
            plan->repeatedDates << date;
        const auto there = rowsOn.find(date);
        if (there != rowsOn.end()) {
            ++plan->duplicateDates;
            plan->diaryRowsOnDuplicateDates += there->second;
        }
    }
    for (qsizetype i = 0; i < plan->days.size(); ++i) {
        const QVariant &d = plan->days[i].values[dateAt];
        if (!d.isNull() && rowsOn.count(d.toString()))
            plan->duplicateDays << int(i);
    }

    // Every day tried against this diary's own table definition, in a
    // temporary table: the diary itself is neither locked nor written.
    const QString definition =
        file.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'records'"))
            .toString();
    static const QRegularExpression head(
        QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\"records\"|\\[records\\]|`records`|'records'|records)"),
        QRegularExpression::CaseInsensitiveOption);
    QString trial = definition;
    trial.replace(head, QStringLiteral("CREATE TEMP TABLE import_trial"));
    if (definition.isEmpty() || trial == definition || !file.exec(trial))
        return tr("The table records of %1 could not be read: %2").arg(diaryPath, file.lastError());
    QStringList cols, marks;
    for (const QString &c : exchangedColumns()) {
        cols << bracketed(c);
        marks << QStringLiteral("?");
    }
    {
        diary::Statement insert(file, QStringLiteral("INSERT INTO temp.import_trial (") + cols.join(QLatin1Char(',')) +
                                          QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                                          QLatin1Char(')'));
        if (!insert.ok())
            return tr("The days could not be tried against the diary: %1").arg(insert.error());
        // Tried inside a transaction that is always rolled back: the trial
        // table is temporary, and nothing of the diary is written.
        diary::SqliteRunner sql(file);
        diary::Transaction tx(sql);
        QString busy;
        if (!tx.begin(diary::Transaction::Deferred, &busy))
            return tr("The days could not be tried against the diary: %1").arg(busy);
        qsizetype tried = 0;
        for (const ImportDay &day : std::as_const(plan->days)) {
            if (keepGoing && ++tried % 256 == 0 && !keepGoing()) {
                plan->fileError = tr("Reading the file was cancelled; nothing is imported.");
                break;
            }
            insert.reset();
            for (qsizetype c = 0; c < day.values.size(); ++c)
                insert.bind(int(c + 1), day.values[c]);
            insert.step();
            if (insert.error().isEmpty())
                continue;
            QString why = insert.error();
            if (why.startsWith(QLatin1String("CHECK constraint failed: ")))
                why = tr("this diary refuses it (%1)").arg(why.mid(25));
            plan->refused << Refusal{day.line, why};
        }
    }
    file.exec(QStringLiteral("DROP TABLE temp.import_trial"));
    return {};
}

QString ImportPlan::preview() const
{
    const int rows = int(days.size());
    const int dates = dateCount();
    QString text = rows == dates ? (rows == 1 ? tr("1 day to import") : tr("%1 days to import").arg(rows))
                                 : tr("%1 rows on %2 dates to import").arg(rows).arg(dates);
    if (duplicateDates == 0)
        text += tr(", none on a date the diary has.");
    else
        text += (duplicateDates == 1 ? tr(", of which 1 date is already in the diary")
                                     : tr(", of which %1 dates are already in the diary").arg(duplicateDates)) +
                (diaryRowsOnDuplicateDates == 1 ? tr(" (1 row there).")
                                                : tr(" (%1 rows there).").arg(diaryRowsOnDuplicateDates));
    if (!repeatedDates.isEmpty()) {
        QStringList shown;
        for (const QString &d : repeatedDates.mid(0, 10))
            shown << diary::showStoredDate(d);
        if (repeatedDates.size() > 10)
            shown << tr("and %1 more").arg(repeatedDates.size() - 10);
        text += QLatin1Char(' ') +
                tr("The file holds more than one row for %1; they are imported together, as the diary allows.")
                    .arg(shown.join(QStringLiteral(", ")));
    }
    return text;
}

QString ImportResult::summary() const
{
    QString text = tr("Imported: %1 added").arg(added);
    if (replacedDates > 0)
        text += tr(", %1 dates replaced (%2 rows of the diary by %3 of the file)")
                    .arg(replacedDates)
                    .arg(removedRows)
                    .arg(replacingRows);
    if (skippedDates > 0)
        text += tr(", %1 dates skipped (%2 rows of the file)").arg(skippedDates).arg(skipped);
    text += QLatin1Char('.');
    if (!listsReplaced.isEmpty())
        text += QLatin1Char(' ') + tr("Lists replaced: %1.").arg(listsReplaced.join(QStringLiteral(", ")));
    if (!backupPath.isEmpty())
        text += QLatin1Char(' ') +
                (replacedDates > 0
                     ? tr("The diary as it was is kept in %1; the rows replaced are in the bin of deleted days.")
                     : tr("The diary as it was is kept in %1."))
                    .arg(backupPath);
    return text;
}

ImportResult applyImport(const QString &diaryPath, const ImportPlan &plan, Duplicates duplicates, bool replaceLists,
                         const QDateTime &now, const std::function<bool(qsizetype done, qsizetype total)> &progress)
{
    bool cancelled = false;
    ImportResult r;
    const QString nothing = tr("Nothing was written.");
    if (!plan.ok()) {
        r.error =
            tr("%1 refused: %2 %3")
                .arg(plan.fileError.isEmpty() ? tr("%n line(s)", nullptr, int(plan.refused.size())) : tr("The file is"),
                     plan.describeRefusals().join(QStringLiteral("; ")), nothing);
        return r;
    }
    const qsizetype dateAt = exchangedColumns().indexOf(QStringLiteral("DATE"));
    if (duplicates == Duplicates::Refuse && !plan.duplicateDays.isEmpty()) {
        QStringList dates;
        for (const int i : plan.duplicateDays.mid(0, 20))
            dates << diary::showStoredDate(plan.days[i].values[dateAt]);
        if (plan.duplicateDays.size() > 20)
            dates << tr("and %1 more").arg(plan.duplicateDays.size() - 20);
        r.error = tr("The diary already has %n of these days: %1. Say whether to skip, replace or add them. %2",
                     nullptr, int(dates.size()))
                      .arg(dates.join(QStringLiteral(", ")), nothing);
        return r;
    }
    // What is replaced is kept twice: the whole diary in a backup first, and
    // each replaced day in the bin as it goes.
    if ((duplicates == Duplicates::Replace && !plan.duplicateDays.isEmpty()) ||
        (replaceLists && !plan.listsGiven().isEmpty())) {
        const BackupResult copy = backUp(diaryPath, now);
        if (!copy.ok()) {
            r.error = tr("The diary could not be backed up before its days or lists were replaced: %1 %2")
                          .arg(copy.error, nothing);
            return r;
        }
        r.backupPath = copy.path;
    }
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true)) {
        r.error = tr("The diary %1 could not be opened: %2 %3").arg(diaryPath, file.lastError(), nothing);
        return r;
    }
    file.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    diary::SqliteRunner sql(file);
    diary::Transaction tx(sql);
    {
        QString why;
        if (!tx.begin(diary::Transaction::Immediate, &why)) {
            r.error = tr("The diary could not be locked for writing (%1). %2").arg(why, nothing);
            return r;
        }
    }
    const QSet<int> dup(plan.duplicateDays.begin(), plan.duplicateDays.end());
    QString failure;
    int failureCode = SQLITE_OK;
    {
        QStringList cols, marks;
        for (const QString &c : exchangedColumns()) {
            cols << bracketed(c);
            marks << QStringLiteral("?");
        }
        diary::Statement insert(file, QStringLiteral("INSERT INTO records (") + cols.join(QLatin1Char(',')) +
                                          QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                                          QLatin1Char(')'));
        diary::Statement remove(file, QStringLiteral("DELETE FROM records WHERE DATE = ?"));
        if (!insert.ok() || !remove.ok())
            failure = insert.ok() ? remove.error() : insert.error();
        // A date is replaced or skipped once, with every row the file holds
        // for it; the diary's rows on it go before the first of them.
        QSet<QString> handled;
        for (qsizetype i = 0; i < plan.days.size() && failure.isEmpty(); ++i) {
            if (progress && i % 256 == 0 && !progress(i, plan.days.size())) {
                cancelled = true;
                failure = tr("cancelled");
                break;
            }
            const ImportDay &day = plan.days[i];
            const bool onDiaryDate = dup.contains(int(i));
            if (onDiaryDate && duplicates != Duplicates::Add) {
                const QString date = day.values[dateAt].toString();
                const bool first = !handled.contains(date);
                handled.insert(date);
                if (duplicates == Duplicates::Skip) {
                    r.skippedDates += first ? 1 : 0;
                    ++r.skipped;
                    continue;
                }
                if (first) {
                    ++r.replacedDates;
                    if (diary::binRecords(sql, QStringLiteral("DATE = ?"), {date}, diary::binByImportReplace(), now,
                                          &failure) < 0)
                        break;
                    remove.reset();
                    remove.bind(1, date);
                    remove.step();
                    if (!remove.error().isEmpty()) {
                        failure = remove.error();
                        failureCode = remove.code();
                        break;
                    }
                    r.removedRows += sqlite3_changes(file.handle());
                }
                ++r.replacingRows;
            } else {
                ++r.added;
            }
            insert.reset();
            for (qsizetype c = 0; c < day.values.size(); ++c)
                insert.bind(int(c + 1), day.values[c]);
            insert.step();
            if (!insert.error().isEmpty()) {
                failureCode = insert.code();
                // Only a rule of the diary's is the line's fault; a disk that
                // failed or filled is no line's.
                failure = diary::engineFailure(failureCode) == diary::EngineFailure::Refused
                              ? (plan.format == Format::Csv ? tr("line %1: %2") : tr("day %1: %2"))
                                    .arg(day.line)
                                    .arg(insert.error())
                              : insert.error();
                break;
            }
        }
        const QStringList given = plan.listsGiven();
        if (failure.isEmpty() && replaceLists && !given.isEmpty()) {
            QStringList sets;
            QVariantList values;
            for (qsizetype c = 0; c < diary::foodColumns().size(); ++c) {
                if (!plan.lists->at(c))
                    continue;
                sets << bracketed(diary::foodColumns().at(c)) + QStringLiteral(" = ?");
                values << (plan.lists->at(c)->isNull() ? QVariant() : QVariant(*plan.lists->at(c)));
            }
            diary::Statement update(
                file, QStringLiteral("UPDATE [FOOD AND MEDICATION] SET ") + sets.join(QLatin1Char(',')) +
                          QStringLiteral(" WHERE rowid = (SELECT min(rowid) FROM [FOOD AND MEDICATION])"));
            for (qsizetype c = 0; c < values.size(); ++c)
                update.bind(int(c + 1), values.at(c));
            update.step();
            if (!update.error().isEmpty()) {
                failure = update.error();
                failureCode = update.code();
            } else
                r.listsReplaced = given;
        }
    }
    if (failure.isEmpty() && !tx.commit(&failure))
        failureCode = sql.lastCode();
    if (!failure.isEmpty()) {
        tx.rollback();
        r = ImportResult{};
        const diary::EngineFailure kind = diary::engineFailure(failureCode);
        if (cancelled)
            r.error = tr("The import was cancelled. %1").arg(nothing);
        else if (kind == diary::EngineFailure::Full)
            r.error =
                tr("The import could not be written: the disk holding %1 is full (%2); make room and try again. %3")
                    .arg(diaryPath, failure, nothing);
        else if (kind == diary::EngineFailure::None || kind == diary::EngineFailure::Refused)
            r.error = tr("The import was refused by the diary (%1). %2").arg(failure, nothing);
        else
            r.error = tr("The import could not be written to %1 (%2). %3").arg(diaryPath, failure, nothing);
    }
    return r;
}

} // namespace keeping
