#include "keeping/importplan.h"

#include "data/datetext.h"
#include "data/dayvalues.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "keeping/csvformat.h"
#include "keeping/jsonformat.h"
#include "keeping/utf8check.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

bool isScoreColumn(const QString &c)
{
    return diary::dayNumberRange(c).has_value();
}
} // namespace

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
    return QVariant(text);
}

void readCsv(const QByteArray &bytes, bool asIs, int currentYear, ImportPlan *plan)
{
    CsvRows read = readCsvRows(bytes);
    if (!read.ok()) {
        plan->fileError = read.error;
        return;
    }
    QList<CsvRow> &records = read.rows;

    // The header: names of the file's columns, in any order.
    const CsvRow header = records.takeFirst();
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

    for (const CsvRow &rec : records) {
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

void readJson(const QByteArray &bytes, bool asIs, int currentYear, ImportPlan *plan)
{
    const JsonFile file = readJsonFile(bytes);
    if (!file.ok()) {
        plan->fileError = file.error;
        return;
    }
    const QStringList &known = exchangedColumns();
    const QJsonArray &days = file.days;
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
            const JsonScalar v = readJsonScalar(it.value());
            if (v.kind == JsonScalar::Kind::Null) {
                raw = QVariant();
            } else if (v.kind == JsonScalar::Kind::Text) {
                raw = v.text;
                if (v.text.contains(QChar(0))) {
                    whys << nulRefusal(it.key());
                    continue;
                }
            } else if (v.kind == JsonScalar::Kind::Whole && it.key() != QLatin1String("DATE")) {
                raw = QVariant(v.whole);
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
    if (file.lists) {
        // Junk is refused with its reason, as junk in a day is: a list is
        // never emptied by a value that was not meant as one.
        const QJsonValue &value = *file.lists;
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

} // namespace keeping
