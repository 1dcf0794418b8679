#pragma once

#include "data/rowset.h"

#include <QFrame>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class MultiLineTextBox;

// The record navigator of an entry window: its row set, the bar (first,
// previous, the caption, next, last) and the controls bound to the row set's
// fields.
//
// A bound control shows its field of the current row; what the user types or
// picks becomes the field's pending value (an emptied box is NULL). While no
// row is current the controls take no typing, so nothing can be typed that
// would vanish unwritten; boxes are then empty and lists show their design
// text.
//
// At either end the bar stays on the rows: back from the first row stays on
// the first, on from the last stays on the last, and on an empty set the bar
// does nothing. A failure the bar meets (writing the row it leaves) is raised
// as Error, never shown here.
class Adodc : public QFrame
{
    Q_OBJECT
public:
    explicit Adodc(QWidget *parent = nullptr);
    ~Adodc() override;

    // Opens the connection and reads the record source; a failure is raised
    // as Error and leaves the navigator closed.
    bool open(const QString &path, const QString &recordSource);

    RowSet *Recordset() { return &m_rs; }
    const RowSet *Recordset() const { return &m_rs; }

    // Writes what is pending, then reads the record source anew (opening it
    // first when the window could not open it before). When the write fails,
    // nothing is read again so the edit is kept; a second Refresh with that
    // same edit unchanged drops it and reads anew.
    bool Refresh();
    QString lastError() const { return m_lastError; }

    QString Caption() const;
    void setCaption(const QString &caption);

    // How a stored value shows in a bound control; by default its text.
    using Display = std::function<QString(const QVariant &stored)>;
    void bind(QLineEdit *box, const QString &field, Display display = {});
    void bind(MultiLineTextBox *box, const QString &field);
    void bind(QComboBox *list, const QString &field, const QString &designText);

    // The bar's buttons, as the user clicks them.
    void clickFirst();
    void clickPrevious();
    void clickNext();
    void clickLast();

    QToolButton *firstButton() const { return m_first; }
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *nextButton() const { return m_next; }
    QToolButton *lastButton() const { return m_last; }

    // Shows the current row in every bound control again.
    void showCurrentRow();

signals:
    void MoveComplete();
    void WillChangeRecord(int reason, bool *cancel);
    void Error(const QString &description);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Binding
    {
        QPointer<QWidget> control;
        QString field;
        Display display;
        QString designText; // lists only
    };
    void addBinding(QWidget *control, const QString &field, Display display, const QString &designText);
    void edited(QWidget *control, const QString &text);
    void layoutBar();
    void barMove(const std::function<bool()> &move);

    RowSet m_rs;
    QString m_path;
    QString m_recordSource;
    QString m_lastError;
    std::optional<quint64> m_refusedChange; // change serial of an edit Refresh could not write
    std::vector<Binding> m_bindings;
    bool m_showing = false; // the controls are being filled from the row set
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QLabel *m_caption = nullptr;
};
