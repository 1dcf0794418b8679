#include "app/frmfind.h"

#include "data/datetext.h"
#include "grid/gridfind.h"
#include "platform/busycursor.h"
#include "platform/flexgrid.h"
#include "platform/fonts.h"
#include "platform/forms.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmFind::frmFind(vb::FlexGrid *grid, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_grid(grid)
{
    setObjectName(QStringLiteral("frmFind"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Find"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25));

    auto *label = new QLabel(tr("&Find what:"), this);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    label->setBuddy(txtFind);
    cmdFindNext = new QPushButton(tr("Find &next"), this);
    cmdFindNext->setObjectName(QStringLiteral("cmdFindNext"));
    cmdFindNext->setDefault(true);
    cmdFindPrevious = new QPushButton(tr("Find &previous"), this);
    cmdFindPrevious->setObjectName(QStringLiteral("cmdFindPrevious"));
    cmdClose = new QPushButton(tr("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);

    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(txtFind, 0, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdFindNext);
    buttons->addWidget(cmdFindPrevious);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->addWidget(lblStatus, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdFindNext, &QPushButton::clicked, this, &frmFind::cmdFindNext_Click);
    connect(cmdFindPrevious, &QPushButton::clicked, this, &frmFind::cmdFindPrevious_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(txtFind, &QLineEdit::returnPressed, this, &frmFind::cmdFindNext_Click);
    connect(txtFind, &QLineEdit::textChanged, lblStatus, &QLabel::clear);
    vb::Forms::add(this);
}

frmFind::~frmFind() = default;

void frmFind::cmdFindNext_Click()
{
    find(true);
}

void frmFind::cmdFindPrevious_Click()
{
    find(false);
}

void frmFind::find(bool forward)
{
    const QString text = txtFind->text();
    if (!m_grid || text.isEmpty()) {
        lblStatus->setText(tr("Type the text to find."));
        return;
    }
    int row = -1;
    int col = 0;
    {
        vb::BusyCursor busy;
        row = grid::findRow(*m_grid, text, m_grid->RowSel(), forward, &col);
    }
    if (row < 0) {
        lblStatus->setText(tr("\"%1\" not found in the days shown.").arg(text));
        return;
    }
    // The cell that holds the text is selected and brought into view with
    // the day's date, and the window says where it is.
    int dateCol = -1;
    for (int c = 0; c < m_grid->Cols() && dateCol < 0; ++c) {
        if (m_grid->TextMatrix(0, c) == QLatin1String("DATE"))
            dateCol = c;
    }
    m_grid->goToFoundCell(row, col, dateCol);
    QString date = dateCol >= 0 ? m_grid->TextMatrix(row, dateCol) : QString();
    const bool shownDay = date.size() == 8 && QDate::fromString(date, QStringLiteral("dd/MM/yy")).isValid();
    if (!shownDay && m_storedDate) {
        if (const std::optional<qint64> id = m_grid->RowKey(row))
            date = diary::showStoredDate(m_storedDate(*id));
    }
    lblStatus->setText(foundText(date, m_grid->FixedRows() > 0 ? m_grid->TextMatrix(0, col) : QString()));
}

QString frmFind::foundText(const QString &date, const QString &column)
{
    if (date.trimmed().isEmpty())
        return tr("found in %1 on a day without a date").arg(column);
    return tr("found on %1 in %2").arg(date, column);
}

void frmFind::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
