#pragma once

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vb {
class FlexGrid;
}

// The main window's find window: moves the grid to the next or the previous
// day shown whose cells hold the typed text. Modeless, one per main window;
// it joins the open windows, so closing the main window closes it.
//
// Controls by objectName: "txtFind", "cmdFindNext" (the default button, so
// Enter finds the next), "cmdFindPrevious", "cmdClose", "lblStatus".
class frmFind : public QWidget
{
    Q_OBJECT
public:
    explicit frmFind(vb::FlexGrid *grid, QWidget *parent = nullptr);
    ~frmFind() override;

    QLineEdit *txtFind = nullptr;
    QPushButton *cmdFindNext = nullptr;
    QPushButton *cmdFindPrevious = nullptr;
    QPushButton *cmdClose = nullptr;
    QLabel *lblStatus = nullptr;

    void cmdFindNext_Click();
    void cmdFindPrevious_Click();
    // What lblStatus says after a find: "found on 21/08/26 in LUNCH".
    static QString foundText(const QString &date, const QString &column);
    // The DATE a day holds in the diary, by its ID; asked where the grid
    // shows no dd/MM/yy day (a ranking query of an earlier version cuts
    // other texts into pieces), so that the window says it as stored.
    void setStoredDate(std::function<QVariant(qint64 id)> lookup) { m_storedDate = std::move(lookup); }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void find(bool forward);

    QPointer<vb::FlexGrid> m_grid;
    std::function<QVariant(qint64 id)> m_storedDate;
};
