#include "entry/textboxes.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

MultiLineTextBox::MultiLineTextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &MultiLineTextBox::followEdit);
}

namespace {

// Longer than any word a user types; a run past it is broken anywhere.
constexpr qsizetype kLongestWord = 1000;

bool isBlockBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

void MultiLineTextBox::setText(const QString &text)
{
    if (m_loaded && text == this->text())
        return;
    m_loaded = true;
    m_storedAt.clear(); // nothing to follow while the document is refilled
    // Looking for a word boundary in a long run without one costs the layout
    // time that grows with the square of the run (a megabyte: most of a
    // minute); such a text is broken anywhere instead, as it would be anyway.
    qsizetype run = 0, longest = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    // The mode changes while the box holds the shorter-lined text, so that
    // the long run is never laid out at word boundaries, not even for a moment.
    if (longest > kLongestWord) {
        setWordWrapMode(QTextOption::WrapAnywhere);
        setPlainText(text);
    } else {
        setPlainText(text);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
    m_stored = text;
    m_shown = document()->toRawText();
    // Pair each shown character with the stored one(s) it came from; the
    // document turns every line end into one block break.
    m_storedAt.clear();
    m_storedAt.reserve(size_t(m_shown.size()) + 1);
    qsizetype j = 0;
    for (qsizetype i = 0; i < m_shown.size(); ++i) {
        m_storedAt.push_back(j);
        const QChar c = m_shown.at(i);
        if (j < text.size() && text.at(j) == c) {
            ++j;
        } else if (c == QChar::ParagraphSeparator && text.mid(j, 2) == QLatin1String("\r\n")) {
            j += 2;
        } else if (c == QChar::ParagraphSeparator && j < text.size() &&
                   (text.at(j) == QLatin1Char('\n') || text.at(j) == QLatin1Char('\r') || isBlockBreak(text.at(j)))) {
            ++j;
        } else {
            break;
        }
    }
    if (m_storedAt.size() != size_t(m_shown.size()) || j != text.size()) {
        // A change this box does not know: fall back to the document's text
        // once the user edits.
        m_storedAt.clear();
        return;
    }
    m_storedAt.push_back(j);
}

QString MultiLineTextBox::text() const
{
    if (m_storedAt.empty())
        return toPlainText();
    const QString now = document()->toRawText();
    return now == m_shown ? m_stored : spliced(now, nullptr);
}

QString MultiLineTextBox::spliced(const QString &now, std::vector<qsizetype> *storedAt) const
{
    // The user's edit is what differs between the shown text and now; the
    // rest is taken from the stored text as it was.
    const qsizetype most = std::min(now.size(), m_shown.size());
    qsizetype head = 0;
    while (head < most && now.at(head) == m_shown.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < most - head && now.at(now.size() - 1 - tail) == m_shown.at(m_shown.size() - 1 - tail))
        ++tail;
    QString typed = now.mid(head, now.size() - head - tail);
    for (QChar &c : typed) {
        if (isBlockBreak(c))
            c = QLatin1Char('\n'); // Return and Shift+Return both make a line end
    }
    const qsizetype from = m_storedAt[size_t(head)];
    const qsizetype to = m_storedAt[size_t(m_shown.size() - tail)];
    if (storedAt) {
        storedAt->assign(m_storedAt.begin(), m_storedAt.begin() + head);
        for (qsizetype k = 0; k < typed.size(); ++k)
            storedAt->push_back(from + k);
        const qsizetype shift = from + typed.size() - to;
        for (auto it = m_storedAt.end() - tail - 1; it != m_storedAt.end(); ++it)
            storedAt->push_back(*it + shift);
    }
    return m_stored.left(from) + typed + m_stored.mid(to);
}

void MultiLineTextBox::followEdit()
{
    // Each edit is taken in as it happens, so that two edits far apart never
    // take the untouched text between them for part of an edit.
    if (m_storedAt.empty())
        return;
    const QString now = document()->toRawText();
    if (now == m_shown)
        return;
    std::vector<qsizetype> storedAt;
    m_stored = spliced(now, &storedAt);
    m_shown = now;
    m_storedAt = std::move(storedAt);
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
