#pragma once

#include <QDate>
#include <QPageSize>
#include <QString>

class QPagedPaintDevice;

// A report of a range of days for the doctor: a title with the range and the
// day it was made, the score over time as a picture, a table of the days and
// the four food and medication lists. Laid out once as a QTextDocument and
// sent to a printer or a PDF. Needs a QGuiApplication (fonts), no display.
namespace keeping {

struct ReportRange
{
    QDate from, to;
    QDate today; // the day the report says it was made
};

// The default range: the 90 days ending `today`.
ReportRange defaultReportRange(const QDate &today);

// A4, or Letter where the locale measures in US units.
QPageSize localePageSize();

// Lays the report out for the device's page and prints it. Empty on success.
QString printReport(const QString &diaryPath, const ReportRange &range, QPagedPaintDevice &device);

// Writes the report as a PDF (0600, written the safe way). Empty on success.
QString writeReportPdf(const QString &diaryPath, const ReportRange &range, const QString &pdfPath);

} // namespace keeping
