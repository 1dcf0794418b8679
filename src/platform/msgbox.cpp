#include "platform/msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace vb {

namespace {
MsgBoxSink &currentSink()
{
    static MsgBoxSink sink;
    return sink;
}

void showModal(const QString &text, QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, QLatin1String(kProgramTitle), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    // A message met while the busy cursor shows is answered with the pointer.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    box.exec();
    if (busy && QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}
} // namespace

void MsgBox(const QString &text, QWidget *parent)
{
    if (currentSink())
        currentSink()(text, parent);
    else
        showModal(text, parent);
}

MsgBoxSink setMsgBoxSink(MsgBoxSink sink)
{
    MsgBoxSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

} // namespace vb
