#include "entry/adodc.h"

#include "entry/textboxes.h"
#include "platform/busycursor.h"
#include "platform/fonts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

// The bar's arrows: a triangle pointing left or right, with a stop line for
// the buttons that go to either end.
QIcon arrowIcon(bool pointsRight, bool toEnd)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const qreal tipX = pointsRight ? 11.5 : 4.5;
    const qreal baseX = pointsRight ? 5.5 : 10.5;
    QPainterPath triangle;
    triangle.moveTo(baseX, 3.5);
    triangle.lineTo(tipX, 8);
    triangle.lineTo(baseX, 12.5);
    triangle.closeSubpath();
    p.drawPath(triangle);
    if (toEnd)
        p.drawRect(QRectF(pointsRight ? 12.0 : 2.5, 3.5, 1.5, 9));
    return QIcon(pixmap);
}

QString showValue(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

Adodc::Adodc(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("datPrimaryRS"));
    // Appearance 1: three-dimensional.
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
    setPalette(pal);
    setFont(vb::designFont(QStringLiteral("MS Sans Serif"), 8.25));

    auto makeButton = [this](const char *name, bool right, bool toEnd, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(arrowIcon(right, toEnd));
        b->setToolTip(tip);
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    m_first = makeButton("First", false, true, tr("First record"));
    m_previous = makeButton("Previous", false, false, tr("Previous record"));
    m_next = makeButton("Next", true, false, tr("Next record"));
    m_last = makeButton("Last", true, true, tr("Last record"));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setTextFormat(Qt::PlainText);

    connect(m_first, &QToolButton::clicked, this, &Adodc::clickFirst);
    connect(m_previous, &QToolButton::clicked, this, &Adodc::clickPrevious);
    connect(m_next, &QToolButton::clicked, this, &Adodc::clickNext);
    connect(m_last, &QToolButton::clicked, this, &Adodc::clickLast);

    connect(&m_rs, &RowSet::MoveComplete, this, [this] {
        showCurrentRow();
        emit MoveComplete();
    });
    connect(&m_rs, &RowSet::RecordChangeComplete, this, &Adodc::showCurrentRow);
    connect(&m_rs, &RowSet::WillChangeRecord, this, &Adodc::WillChangeRecord);
    layoutBar();
}

Adodc::~Adodc()
{
    m_bindings.clear();
}

bool Adodc::open(const QString &path, const QString &recordSource)
{
    m_path = path;
    m_recordSource = recordSource;
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = m_rs.open(path, recordSource);
    }
    if (!ok) {
        m_lastError = m_rs.lastError();
        showCurrentRow();
        emit Error(m_lastError);
        return false;
    }
    m_lastError.clear();
    return true;
}

bool Adodc::Refresh()
{
    m_lastError.clear();
    if (!m_rs.isOpen()) {
        if (!m_rs.open(m_path, m_recordSource)) {
            m_lastError = m_rs.lastError();
            return false;
        }
        m_refusedChange.reset();
        return true;
    }
    if (m_rs.hasPendingChanges()) {
        if (m_refusedChange && *m_refusedChange == m_rs.changeSerial()) {
            // The user was told that this edit could not be written, and asked
            // for the saved diary again.
            m_rs.CancelBatch();
        } else if (!m_rs.UpdateBatch(RowSet::adAffectAll)) {
            m_refusedChange = m_rs.changeSerial();
            m_lastError = m_rs.lastError() + QStringLiteral("\n\n") +
                          tr("The diary was not read again, so your change is still here. Click Refresh once more "
                             "to drop the change and show the diary as it is saved.");
            return false;
        }
    }
    m_refusedChange.reset();
    if (!m_rs.Requery()) {
        m_lastError = m_rs.lastError();
        return false;
    }
    return true;
}

QString Adodc::Caption() const
{
    return m_caption->text();
}

void Adodc::setCaption(const QString &caption)
{
    m_caption->setText(caption);
}

void Adodc::addBinding(QWidget *control, const QString &field, Display display, const QString &designText)
{
    m_bindings.push_back(Binding{control, field, std::move(display), designText});
}

void Adodc::bind(QLineEdit *box, const QString &field, Display display)
{
    addBinding(box, field, std::move(display), QString());
    connect(box, &QLineEdit::textChanged, this, [this, box](const QString &text) { edited(box, text); });
}

void Adodc::bind(MultiLineTextBox *box, const QString &field)
{
    addBinding(box, field, {}, QString());
    connect(box, &QPlainTextEdit::textChanged, this, [this, box] { edited(box, box->text()); });
}

void Adodc::bind(QComboBox *list, const QString &field, const QString &designText)
{
    addBinding(list, field, {}, designText);
    // Typing, picking an item and any completion all end up in the edit text.
    connect(list, &QComboBox::editTextChanged, this, [this, list](const QString &text) { edited(list, text); });
}

void Adodc::edited(QWidget *control, const QString &text)
{
    if (m_showing)
        return;
    for (const Binding &b : m_bindings) {
        if (b.control != control)
            continue;
        // An emptied box holds nothing, as a field never filled in does.
        const QVariant value = text.isEmpty() ? QVariant() : QVariant(text);
        if (!m_rs.setField(b.field, value)) {
            // No row to take the text (cannot be typed, but code may try):
            // show the row set as it is rather than keep a text that goes nowhere.
            showCurrentRow();
        }
        return;
    }
}

void Adodc::showCurrentRow()
{
    m_showing = true;
    const bool onRow = m_rs.hasCurrentRow();
    for (const Binding &b : m_bindings) {
        if (!b.control)
            continue;
        QString text;
        if (onRow) {
            const QVariant v = m_rs.field(b.field);
            text = (b.display && !m_rs.isFieldPending(b.field)) ? b.display(v) : showValue(v);
        }
        if (auto *line = qobject_cast<QLineEdit *>(b.control.data())) {
            if (line->text() != text)
                line->setText(text);
            line->setReadOnly(!onRow);
        } else if (auto *multi = qobject_cast<MultiLineTextBox *>(b.control.data())) {
            multi->setText(text);
            multi->setReadOnly(!onRow);
        } else if (auto *list = qobject_cast<QComboBox *>(b.control.data())) {
            list->setEditText(onRow ? text : b.designText);
            list->setEnabled(onRow);
        }
    }
    m_showing = false;
}

void Adodc::barMove(const std::function<bool()> &move)
{
    bool ok = false;
    {
        const vb::BusyCursor wait;
        ok = move();
    }
    if (!ok)
        emit Error(m_rs.lastError());
}

void Adodc::clickFirst()
{
    if (m_rs.isOpen() && m_rs.RecordCount() > 0)
        barMove([this] { return m_rs.MoveFirst(); });
}

void Adodc::clickPrevious()
{
    if (!m_rs.isOpen() || m_rs.RecordCount() == 0)
        return;
    // Back from the first row (or from before it) stays on the first row.
    if (m_rs.isBOF() || m_rs.currentIndex() == 0)
        barMove([this] { return m_rs.MoveFirst(); });
    else
        barMove([this] { return m_rs.MovePrevious(); });
}

void Adodc::clickNext()
{
    if (!m_rs.isOpen() || m_rs.RecordCount() == 0)
        return;
    // On from the last row (or from after it) stays on the last row.
    if (m_rs.isEOF() || m_rs.currentIndex() == m_rs.RecordCount() - 1)
        barMove([this] { return m_rs.MoveLast(); });
    else
        barMove([this] { return m_rs.MoveNext(); });
}

void Adodc::clickLast()
{
    if (m_rs.isOpen() && m_rs.RecordCount() > 0)
        barMove([this] { return m_rs.MoveLast(); });
}

void Adodc::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    layoutBar();
}

void Adodc::layoutBar()
{
    const QRect inner = contentsRect();
    const int h = inner.height();
    const int w = qMax(h, 1);
    m_first->setGeometry(inner.left(), inner.top(), w, h);
    m_previous->setGeometry(inner.left() + w, inner.top(), w, h);
    m_last->setGeometry(inner.right() - w + 1, inner.top(), w, h);
    m_next->setGeometry(inner.right() - 2 * w + 1, inner.top(), w, h);
    m_caption->setGeometry(inner.left() + 2 * w, inner.top(), qMax(0, inner.width() - 4 * w), h);
}
