#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The About box: what this program is, its licence, what it runs on and
// which diary it reads.
class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(const QString &databasePath, QWidget *parent = nullptr);

    // The text shown, plain, for a test or a bug report.
    static QString aboutText(const QString &databasePath);

    QLabel *lblAbout = nullptr;
    QPushButton *cmdClose = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
