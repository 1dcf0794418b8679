#include "app/help/frmabout.h"

#include "data/engineversion.h"
#include "platform/forms.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString frmAbout::aboutText(const QString &databasePath)
{
    const QString sqlite = diary::sqliteVersion();
    return QStringLiteral("MEALWISE %1\n"
                          "A diary of meals, drinks, medications and bowel movements that ranks the days from "
                          "the best to the worst.\n\n"
                          "Copyright \u00A9 2026 the MEALWISE developers.\n"
                          "Licence: GNU General Public License, version 3 or (at your option) any later version "
                          "(GPL-3.0-or-later). MEALWISE is free software and comes with no warranty.\n\n"
                          "Qt %2 (built with %3)\nSQLite %4\n\nDiary: %5")
        .arg(QStringLiteral(MEALWISE_VERSION), QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR),
             sqlite.isEmpty() ? QStringLiteral("(the SQLite driver is missing)") : sqlite, databasePath);
}

frmAbout::frmAbout(const QString &databasePath, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About MEALWISE"));

    lblAbout = new QLabel(this);
    lblAbout->setObjectName(QStringLiteral("lblAbout"));
    lblAbout->setTextFormat(Qt::PlainText);
    lblAbout->setWordWrap(true);
    lblAbout->setText(aboutText(databasePath));
    lblAbout->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblAbout);
    layout->addLayout(buttons);
    // Wide enough for the text at any font; the height follows it.
    lblAbout->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    cmdClose->setFocus();
    vb::Forms::add(this);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
