#pragma once

#include "keeping/exchangecolumns.h"

#include <QByteArray>
#include <QDate>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>

// The days out of the diary as CSV or JSON, each text repaired to UTF-8.
namespace keeping {

struct ExportOptions
{
    Format format = Format::Csv;
    QDate from, to;                  // either may be left invalid: no bound there
    std::optional<QSet<qint64>> ids; // only these days (what the column filters show)
};

struct ExportResult
{
    QByteArray bytes;
    int days = 0;
    int repairedTexts = 0; // texts holding bytes that were not UTF-8, written with U+FFFD
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// In date order, then by ID.
ExportResult exportDays(const QString &diaryPath, const ExportOptions &options);

// The first and the last calendar day among the days an export with these
// options would write (days whose DATE is no yyyy-MM-dd day do not count);
// nothing when there is none or the diary cannot be read.
std::optional<std::pair<QDate, QDate>> exportedDayRange(const QString &diaryPath, const ExportOptions &options);

} // namespace keeping
