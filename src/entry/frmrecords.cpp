#include "entry/frmrecords.h"

#include "data/datetext.h"
#include "data/dayvalues.h"
#include "data/diarycolumns.h"
#include "data/itemlists.h"
#include "entry/adodc.h"
#include "entry/entryartwork.h"
#include "entry/textboxes.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QRegularExpression>

#include <climits>
#include <limits>

namespace {

const QColor kDay(192, 255, 255);
const QColor kBreakfast(255, 192, 192);
const QColor kLunch(255, 224, 192);
const QColor kTea(192, 255, 192);
const QColor kExtras(255, 192, 255);

void setBackground(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, colour);
        pal.setColor(g, QPalette::Button, colour);
    }
    w->setPalette(pal);
}

QFont defaultFont()
{
    return vb::designFont(QStringLiteral("MS Sans Serif"), 8.25);
}

struct TextBoxDesign
{
    int index;
    const char *field;
    int left, top, width, height;
    bool multiLine;
    QColor colour;
    const char *accessibleName; // its label, and its meal where labels repeat
};

// One control a line, as the window lays them out.
// clang-format off
const TextBoxDesign kTextBoxes[] = {
    {5, "BREAKFAST", 1320, 720, 3375, 615, true, kBreakfast, "Breakfast"},
    {6, "COMMENTS", 1320, 5940, 4695, 765, true, kExtras, "Comments"},
    {7, "DATE", 4920, 375, 1695, 285, false, kDay, "Date"},
    {9, "LUNCH", 1320, 3360, 3375, 615, true, kLunch, "Lunch"},
    {14, "SNACK1", 1320, 2880, 3375, 285, false, kBreakfast, "Breakfast snack"},
    {15, "SNACK2", 1320, 5580, 3375, 285, false, kLunch, "Lunch snack"},
    {16, "SNACK3", 6600, 3015, 3375, 285, false, kTea, "Tea snack"},
    {17, "SNACK4", 6480, 4785, 3375, 285, false, kExtras, "Extras snack"},
    {18, "TEA", 6600, 840, 3375, 615, true, kTea, "Tea"},
};
// clang-format on

enum class Items { Numbers, Beverages, Medications };

struct ListDesign
{
    QComboBox *frmrecords::*member;
    const char *name;
    const char *field;
    int left, top, width, height;
    Items items;
    const char *initialText;
    QColor colour;
    const char *toolTip;
    const char *accessibleName; // its label, and its meal where labels repeat
};

// One control a line, as the window lays them out.
// clang-format off
const ListDesign kLists[] = {
    {&frmrecords::Combo2, "Combo2", "OVERALL SCORE", 3120, 360, 735, 315, Items::Numbers, "Combo2", kDay,
     "A score for this day, 1 for bad and 10 for good. If you lived in the toilet this day or feel unhealthy, "
     "you would give it a 1.", "Overall score"},
    {&frmrecords::Combo3, "Combo3", "BMs", 7560, 360, 735, 315, Items::Numbers, "Combo2", kDay,
     "Bowl movements for this day.", "BMs"},
    {&frmrecords::Combo7, "Combo7", "BEVERAGE1", 1320, 1440, 3375, 315, Items::Beverages, "Combo7", kBreakfast, nullptr, "Breakfast beverage"},
    {&frmrecords::Combo8, "Combo8", "BEVERAGE2", 1320, 4080, 3375, 315, Items::Beverages, "Combo8", kLunch, nullptr, "Lunch beverage"},
    {&frmrecords::Combo9, "Combo9", "BEVERAGE3", 6600, 1560, 3375, 315, Items::Beverages, "Combo9", kTea, nullptr, "Tea beverage"},
    {&frmrecords::Combo10, "Combo10", "BEVERAGE4", 6480, 4320, 3375, 315, Items::Beverages, "Combo10", kExtras, nullptr, "Extras beverage"},
    {&frmrecords::Combo1, "Combo1", "MEDICATION4", 1320, 2160, 3375, 315, Items::Medications, "Combo4", kBreakfast, nullptr, "Breakfast medication 2"},
    {&frmrecords::Combo11, "Combo11", "MEDICATION1", 1320, 1800, 3375, 315, Items::Medications, "Combo4", kBreakfast, nullptr, "Breakfast medication 1"},
    {&frmrecords::Combo4, "Combo4", "MEDICATION2", 1320, 4440, 3375, 315, Items::Medications, "Combo4", kLunch, nullptr, "Lunch medication 1"},
    {&frmrecords::Combo5, "Combo5", "MEDICATION3", 6600, 1920, 3375, 315, Items::Medications, "Combo4", kTea, nullptr, "Tea medication 1"},
    {&frmrecords::Combo6, "Combo6", "MEDICATION5", 1320, 2520, 3375, 315, Items::Medications, "Combo4", kBreakfast, nullptr, "Breakfast medication 3"},
    {&frmrecords::Combo12, "Combo12", "MEDICATION6", 1320, 4800, 3375, 315, Items::Medications, "Combo4", kLunch, nullptr, "Lunch medication 2"},
    {&frmrecords::Combo13, "Combo13", "MEDICATION7", 1320, 5160, 3375, 315, Items::Medications, "Combo4", kLunch, nullptr, "Lunch medication 3"},
    {&frmrecords::Combo14, "Combo14", "MEDICATION8", 6600, 2280, 3375, 315, Items::Medications, "Combo4", kTea, nullptr, "Tea medication 2"},
    {&frmrecords::Combo15, "Combo15", "MEDICATION9", 6600, 2640, 3375, 315, Items::Medications, "Combo4", kTea, nullptr, "Tea medication 3"},
};
// clang-format on

struct LabelDesign
{
    int index;
    const char *caption;
    int left, top, width, height;
};

// One control a line, as the window lays them out.
// clang-format off
const LabelDesign kLabels[] = {
    {0, "BEVERAGE:", 120, 1500, 1095, 255},      {1, "BEVERAGE:", 120, 4080, 1095, 255},
    {2, "BEVERAGE:", 5400, 1665, 1095, 255},     {3, "BEVERAGE:", 5280, 4380, 1095, 255},
    {4, "BMs:", 6960, 360, 375, 255},            {5, "BREAKFAST:", 120, 840, 1095, 255},
    {6, "COMMENTS:", 120, 5940, 1095, 255},      {7, "DATE:", 4200, 375, 1815, 255},
    {9, "LUNCH:", 120, 3480, 1095, 255},         {10, "MEDICATION:", 120, 1815, 1095, 255},
    {11, "MEDICATION:", 120, 4440, 1095, 255},   {12, "MEDICATION:", 5400, 1980, 1095, 255},
    {13, "OVERALL SCORE:", 1680, 375, 1815, 255}, {14, "SNACK:", 120, 2865, 1095, 255},
    {15, "SNACK:", 120, 5580, 1095, 255},        {16, "SNACK:", 5400, 3015, 1095, 255},
    {17, "SNACK:", 5280, 4785, 1095, 255},       {18, "TEA:", 5400, 960, 1095, 255},
};
// clang-format on

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(defaultFont());
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ButtonText));
    label->setPalette(pal);
    vb::fitCaption(label);
    return label;
}

QString shown(const QString &text)
{
    return text.size() > 40 ? text.left(40) + QChar(0x2026) : text;
}

} // namespace

frmrecords::frmrecords(const vb::FlexGrid *mainGrid, const QString &databasePath, QWidget *parent)
    : BoundEntryWindow(parent)
    , m_mainGrid(mainGrid)
    , m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath)
{
    setObjectName(QStringLiteral("frmrecords"));
    setWindowTitle(QStringLiteral("records"));
    setWindowIcon(entryartwork::recordsIcon());
    setFont(defaultFont());
    setFixedClientSize(vb::twipsSize(10035, 7650));

    buildControls();
    bindControls();
    setTabOrder();
    connectNavigator();

    RowSet *rs = datPrimaryRS->Recordset();
    // Dates are typed day first and stored as yyyy-MM-dd; a text that is no
    // date stops the write, so it stays in the box to be corrected.
    rs->setFieldWriter(
        QStringLiteral("DATE"), [this](const QVariant &pending, QString *error) -> std::optional<QVariant> {
            const QString text = pending.toString().trimmed();
            if (pending.isNull() || text.isEmpty())
                return std::optional<QVariant>(QVariant());
            const QDate today = m_today();
            const std::optional<QDate> date = diary::readDayFirstDate(text, today.year());
            if (!date) {
                *error = tr("\"%1\" in the DATE box is not a date. Type the day, then the month, then the year, for "
                            "example %2.")
                             .arg(shown(pending.toString()), diary::showDate(today));
                return std::nullopt;
            }
            return QVariant(diary::storeDate(*date));
        });
    // A score is a whole number from 1 to 10 and a count of BMs one from 0,
    // typed as digits (so "1e1" is refused, not read as 10); blanks around the
    // number do no harm. What is refused stays in its list to be corrected.
    struct Rule
    {
        const char *field;
        const char *rule;
    };
    static const Rule kRules[] = {
        {"OVERALL SCORE", QT_TRANSLATE_NOOP("frmrecords", "OVERALL SCORE must be a whole number from 1 to 10")},
        {"BMs", QT_TRANSLATE_NOOP("frmrecords", "BMs must be a whole number from 0 up")},
    };
    for (const Rule &rule : kRules) {
        const diary::NumberRange range = *diary::dayNumberRange(QLatin1String(rule.field));
        rs->setFieldWriter(
            QLatin1String(rule.field),
            [rule, range](const QVariant &pending, QString *error) -> std::optional<QVariant> {
                const QString text = pending.toString().trimmed();
                if (pending.isNull() || text.isEmpty())
                    return std::optional<QVariant>(QVariant());
                static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
                const qint64 number = digits.match(text).hasMatch() ? text.toLongLong() : -1;
                if (number < range.low || number > range.high) {
                    *error =
                        tr("%1, typed as digits, and \"%2\" is not one.").arg(tr(rule.rule), shown(pending.toString()));
                    return std::nullopt;
                }
                return QVariant(number);
            });
    }
    rs->setRowDescriber([](const RowSet &rows, int row) {
        if (rows.isNew(row))
            return tr("The new day");
        const QString date = diary::showStoredDate(rows.storedValue(row, rows.fieldIndex(QStringLiteral("DATE"))));
        if (date.isEmpty())
            return tr("The day without a date (record %1)").arg(row + 1);
        return tr("The day %1").arg(date);
    });

    datPrimaryRS->open(m_databasePath, diary::recordsRecordSource());
    Form_Load();
    txtFields(5)->setFocus();
    vb::Forms::add(this);
}

frmrecords::~frmrecords() = default;

QWidget *frmrecords::txtFields(int index) const
{
    const auto it = m_txtFields.find(index);
    return it == m_txtFields.end() ? nullptr : it->second;
}

QLabel *frmrecords::lblLabels(int index) const
{
    const auto it = m_lblLabels.find(index);
    return it == m_lblLabels.end() ? nullptr : it->second;
}

void frmrecords::buildControls()
{
    Image1 = makeBackdrop(QRect(0, 0, 10095, 7695), &entryartwork::recordsBackground);

    Label2 = makeLabel(this, QStringLiteral("Label2"),
                       QStringLiteral("Use this form to keep track of your diet to see how different types of foods "
                                      "and medications affect your bowl movements and health."),
                       vb::twipsRect(480, 0, 9495, 255));
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("EXTRAS:"), vb::twipsRect(7680, 4080, 855, 255));
    for (const LabelDesign &d : kLabels) {
        m_lblLabels[d.index] = makeLabel(this, QStringLiteral("lblLabels_%1").arg(d.index), QLatin1String(d.caption),
                                         vb::twipsRect(d.left, d.top, d.width, d.height));
    }

    for (const TextBoxDesign &d : kTextBoxes) {
        QWidget *box = nullptr;
        if (d.multiLine) {
            auto *multi = new MultiLineTextBox(this);
            multi->setMaxLength(200);
            box = multi;
        } else {
            auto *line = new QLineEdit(this);
            line->setMaxLength(INT_MAX); // no limit of its own
            box = line;
        }
        box->setObjectName(QStringLiteral("txtFields_%1").arg(d.index));
        box->setGeometry(vb::twipsRect(d.left, d.top, d.width, d.height));
        box->setFont(defaultFont());
        box->setAccessibleName(QLatin1String(d.accessibleName));
        setBackground(box, d.colour);
        m_txtFields[d.index] = box;
    }

    for (const ListDesign &d : kLists) {
        auto *list = new QComboBox(this);
        list->setObjectName(QLatin1String(d.name));
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        // The lists' columns have no limit of their own; the line edit's
        // default (32767) would cut a longer value on showing and typing.
        list->lineEdit()->setMaxLength(INT_MAX);
        // Typing keeps exactly what is typed; no completion from the items.
        list->setCompleter(nullptr);
        list->setGeometry(vb::twipsRect(d.left, d.top, d.width, d.height));
        list->setFont(defaultFont());
        switch (d.items) {
        case Items::Numbers:
            list->addItems(diary::numberItems());
            break;
        case Items::Beverages:
            list->addItems(diary::beverageItems());
            break;
        case Items::Medications:
            list->addItems(diary::medicationItems());
            break;
        }
        list->setCurrentIndex(-1);
        list->setEditText(QLatin1String(d.initialText));
        if (d.toolTip)
            list->setToolTip(QLatin1String(d.toolTip));
        list->setAccessibleName(QLatin1String(d.accessibleName));
        setBackground(list, d.colour);
        this->*(d.member) = list;
    }

    datPrimaryRS = new Adodc(this);
    datPrimaryRS->setGeometry(vb::twipsRect(0, 7020, 10035, 330));
    datPrimaryRS->setCaption(QString());

    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    picButtons->setGeometry(vb::twipsRect(0, 7350, 10035, 300));
    picButtons->setAutoFillBackground(true);
    {
        QPalette pal = picButtons->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Button));
        picButtons->setPalette(pal);
    }
    auto makeButton = [this](const char *name, const char *caption, int left, const char *tip) {
        auto *b = new QPushButton(QLatin1String(caption), picButtons);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(vb::twipsRect(left, 0, 1095, 300));
        b->setFont(defaultFont());
        b->setAutoDefault(false);
        vb::fitCaption(b);
        if (tip)
            b->setToolTip(QLatin1String(tip));
        return b;
    };
    cmdAdd = makeButton("cmdAdd", "&Add", 59, "To add new records, click, enter data and then update.");
    cmdUpdate = makeButton("cmdUpdate", "&Update", 1213, "After changing records, click me to save.");
    cmdDelete = makeButton("cmdDelete", "&Delete", 2367, nullptr);
    cmdRefresh = makeButton("cmdRefresh", "&Refresh", 3521, nullptr);
    cmdClose = makeButton("cmdClose", "&Close", 4675, nullptr);
    connect(cmdAdd, &QPushButton::clicked, this, &frmrecords::cmdAdd_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmrecords::cmdUpdate_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmrecords::cmdDelete_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmrecords::cmdRefresh_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmrecords::cmdClose_Click);

    Image1->lower();
}

void frmrecords::bindControls()
{
    for (const TextBoxDesign &d : kTextBoxes) {
        QWidget *box = m_txtFields.at(d.index);
        const QString field = QLatin1String(d.field);
        if (auto *multi = qobject_cast<MultiLineTextBox *>(box)) {
            datPrimaryRS->bind(multi, field);
        } else if (field == QLatin1String("DATE")) {
            datPrimaryRS->bind(qobject_cast<QLineEdit *>(box), field, &diary::showStoredDate);
        } else {
            datPrimaryRS->bind(qobject_cast<QLineEdit *>(box), field);
        }
    }
    for (const ListDesign &d : kLists)
        datPrimaryRS->bind(this->*(d.member), QLatin1String(d.field), QLatin1String(d.initialText));
}

void frmrecords::setTabOrder()
{
    const QList<QWidget *> order{
        txtFields(5),  txtFields(6),  txtFields(7),  txtFields(9), txtFields(14), txtFields(15),
        txtFields(16), txtFields(17), txtFields(18), cmdAdd,       cmdUpdate,     cmdDelete,
        cmdRefresh,    cmdClose,      Combo2,        Combo3,       Combo7,        Combo8,
        Combo9,        Combo10,       Combo1,        Combo11,      Combo4,        Combo5,
        Combo6,        Combo12,       Combo13,       Combo14,      Combo15,
    };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order.at(i), order.at(i + 1));
}

bool frmrecords::addDayLike(qint64 id)
{
    RowSet *rs = datPrimaryRS->Recordset();
    const int from = rs->isOpen() ? rs->indexOf(QStringLiteral("ID"), QVariant::fromValue<qlonglong>(id)) : -1;
    if (from < 0) {
        trapped(tr("The day selected in the list is no longer in the diary. Refresh the ranking (F5) and select "
                   "another day."));
        return false;
    }
    std::vector<std::pair<QString, QVariant>> values;
    for (const QString &name : diary::copiedFieldNames())
        values.emplace_back(name, rs->value(from, rs->fieldIndex(name)));
    if (!rs->AddNew()) {
        trapped(rs->lastError());
        return false;
    }
    for (const auto &[name, value] : values) {
        if (!value.isNull() && !value.toString().isEmpty())
            rs->setField(name, value);
    }
    rs->setField(QStringLiteral("DATE"), diary::showDate(m_today()));
    datPrimaryRS->showCurrentRow();
    return true;
}

bool frmrecords::moveToId(qint64 id)
{
    RowSet *rs = datPrimaryRS->Recordset();
    if (!rs->isOpen())
        return false;
    const int index = rs->indexOf(QStringLiteral("ID"), QVariant::fromValue<qlonglong>(id));
    if (index < 0)
        return false;
    if (!rs->setAbsolutePosition(index + 1)) {
        trapped(rs->lastError());
        return false;
    }
    return true;
}

void frmrecords::Form_Load()
{
    RowSet *rs = datPrimaryRS->Recordset();
    // A diary that could not be opened has been reported by the navigator;
    // an empty one opens ready for Add.
    if (!rs->isOpen() || rs->RecordCount() == 0)
        return;
    if (!m_mainGrid)
        return; // stays on the first row
    const int rowSel = m_mainGrid->RowSel();
    if (const std::optional<qint64> key = m_mainGrid->RowKey(rowSel)) {
        const int index = rs->indexOf(QStringLiteral("ID"), QVariant::fromValue<qlonglong>(*key));
        if (index >= 0) {
            if (!rs->setAbsolutePosition(index + 1))
                return trapped(rs->lastError());
            return;
        }
    }
    // No key (the header row) or the day is gone: the row at the same place.
    if (!rs->Move(qint64(rowSel) - 1))
        return trapped(rs->lastError());
    if (rs->isEOF()) {
        if (!rs->MoveLast())
            return trapped(rs->lastError());
    }
}
