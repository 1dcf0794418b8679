#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The days deleted from the diary, waiting in its bin: each with its date,
// score, meals and when it was deleted. The selected days go back into the
// diary with their own ID where it is free; "Empty the bin" removes them all
// for good after a question. It joins the program's open windows, so Exit
// closes it like the others.
class frmBin : public QWidget
{
    Q_OBJECT
public:
    explicit frmBin(const QString &diaryPath, QWidget *parent = nullptr);
    void refresh();
    QLabel *lblSummary = nullptr;
    QTableView *lstDeleted = nullptr;
    QPushButton *cmdPutBack = nullptr;
    QPushButton *cmdEmpty = nullptr;
    QPushButton *cmdClose = nullptr;
    QStandardItemModel *model() const { return m_model; }

signals:
    // Days went back into the diary; the main window reads its ranking again.
    void daysPutBack();

private:
    void cmdPutBack_Click();
    void cmdEmpty_Click();
    void updateButtons();
    QString m_diaryPath;
    QStandardItemModel *m_model = nullptr;
};
