#pragma once

#include "keeping/exchange.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The windows of the diary's keeping: the list of backups to restore from,
// and the preview of an import. Both join the program's open windows, so
// Exit closes them like the others.

// Lists the backups with their time, days, first and last date and size, and
// offers another file. Restoring is the main window's job: it is asked by
// restoreRequested once the user said yes.
class frmRestore : public QWidget
{
    Q_OBJECT
public:
    explicit frmRestore(const QString &diaryPath, QWidget *parent = nullptr);
    void refresh();
    QTableView *lstBackups = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdOtherFile = nullptr;
    QPushButton *cmdClose = nullptr;
    QStandardItemModel *model() const { return m_model; }

signals:
    void restoreRequested(const QString &backupPath);

private:
    void cmdRestore_Click();
    void cmdOtherFile_Click();
    void ask(const QString &path);
    QString m_diaryPath;
    QStandardItemModel *m_model = nullptr;
};

// Shows what an import would do before anything is written: how many days,
// how many on dates the diary has, every refused line and why; the user picks
// what to do with those dates, whether stored values go in as they are, and
// (for JSON) whether the lists are replaced.
class frmImport : public QWidget
{
    Q_OBJECT
public:
    frmImport(const QString &diaryPath, const QString &filePath, const QByteArray &bytes, QWidget *parent = nullptr);
    QLabel *lblSummary = nullptr;
    QListWidget *lstRefused = nullptr;
    QCheckBox *chkAsIs = nullptr;
    QComboBox *cboDuplicates = nullptr;
    QCheckBox *chkLists = nullptr;
    QPushButton *cmdImport = nullptr;
    QPushButton *cmdCancel = nullptr;
    const keeping::ImportPlan &plan() const { return m_plan; }

signals:
    // After a write; the main window reads its ranking again.
    void imported();

private:
    void readAgain();
    void cmdImport_Click();
    QString m_diaryPath;
    QString m_filePath;
    QByteArray m_bytes;
    keeping::ImportPlan m_plan;
};
