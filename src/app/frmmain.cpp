#include "app/frmmain.h"

#include "app/artwork.h"
#include "app/placement.h"
#include "data/datacontrol.h"
#include "data/diarynames.h"
#include "entry/food.h"
#include "app/frminsights.h"
#include "entry/frmrecords.h"
#include "grid/columnfilters.h"
#include "grid/gridformat.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

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
    : QMainWindow(parent),
      m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath),
      m_measure(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(appName());
    setWindowIcon(artwork::mainIcon());
    // Fixed single border: a close box, no maximise or minimise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
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
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap::fromImage(artwork::mainBackdrop()));

    Label1 = new QLabel(clientArea);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(vb::twipsRect(2520, 0, 7095, 495));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setText(QStringLiteral("This form shows meals from the best days to the worst days by the  OVERALL SCORE "
                                   "given. A day with a high score would mean that the meals the day before were OK."));

    MSFlexGrid1 = new vb::FlexGrid(clientArea);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setDesignFont(QStringLiteral("MS Sans Serif"), 8.25);
    MSFlexGrid1->Move(120, 600, 10815, 3855);
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
    const QSize frame = frameGeometry().size() - geometry().size();
    const int menu = menuBar()->sizeHint().height();
    const QSize client = vb::twipsSize(kDesignClientWidth, kDesignClientHeight);
    return QSize(vb::pixelsToTwipsX(client.width() + frame.width()),
                 vb::pixelsToTwipsY(client.height() + menu + frame.height()));
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
    m_requestedOuter = placement::resolve(stored, designOuterSize(), screens, primaryRect);
    m_sizeFromDesign = m_requestedOuter.size() == designOuterSize();

    // The outer size holds the frame and the menu bar; the rest is client area.
    const QSize frame = frameGeometry().size() - geometry().size();
    const int menu = menuBar()->sizeHint().height();
    const int clientW = std::max(1, vb::twipsToPixelsX(m_requestedOuter.width()) - frame.width());
    const int clientH = std::max(1, vb::twipsToPixelsY(m_requestedOuter.height()) - frame.height() - menu);
    clientArea->setFixedSize(clientW, clientH);
    setFixedSize(clientW, clientH + menu);
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

void frmMain::fillFromData2()
{
    diary::RecordSourceRows result = diary::readRecordSource(Data2.DatabaseName, Data2.RecordSource);
    if (!result.error.isEmpty()) {
        // The grid keeps its header row and no diary rows.
        MSFlexGrid1->setRows(MSFlexGrid1->FixedRows());
        vb::MsgBox(result.error, this);
        return;
    }
    MSFlexGrid1->fill(std::move(result.cells), int(result.header.size()), result.keys);
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The frame is known only once the window manager has framed the window:
    // apply the stored outer size again so that it means the same as it did.
    if (!m_placementFramed && m_loaded && !m_sizeFromDesign) {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (!frame.isEmpty()) {
            m_placementFramed = true;
            const int menu = menuBar()->sizeHint().height();
            const int clientW = std::max(1, vb::twipsToPixelsX(m_requestedOuter.width()) - frame.width());
            const int clientH = std::max(1, vb::twipsToPixelsY(m_requestedOuter.height()) - frame.height() - menu);
            clientArea->setFixedSize(clientW, clientH);
            setFixedSize(clientW, clientH + menu);
        }
    }
    // The first showing activates the window even where no window manager
    // hands it the focus; the activation that may follow is the same one.
    if (!m_shownOnce) {
        m_shownOnce = true;
        Form_Activate();
        m_activationDone = true;
    }
}

bool frmMain::event(QEvent *event)
{
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
    // A failure placing the lists is skipped, like the sizing above.
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
        const QRect outer = frameGeometry();
        const QString section = QLatin1String(placement::kSection);
        vb::SaveSetting(appName(), section, QLatin1String(placement::kLeft), placement::writeTwips(vb::pixelsToTwipsX(outer.x())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kTop), placement::writeTwips(vb::pixelsToTwipsY(outer.y())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kWidth),
                        placement::writeTwips(vb::pixelsToTwipsX(outer.width())));
        vb::SaveSetting(appName(), section, QLatin1String(placement::kHeight),
                        placement::writeTwips(vb::pixelsToTwipsY(outer.height())));
    }
}

void frmMain::mnuDatafood_Click()
{
    auto *window = new FOOD(m_databasePath);
    window->show();
}

void frmMain::mnuDatafrmrecords_Click()
{
    // The new window reads the grid's RowSel while it loads.
    auto *window = new frmrecords(MSFlexGrid1, m_databasePath);
    window->show();
}

void frmMain::mnuDatainsights_Click()
{
    auto *window = new frmInsights(m_databasePath);
    window->show();
}

void frmMain::mnuFileExit_Click()
{
    close();
}

void frmMain::MSFlexGrid1_Click()
{
    try {
        mnuDatafrmrecords_Click();
    } catch (const std::exception &e) {
        vb::MsgBox(QString::fromLocal8Bit(e.what()), this);
    }
}
