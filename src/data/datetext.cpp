#include "data/datetext.h"

#include <QStringList>

namespace diary {

int fullYearForTwoDigits(int twoDigitYear, int currentYear)
{
    const int last = currentYear + 20; // the window's last year
    const int first = last - 99;       // and its first
    int year = (first / 100) * 100 + twoDigitYear;
    if (year < first)
        year += 100;
    return year;
}

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char(' ');
}

// Splits into runs of ASCII digits, each separated by one or more separators.
// Any other character, or a digit run over four, makes the text unreadable.
std::optional<QStringList> digitGroups(const QString &text)
{
    QStringList groups;
    QString current;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            current.append(c);
            if (current.size() > 4)
                return std::nullopt;
        } else if (isSeparator(c)) {
            if (current.isEmpty())
                return std::nullopt; // a separator at the start, or two in a row
            groups << current;
            current.clear();
        } else {
            return std::nullopt;
        }
    }
    if (current.isEmpty())
        return std::nullopt;
    groups << current;
    return groups;
}

} // namespace

std::optional<QDate> readDayFirstDate(const QString &text, int currentYear)
{
    // Collapse blanks around separators so "9 / 12 / 26" reads like "9/12/26".
    QString simplified;
    const QString trimmed = text.trimmed();
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c == QLatin1Char(' ')) {
            const QChar prev = simplified.isEmpty() ? QChar() : simplified.back();
            const QChar next = i + 1 < trimmed.size() ? trimmed.at(i + 1) : QChar();
            if (isSeparator(prev) || isSeparator(next))
                continue;
        }
        simplified.append(c);
    }
    const std::optional<QStringList> groups = digitGroups(simplified);
    if (!groups || groups->size() != 3)
        return std::nullopt;

    int day = 0;
    int month = 0;
    int year = 0;
    const QString &a = groups->at(0);
    const QString &b = groups->at(1);
    const QString &c = groups->at(2);
    if (a.size() == 4) {
        // The stored order, year first.
        if (b.size() > 2 || c.size() > 2)
            return std::nullopt;
        year = a.toInt();
        month = b.toInt();
        day = c.toInt();
    } else {
        if (a.size() > 2 || b.size() > 2 || (c.size() != 2 && c.size() != 4))
            return std::nullopt;
        day = a.toInt();
        month = b.toInt();
        year = c.size() == 2 ? fullYearForTwoDigits(c.toInt(), currentYear) : c.toInt();
    }
    if (year < 1)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> readDayFirstDate(const QString &text)
{
    return readDayFirstDate(text, QDate::currentDate().year());
}

QString showDate(const QDate &date)
{
    return date.toString(QStringLiteral("dd/MM/yy"));
}

QString storeDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString showStoredDate(const QVariant &stored)
{
    if (stored.isNull())
        return QString();
    const QString text = stored.toString();
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || text.size() != 10)
        return text;
    return showDate(date);
}

} // namespace diary
