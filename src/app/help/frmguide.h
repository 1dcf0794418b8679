#pragma once

#include <QWidget>

class QPushButton;
class QTextBrowser;

// The user guide: a short text bundled with the program, read offline.
class frmGuide : public QWidget
{
    Q_OBJECT
public:
    explicit frmGuide(QWidget *parent = nullptr);

    QTextBrowser *txtGuide = nullptr;
    QPushButton *cmdClose = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
