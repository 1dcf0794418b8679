#include "app/frmmain.h"

#include "app/artwork.h"
#include "app/frmfind.h"
#include "app/help/frmabout.h"
#include "app/help/frmguide.h"
#include "app/insights/frminsights.h"
#include "app/keeping/autobackup.h"
#include "app/placement.h"
#include "data/datacontrol.h"
#include "data/diarynames.h"
#include "data/sqlitefile.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "grid/columnfilters.h"
#include "grid/gridformat.h"
#include "platform/busycursor.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "platform/screenfit.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <exception>

namespace {
constexpr int kDesignClientWidth = 11070;
constexpr int kDesignClientHeight = 6135;

QString appName()
{
    return QLatin1String(vb::kProgramTitle);
}

QRect pixelsToTwips(const QRect &r)
{
    return QRect(vb::pixelsToTwipsX(r.x()), vb::pixelsToTwipsY(r.y()), vb::pixelsToTwipsX(r.width()),
                 vb::pixelsToTwipsY(r.height()));
}
} // namespace

frmMain::frmMain(const QString &databasePath, QWidget *parent)
    : QMainWindow(parent)
    , m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath)
    , m_measure(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(appName());
    setWindowIcon(artwork::mainIcon());
    // Fixed single border: a close box, no maximise or minimise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    m_measure.setFont(font(), QStringLiteral("MS Sans Serif"));
    buildMenus();
    buildControls();
    vb::Forms::add(this);
}

frmMain::~frmMain() = default;

void frmMain::buildMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    buildKeepingMenu();
    mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);

    mnuData = menuBar()->addMenu(QStringLiteral("&Data"));
    mnuData->setObjectName(QStringLiteral("mnuData"));
    // "&&" shows the ampersand itself; this item has no access key.
    mnuDatafood = mnuData->addAction(QStringLiteral("Food && Medication"));
    mnuDatafood->setObjectName(QStringLiteral("mnuDatafood"));
    connect(mnuDatafood, &QAction::triggered, this, &frmMain::mnuDatafood_Click);
    mnuDatafrmrecords = mnuData->addAction(QStringLiteral("Records"));
    mnuDatafrmrecords->setObjectName(QStringLiteral("mnuDatafrmrecords"));
    connect(mnuDatafrmrecords, &QAction::triggered, this, &frmMain::mnuDatafrmrecords_Click);
    mnuDatainsights = mnuData->addAction(QStringLiteral("&Insights"));
    mnuDatainsights->setObjectName(QStringLiteral("mnuDatainsights"));
    connect(mnuDatainsights, &QAction::triggered, this, &frmMain::mnuDatainsights_Click);
    mnuDataNewLike = mnuData->addAction(QStringLiteral("&New day like this one"));
    mnuDataNewLike->setObjectName(QStringLiteral("mnuDataNewLike"));
    connect(mnuDataNewLike, &QAction::triggered, this, &frmMain::mnuDataNewLike_Click);

    // The program's only shortcut keys: F5 and Ctrl+F here, F1 for the user
    // guide in the Help menu. The menus of the diary's own design have none.
    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuViewRefresh = mnuView->addAction(QStringLiteral("&Refresh ranking"));
    mnuViewRefresh->setObjectName(QStringLiteral("mnuViewRefresh"));
    mnuViewRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(mnuViewRefresh, &QAction::triggered, this, &frmMain::mnuViewRefresh_Click);
    mnuViewFind = mnuView->addAction(QStringLiteral("&Find\u2026"));
    mnuViewFind->setObjectName(QStringLiteral("mnuViewFind"));
    mnuViewFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(mnuViewFind, &QAction::triggered, this, &frmMain::mnuViewFind_Click);

    // Help is the last menu, as on every desktop.
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpGuide = mnuHelp->addAction(QStringLiteral("User &guide"));
    mnuHelpGuide->setObjectName(QStringLiteral("mnuHelpGuide"));
    mnuHelpGuide->setShortcut(QKeySequence(Qt::Key_F1));
    connect(mnuHelpGuide, &QAction::triggered, this, &frmMain::mnuHelpGuide_Click);
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About MEALWISE"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::buildControls()
{
    clientArea = new QWidget(this);
    clientArea->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(clientArea);
    clientArea->setFixedSize(vb::twipsSize(kDesignClientWidth, kDesignClientHeight));
    // Form_Resize follows the client area, whatever changed its size.
    clientArea->installEventFilter(this);

    // Created first, so it lies beneath everything.
    Image1 = new QLabel(clientArea);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(vb::twipsRect(0, 0, 11055, 6345));
    // Drawn stretched to the control at the screen's pixel ratio: shown as it is.
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(artwork::mainBackdrop(Image1->size(), devicePixelRatioF()));

    Label1 = new QLabel(clientArea);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(vb::twipsRect(2520, 0, 7095, 495));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setText(QStringLiteral("This form shows meals from the best days to the worst days by the  OVERALL SCORE "
                                   "given. A day with a high score would mean that the meals the day before were OK."));
    vb::fitCaption(Label1);

    MSFlexGrid1 = new vb::FlexGrid(clientArea);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setDesignFont(QStringLiteral("MS Sans Serif"), 8.25);
    MSFlexGrid1->Move(120, 600, 10815, 3855);
    MSFlexGrid1->setAccessibleName(QStringLiteral("Days, best first"));
    MSFlexGrid1->setToolTip(QStringLiteral("Click on any record for more information and then move to the days or "
                                           "records before to see your meals on the records form."));
    connect(MSFlexGrid1, &vb::FlexGrid::Click, this, &frmMain::MSFlexGrid1_Click);

    cmbFilter0 = new QComboBox(clientArea);
    cmbFilter0->setObjectName(QStringLiteral("cmbFilter_0"));
    cmbFilter0->setEditable(false);
    cmbFilter0->setGeometry(vb::twipsRect(3120, 1680, 1245, 315));
    cmbFilter0->setVisible(false);

    cmdFilter = new QPushButton(QStringLiteral("Show filters"), clientArea);
    cmdFilter->setObjectName(QStringLiteral("cmdFilter"));
    cmdFilter->setGeometry(vb::twipsRect(9720, 0, 1125, 345));
    cmdFilter->setToolTip(QStringLiteral("To FILTER click, and then use the filter buttons to search."));
    vb::fitCaption(cmdFilter);

    Data2.DatabaseName = m_databasePath;
    Data2.RecordSource = diary::mainRecordSource();

    setTabOrder(MSFlexGrid1, cmbFilter0);
    setTabOrder(cmbFilter0, cmdFilter);

    m_filters = new ColumnFilters(MSFlexGrid1, cmbFilter0, cmdFilter, this);
    connect(cmdFilter, &QPushButton::clicked, this, &frmMain::cmdFilter_Click);
    connect(MSFlexGrid1, &vb::FlexGrid::RowColChange, this, &frmMain::MSFlexGrid1_RowColChange);
    connect(MSFlexGrid1, &vb::FlexGrid::Scroll, this, &frmMain::MSFlexGrid1_Scroll);
    connect(MSFlexGrid1, &vb::FlexGrid::SelChange, this, &frmMain::MSFlexGrid1_SelChange);
}

int frmMain::ScaleWidth() const
{
    return vb::pixelsToTwipsX(clientArea->width());
}

int frmMain::ScaleHeight() const
{
    return vb::pixelsToTwipsY(clientArea->height());
}

QSize frmMain::designOuterSize() const
{
    const QMargins frame = vb::frameMargins(this) + QMargins(0, menuBar()->sizeHint().height(), 0, 0);
    const QSize outer = vb::twipsSize(kDesignClientWidth, kDesignClientHeight).grownBy(frame);
    return QSize(vb::pixelsToTwipsX(outer.width()), vb::pixelsToTwipsY(outer.height()));
}

void frmMain::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    Form_Load();
    fillFromData2();
}

void frmMain::applyPlacement()
{
    placement::Stored stored;
    auto read = [](const char *key) -> std::optional<QString> {
        const QString value = vb::GetSetting(appName(), QLatin1String(placement::kSection), QLatin1String(key));
        if (value.isNull())
            return std::nullopt;
        return value;
    };
    stored.left = read(placement::kLeft);
    stored.top = read(placement::kTop);
    stored.width = read(placement::kWidth);
    stored.height = read(placement::kHeight);

    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << pixelsToTwips(screen->availableGeometry());
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QRect primaryRect = primary ? pixelsToTwips(primary->availableGeometry()) : QRect();
    // A usable part: 100 pixels across and a title bar's height down.
    const QSize usable(vb::pixelsToTwipsX(100), vb::pixelsToTwipsY(std::max(1, vb::titleBarHeightPixels(this))));
    m_requestedOuter = placement::resolve(stored, designOuterSize(), screens, primaryRect, usable);
    m_sizeFromDesign = m_requestedOuter.size() == designOuterSize();

    // The outer size holds the frame and the menu bar; the rest is client area.
    setClientWithin(vb::frameMargins(this));
    move(vb::twipsToPixelsX(m_requestedOuter.left()), vb::twipsToPixelsY(m_requestedOuter.top()));
}

void frmMain::Form_Load()
{
    // 1. Placement from the store.
    applyPlacement();

    // 2. The width of a vertical scroll bar, in twips.
    VScrollWidth = vb::roundHalfEven(vb::verticalScrollBarWidthPixels() * vb::twipsPerPixelY());

    // 3. Grid set-up. Whole rows are selected by a click; column widths are
    //    not dragged, since every activation fits them anew.
    MSFlexGrid1->setSelectionMode(1);
    MSFlexGrid1->setFixedRows(1);
    MSFlexGrid1->setFixedCols(0);
    MSFlexGrid1->setAllowUserResizing(0);
    MSFlexGrid1->setScrollTrack(true);
    MSFlexGrid1->setFocusRect(0);
    MSFlexGrid1->setHighLight(1);
    MSFlexGrid1->setRow(0);
    MSFlexGrid1->setCol(0);

    // 4. and 5. Measurements for the column filters.
    FilterItemHeight = vb::roundHalfEven(MSFlexGrid1->CellHeight() / vb::twipsPerPixelY() - 3);
    StandardRowHeight = MSFlexGrid1->RowHeight(1);
    m_filters->VScrollWidth = VScrollWidth;
    m_filters->FilterItemHeight = FilterItemHeight;
    m_filters->StandardRowHeight = StandardRowHeight;
}

bool frmMain::fillFromData2()
{
    vb::BusyCursor busy; // opening may wait for another program's lock
    diary::RecordSourceRows result = diary::readRecordSource(Data2.DatabaseName, Data2.RecordSource);
    if (!result.error.isEmpty()) {
        // The grid keeps its header row and no diary rows; that is no
        // empty diary, so the first-day hint stays away.
        MSFlexGrid1->setEmptyText(QString());
        MSFlexGrid1->setAccessibleDescription(QString());
        MSFlexGrid1->setRows(MSFlexGrid1->FixedRows());
        busy.release();
        vb::MsgBox(result.error, this);
        return false;
    }
    MSFlexGrid1->fill(std::move(result.cells), int(result.header.size()), result.keys);
    // Painted by the grid while it has no day at all (not while the filters
    // hide every day: those rows are still there).
    MSFlexGrid1->setEmptyText(tr("No days yet: Data > Records, then Add"));
    // A screen reader hears it too: it is in no cell.
    MSFlexGrid1->setAccessibleDescription(MSFlexGrid1->showsEmptyText() ? MSFlexGrid1->emptyText() : QString());
    return true;
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    adoptFrame();
    if (m_framePending && !m_frameTimer) {
        // A window manager frames the window some time after it is shown and
        // need not say so by an event of its own: look again for a while.
        m_frameTimer = new QTimer(this);
        m_frameTimer->setInterval(50);
        connect(m_frameTimer, &QTimer::timeout, this, [this] {
            adoptFrame();
            if (!m_framePending || ++m_frameLooks > 60)
                m_frameTimer->stop();
        });
        m_frameTimer->start();
    }
    // The first showing activates the window even where no window manager
    // hands it the focus; the activation that may follow is the same one.
    if (!m_shownOnce) {
        m_shownOnce = true;
        Form_Activate();
        m_activationDone = true;
    }
}

void frmMain::adoptFrame()
{
    if (!m_framePending || !m_loaded)
        return;
    const QMargins frame = vb::frameMargins(this);
    if (frame.isNull())
        return;
    m_framePending = false;
    // The stored size is the outer one: now that the frame is known, the
    // client area is what is left of it, as it was when the size was stored.
    if (!m_sizeFromDesign)
        setClientWithin(frame);
    // The stored left and top are the frame's; with its frame the window
    // may also no longer fit where it was put.
    const QRect outer(QPoint(vb::twipsToPixelsX(m_requestedOuter.left()), vb::twipsToPixelsY(m_requestedOuter.top())),
                      size().grownBy(frame));
    const QScreen *on = screen() ? screen() : QGuiApplication::primaryScreen();
    if (on) {
        const QRect fitted = vb::fitOnScreen(outer, on->availableGeometry());
        if (fitted.topLeft() != frameGeometry().topLeft())
            move(fitted.topLeft());
    }
}

void frmMain::setClientWithin(const QMargins &frame)
{
    const int menu = menuBar()->sizeHint().height();
    const QSize outer(vb::twipsToPixelsX(m_requestedOuter.width()), vb::twipsToPixelsY(m_requestedOuter.height()));
    const QSize client = vb::clientSizeWithin(outer, frame + QMargins(0, menu, 0, 0));
    clientArea->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menu);
}

bool frmMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::UpdateRequest:
        adoptFrame();
        break;
    default:
        break;
    }
    if (event->type() == QEvent::WindowActivate) {
        if (!m_activationDone)
            Form_Activate();
        m_activationDone = false;
    } else if (event->type() == QEvent::WindowDeactivate) {
        m_activationDone = false;
    }
    return QMainWindow::event(event);
}

void frmMain::Form_Activate()
{
    FG_AlternateRowColors(*MSFlexGrid1, QColor(255, 255, 192), QColor(255, 255, 255), -1, -1, false, -1, -1);
    // The fitting moves the columns' edges and may bring or take away the
    // vertical scroll bar, without an event that would move the filter lists.
    m_filters->PositionFilterCombos(*MSFlexGrid1);
}

void frmMain::FG_AlternateRowColors(vb::FlexGrid &FG, QColor lColor1, QColor lcolor2, int lFirstRow, int lLastRow,
                                    bool bCheckFont, int lFirstCol, int lLastCol)
{
    grid::FG_AlternateRowColors(FG, m_measure, lColor1, lcolor2, lFirstRow, lLastRow, bCheckFont, lFirstCol, lLastCol,
                                &FG == MSFlexGrid1 ? m_filters : nullptr);
}

void frmMain::FG_AutosizeRows(vb::FlexGrid &myGrid, int lFirstRow, int lLastRow, bool bCheckFont)
{
    grid::FG_AutosizeRows(myGrid, m_measure, lFirstRow, lLastRow, bCheckFont,
                          &myGrid == MSFlexGrid1 ? m_filters : nullptr);
}

void frmMain::FG_AutosizeCols(vb::FlexGrid &myGrid, int lFirstCol, int lLastCol, bool bCheckFont)
{
    grid::FG_AutosizeCols(myGrid, m_measure, lFirstCol, lLastCol, bCheckFont);
}

void frmMain::cmdFilter_Click()
{
    m_filters->cmdFilter_Click();
}

void frmMain::MSFlexGrid1_RowColChange()
{
    m_filters->PositionFilterCombos(*MSFlexGrid1);
}

void frmMain::MSFlexGrid1_Scroll()
{
    m_filters->PositionFilterCombos(*MSFlexGrid1);
}

void frmMain::MSFlexGrid1_SelChange()
{
    m_filters->PositionFilterCombos(*MSFlexGrid1);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == clientArea && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Resize()
{
    if (!MSFlexGrid1)
        return;
    const int l = MSFlexGrid1->Left();
    const int t = MSFlexGrid1->Top();
    const int width = ScaleWidth() - 2 * l;
    const int height = ScaleHeight() - t - l;
    // A client area smaller than the margins leaves the grid as it was.
    if (width >= 0 && height >= 0)
        MSFlexGrid1->Move(l, t, width, height);
    // A failure placing the lists is skipped, like the sizing above; it is
    // caught here because an exception must not leave a Qt event handler.
    try {
        if (m_filters)
            m_filters->PositionFilterCombos(*MSFlexGrid1);
    } catch (const std::exception &) {
    }
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;

    // 1. Every other window, the most recently opened first.
    const QList<QWidget *> windows = vb::Forms::list();
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        if (windows.at(i) != this)
            windows.at(i)->close();
    }

    // 2. The placement, unless minimized.
    if (!isMinimized()) {
        // Until the frame is known the window is as large as it was asked to
        // be; under no window manager it never is, and that holds too.
        QRect outer = frameGeometry();
        if (m_framePending)
            outer.setSize(
                QSize(vb::twipsToPixelsX(m_requestedOuter.width()), vb::twipsToPixelsY(m_requestedOuter.height())));
        const QString section = QLatin1String(placement::kSection);
        vb::SaveSetting(appName(), section, QLatin1String(placement::kLeft),
                        placement::writeTwips(vb::pixelsToTwipsX(outer.x())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kTop),
                        placement::writeTwips(vb::pixelsToTwipsY(outer.y())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kWidth),
                        placement::writeTwips(vb::pixelsToTwipsX(outer.width())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kHeight),
                        placement::writeTwips(vb::pixelsToTwipsY(outer.height())));
    }

    // 3. A backup when this run wrote to the diary; a failure is told at the
    // next start, since nothing may wait for a click now.
    app::AutoBackup::atExit(QDateTime::currentDateTime());
}

void frmMain::mnuDatafood_Click()
{
    auto *window = new FOOD(m_databasePath);
    window->show();
}

void frmMain::mnuDatafrmrecords_Click()
{
    // The new window reads the grid's RowSel while it loads, and every day
    // of the diary: a moment on a big one.
    vb::BusyCursor busy;
    auto *window = new frmrecords(MSFlexGrid1, m_databasePath);
    window->setTodayProvider(m_today);
    window->show();
}

void frmMain::mnuDatainsights_Click()
{
    auto *window = new frmInsights(m_databasePath);
    window->show();
}

void frmMain::mnuDataNewLike_Click()
{
    const std::optional<qint64> day = MSFlexGrid1->RowKey(MSFlexGrid1->RowSel());
    if (!day) {
        vb::MsgBox(tr("Select a day in the list first, then choose New day like this one."), this);
        return;
    }
    vb::BusyCursor busy;
    auto *window = new frmrecords(MSFlexGrid1, m_databasePath);
    window->setTodayProvider(m_today);
    window->show();
    busy.release();
    if (!window->addDayLike(*day))
        window->close();
}

void frmMain::mnuViewRefresh_Click()
{
    vb::BusyCursor busy;
    vb::FlexGrid &grid = *MSFlexGrid1;
    // A list scrolled to its very top stays there, so a new best day shows.
    const bool atTop = grid.verticalScrollBar()->value() == 0;
    const std::optional<qint64> topDay = atTop ? std::nullopt : grid.RowKey(grid.TopRow());
    const std::optional<qint64> selectedDay = grid.RowKey(grid.RowSel());
    const int col = grid.Col();
    // Each shown list's pick, by the column's name, outlives the new fill.
    const std::optional<std::vector<ColumnFilters::Pick>> picks = m_filters->takePicks(grid);

    busy.release(); // a failed read is reported without the busy cursor
    if (!fillFromData2())
        return;
    vb::BusyCursor fitting;
    Form_Activate();
    if (picks)
        m_filters->putBackPicks(grid, *picks);

    if (const int r = grid.RowWithKey(selectedDay); r >= 0) {
        grid.setRow(r);
        grid.setCol(col);
    }
    if (const int r = grid.RowWithKey(topDay); r >= 0)
        grid.setTopRow(r);
}

frmFind *frmMain::findWindow() const
{
    return m_find.data();
}

void frmMain::mnuViewFind_Click()
{
    if (!m_find) {
        m_find = new frmFind(MSFlexGrid1);
        m_find->setStoredDate([path = m_databasePath](qint64 id) -> QVariant {
            diary::SqliteFile file;
            if (!file.open(path, diary::SqliteFile::ReadOnly, 2000, true))
                return {};
            return file.scalar(QStringLiteral("SELECT DATE FROM records WHERE ID = ?"), {id});
        });
        // Beside the main window's lower right corner, on the screen, so the
        // grid's rows stay in view.
        m_find->adjustSize();
        const QRect outer = frameGeometry();
        QRect r(QPoint(outer.right() - m_find->width(), outer.bottom() + 8), m_find->size());
        if (const QScreen *s = screen()) {
            const QRect area = s->availableGeometry();
            r.moveBottom(std::min(r.bottom(), area.bottom() - 30));
            r.moveRight(std::min(r.right(), area.right()));
            r.moveLeft(std::max(r.left(), area.left()));
        }
        m_find->move(r.topLeft());
    }
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
    m_find->txtFind->setFocus();
    m_find->txtFind->selectAll();
}

void frmMain::mnuFileExit_Click()
{
    close();
}

namespace {
// Shows the one window of its kind, making it first when there is none.
template <typename Make> void showSingle(QPointer<QWidget> &window, Make make)
{
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void frmMain::mnuHelpGuide_Click()
{
    showSingle(m_guide, [] { return new frmGuide; });
}

void frmMain::mnuHelpAbout_Click()
{
    showSingle(m_about, [this] { return new frmAbout(m_databasePath); });
}

void frmMain::MSFlexGrid1_Click()
{
    // A records window that cannot be made (out of memory on a huge diary)
    // is said rather than ending the program: an exception must not leave a
    // Qt event handler.
    try {
        mnuDatafrmrecords_Click();
    } catch (const std::exception &e) {
        vb::MsgBox(QString::fromLocal8Bit(e.what()), this);
    }
}
