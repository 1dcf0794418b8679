#include "app/insights/insightscharts.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace insightscharts {

QChart *forestPlot(const analysis::Insights &insights, int count)
{
    std::vector<const analysis::ItemStats *> shown;
    for (const analysis::ItemStats &s : insights.items) {
        if (s.adjusted && s.adjLow && s.adjHigh && s.verdict != analysis::Verdict::Aliased)
            shown.push_back(&s);
    }
    std::sort(shown.begin(), shown.end(),
              [](const auto *a, const auto *b) { return std::abs(*a->adjusted) > std::abs(*b->adjusted); });
    if (int(shown.size()) > count)
        shown.resize(size_t(count));

    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Largest adjusted effects, with their 95% intervals"));
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("score points the day gains (+) or loses (-) after the item"));
    auto *y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    // The legend: the dot, one line per colour, the zero line; the other
    // lines of a colour keep out of it.
    const QColor disagree(192, 0, 0), agree(0, 128, 0), unclear(96, 96, 96);
    bool named[3] = {false, false, false};
    double low = -1, high = 1;
    auto *points = new QScatterSeries;
    points->setName(QStringLiteral("adjusted effect"));
    points->setMarkerSize(8);
    std::vector<QLineSeries *> unnamed;
    const int n = int(shown.size());
    for (int i = 0; i < n; ++i) {
        const analysis::ItemStats &s = *shown[size_t(i)];
        const double row = n - i; // the largest at the top
        auto *bar = new QLineSeries;
        bar->append(*s.adjLow, row);
        bar->append(*s.adjHigh, row);
        const int kind = s.verdict == analysis::Verdict::SeemsToDisagree ? 0
                         : s.verdict == analysis::Verdict::SeemsToAgree  ? 1
                                                                         : 2;
        QPen pen(kind == 0 ? disagree : kind == 1 ? agree : unclear);
        pen.setWidth(2);
        bar->setPen(pen);
        if (!named[kind]) {
            named[kind] = true;
            bar->setName(kind == 0   ? QStringLiteral("95% interval: seems to disagree")
                         : kind == 1 ? QStringLiteral("95% interval: seems to agree")
                                     : QStringLiteral("95% interval: no clear verdict"));
        } else {
            unnamed.push_back(bar);
        }
        chart->addSeries(bar);
        bar->attachAxis(x);
        bar->attachAxis(y);
        points->append(*s.adjusted, row);
        low = std::min(low, *s.adjLow);
        high = std::max(high, *s.adjHigh);
    }
    // The axis takes its categories in rising order: the smallest first.
    for (int i = n - 1; i >= 0; --i)
        y->append(shown[size_t(i)]->item, n - i);
    auto *zero = new QLineSeries;
    zero->setName(QStringLiteral("no effect (0)"));
    zero->append(0, 0);
    zero->append(0, n + 1);
    QPen dashed(Qt::black);
    dashed.setStyle(Qt::DashLine);
    zero->setPen(dashed);
    chart->addSeries(zero);
    zero->attachAxis(x);
    zero->attachAxis(y);
    chart->addSeries(points);
    points->attachAxis(x);
    points->attachAxis(y);
    for (QLineSeries *bar : unnamed) {
        for (QLegendMarker *m : chart->legend()->markers(bar))
            m->setVisible(false);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(n > 0);
    x->setRange(std::floor(low), std::ceil(high));
    // Whole score points, so that zero is a tick.
    const int span = int(std::ceil(high) - std::floor(low));
    if (span <= 12)
        x->setTickCount(span + 1);
    x->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(0, n + 1);
    return chart;
}

QChart *scoreOverTime(const analysis::Insights &insights)
{
    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Overall score over time"));
    auto *daily = new QScatterSeries;
    daily->setName(QStringLiteral("day"));
    daily->setMarkerSize(4);
    auto *week = new QLineSeries;
    week->setName(QStringLiteral("7-day mean"));
    auto *month = new QLineSeries;
    month->setName(QStringLiteral("30-day mean"));
    const std::vector<std::optional<double>> w = analysis::rollingMeans(insights.days, 7);
    const std::vector<std::optional<double>> m = analysis::rollingMeans(insights.days, 30);
    // A chart a few hundred pixels wide shows no more than about 1,500 points
    // of a line; beyond that the dots of single days are a blur and are left
    // out, and the means are drawn at every n-th day.
    constexpr size_t kMostPoints = 1500;
    const size_t step = std::max<size_t>(1, insights.days.size() / kMostPoints);
    QList<QPointF> dots, weekPoints, monthPoints;
    for (size_t i = 0; i < insights.days.size(); i += step) {
        const qreal t = qreal(insights.days[i].date.startOfDay().toMSecsSinceEpoch());
        if (step == 1 && insights.days[i].score)
            dots.append(QPointF(t, *insights.days[i].score));
        if (w[i])
            weekPoints.append(QPointF(t, *w[i]));
        if (m[i])
            monthPoints.append(QPointF(t, *m[i]));
    }
    daily->replace(dots);
    week->replace(weekPoints);
    month->replace(monthPoints);
    QPen thick(QColor(0, 90, 200));
    thick.setWidth(2);
    month->setPen(thick);
    auto *x = new QDateTimeAxis;
    // Short diaries get day labels, each day once.
    const qint64 spanDays = insights.days.empty() ? 0 : insights.days.front().date.daysTo(insights.days.back().date);
    x->setFormat(spanDays < 90 ? QStringLiteral("dd/MM") : QStringLiteral("MM/yy"));
    if (spanDays < 7)
        x->setTickCount(int(spanDays) + 3);
    auto *y = new QValueAxis;
    y->setRange(1, 10);
    y->setTickCount(10);
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : std::initializer_list<QAbstractSeries *>{daily, week, month}) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // A day's margin either side, so that one or two days are not a point.
    if (!insights.days.empty())
        x->setRange(insights.days.front().date.addDays(spanDays < 7 ? -1 : 0).startOfDay(),
                    insights.days.back().date.addDays(spanDays < 7 ? 1 : 0).startOfDay());
    return chart;
}

} // namespace insightscharts
