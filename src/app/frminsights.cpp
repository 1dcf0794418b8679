#include "app/frminsights.h"

#include "analysis/diaryread.h"
#include "app/insightscharts.h"
#include "app/insightsmodel.h"
#include "data/datetext.h"
#include "data/rowset.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "platform/forms.h"
#include "platform/msgbox.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QTabWidget>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>

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
        return search.isEmpty()
               || m->index(row, InsightsModel::Item, parent).data().toString().contains(search, Qt::CaseInsensitive);
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
        "<p><b>How to read this.</b> For each item, <i>Days</i> counts the days that held it and have a score "
        "to compare (the next day's, unless the lag says otherwise). <i>Score with</i> is the mean of those "
        "scores, <i>Score without</i> the mean over every other day, and <i>Difference</i> the one less the "
        "other with its 95% interval. <i>Adjusted</i> is the item's difference with the other items held "
        "equal, since foods eaten together share their good and bad days. <i>q</i> allows for testing many "
        "items at once: below 0.10 the item \"seems to agree\" or \"seems to disagree\".</p>"
        "<p>The verdict comes from a rank test and the interval from the means, so a verdict can stand beside "
        "an interval that just touches zero: both are near the edge. A link is not proof: a food may only "
        "travel with the one that matters, and chance makes some links. \"Too few days\" says nothing either "
        "way. Talk to your doctor before you change any medication.</p>");
}

} // namespace

frmInsights::frmInsights(const QString &databasePath, QWidget *parent)
    : QWidget(parent, Qt::Window), m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath)
{
    setObjectName(QStringLiteral("frmInsights"));
    setWindowTitle(QStringLiteral("Insights"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    compute();
    vb::Forms::add(this);
}

frmInsights::~frmInsights() = default;

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
    for (QWidget *w : std::initializer_list<QWidget *>{lblKind, cboKind, lblLag, cboLag, lblSearch, txtSearch})
        top->addWidget(w);
    top->addStretch();
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
    tabs->addTab(lstEvidence, QStringLiteral("Days of the item"));
    chvForest = new QChartView(this);
    chvForest->setObjectName(QStringLiteral("chvForest"));
    chvForest->setAccessibleName(QStringLiteral("Largest differences"));
    chvForest->setRenderHint(QPainter::Antialiasing);
    tabs->addTab(chvForest, QStringLiteral("Largest differences"));
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
    resize(1120, 760);
    tblItems->verticalHeader()->setDefaultSectionSize(tblItems->fontMetrics().height() + 6);

    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmInsights::applyKind);
    connect(cboLag, &QComboBox::currentIndexChanged, this, &frmInsights::compute);
    connect(txtSearch, &QLineEdit::textChanged, this, [filter](const QString &text) {
        filter->search = text.trimmed();
        filter->refilter();
    });
    connect(cmdRefresh, &QPushButton::clicked, this, &frmInsights::cmdRefresh_Click);
    connect(tblItems->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmInsights::showEvidence);
    connect(lstEvidence, &QListWidget::itemDoubleClicked, this, &frmInsights::openEvidenceDay);
}

void frmInsights::cmdRefresh_Click()
{
    compute();
}

void frmInsights::compute()
{
    const analysis::DiaryContents contents = analysis::readDiaryContents(m_databasePath);
    if (!contents.error.isEmpty()) {
        m_model->setInsights({});
        lblNote->setText(contents.error);
        vb::MsgBox(contents.error, this);
        showEvidence();
        return;
    }
    m_model->setInsights(analysis::computeInsights(contents.rows, contents.lists, cboLag->currentData().toInt()));
    const analysis::Insights &in = m_model->insights();
    QString note = tr("%n day(s) in the diary.", nullptr, int(in.days.size()));
    if (in.rowsWithoutValidDate > 0)
        note += QLatin1Char(' ') + tr("%n day(s) without a valid date were left out.", nullptr, in.rowsWithoutValidDate);
    lblNote->setText(note);
    tblItems->resizeColumnsToContents();
    for (auto [view, chart] : {std::pair{chvForest, insightscharts::forestPlot(in)},
                               std::pair{chvScores, insightscharts::scoreOverTime(in)}}) {
        QChart *old = view->chart();
        view->setChart(chart);
        delete old;
    }
    showEvidence();
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
    RowSet rs;
    if (!rs.open(m_databasePath, diary::foodRecordSource())) {
        vb::MsgBox(rs.lastError(), this);
        return false;
    }
    if (rs.RecordCount() == 0) {
        vb::MsgBox(tr("The diary %1 holds no food and medication list to add to.").arg(m_databasePath), this);
        return false;
    }
    const QString current = rs.field(field).toString();
    bool already = false;
    analysis::forEachItem(current, [&](const QString &item) {
        already = already || analysis::itemKey(item) == analysis::itemKey(s->item);
    });
    if (already) {
        vb::MsgBox(tr("%1 is already in %2.").arg(s->item, field), this);
        return false;
    }
    QString text = current;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += s->item;
    if (text.size() > 255) {
        vb::MsgBox(tr("%1 does not fit in %2: a list holds at most 255 characters. Nothing was added.")
                       .arg(s->item, field),
                   this);
        return false;
    }
    if (!rs.setField(field, text) || !rs.UpdateBatch()) {
        vb::MsgBox(rs.lastError(), this);
        return false;
    }
    return true;
}

void frmInsights::showEvidence()
{
    if (lblAddWait)
        updateAddButtons();
    lstEvidence->clear();
    const QModelIndex current = tblItems->selectionModel()->currentIndex();
    if (!current.isValid())
        return;
    const int row = m_proxy->mapToSource(current).row();
    const analysis::Insights &in = m_model->insights();
    if (row < 0 || size_t(row) >= in.items.size())
        return;
    const analysis::ItemStats &s = in.items[size_t(row)];
    const auto score = [](const std::optional<double> &v) { return v ? QString::number(*v, 'g', 3) : QStringLiteral("-"); };
    for (const analysis::Evidence &e : s.evidence) {
        const analysis::CalendarDay &d = in.days[size_t(e.day)];
        auto *item = new QListWidgetItem(tr("%1  %2  score %3, then %4 (BMs %5)")
                                             .arg(diary::showDate(d.date), analysis::fieldNames(e.fields), score(d.score),
                                                  score(d.outcome), score(d.outcomeBms)),
                                         lstEvidence);
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
            cells << m_proxy->index(r.row(), c).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool frmInsights::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tblItems && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedRowsText());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
