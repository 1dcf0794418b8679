#include "app/keeping/choosers.h"

#include "keeping/report.h"
#include "platform/msgbox.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

namespace app {

namespace {
Choosers &current()
{
    static Choosers c = platformChoosers();
    return c;
}

std::optional<std::pair<QDate, QDate>> askRange(QWidget *parent, const QDate &from, const QDate &to)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgReportRange"));
    dialog.setWindowTitle(QLatin1String(vb::kProgramTitle));
    auto *layout = new QFormLayout(&dialog);
    auto *fromEdit = new QDateEdit(from, &dialog);
    auto *toEdit = new QDateEdit(to, &dialog);
    for (QDateEdit *e : {fromEdit, toEdit}) {
        e->setDisplayFormat(QStringLiteral("dd/MM/yy"));
        e->setCalendarPopup(true);
    }
    fromEdit->setAccessibleName(QStringLiteral("First day"));
    toEdit->setAccessibleName(QStringLiteral("Last day"));
    layout->addRow(QStringLiteral("&First day:"), fromEdit);
    layout->addRow(QStringLiteral("&Last day:"), toEdit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QDate a = fromEdit->date(), b = toEdit->date();
    if (a > b)
        std::swap(a, b);
    return std::pair{a, b};
}
} // namespace

Choosers platformChoosers()
{
    Choosers c;
    c.openFile = [](QWidget *parent, const QString &caption, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
    c.saveFile = [](QWidget *parent, const QString &caption, const QString &suggested, const QString &filter) {
        return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
    };
    c.askYesNo = [](QWidget *parent, const QString &question) {
        return QMessageBox::question(parent, QLatin1String(vb::kProgramTitle), question) == QMessageBox::Yes;
    };
    c.askYesNoDefaultNo = [](QWidget *parent, const QString &question) {
        return QMessageBox::question(parent, QLatin1String(vb::kProgramTitle), question,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    c.reportRange = askRange;
    c.print = [](QWidget *parent, const std::function<void(QPagedPaintDevice &)> &print) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(keeping::localePageSize());
        QPrintDialog dialog(&printer, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        print(printer);
        return true;
    };
    return c;
}

Choosers setChoosers(Choosers choosers)
{
    Choosers previous = std::move(current());
    current() = choosers.openFile ? std::move(choosers) : platformChoosers();
    // A set that answers only askYesNo answers both kinds of question.
    if (!current().askYesNoDefaultNo)
        current().askYesNoDefaultNo = current().askYesNo;
    return previous;
}

const Choosers &choosers()
{
    return current();
}

} // namespace app
