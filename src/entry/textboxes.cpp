#include "entry/textboxes.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

MultiLineTextBox::MultiLineTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
}

void MultiLineTextBox::setText(const QString &text)
{
    if (text != toPlainText())
        setPlainText(text);
}

QString MultiLineTextBox::fitting(const QString &insert) const
{
    if (m_maxLength <= 0)
        return insert;
    const QTextCursor cursor = textCursor();
    const qsizetype selected = cursor.selectionEnd() - cursor.selectionStart();
    const qsizetype room = qsizetype(m_maxLength) - (toPlainText().size() - selected);
    if (room <= 0)
        return QString();
    if (insert.size() <= room)
        return insert;
    qsizetype cut = room;
    // Never split a character made of two UTF-16 units.
    if (cut > 0 && insert.at(cut - 1).isHighSurrogate())
        --cut;
    return insert.left(cut);
}

void MultiLineTextBox::keyPressEvent(QKeyEvent *event)
{
    if (m_maxLength > 0 && !isReadOnly() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QString typed = event->text();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            typed = QStringLiteral("\n");
        if (!typed.isEmpty() && (typed.at(0).isPrint() || typed == QLatin1String("\n"))) {
            const QString fits = fitting(typed);
            if (fits.isEmpty()) {
                event->accept();
                return;
            }
            if (fits.size() < typed.size()) {
                insertPlainText(fits);
                event->accept();
                return;
            }
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineTextBox::insertFromMimeData(const QMimeData *source)
{
    if (!source || isReadOnly())
        return;
    const QString fits = fitting(source->text());
    if (!fits.isEmpty())
        insertPlainText(fits);
}

void MultiLineTextBox::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_maxLength > 0 && !event->commitString().isEmpty()) {
        const QString fits = fitting(event->commitString());
        if (fits.size() < event->commitString().size()) {
            QInputMethodEvent trimmed(event->preeditString(), event->attributes());
            trimmed.setCommitString(fits, event->replacementStart(), event->replacementLength());
            QPlainTextEdit::inputMethodEvent(&trimmed);
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
}
