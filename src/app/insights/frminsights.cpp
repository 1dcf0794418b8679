#include "app/insights/frminsights.h"

#include "analysis/diaryread.h"
#include "app/insights/insightscharts.h"
#include "app/insights/insightsmodel.h"
#include "data/datetext.h"
#include "data/itemlists.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "text/fields.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>

namespace {

// Search in the item column; the kind selector in the kind column.
class ItemFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QString kind; // empty for all
    QString search;
    void refilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const QAbstractItemModel *m = sourceModel();
        if (!kind.isEmpty() && m->index(row, InsightsModel::Kind, parent).data().toString() != kind)
            return false;
        return search.isEmpty() ||
               m->index(row, InsightsModel::Item, parent).data().toString().contains(search, Qt::CaseInsensitive);
    }
    bool lessThan(const QModelIndex &a, const QModelIndex &b) const override
    {
        const QVariant x = a.data(InsightsModel::SortRole);
        const QVariant y = b.data(InsightsModel::SortRole);
        // Figures that do not exist sort after every figure.
        if (!x.isValid() || !y.isValid())
            return x.isValid() && !y.isValid();
        if (x.typeId() == QMetaType::QString)
            return QString::localeAwareCompare(x.toString(), y.toString()) < 0;
        return x.toDouble() < y.toDouble();
    }
};

QString howToRead()
{
    return QStringLiteral(
        "<p><b>How to read this.</b> <i>Days</i> counts the days that held the item and have a score to "
        "compare (the next day's, unless <i>Score of</i> says otherwise). <i>With</i> and <i>Without</i> are "
        "the plain mean scores of the days with it and of the others, and <i>Difference</i> the one less the "
        "other: a first look only.</p>"
        "<p><i>Adjusted</i> is what the verdict reads: how many score points the day gains or loses after the "
        "item, compared with otherwise similar days: the same other items that day and the two before, the "
        "same time of year and stretch of the diary, and with good and bad days that come in runs taken into "
        "account. The selected item's effect on the same day, the next day and two days after are shown side "
        "by side below its days.</p>"
        "<p>Why a verdict needs <i>q</i> &lt; 0.10 and not only an interval away from zero: with many items, "
        "some intervals miss zero by chance alone. <i>q</i> allows for how many items were tested; below 0.10 "
        "the item \"seems to agree\" or \"seems to disagree\". Even so, about one such verdict in ten may be "
        "chance, and in a diary where nothing matters about one diary in ten shows one.</p>"
        "<p>Items that nearly always come together cannot be told apart; the window says which item one comes "
        "with, and \"cannot be told apart\" where they always do. Items that take turns, so that one of them "
        "is on every day (a breakfast that is always one of a few), are each compared with the usual one of "
        "the others: the diary has no day without any of them to compare with. A habit repeated for days on end makes "
        "the "
        "day that matters hard to find (wide intervals). Something taken <i>because</i> a day is going badly "
        "(a painkiller, plain toast) looks harmful on that same day: look at the next day.</p>"
        "<p>\"No clear effect\" means the diary cannot tell, not that the item is harmless. \"Too few days\" "
        "says nothing either way, and a short diary says how many more days it needs. A link is not proof. "
        "Talk to your doctor before you change any medication.</p>");
}

} // namespace

frmInsights::frmInsights(const QString &databasePath, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath)
{
    setObjectName(QStringLiteral("frmInsights"));
    setWindowTitle(QStringLiteral("Insights"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    compute();
    vb::Forms::add(this);
}

struct frmInsights::Job
{
    QString path;
    int lag = 1;
    std::atomic<bool> cancel{false};
    std::atomic<int> percent{0};
    analysis::Insights insights;
    QString error;
};

frmInsights::~frmInsights()
{
    if (m_thread) {
        m_job->cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void frmInsights::buildControls()
{
    auto *top = new QHBoxLayout;
    auto *lblKind = new QLabel(QStringLiteral("&Kind:"), this);
    lblKind->setObjectName(QStringLiteral("lblKind"));
    cboKind = new QComboBox(this);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    cboKind->setAccessibleName(QStringLiteral("Kind"));
    cboKind->addItem(QStringLiteral("All"), QString());
    cboKind->addItem(QStringLiteral("Foods"), QStringLiteral("food"));
    cboKind->addItem(QStringLiteral("Drinks"), QStringLiteral("drink"));
    cboKind->addItem(QStringLiteral("Medications"), QStringLiteral("medication"));
    lblKind->setBuddy(cboKind);
    auto *lblLag = new QLabel(QStringLiteral("Score &of:"), this);
    lblLag->setObjectName(QStringLiteral("lblLag"));
    cboLag = new QComboBox(this);
    cboLag->setObjectName(QStringLiteral("cboLag"));
    cboLag->setAccessibleName(QStringLiteral("Score of"));
    cboLag->addItem(QStringLiteral("the same day"), 0);
    cboLag->addItem(QStringLiteral("the next day"), 1);
    cboLag->addItem(QStringLiteral("two days after"), 2);
    cboLag->setCurrentIndex(1);
    lblLag->setBuddy(cboLag);
    auto *lblSearch = new QLabel(QStringLiteral("&Search:"), this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setAccessibleName(QStringLiteral("Search"));
    txtSearch->setClearButtonEnabled(true);
    lblSearch->setBuddy(txtSearch);
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdRefresh->setAccessibleName(QStringLiteral("Refresh"));
    prgCompute = new QProgressBar(this);
    prgCompute->setObjectName(QStringLiteral("prgCompute"));
    prgCompute->setAccessibleName(QStringLiteral("Computing"));
    prgCompute->setRange(0, 100);
    prgCompute->setVisible(false);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAccessibleName(QStringLiteral("Cancel"));
    cmdCancel->setVisible(false);
    for (QWidget *w : std::initializer_list<QWidget *>{lblKind, cboKind, lblLag, cboLag, lblSearch, txtSearch})
        top->addWidget(w);
    top->addStretch();
    top->addWidget(prgCompute);
    top->addWidget(cmdCancel);
    top->addWidget(cmdRefresh);

    m_model = new InsightsModel(this);
    auto *filter = new ItemFilter(this);
    m_proxy = filter;
    m_proxy->setObjectName(QStringLiteral("proxy"));
    m_proxy->setSourceModel(m_model);
    tblItems = new QTableView(this);
    tblItems->setObjectName(QStringLiteral("tblItems"));
    tblItems->setAccessibleName(QStringLiteral("Items"));
    tblItems->setModel(m_proxy);
    tblItems->setSortingEnabled(true);
    tblItems->sortByColumn(InsightsModel::Difference, Qt::AscendingOrder);
    tblItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblItems->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblItems->verticalHeader()->hide();
    tblItems->horizontalHeader()->setStretchLastSection(true);
    // Arrow keys move inside the table; Tab goes on to the next control.
    tblItems->setTabKeyNavigation(false);
    tblItems->installEventFilter(this);

    lstEvidence = new QListWidget(this);
    lstEvidence->setObjectName(QStringLiteral("lstEvidence"));
    lstEvidence->setAccessibleName(QStringLiteral("Days of the selected item"));
    lstEvidence->setToolTip(QStringLiteral("Double-click a day to open it in the daily record window."));
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    txtHowToRead = new QTextBrowser(this);
    txtHowToRead->setObjectName(QStringLiteral("txtHowToRead"));
    txtHowToRead->setAccessibleName(QStringLiteral("How to read this"));
    txtHowToRead->setHtml(howToRead());

    auto *bottom = new QSplitter(Qt::Horizontal, this);
    bottom->setObjectName(QStringLiteral("splBottom"));
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabPictures"));
    auto *itemPage = new QWidget(this);
    itemPage->setObjectName(QStringLiteral("pagItem"));
    auto *effects = new QHBoxLayout;
    const char *lagNames[] = {"lblLagEffect0", "lblLagEffect1", "lblLagEffect2"};
    for (int l = 0; l < 3; ++l) {
        auto *label = new QLabel(itemPage);
        label->setObjectName(QLatin1String(lagNames[l]));
        label->setWordWrap(true);
        label->setFrameShape(QFrame::StyledPanel);
        label->setAlignment(Qt::AlignCenter);
        lblLagEffect[size_t(l)] = label;
        effects->addWidget(label, 1);
    }
    lblPartner = new QLabel(itemPage);
    lblPartner->setObjectName(QStringLiteral("lblPartner"));
    lblPartner->setWordWrap(true);
    lblJudged = new QLabel(itemPage);
    lblJudged->setObjectName(QStringLiteral("lblJudged"));
    lblJudged->setWordWrap(true);
    auto *itemLayout = new QVBoxLayout(itemPage);
    itemLayout->setContentsMargins(2, 2, 2, 2);
    itemLayout->addLayout(effects);
    itemLayout->addWidget(lblJudged);
    itemLayout->addWidget(lblPartner);
    itemLayout->addWidget(lstEvidence, 1);
    tabs->addTab(itemPage, QStringLiteral("The item and its days"));
    chvForest = new QChartView(this);
    chvForest->setObjectName(QStringLiteral("chvForest"));
    chvForest->setAccessibleName(QStringLiteral("Largest adjusted effects"));
    chvForest->setRenderHint(QPainter::Antialiasing);
    tabs->addTab(chvForest, QStringLiteral("Largest adjusted effects"));
    chvScores = new QChartView(this);
    chvScores->setObjectName(QStringLiteral("chvScores"));
    chvScores->setAccessibleName(QStringLiteral("Score over time"));
    chvScores->setRenderHint(QPainter::Antialiasing);
    tabs->addTab(chvScores, QStringLiteral("Score over time"));
    bottom->addWidget(tabs);
    bottom->addWidget(txtHowToRead);
    bottom->setStretchFactor(0, 3);
    bottom->setStretchFactor(1, 2);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splMain"));
    split->addWidget(tblItems);
    split->addWidget(bottom);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    auto *adds = new QHBoxLayout;
    const char *captions[] = {"Add to adequate foods", "Add to irritating foods", "Add to reliable medications",
                              "Add to unsatisfactory medications"};
    const char *names[] = {"cmdAddAdequate", "cmdAddIrritating", "cmdAddReliable", "cmdAddUnsatisfactory"};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QPushButton(QLatin1String(captions[i]), this);
        b->setObjectName(QLatin1String(names[i]));
        b->setAccessibleName(QLatin1String(captions[i]));
        connect(b, &QPushButton::clicked, this, [this, i] { addToList(i); });
        cmdAddTo[size_t(i)] = b;
        adds->addWidget(b);
    }
    lblAddWait = new QLabel(this);
    lblAddWait->setObjectName(QStringLiteral("lblAddWait"));
    lblAddWait->setWordWrap(true);
    adds->addWidget(lblAddWait, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(adds);
    layout->addWidget(lblNote);
    resize(1180, 760);
    tblItems->verticalHeader()->setDefaultSectionSize(tblItems->fontMetrics().height() + 6);

    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmInsights::applyKind);
    connect(cboLag, &QComboBox::currentIndexChanged, this, &frmInsights::compute);
    connect(txtSearch, &QLineEdit::textChanged, this, [filter](const QString &text) {
        filter->search = text.trimmed();
        filter->refilter();
    });
    connect(cmdRefresh, &QPushButton::clicked, this, &frmInsights::cmdRefresh_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmInsights::cmdCancel_Click);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(50);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_job)
            prgCompute->setValue(m_job->percent);
    });
    connect(tblItems->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmInsights::showEvidence);
    connect(lstEvidence, &QListWidget::itemDoubleClicked, this, &frmInsights::openEvidenceDay);
}

void frmInsights::cmdRefresh_Click()
{
    compute();
}

void frmInsights::cmdCancel_Click()
{
    m_computeAgain = false;
    if (m_job)
        m_job->cancel = true;
}

bool frmInsights::isComputing() const
{
    return m_thread != nullptr;
}

void frmInsights::compute()
{
    // One computation at a time: a new request stops the running one and
    // starts again when it has gone.
    if (m_thread) {
        m_job->cancel = true;
        m_computeAgain = true;
        return;
    }
    startJob();
}

void frmInsights::startJob()
{
    auto job = std::make_shared<Job>();
    job->path = m_databasePath;
    job->lag = cboLag->currentData().toInt();
    m_job = job;
    m_thread = QThread::create([job] {
        const analysis::DiaryContents contents = analysis::readDiaryContents(job->path);
        if (!contents.error.isEmpty()) {
            job->error = contents.error;
            return;
        }
        job->insights = analysis::computeInsights(contents.rows, contents.lists, job->lag, [job](int percent) {
            job->percent = percent;
            return !job->cancel;
        });
    });
    m_thread->setObjectName(QStringLiteral("insights"));
    connect(m_thread, &QThread::finished, this, &frmInsights::jobFinished);
    prgCompute->setValue(0);
    prgCompute->setVisible(true);
    cmdCancel->setVisible(true);
    cmdCancel->setEnabled(true);
    lblNote->setText(tr("Reading the diary and computing..."));
    m_progressTimer->start();
    m_thread->start();
}

void frmInsights::jobFinished()
{
    const std::shared_ptr<Job> job = m_job;
    m_thread->wait();
    m_thread->deleteLater();
    m_thread = nullptr;
    m_job.reset();
    m_progressTimer->stop();
    prgCompute->setVisible(false);
    cmdCancel->setVisible(false);
    if (m_computeAgain) {
        m_computeAgain = false;
        startJob();
        return;
    }
    if (job->cancel || job->insights.cancelled) {
        lblNote->setText(tr("Cancelled: the table is as it was. Refresh computes it again."));
        emit computed();
        return;
    }
    if (!job->error.isEmpty()) {
        m_model->setInsights({});
        lblNote->setText(job->error);
        vb::MsgBox(job->error, this);
        showEvidence();
        emit computed();
        return;
    }
    m_model->setInsights(std::move(job->insights));
    const analysis::Insights &in = m_model->insights();
    QString note = tr("%n day(s) in the diary.", nullptr, int(in.days.size()));
    if (in.rowsWithoutValidDate > 0)
        note +=
            QLatin1Char(' ') + tr("%n day(s) without a valid date were left out.", nullptr, in.rowsWithoutValidDate);
    if (in.moreDaysNeeded > 0)
        note +=
            QLatin1Char(' ') + tr("The diary is too short to judge any item: it needs %n more scored day(s) in a row.",
                                  nullptr, in.moreDaysNeeded);
    if (in.secondStage > 0)
        note += QLatin1Char(' ') + tr("%1 items were judged together, %2 less frequent ones each on its own.")
                                       .arg(in.inModel)
                                       .arg(in.secondStage);
    lblNote->setText(note);
    tblItems->resizeColumnsToContents();
    // A long item name is elided rather than pushing the verdict and the
    // list out of sight; its tooltip and the evidence pane show it whole.
    const int widest = tblItems->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 14;
    if (tblItems->columnWidth(InsightsModel::Item) > widest)
        tblItems->setColumnWidth(InsightsModel::Item, widest);
    for (auto [view, chart] : {std::pair{chvForest, insightscharts::forestPlot(in)},
                               std::pair{chvScores, insightscharts::scoreOverTime(in)}}) {
        QChart *old = view->chart();
        view->setChart(chart);
        delete old;
    }
    showEvidence();
    emit computed();
}

void frmInsights::applyKind()
{
    static_cast<ItemFilter *>(m_proxy)->kind = cboKind->currentData().toString();
    static_cast<ItemFilter *>(m_proxy)->refilter();
}

namespace {
bool foodWindowOpen()
{
    for (QWidget *w : vb::Forms::list()) {
        if (qobject_cast<FOOD *>(w))
            return true;
    }
    return false;
}
const analysis::ItemStats *selectedItem(const QTableView *table, const QSortFilterProxyModel *proxy,
                                        const InsightsModel *model)
{
    const QModelIndex current = table->selectionModel()->currentIndex();
    if (!current.isValid())
        return nullptr;
    const int row = proxy->mapToSource(current).row();
    if (row < 0 || size_t(row) >= model->insights().items.size())
        return nullptr;
    return &model->insights().items[size_t(row)];
}
} // namespace

void frmInsights::updateAddButtons()
{
    const analysis::ItemStats *s = selectedItem(tblItems, m_proxy, m_model);
    const bool waiting = foodWindowOpen();
    lblAddWait->setText(waiting ? tr("A food and medication window is open: close it first, so that nothing typed "
                                     "there is lost, and the buttons will add.")
                                : QString());
    for (int i = 0; i < 4; ++i) {
        const bool medicationList = i >= 2;
        const bool fits = s && ((s->kind == analysis::Kind::Medication) == medicationList);
        cmdAddTo[size_t(i)]->setEnabled(fits && !waiting);
    }
}

void frmInsights::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && lblAddWait)
        updateAddButtons();
    QWidget::changeEvent(event);
}

bool frmInsights::addToList(int list)
{
    const analysis::ItemStats *s = selectedItem(tblItems, m_proxy, m_model);
    if (!s || list < 0 || list > 3)
        return false;
    if (foodWindowOpen()) {
        updateAddButtons();
        vb::MsgBox(tr("Close the food and medication window first, so that nothing typed there is lost; then add "
                      "again."),
                   this);
        return false;
    }
    const QString field = diary::foodColumns().at(list);
    const diary::ListWrite written = diary::addToList(m_databasePath, field, s->item);
    switch (written.outcome) {
    case diary::ListAddition::Added:
        return true;
    case diary::ListAddition::NoList:
        vb::MsgBox(tr("The diary %1 holds no food and medication list to add to.").arg(m_databasePath), this);
        break;
    case diary::ListAddition::Already:
        vb::MsgBox(tr("%1 is already in %2.").arg(s->item, field), this);
        break;
    case diary::ListAddition::TooLong:
        vb::MsgBox(
            tr("%1 does not fit in %2: a list holds at most 255 characters. Nothing was added.").arg(s->item, field),
            this);
        break;
    case diary::ListAddition::Failed:
        vb::MsgBox(written.error, this);
        break;
    }
    return false;
}

namespace {
QString signedFigure(double v)
{
    const QString text = QString::number(v, 'f', 2);
    if (text == QLatin1String("-0.00") || text == QLatin1String("0.00"))
        return QStringLiteral("0.00");
    return v > 0 ? QLatin1Char('+') + text : text;
}
} // namespace

void frmInsights::showEvidence()
{
    if (lblAddWait)
        updateAddButtons();
    lstEvidence->clear();
    for (QLabel *l : lblLagEffect)
        l->clear();
    lblPartner->clear();
    lblJudged->clear();
    const QModelIndex current = tblItems->selectionModel()->currentIndex();
    if (!current.isValid())
        return;
    const int row = m_proxy->mapToSource(current).row();
    const analysis::Insights &in = m_model->insights();
    if (row < 0 || size_t(row) >= in.items.size())
        return;
    const analysis::ItemStats &s = in.items[size_t(row)];
    const QString lagTitles[] = {tr("The same day"), tr("The next day"), tr("Two days after")};
    for (int l = 0; l < 3; ++l) {
        const std::optional<analysis::LagEffect> &e = s.lagEffects[size_t(l)];
        QString text = lagTitles[l] + QStringLiteral("<br/>");
        if (e)
            text += tr("%1 points<br/>(%2 to %3)")
                        .arg(signedFigure(e->effect), signedFigure(e->low), signedFigure(e->high));
        else if (s.verdict == analysis::Verdict::Aliased)
            text += tr("cannot be told apart");
        else
            text += tr("not estimated");
        if (l == in.lag)
            text = QStringLiteral("<b>") + text + QStringLiteral("</b>");
        lblLagEffect[size_t(l)]->setText(text);
    }
    switch (s.verdict) {
    case analysis::Verdict::Aliased:
        lblJudged->setText(tr("Cannot be told apart from %1: they come together, so their effects cannot be "
                              "separated.")
                               .arg(s.aliasedWith));
        break;
    case analysis::Verdict::NotJudged:
        lblJudged->setText(tr("Not judged: %1").arg(s.notJudged));
        break;
    case analysis::Verdict::CannotCompare:
        lblJudged->setText(tr("On almost every day: too few days without it to compare."));
        break;
    case analysis::Verdict::TooFewDays:
        lblJudged->setText(tr("Fewer than %1 days to read: this says nothing either way.").arg(analysis::kMinimumDays));
        break;
    default:
        if (s.judged == analysis::Judged::SecondStage)
            lblJudged->setText(tr("Judged on its own: the model had room only for your more frequent items."));
        break;
    }
    if (!analysis::partnerText(s).isEmpty()) {
        const int share = int(std::floor(s.partnerShare * 100 + 0.5));
        const QString line = s.kind == analysis::Kind::Food    ? tr("Eaten with %1 on %2% of its days.")
                             : s.kind == analysis::Kind::Drink ? tr("Drunk with %1 on %2% of its days.")
                                                               : tr("Taken with %1 on %2% of its days.");
        lblPartner->setText(line.arg(s.partner).arg(share));
    }
    lblJudged->setVisible(!lblJudged->text().isEmpty());
    lblPartner->setVisible(!lblPartner->text().isEmpty());
    const auto score = [](const std::optional<double> &v) {
        return v ? QString::number(*v, 'g', 3) : QStringLiteral("-");
    };
    for (const analysis::Evidence &e : s.evidence) {
        const analysis::CalendarDay &d = in.days[size_t(e.day)];
        const QString head =
            diary::showDate(d.date) + QStringLiteral("  ") + fieldPlaces(e.fields) + QStringLiteral("  ");
        QString text;
        if (in.lag == 0)
            text = tr("score %1 (BMs %2)").arg(score(d.score), score(d.bms));
        else if (in.lag == 1)
            text = tr("score %1, next day's %2 (next day's BMs %3)")
                       .arg(score(d.score), score(d.outcome), score(d.outcomeBms));
        else
            text = tr("score %1, two days later %2 (BMs then %3)")
                       .arg(score(d.score), score(d.outcome), score(d.outcomeBms));
        auto *item = new QListWidgetItem(head + text, lstEvidence);
        item->setData(Qt::UserRole, e.id);
    }
}

void frmInsights::openEvidenceDay()
{
    QListWidgetItem *item = lstEvidence->currentItem();
    if (!item)
        return;
    const qint64 id = item->data(Qt::UserRole).toLongLong();
    auto *window = new frmrecords(nullptr, m_databasePath);
    if (!window->moveToId(id))
        vb::MsgBox(tr("That day is no longer in the diary; Refresh reads it again."), window);
    window->show();
}

QString frmInsights::selectedRowsText() const
{
    QModelIndexList rows = tblItems->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    QStringList header;
    for (int c = 0; c < m_proxy->columnCount(); ++c)
        header << m_proxy->headerData(c, Qt::Horizontal).toString();
    lines << header.join(QLatin1Char('\t'));
    for (const QModelIndex &r : rows) {
        QStringList cells;
        for (int c = 0; c < m_proxy->columnCount(); ++c)
            cells << text::lineField(m_proxy->index(r.row(), c).data().toString(), text::Separator::Tab);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool frmInsights::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tblItems && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedRowsText());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
