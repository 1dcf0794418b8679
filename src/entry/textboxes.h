#pragma once

#include <QPlainTextEdit>

#include <vector>

// A multi-line text box with a vertical scroll bar and a length limit on what
// the user types, pastes or drops (QPlainTextEdit has none). Text set by code
// is shown whole, so a longer stored value is never cut; typing into it then
// adds nothing until it is short enough. Tab moves the focus on, as in every
// other box of the windows.
class MultiLineTextBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; } // 0: no limit
    void setMaxLength(int length) { m_maxLength = length; }

    // The text as stored, with the user's edits spliced in: what the document
    // makes of line ends (CRLF, CR, U+2028, U+2029) and of no-break spaces
    // stays as it was wherever the user did not edit.
    QString text() const;
    void setText(const QString &text);

    // What of `insert` fits when it replaces the selection, whole characters only.
    QString fitting(const QString &insert) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    QString spliced(const QString &now, std::vector<qsizetype> *storedAt) const;
    void followEdit();

    int m_maxLength = 0;
    bool m_loaded = false;
    QString m_stored;                  // as last given by setText
    QString m_shown;                   // the document's raw text right after it
    std::vector<qsizetype> m_storedAt; // index in m_stored of each of m_shown's characters, and its end
};
