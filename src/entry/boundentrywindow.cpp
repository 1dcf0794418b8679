#include "entry/boundentrywindow.h"

#include "data/recoveryfile.h"
#include "platform/accessibility.h"

#include "entry/adodc.h"
#include "platform/busycursor.h"
#include "platform/msgbox.h"
#include "platform/screenfit.h"
#include "platform/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

BoundEntryWindow::BoundEntryWindow(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // Its lists are read out by their names, before any is made.
    vb::installAccessibility();
}

BoundEntryWindow::~BoundEntryWindow() = default;

void BoundEntryWindow::connectNavigator()
{
    connect(datPrimaryRS, &Adodc::MoveComplete, this, &BoundEntryWindow::datPrimaryRS_MoveComplete);
    connect(datPrimaryRS, &Adodc::WillChangeRecord, this, &BoundEntryWindow::datPrimaryRS_WillChangeRecord);
    connect(datPrimaryRS, &Adodc::Error, this, &BoundEntryWindow::datPrimaryRS_Error);
}

void BoundEntryWindow::trapped(const QString &description)
{
    vb::MsgBox(description, this);
}

QLabel *BoundEntryWindow::makeBackdrop(const QRect &twips, QPixmap (*draw)(QSize size, qreal dpr))
{
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(vb::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    // Drawn at the control's size, so it is shown as it is, never scaled.
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setPixmap(draw(image->size(), devicePixelRatioF()));
    return image;
}

void BoundEntryWindow::setFixedClientSize(const QSize &size)
{
    // Fixed border: a title bar with a close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size);
}

void BoundEntryWindow::cmdAdd_Click()
{
    RowSet *rs = datPrimaryRS->Recordset();
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = rs->AddNew();
    }
    if (!ok)
        return trapped(rs->lastError());
}

void BoundEntryWindow::cmdDelete_Click()
{
    RowSet *rs = datPrimaryRS->Recordset();
    if (rs->isOpen() && rs->RecordCount() == 0)
        return trapped(tr("There is no day to delete: this diary holds no days."));
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = rs->Delete(RowSet::adAffectCurrent);
    }
    if (!ok)
        return trapped(rs->lastError());
    if (!rs->MoveNext())
        return trapped(rs->lastError());
    if (rs->isEOF()) {
        // The only day was deleted: the window shows the empty set, which is
        // what the user asked for, not a failure.
        if (rs->RecordCount() == 0)
            return;
        if (!rs->MoveLast())
            return trapped(rs->lastError());
    }
}

void BoundEntryWindow::cmdRefresh_Click()
{
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = datPrimaryRS->Refresh();
    }
    if (!ok)
        return trapped(datPrimaryRS->lastError());
}

void BoundEntryWindow::cmdUpdate_Click()
{
    RowSet *rs = datPrimaryRS->Recordset();
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = rs->UpdateBatch(RowSet::adAffectAll);
    }
    if (!ok)
        return trapped(rs->lastError());
}

void BoundEntryWindow::cmdClose_Click()
{
    close();
}

void BoundEntryWindow::Form_Unload()
{
    // The application's mouse pointer back to the default.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void BoundEntryWindow::datPrimaryRS_MoveComplete()
{
    datPrimaryRS->setCaption(QStringLiteral("Record: ") +
                             QString::number(datPrimaryRS->Recordset()->AbsolutePosition()));
}

void BoundEntryWindow::datPrimaryRS_WillChangeRecord(int reason, bool *cancel)
{
    // Every change goes ahead.
    Q_UNUSED(reason);
    Q_UNUSED(cancel);
}

void BoundEntryWindow::datPrimaryRS_Error(const QString &description)
{
    vb::MsgBox(QStringLiteral("Data error event hit err:") + description, this);
}

void BoundEntryWindow::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        RowSet *rs = datPrimaryRS ? datPrimaryRS->Recordset() : nullptr;
        bool failed = false;
        if (rs && rs->isOpen() && rs->hasPendingChanges()) {
            const vb::BusyCursor wait;
            failed = !rs->UpdateBatch(RowSet::adAffectAll);
        }
        if (failed) {
            if (s_unattended) {
                const QString text =
                    tr("MEALWISE was ended (%1) before this change could be saved: %2\n%3")
                        .arg(QDateTime::currentDateTime().toString(Qt::ISODate), rs->lastError(), describePending(*rs));
                const QString why = diary::keepForNextStart(rs->path(), text);
                if (!why.isEmpty()) {
                    // Nowhere else to keep it: the session's log at least.
                    std::fprintf(stderr, "MEALWISE: %s\n(the recovery file %s could not be written: %s)\n",
                                 qPrintable(text), qPrintable(diary::recoveryPath(rs->path())), qPrintable(why));
                }
            } else {
                vb::MsgBox(tr("The window closes without this change, which could not be saved:\n\n") + rs->lastError(),
                           this);
            }
        }
        Form_Unload();
    }
    event->accept();
}

bool BoundEntryWindow::s_unattended = false;

void BoundEntryWindow::setClosingUnattended(bool unattended)
{
    s_unattended = unattended;
}

bool BoundEntryWindow::closingUnattended()
{
    return s_unattended;
}

QString BoundEntryWindow::describePending(const RowSet &rows)
{
    QString text;
    for (int row = 0; row < rows.RecordCount(); ++row) {
        if (!rows.isPending(row))
            continue;
        text += rows.describeRow(row) + QStringLiteral(":\n");
        for (int c = 0; c < rows.fieldNames().size(); ++c) {
            const QVariant now = rows.value(row, c);
            const QVariant before = rows.isNew(row) ? QVariant() : rows.storedValue(row, c);
            if (now.isNull() && before.isNull())
                continue;
            if (!rows.isNew(row) && now == before && now.isNull() == before.isNull())
                continue;
            text += QStringLiteral("  %1: %2\n")
                        .arg(rows.fieldNames().at(c), now.isNull() ? tr("(emptied)") : now.toString());
        }
    }
    return text;
}

void BoundEntryWindow::showEvent(QShowEvent *event)
{
    if (!m_centred) {
        m_centred = true;
        // Centred, with its title bar on a screen too small to hold it.
        vb::centreOnScreen(this);
    }
    QWidget::showEvent(event);
}
