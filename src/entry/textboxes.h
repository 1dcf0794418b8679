#pragma once

#include <QPlainTextEdit>

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

    QString text() const { return toPlainText(); }
    void setText(const QString &text);

    // What of `insert` fits when it replaces the selection, whole characters only.
    QString fitting(const QString &insert) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    int m_maxLength = 0;
};
