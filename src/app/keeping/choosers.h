#pragma once

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

class QPagedPaintDevice;
class QWidget;

// What the keeping commands ask the user through the platform's dialogs: a
// file to open or to save, a yes or no, a range of days, a printer. Each goes
// through a replaceable function, as message boxes do, so that tests answer
// them instead of blocking on a modal dialog.
namespace app {

struct Choosers
{
    // The file picked, or empty when the user cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &filter)> openFile;
    std::function<QString(QWidget *parent, const QString &caption, const QString &suggested, const QString &filter)>
        saveFile;
    std::function<bool(QWidget *parent, const QString &question)> askYesNo;
    // The same, for a question whose Yes cannot be undone by No: No is the
    // default button, so that Enter changes nothing.
    std::function<bool(QWidget *parent, const QString &question)> askYesNoDefaultNo;
    // The range, or nothing when cancelled; `from`/`to` are the defaults.
    std::function<std::optional<std::pair<QDate, QDate>>(QWidget *parent, const QDate &from, const QDate &to)>
        reportRange;
    // Shows the print dialog and, unless cancelled, hands the printer to
    // `print`; false when cancelled.
    std::function<bool(QWidget *parent, const std::function<void(QPagedPaintDevice &)> &print)> print;
};

// The platform's dialogs; tests replace them. Returns the previous set.
Choosers setChoosers(Choosers choosers);
const Choosers &choosers();
Choosers platformChoosers();

} // namespace app
