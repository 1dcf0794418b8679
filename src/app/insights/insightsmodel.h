#pragma once

#include "analysis/insights.h"

#include <QAbstractTableModel>

// Where the daily record window places the fields of an Evidence, by their
// labels there: "Breakfast", "Extras: beverage", "Tea: medication 2".
QString fieldPlaces(quint32 fields);

// The insights table over the computed rows: one row per item.
class InsightsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Item, Kind, Days, With, Without, Difference, Adjusted, Q, Verdict, List, ColumnCount };
    // The raw figure of a cell, for sorting.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit InsightsModel(QObject *parent = nullptr)
        : QAbstractTableModel(parent)
    {}
    void setInsights(analysis::Insights insights);
    const analysis::Insights &insights() const { return m_insights; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    analysis::Insights m_insights;
};
