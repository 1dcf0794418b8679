#pragma once

#include "platform/textmeasure.h"

#include <QColor>
#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class ColumnFilters;
class frmFind;

namespace vb {
class FlexGrid;
}

// The hidden data control that fills the overview grid once from its record
// source. Only its settings are kept here; it has no face.
struct DataControl
{
    QString Caption = QStringLiteral("Data2");
    QString DatabaseName;
    QString RecordSource;
    bool Visible = false;
};

// The diary's overview: the days ranked best first in MSFlexGrid1, the menus
// that open the entry windows, and the filter button.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(const QString &databasePath = QString(), QWidget *parent = nullptr);
    ~frmMain() override;

    // Loads the window without showing it: Form_Load, then Data2 fills the grid.
    void load();

    // Controls, by their design names.
    vb::FlexGrid *MSFlexGrid1 = nullptr;
    QPushButton *cmdFilter = nullptr;
    QComboBox *cmbFilter0 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Image1 = nullptr;
    DataControl Data2;
    QMenu *mnuFile = nullptr;
    // Keeping the diary, above E&xit.
    QAction *mnuFileBackup = nullptr;
    QAction *mnuFileRestore = nullptr;
    QAction *mnuFileDeletedDays = nullptr;
    QAction *mnuFileExport = nullptr;
    QAction *mnuFileImport = nullptr;
    QAction *mnuFilePrintReport = nullptr;
    QAction *mnuFileReportPdf = nullptr;
    QAction *mnuFileExit = nullptr;
    QMenu *mnuData = nullptr;
    QAction *mnuDatafood = nullptr;
    QAction *mnuDatafrmrecords = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpGuide = nullptr;
    QAction *mnuHelpAbout = nullptr;
    QAction *mnuDataNewLike = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuViewRefresh = nullptr;
    QAction *mnuViewFind = nullptr;
    QAction *mnuDatainsights = nullptr;
    QWidget *clientArea = nullptr;

    // Values taken at load for the column filters.
    int VScrollWidth = 0;      // twips
    int FilterItemHeight = 0;  // pixels
    int StandardRowHeight = 0; // twips

    // The window's own text measurement, in its font.
    vb::TextMeasurer &textMeasurer() { return m_measure; }

    // Client area in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;

    // The outer size in twips that gives the designed client area.
    QSize designOuterSize() const;

    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void Form_Unload();

    void mnuDatafood_Click();
    void mnuDatafrmrecords_Click();
    void mnuDatainsights_Click();
    void mnuFileExit_Click();
    void mnuHelpGuide_Click();
    void mnuHelpAbout_Click();
    void MSFlexGrid1_Click();

    // Keeping the diary (frmmainkeeping.cpp).
    void mnuFileBackup_Click();
    void mnuFileRestore_Click();
    void mnuFileDeletedDays_Click();
    void mnuFileExport_Click();
    void mnuFileImport_Click();
    void mnuFilePrintReport_Click();
    void mnuFileReportPdf_Click();
    // Closes the entry windows (writing what is pending), puts the backup in
    // the diary's place and reads the ranking again. False with a message shown.
    bool restoreFrom(const QString &backupPath);
    // Fills the grid from the ranking query again (after a restore or an import).
    void readRankingAgain();
    QString databasePath() const { return m_databasePath; }
    // Reads the ranking again into the grid. Shown filters are built again,
    // each keeping its pick where that value still occurs; the day at the
    // top, and the day selected, stay where they still exist.
    void mnuViewRefresh_Click();
    // The find window, made on first use and raised after.
    void mnuViewFind_Click();
    frmFind *findWindow() const;
    // A daily record window on a new day with the meals, snacks, drinks and
    // medications of the day selected in the grid, dated today.
    void mnuDataNewLike_Click();

    // Where the window and the record windows it opens learn today's date;
    // the clock unless a caller says otherwise.
    void setTodayProvider(std::function<QDate()> today) { m_today = std::move(today); }

    // Grid formatting, in the window's font (see grid/gridformat.h).
    void FG_AlternateRowColors(vb::FlexGrid &FG, QColor lColor1, QColor lcolor2, int lFirstRow, int lLastRow,
                               bool bCheckFont, int lFirstCol, int lLastCol);
    void FG_AutosizeRows(vb::FlexGrid &myGrid, int lFirstRow, int lLastRow, bool bCheckFont);
    void FG_AutosizeCols(vb::FlexGrid &myGrid, int lFirstCol, int lLastCol, bool bCheckFont);

    // The column filters over MSFlexGrid1: FiltersShown, the lists cmbFilter.
    ColumnFilters *filters() const { return m_filters; }
    void cmdFilter_Click();
    void MSFlexGrid1_RowColChange();
    void MSFlexGrid1_Scroll();
    void MSFlexGrid1_SelChange();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void buildKeepingMenu();
    bool fillFromData2();
    void applyPlacement();
    void adoptFrame();
    // The requested outer size less `frame` and the menu bar is the client area.
    void setClientWithin(const QMargins &frame);

    QString m_databasePath;
    vb::TextMeasurer m_measure;
    ColumnFilters *m_filters = nullptr;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_framePending = true; // the window manager's frame is not known yet
    QTimer *m_frameTimer = nullptr;
    int m_frameLooks = 0;
    bool m_shownOnce = false;
    bool m_activationDone = false; // Form_Activate ran for the activation now due
    bool m_sizeFromDesign = false;
    QRect m_requestedOuter;    // twips, as applied from the store
    QPointer<QWidget> m_guide; // one guide and one About box, raised when asked again
    QPointer<QWidget> m_about;
    QPointer<frmFind> m_find;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };
};
