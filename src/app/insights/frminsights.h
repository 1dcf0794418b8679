#pragma once

#include "data/diarynames.h"

#include <QWidget>

#include <array>
#include <memory>

class InsightsModel;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QSortFilterProxyModel;
class QTableView;
class QTextBrowser;

// Which foods, drinks and medications go with better or worse days, with the
// days that show it. It reads the diary once when it opens and again on
// Refresh, and never writes. Reading and computing run on a thread of their
// own, with a progress bar and Cancel, so that the window paints and answers
// throughout. Controls carry their member names as objectName.
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
    QProgressBar *prgCompute = nullptr;
    QPushButton *cmdCancel = nullptr;
    // The selected item's adjusted effect at lags 0, 1 and 2, side by side,
    // the item it comes with, and how it was judged.
    std::array<QLabel *, 3> lblLagEffect{};
    QLabel *lblPartner = nullptr;
    QLabel *lblJudged = nullptr;
    // "Add to adequate foods", "... irritating foods", "... reliable
    // medications", "... unsatisfactory medications", in the order of the
    // food and medication row's columns; lblAddWait says why they wait.
    std::array<QPushButton *, 4> cmdAddTo{};
    QLabel *lblAddWait = nullptr;

    InsightsModel *model() const { return m_model; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }

    void cmdRefresh_Click();
    void cmdCancel_Click();
    // True while the table is being read and computed.
    bool isComputing() const;

signals:
    // The table is computed (or the computation cancelled or failed) and shown.
    void computed();

public:
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
    void startJob();
    void jobFinished();
    void applyKind();
    void showEvidence();
    void openEvidenceDay();

    QString m_databasePath;
    InsightsModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    struct Job;
    std::shared_ptr<Job> m_job;
    QThread *m_thread = nullptr;
    QTimer *m_progressTimer = nullptr;
    bool m_computeAgain = false; // asked again while a computation ran
};
