#include "app/help/frmguide.h"

#include "platform/forms.h"
#include "platform/twips.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

frmGuide::frmGuide(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmGuide"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("MEALWISE user guide"));

    txtGuide = new QTextBrowser(this);
    txtGuide->setObjectName(QStringLiteral("txtGuide"));
    txtGuide->setAccessibleName(QStringLiteral("User guide"));
    // Bundled, never fetched: links stay inside the guide.
    txtGuide->setOpenLinks(false);
    QFile guide(QStringLiteral(":/help/guide.html"));
    if (guide.open(QIODevice::ReadOnly))
        txtGuide->setHtml(QString::fromUtf8(guide.readAll()));

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtGuide);
    layout->addLayout(buttons);
    resize(vb::twipsSize(8400, 9000));
    setTabOrder(txtGuide, cmdClose);
    txtGuide->setFocus();
    vb::Forms::add(this);
}

void frmGuide::keyPressEvent(QKeyEvent *event)
{
    // Nothing here is ever pending: Escape closes, as in a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
