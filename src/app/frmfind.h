#pragma once

#include <QPointer>
#include <QWidget>

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

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void find(bool forward);

    QPointer<vb::FlexGrid> m_grid;
};
