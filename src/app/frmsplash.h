#pragma once

#include <QWidget>

class QFrame;
class QLabel;

// The start-up window: the title, its version and "Now Loading....", shown
// while the main window loads behind it. It has no title bar and ignores the
// user; only the start procedure closes it.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    // The one shared instance, created on first use.
    static frmSplash *instance();
    ~frmSplash() override;

    // Closes the window for good.
    void unload();

    QLabel *Label1 = nullptr;
    QLabel *lblProductName = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *Label12 = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *fraMainFrame = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    frmSplash();
    void Form_Load();
    bool m_unloading = false;
};
