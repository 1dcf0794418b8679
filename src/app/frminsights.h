#pragma once

#include "data/diarynames.h"

#include <QWidget>

#include <array>

class InsightsModel;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTextBrowser;

// Which foods, drinks and medications go with better or worse days, with the
// days that show it. It reads the diary once when it opens and again on
// Refresh, and never writes. Controls carry their member names as objectName.
class frmInsights : public QWidget
{
    Q_OBJECT
public:
    explicit frmInsights(const QString &databasePath = diary::databasePath(), QWidget *parent = nullptr);
    ~frmInsights() override;

    QComboBox *cboKind = nullptr;
    QComboBox *cboLag = nullptr;
    QLineEdit *txtSearch = nullptr;
    QTableView *tblItems = nullptr;
    QListWidget *lstEvidence = nullptr;
    QLabel *lblNote = nullptr;
    QTextBrowser *txtHowToRead = nullptr;
    QChartView *chvForest = nullptr;
    QChartView *chvScores = nullptr;
    QPushButton *cmdRefresh = nullptr;
    // "Add to adequate foods", "... irritating foods", "... reliable
    // medications", "... unsatisfactory medications", in the order of the
    // food and medication row's columns; lblAddWait says why they wait.
    std::array<QPushButton *, 4> cmdAddTo{};
    QLabel *lblAddWait = nullptr;

    InsightsModel *model() const { return m_model; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }

    void cmdRefresh_Click();
    // Appends the selected item to that list (0-3) on a new line; false with
    // a message when it is there already, would not fit or cannot be written.
    bool addToList(int list);
    void updateAddButtons();
    // The selected rows as tab-separated text, header first (what Ctrl+C copies).
    QString selectedRowsText() const;

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void compute();
    void applyKind();
    void showEvidence();
    void openEvidenceDay();

    QString m_databasePath;
    InsightsModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
};
