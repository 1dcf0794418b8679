#include "access/diarymapping.h"

#include "data/datetext.h"
#include "data/dayvalues.h"
#include "data/diarycolumns.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "keeping/exchange.h"
#include "keeping/privatefiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <charconv>
#include <cmath>

namespace jet {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("access", text);
}

const QString &emptyText()
{
    // Not a null string: the diary keeps an empty field apart from NULL.
    static const QString empty = QStringLiteral("");
    return empty;
}

// A whole number from whatever type the file gave; nothing with the reason.
std::optional<qint64> wholeNumber(const QVariant &v, bool *empty, QString *why)
{
    *empty = false;
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return v.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)
            return qint64(d);
        *why = tr("is %1, not a whole number").arg(QString::number(d, 'g', 17));
        return std::nullopt;
    }
    case QMetaType::QString: {
        const QString t = v.toString().trimmed();
        if (t.isEmpty()) {
            *empty = true;
            return std::nullopt;
        }
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        if (ok)
            return n;
        *why = tr("\"%1\" is not a whole number").arg(t.left(40));
        return std::nullopt;
    }
    default:
        *why = tr("holds a value of another kind (%1), not a whole number").arg(QString::fromLatin1(v.typeName()));
        return std::nullopt;
    }
}

// A date with its time of day after it ("12/03/99 10:30", "1999-03-12 10:30:00 PM").
const QRegularExpression &dateWithTime()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(\S+)\s+\d{1,2}:\d{2}(:\d{2}(\.\d+)?)?(\s*[AaPp][Mm])?\s*$)"));
    return re;
}

QString textOf(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QString: {
        const QString t = v.toString();
        return t.isEmpty() ? emptyText() : t;
    }
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Float: {
        // The shortest text that reads back as the same float: 0.15, not
        // the 0.15000000596 of its double.
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v.toFloat());
        return QString::fromLatin1(buf, r.ptr - buf);
    }
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? diary::storeDate(dt.date())
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    default:
        return v.toString();
    }
}

} // namespace

QString counted(qint64 n, const char *one, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + tr(n == 1 ? one : many);
}

QStringList ConversionPlan::summary() const
{
    QStringList out;
    out << counted(days.size(), "day", "days");
    if (first.isValid())
        out.last() += tr(", from %1 to %2").arg(diary::showDate(first), diary::showDate(last));
    if (!missingColumns.isEmpty())
        out << tr("Columns the file does not have, left empty: %1").arg(missingColumns.join(QStringLiteral(", ")));
    if (!extraColumns.isEmpty())
        out << tr("Columns of the file that a diary does not have, not carried: %1")
                   .arg(extraColumns.join(QStringLiteral(", ")));
    if (timesDropped > 0)
        out << tr("%1 held a time of day as well; only the day is kept").arg(counted(timesDropped, "date", "dates"));
    if (!lists)
        out << tr("The file has no FOOD AND MEDICATION table; the four lists are left empty");
    if (!missingListColumns.isEmpty())
        out << tr("FOOD AND MEDICATION columns the file does not have, left empty: %1")
                   .arg(missingListColumns.join(QStringLiteral(", ")));
    if (!extraListColumns.isEmpty())
        out << tr("FOOD AND MEDICATION columns of the file not carried: %1")
                   .arg(extraListColumns.join(QStringLiteral(", ")));
    if (listRows == 0 && lists)
        out << tr("FOOD AND MEDICATION has no row; the four lists are left empty");
    if (listRows > 1)
        out << tr("FOOD AND MEDICATION has %1 rows; the first, in the file's order, is taken").arg(listRows);
    if (asIs)
        out << tr("As is: stored scores and BMs are taken unchanged, and the new diary does not refuse scores "
                  "outside 1 to 10 or BMs below 0");
    return out;
}

QStringList ConversionPlan::describeRefusals(int atMost) const
{
    QStringList out;
    for (const RowRefusal &r : refused) {
        if (out.size() >= atMost) {
            out << tr("and %1 more").arg(counted(refused.size() - atMost, "row", "rows"));
            break;
        }
        out << tr("Row %1: %2").arg(r.row).arg(r.why);
    }
    return out;
}

ConversionPlan planConversion(const SourceTable &records, const std::optional<SourceTable> &lists, bool asIs,
                              int currentYear)
{
    ConversionPlan plan;
    plan.asIs = asIs;
    // The catalogue's names in its order, so that target[c] is kDiaryColumns[c].
    const QStringList &target = diary::recordsColumns();

    // Where each diary column comes from in the file, matched ignoring case.
    QList<int> from(target.size(), -1);
    QSet<int> used;
    for (qsizetype c = 0; c < target.size(); ++c) {
        for (qsizetype s = 0; s < records.columns.size(); ++s) {
            if (!used.contains(int(s)) && records.columns[s].compare(target[c], Qt::CaseInsensitive) == 0) {
                from[c] = int(s);
                used.insert(int(s));
                break;
            }
        }
        if (from[c] < 0)
            plan.missingColumns << target[c];
    }
    for (qsizetype s = 0; s < records.columns.size(); ++s) {
        if (!used.contains(int(s)))
            plan.extraColumns << records.columns[s];
    }

    QSet<qint64> ids;
    for (qsizetype r = 0; r < records.rows.size(); ++r) {
        const QVariantList &row = records.rows[r];
        QVariantList day(target.size());
        QStringList whys;
        for (qsizetype c = 0; c < target.size(); ++c) {
            const QString &column = target[c];
            const diary::ColumnKind kind = diary::kDiaryColumns[c].kind;
            if (from[c] < 0 || from[c] >= row.size())
                continue;
            const QVariant &v = row[from[c]];
            if (!v.isValid() || v.isNull())
                continue;
            if (kind == diary::ColumnKind::Date) {
                QDate date;
                if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate) {
                    const QDateTime dt =
                        v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
                    if (!dt.isValid()) {
                        whys << tr("DATE holds a stored value that is no date");
                        continue;
                    }
                    date = dt.date();
                    if (dt.time() != QTime(0, 0))
                        ++plan.timesDropped;
                } else if (v.typeId() == QMetaType::QString) {
                    QString text = v.toString();
                    if (text.trimmed().isEmpty())
                        continue;
                    std::optional<QDate> d = diary::readDayFirstDate(text, currentYear);
                    if (!d) {
                        const QRegularExpressionMatch m = dateWithTime().match(text);
                        if (m.hasMatch()) {
                            d = diary::readDayFirstDate(m.captured(1), currentYear);
                            if (d)
                                ++plan.timesDropped;
                        }
                    }
                    if (!d) {
                        whys << tr("DATE \"%1\" is not a day (dd/MM/yy or yyyy-MM-dd)").arg(text.left(40));
                        continue;
                    }
                    date = *d;
                } else {
                    whys << tr("DATE holds a value of another kind (%1), not a date")
                                .arg(QString::fromLatin1(v.typeName()));
                    continue;
                }
                day[c] = diary::storeDate(date);
                if (!plan.first.isValid() || date < plan.first)
                    plan.first = date;
                if (!plan.last.isValid() || date > plan.last)
                    plan.last = date;
            } else if (kind == diary::ColumnKind::Key || kind == diary::ColumnKind::Score ||
                       kind == diary::ColumnKind::Count) {
                bool empty = false;
                QString why;
                const std::optional<qint64> n = wholeNumber(v, &empty, &why);
                if (empty)
                    continue;
                if (!n) {
                    whys << column + QLatin1Char(' ') + why;
                    continue;
                }
                if (kind == diary::ColumnKind::Key) {
                    if (*n < 1) {
                        whys << tr("ID %1 is not a positive number").arg(*n);
                        continue;
                    }
                    if (ids.contains(*n)) {
                        whys << tr("ID %1 is held by an earlier row as well").arg(*n);
                        continue;
                    }
                    ids.insert(*n);
                } else if (const QString problem = asIs ? QString() : diary::dayNumberProblem(column, *n);
                           !problem.isEmpty()) {
                    whys << problem;
                    continue;
                }
                day[c] = QVariant(*n);
            } else {
                if (v.typeId() == QMetaType::QByteArray) {
                    whys << tr("%1 holds binary data, not text").arg(column);
                    continue;
                }
                const QString text = textOf(v);
                if (text.size() > keeping::kMaxFieldChars) {
                    whys << tr("%1 holds %2 characters; at most %3 are taken")
                                .arg(column)
                                .arg(text.size())
                                .arg(keeping::kMaxFieldChars);
                    continue;
                }
                day[c] = text;
            }
        }
        if (!whys.isEmpty())
            plan.refused << RowRefusal{int(r + 1), whys.join(QStringLiteral("; "))};
        else
            plan.days << day;
    }

    if (lists) {
        const QStringList &names = diary::foodColumns();
        QStringList values(names.size(), emptyText());
        plan.listRows = int(lists->rows.size());
        QSet<int> takenFrom;
        for (qsizetype c = 0; c < names.size(); ++c) {
            int at = -1;
            for (qsizetype s = 0; s < lists->columns.size(); ++s) {
                if (!takenFrom.contains(int(s)) && lists->columns[s].compare(names[c], Qt::CaseInsensitive) == 0) {
                    at = int(s);
                    break;
                }
            }
            if (at < 0) {
                plan.missingListColumns << names[c];
                continue;
            }
            takenFrom.insert(at);
            if (!lists->rows.isEmpty() && at < lists->rows.first().size()) {
                const QVariant &v = lists->rows.first()[at];
                if (v.isValid() && !v.isNull() && v.typeId() != QMetaType::QByteArray)
                    values[c] = textOf(v);
            }
        }
        for (qsizetype s = 0; s < lists->columns.size(); ++s) {
            if (!takenFrom.contains(int(s)))
                plan.extraListColumns << lists->columns[s];
        }
        plan.lists = values;
    }
    return plan;
}

namespace {

QString bracketed(const QString &name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// Fills a newly made diary; empty string on success.
QString fill(const QString &path, const ConversionPlan &plan, const WriteOptions &options)
{
    diary::SqliteFile file;
    if (!file.open(path, diary::SqliteFile::ReadWrite, 30000, false))
        return file.lastError();
    diary::SqliteRunner sql(file);
    diary::Transaction tx(sql);
    QString failure;
    if (!tx.begin(diary::Transaction::Immediate, &failure))
        return failure;
    {
        QStringList cols, marks;
        for (const QString &c : diary::recordsColumns()) {
            cols << bracketed(c);
            marks << QStringLiteral("?");
        }
        diary::Statement insert(file, QStringLiteral("INSERT INTO records (") + cols.join(QLatin1Char(',')) +
                                          QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                                          QLatin1Char(')'));
        if (!insert.ok())
            failure = insert.error();
        const qint64 total = plan.days.size();
        // Days with their own ID first, so that a day without one is given
        // a number no later day already holds.
        const qsizetype idAt = diary::recordsColumns().indexOf(QStringLiteral("ID"));
        QList<qsizetype> order;
        order.reserve(plan.days.size());
        for (const bool withId : {true, false}) {
            for (qsizetype i = 0; i < plan.days.size(); ++i) {
                if (plan.days[i][idAt].isValid() == withId)
                    order << i;
            }
        }
        for (qsizetype n = 0; n < order.size() && failure.isEmpty(); ++n) {
            const qsizetype i = order[n];
            if (options.cancel && options.cancel->load()) {
                failure = tr("cancelled");
                break;
            }
            insert.reset();
            const QVariantList &day = plan.days[i];
            for (qsizetype c = 0; c < day.size(); ++c)
                insert.bind(int(c + 1), day[c]);
            insert.step();
            if (!insert.error().isEmpty())
                failure = tr("day %1: %2").arg(i + 1).arg(insert.error());
            if (options.progress && (n % 500 == 0 || n + 1 == total))
                options.progress(n + 1, total);
        }
        if (failure.isEmpty() && plan.lists) {
            QStringList sets;
            for (const QString &c : diary::foodColumns())
                sets << bracketed(c) + QStringLiteral(" = ?");
            diary::Statement update(file,
                                    QStringLiteral("UPDATE [FOOD AND MEDICATION] SET ") + sets.join(QLatin1Char(',')));
            for (qsizetype c = 0; c < plan.lists->size(); ++c)
                update.bind(int(c + 1), plan.lists->at(c));
            update.step();
            if (!update.error().isEmpty())
                failure = update.error();
        }
    }
    if (failure.isEmpty())
        tx.commit(&failure);
    if (!failure.isEmpty()) {
        tx.rollback();
        return failure;
    }
    // The whole file checked, and every row there.
    const QStringList integrity = file.column(QStringLiteral("PRAGMA integrity_check"));
    if (integrity != QStringList{QStringLiteral("ok")})
        return tr("the new diary failed its check: %1").arg(integrity.mid(0, 3).join(QStringLiteral("; ")));
    const qint64 days = file.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong();
    const qint64 lists = file.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION]")).toLongLong();
    if (days != plan.days.size() || lists != 1)
        return tr("the new diary holds %1 days where %2 were written").arg(days).arg(plan.days.size());
    file.close();
    return {};
}

} // namespace

keeping::MadeFile writeDiaryBeside(const ConversionPlan &plan, const QString &target, const WriteOptions &options)
{
    const QString nothing = tr("Nothing was written.");
    if (!plan.ok())
        return {{},
                tr("Rows of the file are refused (%1). %2").arg(counted(plan.refused.size(), "row", "rows"), nothing)};
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    QString failure = keeping::ensurePrivateFolder(folder);
    if (!failure.isEmpty())
        return {{}, failure + QLatin1Char(' ') + nothing};
    // A fresh name of our own in the diary's folder, so that the final rename
    // stays on one file system; the diary is made there as mealwise-setup
    // makes one, which never takes over an existing file.
    const keeping::MadeFile made = keeping::createPrivateTemp(folder, info.fileName());
    if (!made.ok())
        return {{}, made.error + QLatin1Char(' ') + nothing};
    const QString &temp = made.path;
    QFile::remove(temp);
    failure = diary::createDiary(temp, plan.asIs ? diary::RangeChecks::Off : diary::RangeChecks::On);
    if (failure.isEmpty())
        failure = fill(temp, plan, options);
    if (failure.isEmpty() && !keeping::syncFile(temp))
        failure = tr("the new diary could not be synced to the disk");
    if (!failure.isEmpty()) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        return {{}, tr("The new diary could not be made: %1. %2").arg(failure, nothing)};
    }
    return {temp, {}};
}

QString writeNewDiary(const ConversionPlan &plan, const QString &target, const WriteOptions &options)
{
    if (QFileInfo::exists(target) || keeping::isLink(target))
        return tr("%1 already exists; a conversion never writes over a file. Nothing was written.").arg(target);
    const keeping::MadeFile made = writeDiaryBeside(plan, target, options);
    if (!made.ok())
        return made.error;
    const QString &temp = made.path;
    const QString renamed = keeping::renameInto(temp, QFileInfo(target).absoluteFilePath(), false);
    if (!renamed.isEmpty()) {
        QFile::remove(temp);
        return renamed + QLatin1Char(' ') + tr("Nothing was written.");
    }
    return {};
}

} // namespace jet
