#include "entry/food.h"

#include "entry/adodc.h"
#include "entry/entryartwork.h"
#include "entry/textboxes.h"
#include "platform/fonts.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "platform/twips.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace {

struct BoxDesign
{
    int left, top, width, height;
};
const BoxDesign kBoxes[] = {
    {2040, 120, 3375, 2415},
    {2040, 3120, 3375, 2415},
    {7680, 120, 3375, 2415},
    {7680, 3120, 3375, 2415},
};

struct LabelDesign
{
    const char *caption;
    int left, top, width, height;
};
const LabelDesign kLabels[] = {
    {"ADEQUATE FOOD:", 120, 60, 1815, 255},
    {"IRRITABLE FOOD:", 120, 3135, 1815, 255},
    {"RELIABLE MEDICATION:", 5760, 105, 1815, 615},
    {"UNSATISFACTORY MEDICATION:", 5760, 3120, 1815, 615},
};

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 255, 0));
    label->setPalette(pal);
    label->setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    vb::fitCaption(label);
    return label;
}

} // namespace

FOOD::FOOD(const QString &databasePath, QWidget *parent)
    : BoundEntryWindow(parent)
    , m_databasePath(databasePath.isEmpty() ? diary::databasePath() : databasePath)
{
    setObjectName(QStringLiteral("FOOD"));
    setWindowTitle(QStringLiteral("FOOD AND MEDICATION"));
    setWindowIcon(entryartwork::foodIcon());
    setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    setFixedClientSize(vb::twipsSize(11190, 6585));
    buildControls();
    connectNavigator();
    // This window has no Refresh: it reads the diary when it opens.
    datPrimaryRS->Recordset()->setRereadHints(
        tr("Close this window and open it again to see the other change."),
        tr("Close this window and open it again to read the diary that is there now."));

    if (datPrimaryRS->open(m_databasePath, diary::foodRecordSource()) && datPrimaryRS->Recordset()->RecordCount() == 0)
        vb::MsgBox(noRowMessage(), this);
    txtFields[0]->setFocus();
    vb::Forms::add(this);
}

FOOD::~FOOD() = default;

QString FOOD::noRowMessage() const
{
    return tr("The diary %1 holds no food and medication list, so there is nothing to show here and nothing "
              "can be saved. The list is made with the diary; a diary made by mealwise-setup has it.")
        .arg(m_databasePath);
}

void FOOD::buildControls()
{
    Image1 = makeBackdrop(QRect(0, 0, 11520, 7320), &entryartwork::foodBackground);

    for (int i = 0; i < 4; ++i) {
        const LabelDesign &l = kLabels[i];
        lblLabels[size_t(i)] = makeLabel(this, QStringLiteral("lblLabels_%1").arg(i), QLatin1String(l.caption),
                                         vb::twipsRect(l.left, l.top, l.width, l.height));
    }
    Label1 = makeLabel(this, QStringLiteral("Label1"),
                       QStringLiteral("Enter food and medication and the effect it has on you for your own records."),
                       vb::twipsRect(3240, 5640, 7215, 255));
    Label1->setWordWrap(false);
    Label1->setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    vb::fitCaption(Label1);

    for (int i = 0; i < 4; ++i) {
        const BoxDesign &b = kBoxes[i];
        auto *box = new MultiLineTextBox(this);
        box->setObjectName(QStringLiteral("txtFields_%1").arg(i));
        box->setGeometry(vb::twipsRect(b.left, b.top, b.width, b.height));
        box->setMaxLength(255);
        // Its label, read out without the colon and the capitals.
        const QString label = QString::fromLatin1(kLabels[i].caption).chopped(1).toLower();
        box->setAccessibleName(label.left(1).toUpper() + label.mid(1));
        box->setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 9.75));
        QPalette pal = box->palette();
        for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(g, QPalette::Base, QColor(255, 224, 192));
        box->setPalette(pal);
        txtFields[size_t(i)] = box;
    }

    auto makeButton = [this](const char *name, const char *caption, int left, const char *tip) {
        auto *b = new QPushButton(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(vb::twipsRect(left, 6240, 1095, 300));
        b->setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25));
        b->setAutoDefault(false);
        vb::fitCaption(b);
        if (tip)
            b->setToolTip(QLatin1String(tip));
        return b;
    };
    cmdUpdate = makeButton("cmdUpdate", "&Update", 2760, "After changes, click to save.");
    cmdClose = makeButton("cmdClose", "&Close", 5040, nullptr);
    connect(cmdUpdate, &QPushButton::clicked, this, &FOOD::cmdUpdateFood_Click);
    connect(cmdClose, &QPushButton::clicked, this, &FOOD::cmdClose_Click);

    datPrimaryRS = new Adodc(this);
    datPrimaryRS->setGeometry(vb::twipsRect(0, 6255, 11190, 330));
    datPrimaryRS->setCaption(QStringLiteral(" "));
    datPrimaryRS->setVisible(false);
    const QStringList &fields = diary::foodColumns();
    for (int i = 0; i < 4; ++i)
        datPrimaryRS->bind(txtFields[size_t(i)], fields.at(i));

    QWidget::setTabOrder(txtFields[0], txtFields[1]);
    QWidget::setTabOrder(txtFields[1], txtFields[2]);
    QWidget::setTabOrder(txtFields[2], txtFields[3]);
    QWidget::setTabOrder(txtFields[3], cmdUpdate);
    QWidget::setTabOrder(cmdUpdate, cmdClose);
    Image1->lower();
}

void FOOD::cmdUpdateFood_Click()
{
    const RowSet *rs = datPrimaryRS->Recordset();
    if (rs->isOpen() && rs->RecordCount() == 0)
        return trapped(noRowMessage());
    cmdUpdate_Click();
}
