#include "keeping/report.h"

#include "analysis/diaryread.h"
#include "analysis/insights.h"
#include "data/datetext.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"
#include "keeping/privatefiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>
#include <algorithm>

#include <QUrl>
#include <cmath>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

struct ReportDay
{
    QDate date;
    QVariant score, bms;
    QString meals, drinks, medications, comments;
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

std::unique_ptr<QTextDocument> buildReport(const QString &diaryPath, const ReportRange &range, const QSizeF &page,
                                           QString *error)
{
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true)) {
        *error = tr("The diary %1 could not be opened: %2").arg(diaryPath, file.lastError());
        return nullptr;
    }
    QList<ReportDay> days;
    {
        diary::Statement s(
            file,
            QStringLiteral("SELECT DATE, [OVERALL SCORE], BMs, BREAKFAST, LUNCH, TEA, SNACK1, SNACK2, SNACK3, SNACK4, "
                           "BEVERAGE1, BEVERAGE2, BEVERAGE3, BEVERAGE4, MEDICATION1, MEDICATION2, MEDICATION3, "
                           "MEDICATION4, MEDICATION5, MEDICATION6, MEDICATION7, MEDICATION8, MEDICATION9, COMMENTS "
                           "FROM records WHERE DATE >= ? AND DATE <= ? ORDER BY DATE, ID"));
        s.bind(1, diary::storeDate(range.from));
        s.bind(2, diary::storeDate(range.to));
        auto text = [&](int c) { return s.isNull(c) ? QString() : QString::fromUtf8(s.bytes(c)); };
        while (s.step()) {
            ReportDay d;
            d.date = QDate::fromString(text(0), Qt::ISODate);
            d.score = s.isNull(1) ? QVariant() : QVariant(text(1));
            d.bms = s.isNull(2) ? QVariant() : QVariant(text(2));
            QStringList meals;
            if (!text(3).trimmed().isEmpty())
                meals << tr("Breakfast: %1").arg(text(3).trimmed());
            if (!text(4).trimmed().isEmpty())
                meals << tr("Lunch: %1").arg(text(4).trimmed());
            if (!text(5).trimmed().isEmpty())
                meals << tr("Tea: %1").arg(text(5).trimmed());
            const QString snacks = joined({text(6), text(7), text(8), text(9)});
            if (!snacks.isEmpty())
                meals << tr("Snacks: %1").arg(snacks);
            d.meals = meals.join(QLatin1Char('\n'));
            d.drinks = joined({text(10), text(11), text(12), text(13)});
            QStringList meds;
            for (int c = 14; c <= 22; ++c)
                meds << text(c);
            d.medications = joined(meds);
            d.comments = text(23);
            days << d;
        }
        if (!s.error().isEmpty()) {
            *error = tr("The days of %1 could not be read: %2").arg(diaryPath, s.error());
            return nullptr;
        }
    }
    QStringList lists;
    {
        diary::Statement l(
            file, QStringLiteral("SELECT [ADEQUATE FOOD], [IRRITABLE FOOD], [RELIABLE MEDICATION], "
                                 "[UNSATISFACTORY MEDICATION] FROM [FOOD AND MEDICATION] ORDER BY rowid LIMIT 1"));
        const bool have = l.ok() && l.step();
        for (int c = 0; c < 4; ++c)
            lists << (have && !l.isNull(c) ? QString::fromUtf8(l.bytes(c)) : QString());
    }
    const std::vector<analysis::ItemStats> links = clearLinks(diaryPath, range, error);
    if (!error->isEmpty())
        return nullptr;

    auto makeDoc = [&page] {
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
    };
    auto heightOf = [&](const QString &html) {
        auto d = makeDoc();
        d->setPageSize(QSizeF(page.width(), 1e9)); // one long page: no breaks
        d->setHtml(html);
        return d->size().height() - 2 * d->documentMargin();
    };

    const int chartWidth = int(std::min(640.0, page.width() - 24));
    QString head;
    head += QStringLiteral("<h1>%1</h1>").arg(esc(tr("MEALWISE diary report")));
    head +=
        QStringLiteral("<p><b>%1</b><br>%2</p>")
            .arg(esc(tr("Days from %1 to %2")
                         .arg(range.from.year() / 100 != range.to.year() / 100
                                  ? range.from.toString(QStringLiteral("dd/MM/yyyy"))
                                  : diary::showDate(range.from),
                              range.from.year() / 100 != range.to.year() / 100
                                  ? range.to.toString(QStringLiteral("dd/MM/yyyy"))
                                  : diary::showDate(range.to))),
                 esc(days.size() == 1 ? tr("Made on %1; 1 day recorded in the range.").arg(diary::showDate(range.today))
                                      : tr("Made on %1; %2 days recorded in the range.")
                                            .arg(diary::showDate(range.today))
                                            .arg(days.size())));
    head += QStringLiteral("<h2>%1</h2>").arg(esc(tr("Overall score over time")));
    head += QStringLiteral("<p><img src=\"mealwise:score-chart\" width=\"%1\" height=\"%2\"></p>")
                .arg(chartWidth)
                .arg(chartWidth * 520 / 1800);
    auto tableStart = [&](bool breakBefore) {
        return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"%8>"
                              "<tr><th width=\"11%\">%1</th><th width=\"8%\">%2</th><th width=\"6%\">%3</th>"
                              "<th width=\"28%\">%4</th><th width=\"13%\">%5</th><th width=\"16%\">%6</th>"
                              "<th width=\"18%\">%7</th></tr>")
            .arg(esc(tr("Date")), esc(tr("Score")), esc(tr("BMs")), esc(tr("Meals")), esc(tr("Drinks")),
                 esc(tr("Medications")), esc(tr("Comments")),
                 breakBefore ? QStringLiteral(" style=\"page-break-before: always\"") : QString());
    };
    // Two-digit years say which day only within one century.
    const bool longYears = range.from.year() / 100 != range.to.year() / 100;
    auto dateText = [longYears](const QDate &d) {
        return !d.isValid() ? QString() : longYears ? d.toString(QStringLiteral("dd/MM/yyyy")) : diary::showDate(d);
    };
    auto rowHtml = [&](const ReportDay &d) {
        return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td></tr>")
            .arg(esc(dateText(d.date)), esc(d.score.toString()), esc(d.bms.toString()), esc(d.meals), esc(d.drinks),
                 esc(d.medications), esc(d.comments));
    };
    auto linkTableStart = [&](bool breakBefore) {
        return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"%6>"
                              "<tr><th width=\"34%\">%1</th><th width=\"12%\">%2</th><th width=\"8%\">%3</th>"
                              "<th width=\"28%\">%4</th><th width=\"18%\">%5</th></tr>")
            .arg(esc(tr("Item")), esc(tr("Kind")), esc(tr("Days")), esc(tr("Adjusted effect (95% interval)")),
                 esc(tr("Verdict")), breakBefore ? QStringLiteral(" style=\"page-break-before: always\"") : QString());
    };
    // An item that nearly always comes with another says so: its link may be the other's.
    auto partnerLine = [&](const analysis::ItemStats &s) -> QString {
        if (analysis::partnerText(s).isEmpty())
            return QString();
        return QStringLiteral("<br/>") + esc(tr("eaten with %1 on %2% of its days")
                                                 .arg(s.partner)
                                                 .arg(int(std::floor(s.partnerShare * 100 + 0.5))));
    };
    auto linkRowHtml = [&](const analysis::ItemStats &s) {
        // The verdict rests on the adjusted effect, so that is what stands
        // beside it; the plain difference could point the other way.
        const QString difference =
            s.adjLow && s.adjHigh ? tr("%1 (%2 to %3)").arg(figure(s.adjusted), figure(s.adjLow), figure(s.adjHigh))
                                  : figure(s.adjusted);
        return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
            .arg(esc(s.item), esc(analysis::kindName(s.kind)), QString::number(s.days), esc(difference),
                 esc(analysis::verdictText(s.verdict)) + partnerLine(s));
    };
    const QString tableEnd = QStringLiteral("</table>");

    // Rows are measured one by one and a table is cut between them where the
    // next row would cross the foot of the page; `used` carries the height
    // taken on the current page from one part to the next.
    const double margin = makeDoc()->documentMargin();
    const double body = (page.height() - 2 * margin) * 0.97;
    QString html = head;
    double used = heightOf(head);
    // `title` (a heading and its words) goes with the table: the two start
    // a page of their own, so that what stands above, which runs on over
    // pages as it likes, cannot throw the measure of the rows out.
    auto addTable = [&](const QString &title, const auto &start, const auto &rows, const auto &rowOf) {
        const double headerOnly = heightOf(start(false) + tableEnd);
        bool open = false;
        int rowsOnPage = 0;
        for (const auto &r : rows) {
            const QString row = rowOf(r);
            const double rowHeight = heightOf(start(false) + row + tableEnd) - headerOnly;
            if (!open) {
                if (used > 0)
                    html += QStringLiteral("<div style=\"page-break-before: always\"></div>");
                html += title + start(false);
                used = heightOf(title) + headerOnly;
                open = true;
            } else if (rowsOnPage > 0 && used + rowHeight > body) {
                html += tableEnd + start(true);
                used = headerOnly;
                rowsOnPage = 0;
            }
            html += row;
            used += rowHeight;
            ++rowsOnPage;
        }
        if (open)
            html += tableEnd;
    };
    auto addText = [&](const QString &part) {
        html += part;
        used += heightOf(part);
        // Text runs on over the foot of the page; it goes on from the top.
        while (used > body)
            used -= body;
    };

    // What the diary itself suggests comes before the days it rests on.
    const QString linksTitle =
        QStringLiteral("<h2>%1</h2><p>%2</p>")
            .arg(esc(tr("Items that seem to agree or disagree")),
                 esc(tr("Each item is judged by the next day's overall score in one model of all items together, which "
                        "allows for what was eaten the two days before, for slow changes over the months and for good "
                        "and bad days coming in runs: the adjusted effect is how much higher (or lower) the next day "
                        "scores with the item, other things equal, with its 95% interval.")));
    if (links.empty()) {
        addText(linksTitle);
        addText(QStringLiteral("<p>%1</p>")
                    .arg(esc(tr("No item showed a clear link with the next day's score in this range."))));
    } else {
        addTable(linksTitle, linkTableStart, links, linkRowHtml);
    }
    addText(
        QStringLiteral("<p><i>%1</i></p>")
            .arg(esc(tr("A link is not proof: an item that goes with better or worse days need not be their cause."))));

    const QString daysTitle = QStringLiteral("<h2>%1</h2>").arg(esc(tr("The days")));
    if (days.isEmpty())
        addText(daysTitle);
    else
        addTable(daysTitle, tableStart, days, rowHtml);
    html += QStringLiteral("<h2>%1</h2>").arg(esc(tr("Food and medication lists")));
    const QStringList titles{tr("Adequate food"), tr("Irritable food"), tr("Reliable medication"),
                             tr("Unsatisfactory medication")};
    for (int c = 0; c < 4; ++c)
        html += QStringLiteral("<h3>%1</h3><p>%2</p>")
                    .arg(esc(titles[c]), esc(lists[c].isEmpty() ? tr("(empty)") : lists[c]));
    auto doc = makeDoc();
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("mealwise:score-chart")),
                     scoreChart(days, range));
    doc->setHtml(html);
    return doc;
}

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
