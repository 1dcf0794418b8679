#pragma once

#include <QWidget>

class Adodc;
class RowSet;
class QLabel;
class QPushButton;

// What both entry windows share: the record navigator datPrimaryRS, the
// command handlers, the navigator's event handlers and the unload handler.
//
// Handlers that work on the row set trap their failures: the first failing
// step ends the handler and its description alone is shown. A failure the
// navigator meets by itself arrives through datPrimaryRS_Error.
//
// Closing never asks and is never refused, but what is pending is written
// first (from Close, the close box, or the main window closing every window);
// a write that fails is reported and the window closes all the same.
class BoundEntryWindow : public QWidget
{
    Q_OBJECT
public:
    ~BoundEntryWindow() override;

    Adodc *datPrimaryRS = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdClose = nullptr;

    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdUpdate_Click();
    void cmdClose_Click();
    void Form_Unload();
    void datPrimaryRS_MoveComplete();
    void datPrimaryRS_WillChangeRecord(int reason, bool *cancel);
    void datPrimaryRS_Error(const QString &description);

    // While the program is being ended without anyone to answer (the session
    // ends, a signal), a change that cannot be written on closing is kept in
    // the diary's recovery file instead of being shown, so nothing waits.
    static void setClosingUnattended(bool unattended);
    static bool closingUnattended();
    // Each pending row's changed fields and their values, for a person to
    // type in again.
    static QString describePending(const RowSet &rows);

protected:
    explicit BoundEntryWindow(QWidget *parent = nullptr);

    // Joins the navigator's events to the handlers; call before it opens.
    void connectNavigator();
    // The trap: shows a failure's description alone.
    void trapped(const QString &description);
    // Fixed client size in pixels, frame without minimise or maximise box.
    void setFixedClientSize(const QSize &size);
    // The window's picture, "Image1", over `twips`: `draw` makes it at the
    // control's size in device-independent pixels and the device pixel ratio.
    QLabel *makeBackdrop(const QRect &twips, QPixmap (*draw)(QSize size, qreal dpr));

    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    static bool s_unattended;
    bool m_unloaded = false;
    bool m_centred = false;
};
