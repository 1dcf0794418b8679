#include "keeping/report.h"

#include "analysis/diaryread.h"
#include "analysis/insights.h"
#include "data/datetext.h"
#include "data/diarycolumns.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"
#include "keeping/privatefiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

// One day as the report shows it.
struct ReportDay
{
    QDate date;
    QVariant score, bms;
    QString meals, drinks, medications, comments;
};

// What the report shows, read from the diary before anything is laid out.
struct ReportData
{
    QList<ReportDay> days;
    QStringList lists; // the four lists, in the order of diary::foodColumns()
    std::vector<analysis::ItemStats> links;
};

// At most this much of any one text goes into the report: a page of a
// narrow column. More would only take pages, and laying out a text costs
// time growing faster than its length.
constexpr qsizetype kMaxCellChars = 2000;
constexpr qsizetype kMaxCellLines = 60;

QString shortened(const QString &s)
{
    qsizetype end = std::min(s.size(), kMaxCellChars);
    qsizetype lines = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (s.at(i) == QLatin1Char('\n') && ++lines == kMaxCellLines) {
            end = i;
            break;
        }
    }
    if (end >= s.size())
        return s;
    return s.left(end) + tr("… (%1 more characters)").arg(s.size() - end);
}

QString esc(const QString &s)
{
    return shortened(s).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QString joined(const QStringList &parts)
{
    QStringList out;
    for (const QString &p : parts) {
        if (!p.trimmed().isEmpty())
            out << p.trimmed();
    }
    return out.join(QStringLiteral(", "));
}

// The columns of a statement's row by name, so that a query and the reading
// of its rows cannot fall out of step.
class ColumnsByName
{
public:
    explicit ColumnsByName(const diary::Statement &s)
        : m_s(s)
    {
        for (int c = 0; c < s.columnCount(); ++c)
            m_at.insert(s.columnName(c), c);
    }
    bool isNull(const QString &name) const
    {
        const int c = m_at.value(name, -1);
        return c < 0 || m_s.isNull(c);
    }
    QString text(const QString &name) const
    {
        return isNull(name) ? QString() : QString::fromUtf8(m_s.bytes(m_at.value(name)));
    }

private:
    const diary::Statement &m_s;
    QHash<QString, int> m_at;
};

QString selectList(const QStringList &columns)
{
    return QLatin1Char('[') + columns.join(QStringLiteral("], [")) + QLatin1Char(']');
}

// The range's days in date order, each made into the report's words.
bool readDays(diary::SqliteFile &file, const QString &diaryPath, const ReportRange &range, QList<ReportDay> *days,
              QString *error)
{
    const QStringList snacks = diary::columnNamesOf(diary::ColumnKind::Snack);
    const QStringList drinks = diary::columnNamesOf(diary::ColumnKind::Beverage);
    const QStringList medications = diary::columnNamesOf(diary::ColumnKind::Medication);
    diary::Statement s(file, QStringLiteral("SELECT ") + selectList(diary::reportFieldNames()) +
                                 QStringLiteral(" FROM records WHERE DATE >= ? AND DATE <= ? ORDER BY DATE, ID"));
    s.bind(1, diary::storeDate(range.from));
    s.bind(2, diary::storeDate(range.to));
    const ColumnsByName row(s);
    auto texts = [&row](const QStringList &names) {
        QStringList out;
        for (const QString &n : names)
            out << row.text(n);
        return out;
    };
    while (s.step()) {
        ReportDay d;
        d.date = QDate::fromString(row.text(QStringLiteral("DATE")), Qt::ISODate);
        d.score = row.isNull(QStringLiteral("OVERALL SCORE")) ? QVariant()
                                                              : QVariant(row.text(QStringLiteral("OVERALL SCORE")));
        d.bms = row.isNull(QStringLiteral("BMs")) ? QVariant() : QVariant(row.text(QStringLiteral("BMs")));
        QStringList meals;
        const QString breakfast = row.text(QStringLiteral("BREAKFAST")).trimmed();
        const QString lunch = row.text(QStringLiteral("LUNCH")).trimmed();
        const QString tea = row.text(QStringLiteral("TEA")).trimmed();
        if (!breakfast.isEmpty())
            meals << tr("Breakfast: %1").arg(breakfast);
        if (!lunch.isEmpty())
            meals << tr("Lunch: %1").arg(lunch);
        if (!tea.isEmpty())
            meals << tr("Tea: %1").arg(tea);
        const QString snacksText = joined(texts(snacks));
        if (!snacksText.isEmpty())
            meals << tr("Snacks: %1").arg(snacksText);
        d.meals = meals.join(QLatin1Char('\n'));
        d.drinks = joined(texts(drinks));
        d.medications = joined(texts(medications));
        d.comments = row.text(QStringLiteral("COMMENTS"));
        *days << d;
    }
    if (!s.error().isEmpty()) {
        *error = tr("The days of %1 could not be read: %2").arg(diaryPath, s.error());
        return false;
    }
    return true;
}

// The four lists of the diary's first list row; empty where there is none.
QStringList readLists(diary::SqliteFile &file)
{
    diary::Statement l(file, QStringLiteral("SELECT ") + selectList(diary::foodColumns()) +
                                 QStringLiteral(" FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"));
    const bool have = l.ok() && l.step();
    const ColumnsByName row(l);
    QStringList lists;
    for (const QString &c : diary::foodColumns())
        lists << (have ? row.text(c) : QString());
    return lists;
}

QImage scoreChart(const QList<ReportDay> &days, const ReportRange &range)
{
    QImage image(1800, 520, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(90, 20, 1680, 440);
    QFont f = p.font();
    f.setPixelSize(24);
    p.setFont(f);
    p.setPen(QColor(200, 200, 200));
    for (int s = 1; s <= 10; ++s) {
        const double y = plot.bottom() - (s - 1) / 9.0 * plot.height();
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - 14, 80, 28), Qt::AlignRight | Qt::AlignVCenter, QString::number(s));
        p.setPen(QColor(200, 200, 200));
    }
    p.setPen(Qt::black);
    p.drawRect(plot);
    const qint64 span = std::max<qint64>(1, range.from.daysTo(range.to));
    p.drawText(QRectF(plot.left(), plot.bottom() + 8, 400, 40), Qt::AlignLeft, diary::showDate(range.from));
    p.drawText(QRectF(plot.right() - 400, plot.bottom() + 8, 400, 40), Qt::AlignRight, diary::showDate(range.to));
    QPainterPath path;
    bool started = false;
    QList<QPointF> points;
    for (const ReportDay &d : days) {
        bool ok = false;
        const int s = d.score.toInt(&ok);
        if (!ok || !d.date.isValid())
            continue;
        const double x = plot.left() + double(range.from.daysTo(d.date)) / double(span) * plot.width();
        const double y = plot.bottom() - (std::clamp(s, 1, 10) - 1) / 9.0 * plot.height();
        points << QPointF(x, y);
        if (!started)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
        started = true;
    }
    p.setPen(QPen(QColor(40, 90, 170), 4));
    p.drawPath(path);
    p.setBrush(QColor(40, 90, 170));
    if (points.size() <= 120) {
        for (const QPointF &pt : points)
            p.drawEllipse(pt, 6, 6);
    }
    return image;
}

// The items whose verdict is a clear link, from the range's days only, at
// the insights' default lag (the next day's score).
std::vector<analysis::ItemStats> clearLinks(const QString &diaryPath, const ReportRange &range, QString *error)
{
    analysis::DiaryContents contents = analysis::readDiaryContents(diaryPath);
    if (!contents.error.isEmpty()) {
        *error = contents.error;
        return {};
    }
    std::vector<analysis::DiaryDay> inRange;
    for (analysis::DiaryDay &d : contents.rows) {
        const std::optional<QDate> date = analysis::storedDay(d.date);
        if (date && *date >= range.from && *date <= range.to)
            inRange.push_back(std::move(d));
    }
    const analysis::Insights insights = analysis::computeInsights(inRange, contents.lists);
    std::vector<analysis::ItemStats> links;
    for (const analysis::ItemStats &s : insights.items) {
        if (s.verdict == analysis::Verdict::SeemsToAgree || s.verdict == analysis::Verdict::SeemsToDisagree)
            links.push_back(s);
    }
    return links;
}

QString figure(const std::optional<double> &v)
{
    return v ? QString::number(*v, 'f', 2) : QString();
}

// Everything the report shows, or nothing with the reason in `error`.
std::optional<ReportData> readReport(const QString &diaryPath, const ReportRange &range, QString *error)
{
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true)) {
        *error = tr("The diary %1 could not be opened: %2").arg(diaryPath, file.lastError());
        return std::nullopt;
    }
    ReportData data;
    if (!readDays(file, diaryPath, range, &data.days, error))
        return std::nullopt;
    data.lists = readLists(file);
    data.links = clearLinks(diaryPath, range, error);
    if (!error->isEmpty())
        return std::nullopt;
    return data;
}

// A document of the report's font and wrapping, on pages of `page`.
std::unique_ptr<QTextDocument> newDocument(const QSizeF &page)
{
    auto d = std::make_unique<QTextDocument>();
    QTextOption option = d->defaultTextOption();
    // A long word wraps inside its cell rather than running off the page.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    d->setDefaultTextOption(option);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    d->setDefaultFont(font);
    d->setPageSize(page);
    return d;
}

// The report's parts one after another. Rows are measured one by one and a
// table is cut between them where the next row would cross the foot of the
// page; `m_used` carries the height taken on the current page from one part
// to the next.
class PageFiller
{
public:
    PageFiller(const QSizeF &page, const QString &head)
        : m_page(page)
        , m_body((page.height() - 2 * newDocument(page)->documentMargin()) * 0.97)
        , m_html(head)
        , m_used(heightOf(head))
    {}

    double heightOf(const QString &html) const
    {
        auto d = newDocument(m_page);
        d->setPageSize(QSizeF(m_page.width(), 1e9)); // one long page: no breaks
        d->setHtml(html);
        return d->size().height() - 2 * d->documentMargin();
    }

    // `title` (a heading and its words) goes with the table: the two start
    // a page of their own, so that what stands above, which runs on over
    // pages as it likes, cannot throw the measure of the rows out.
    template <typename Start, typename Rows, typename RowOf>
    void addTable(const QString &title, const Start &start, const Rows &rows, const RowOf &rowOf)
    {
        const QString tableEnd = QStringLiteral("</table>");
        const double headerOnly = heightOf(start(false) + tableEnd);
        bool open = false;
        int rowsOnPage = 0;
        for (const auto &r : rows) {
            const QString row = rowOf(r);
            const double rowHeight = heightOf(start(false) + row + tableEnd) - headerOnly;
            if (!open) {
                if (m_used > 0)
                    m_html += QStringLiteral("<div style=\"page-break-before: always\"></div>");
                m_html += title + start(false);
                m_used = heightOf(title) + headerOnly;
                open = true;
            } else if (rowsOnPage > 0 && m_used + rowHeight > m_body) {
                m_html += tableEnd + start(true);
                m_used = headerOnly;
                rowsOnPage = 0;
            }
            m_html += row;
            m_used += rowHeight;
            ++rowsOnPage;
        }
        if (open)
            m_html += tableEnd;
    }

    void addText(const QString &part)
    {
        m_html += part;
        m_used += heightOf(part);
        // Text runs on over the foot of the page; it goes on from the top.
        while (m_used > m_body)
            m_used -= m_body;
    }

    const QString &html() const { return m_html; }

private:
    QSizeF m_page;
    double m_body;
    QString m_html;
    double m_used;
};

QString tableStart(const QStringList &headers, const QList<int> &widths, bool breakBefore)
{
    QString row;
    for (qsizetype i = 0; i < headers.size(); ++i)
        row += QStringLiteral("<th width=\"%1%\">%2</th>").arg(widths[i]).arg(esc(headers[i]));
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"%1><tr>%2</tr>")
        .arg(breakBefore ? QStringLiteral(" style=\"page-break-before: always\"") : QString(), row);
}

QString tableRow(const QStringList &cells)
{
    QString row = QStringLiteral("<tr>");
    for (const QString &c : cells)
        row += QStringLiteral("<td>") + c + QStringLiteral("</td>");
    return row + QStringLiteral("</tr>");
}

// The report as HTML for pages of `page`: the head with the chart, the clear
// links, the days and the lists.
QString layOutReport(const ReportData &data, const ReportRange &range, const QSizeF &page)
{
    // Two-digit years say which day only within one century.
    const bool longYears = range.from.year() / 100 != range.to.year() / 100;
    auto dateText = [longYears](const QDate &d) {
        return !d.isValid() ? QString() : longYears ? d.toString(QStringLiteral("dd/MM/yyyy")) : diary::showDate(d);
    };
    const int chartWidth = int(std::min(640.0, page.width() - 24));
    QString head;
    head += QStringLiteral("<h1>%1</h1>").arg(esc(tr("MEALWISE diary report")));
    head +=
        QStringLiteral("<p><b>%1</b><br>%2</p>")
            .arg(esc(tr("Days from %1 to %2")
                         .arg(longYears ? range.from.toString(QStringLiteral("dd/MM/yyyy"))
                                        : diary::showDate(range.from),
                              longYears ? range.to.toString(QStringLiteral("dd/MM/yyyy")) : diary::showDate(range.to))),
                 esc(data.days.size() == 1
                         ? tr("Made on %1; 1 day recorded in the range.").arg(diary::showDate(range.today))
                         : tr("Made on %1; %2 days recorded in the range.")
                               .arg(diary::showDate(range.today))
                               .arg(data.days.size())));
    head += QStringLiteral("<h2>%1</h2>").arg(esc(tr("Overall score over time")));
    head += QStringLiteral("<p><img src=\"mealwise:score-chart\" width=\"%1\" height=\"%2\"></p>")
                .arg(chartWidth)
                .arg(chartWidth * 520 / 1800);
    PageFiller pages(page, head);

    // What the diary itself suggests comes before the days it rests on.
    const QString linksTitle =
        QStringLiteral("<h2>%1</h2><p>%2</p>")
            .arg(esc(tr("Items that seem to agree or disagree")),
                 esc(tr("Each item is judged by the next day's overall score in one model of all items together, which "
                        "allows for what was eaten the two days before, for slow changes over the months and for good "
                        "and bad days coming in runs: the adjusted effect is how much higher (or lower) the next day "
                        "scores with the item, other things equal, with its 95% interval.")));
    if (data.links.empty()) {
        pages.addText(linksTitle);
        pages.addText(QStringLiteral("<p>%1</p>")
                          .arg(esc(tr("No item showed a clear link with the next day's score in this range."))));
    } else {
        const QStringList headers{tr("Item"), tr("Kind"), tr("Days"), tr("Adjusted effect (95% interval)"),
                                  tr("Verdict")};
        auto start = [&headers](bool breakBefore) { return tableStart(headers, {34, 12, 8, 28, 18}, breakBefore); };
        auto rowOf = [](const analysis::ItemStats &s) {
            // The verdict rests on the adjusted effect, so that is what stands
            // beside it; the plain difference could point the other way.
            const QString difference =
                s.adjLow && s.adjHigh ? tr("%1 (%2 to %3)").arg(figure(s.adjusted), figure(s.adjLow), figure(s.adjHigh))
                                      : figure(s.adjusted);
            // An item that nearly always comes with another says so: its link may be the other's.
            const QString partner =
                analysis::partnerText(s).isEmpty()
                    ? QString()
                    : QStringLiteral("<br/>") + esc(tr("eaten with %1 on %2% of its days")
                                                        .arg(s.partner)
                                                        .arg(int(std::floor(s.partnerShare * 100 + 0.5))));
            return tableRow({esc(s.item), esc(analysis::kindName(s.kind)), QString::number(s.days), esc(difference),
                             esc(analysis::verdictText(s.verdict)) + partner});
        };
        pages.addTable(linksTitle, start, data.links, rowOf);
    }
    pages.addText(
        QStringLiteral("<p><i>%1</i></p>")
            .arg(esc(tr("A link is not proof: an item that goes with better or worse days need not be their cause."))));

    const QString daysTitle = QStringLiteral("<h2>%1</h2>").arg(esc(tr("The days")));
    if (data.days.isEmpty()) {
        pages.addText(daysTitle);
    } else {
        const QStringList headers{tr("Date"),   tr("Score"),       tr("BMs"),     tr("Meals"),
                                  tr("Drinks"), tr("Medications"), tr("Comments")};
        auto start = [&headers](bool breakBefore) {
            return tableStart(headers, {11, 8, 6, 28, 13, 16, 18}, breakBefore);
        };
        auto rowOf = [&dateText](const ReportDay &d) {
            return tableRow({esc(dateText(d.date)), esc(d.score.toString()), esc(d.bms.toString()), esc(d.meals),
                             esc(d.drinks), esc(d.medications), esc(d.comments)});
        };
        pages.addTable(daysTitle, start, data.days, rowOf);
    }

    QString html = pages.html();
    html += QStringLiteral("<h2>%1</h2>").arg(esc(tr("Food and medication lists")));
    const QStringList titles{tr("Adequate food"), tr("Irritable food"), tr("Reliable medication"),
                             tr("Unsatisfactory medication")};
    for (int c = 0; c < 4; ++c)
        html += QStringLiteral("<h3>%1</h3><p>%2</p>")
                    .arg(esc(titles[c]), esc(data.lists[c].isEmpty() ? tr("(empty)") : data.lists[c]));
    return html;
}
} // namespace

ReportRange defaultReportRange(const QDate &today)
{
    return ReportRange{today.addDays(-89), today, today};
}

QPageSize localePageSize()
{
    const QLocale locale;
    if (locale.measurementSystem() == QLocale::ImperialUSSystem || locale.territory() == QLocale::Canada)
        return QPageSize(QPageSize::Letter);
    return QPageSize(QPageSize::A4);
}

namespace {

// The report laid out on pages of `page` (document units, 96 per inch): the
// table of days is cut into one table per page between rows, so that no row
// is split across pages.
std::unique_ptr<QTextDocument> buildReport(const QString &diaryPath, const ReportRange &range, const QSizeF &page,
                                           QString *error)
{
    const std::optional<ReportData> data = readReport(diaryPath, range, error);
    if (!data)
        return nullptr;
    auto doc = newDocument(page);
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("mealwise:score-chart")),
                     scoreChart(data->days, range));
    doc->setHtml(layOutReport(*data, range, page));
    return doc;
}

} // namespace

QString printReport(const QString &diaryPath, const ReportRange &range, QPagedPaintDevice &device)
{
    // Document units are 96 to the inch; the device's paint rectangle in
    // points is 72 to the inch.
    const QSizeF points = device.pageLayout().paintRectPoints().size();
    QString error;
    std::unique_ptr<QTextDocument> doc =
        buildReport(diaryPath, range, QSizeF(points.width() * 96.0 / 72.0, points.height() * 96.0 / 72.0), &error);
    if (!doc)
        return error;
    doc->print(&device);
    return {};
}

QString writeReportPdf(const QString &diaryPath, const ReportRange &range, const QString &pdfPath)
{
    QByteArray bytes;
    QString error;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(localePageSize());
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("MEALWISE diary report"));
        writer.setCreator(QStringLiteral("MEALWISE"));
        error = printReport(diaryPath, range, writer);
    }
    if (!error.isEmpty())
        return error;
    return writePrivateFile(pdfPath, bytes);
}

} // namespace keeping
