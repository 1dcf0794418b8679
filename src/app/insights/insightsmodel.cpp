#include "app/insights/insightsmodel.h"

#include <QBrush>
#include <QColor>

namespace {
QString figure(const std::optional<double> &v, int decimals = 2)
{
    if (!v)
        return QString();
    const QString text = QString::number(*v, 'f', decimals);
    // A figure that rounds to zero is not shown signed.
    return text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2 ? text.mid(1) : text;
}
QVariant raw(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant();
}
} // namespace

QString fieldPlaces(quint32 fields)
{
    // In itemFields() order.
    static const char *places[analysis::kItemFieldCount] = {
        "Breakfast",
        "Lunch",
        "Tea",
        "Breakfast: snack",
        "Lunch: snack",
        "Tea: snack",
        "Extras: snack",
        "Breakfast: beverage",
        "Lunch: beverage",
        "Tea: beverage",
        "Extras: beverage",
        "Breakfast: medication 1",
        "Lunch: medication 1",
        "Tea: medication 1",
        "Breakfast: medication 2",
        "Breakfast: medication 3",
        "Lunch: medication 2",
        "Lunch: medication 3",
        "Tea: medication 2",
        "Tea: medication 3",
    };
    QStringList names;
    for (int f = 0; f < analysis::kItemFieldCount; ++f) {
        if (fields & (1u << f))
            names << QLatin1String(places[f]);
    }
    return names.join(QStringLiteral(", "));
}

void InsightsModel::setInsights(analysis::Insights insights)
{
    beginResetModel();
    m_insights = std::move(insights);
    endResetModel();
}

int InsightsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_insights.items.size());
}

int InsightsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InsightsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const analysis::ItemStats &s = m_insights.items[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Item:
            return s.item;
        case Kind:
            return analysis::kindName(s.kind);
        case Days:
            return s.days;
        case With:
            return figure(s.withMean);
        case Without:
            return figure(s.withoutMean);
        case Difference:
            if (!s.difference)
                return QString();
            if (s.ciLow && s.ciHigh)
                return QStringLiteral("%1 (%2 to %3)").arg(figure(s.difference), figure(s.ciLow), figure(s.ciHigh));
            return figure(s.difference);
        case Adjusted:
            if (s.adjusted && s.adjLow && s.adjHigh)
                return QStringLiteral("%1 (%2 to %3)").arg(figure(s.adjusted), figure(s.adjLow), figure(s.adjHigh));
            return figure(s.adjusted);
        case Q:
            if (!s.q)
                return QString();
            return *s.q < 0.001 ? QStringLiteral("< 0.001") : QString::number(*s.q, 'g', 3);
        case Verdict:
            return analysis::verdictText(s.verdict);
        case List: {
            QString list = analysis::listNames(s.lists);
            return s.contradicts ? list + QStringLiteral(" (contradicts)") : list;
        }
        default:
            break;
        }
    } else if (role == SortRole) {
        switch (index.column()) {
        case Days:
            return s.days;
        case With:
            return raw(s.withMean);
        case Without:
            return raw(s.withoutMean);
        case Difference:
            return raw(s.difference);
        case Adjusted:
            return raw(s.adjusted);
        case Q:
            return raw(s.q);
        default:
            return data(index, Qt::DisplayRole);
        }
    } else if (role == Qt::ToolTipRole && index.column() == Item) {
        return s.item;
    } else if (role == Qt::ToolTipRole && index.column() == Verdict && s.verdict == analysis::Verdict::Aliased) {
        return tr("cannot be told apart from %1").arg(s.aliasedWith);
    } else if (role == Qt::ForegroundRole && index.column() == List && s.contradicts) {
        return QBrush(QColor(192, 0, 0));
    } else if (role == Qt::TextAlignmentRole && index.column() >= Days && index.column() <= Q) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant InsightsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    // Short headers, so that every column fits at the window's own size; the
    // tooltip says the rest.
    static const char *names[] = {
        "Item", "Kind",    "Days", "With", "Without", "Difference (95% interval)", "Adjusted (95% interval)",
        "q",    "Verdict", "List"};
    static const char *tips[] = {
        nullptr,
        nullptr,
        "Days that held the item and have a score to compare",
        "Mean score of those days",
        "Mean score of every other day",
        "With less without, a plain first look, with Welch's 95% interval",
        "The model's effect in score points, other things equal, with its 95% interval: what the verdict reads",
        "Allows for testing many items at once; a verdict needs q below 0.10",
        nullptr,
        "Your own lists that hold the item; (contradicts) where the verdict goes against one",
    };
    if (role == Qt::DisplayRole)
        return QLatin1String(names[section]);
    if (role == Qt::ToolTipRole && tips[section])
        return QLatin1String(tips[section]);
    return {};
}
