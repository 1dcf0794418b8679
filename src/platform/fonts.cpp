#include "platform/fonts.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include <functional>

namespace vb {

QString mapFontFamily(const QString &designName)
{
    for (const char *design : {"MS Sans Serif", "Small Fonts", "Arial"}) {
        if (designName.compare(QLatin1String(design), Qt::CaseInsensitive) == 0)
            return QStringLiteral("Liberation Sans");
    }
    return designName;
}

QFont designFont(const QString &designName, double pointSize, bool bold, bool italic)
{
    QFont font(mapFontFamily(designName));
    // Should the face be missing, fontconfig's nearest sans-serif stands in.
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

namespace {
// Steps of a quarter point, down to 1 pt below the design size; the last step
// stays even if the text still does not fit there.
QFont largestFitting(QFont font, const std::function<bool(const QFontMetricsF &)> &fits)
{
    const double design = font.pointSizeF();
    for (int quarter = 0; quarter <= 4; ++quarter) {
        font.setPointSizeF(design - 0.25 * quarter);
        if (fits(QFontMetricsF(font)))
            return font;
    }
    return font;
}
} // namespace

void fitCaption(QLabel *label)
{
    const QString text = label->text();
    const QRect box =
        label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    const bool wrap = label->wordWrap();
    label->setFont(largestFitting(label->font(), [&](const QFontMetricsF &fm) {
        if (wrap)
            return fm.boundingRect(QRectF(box), Qt::TextWordWrap | int(label->alignment()), text).height() <=
                   box.height();
        return fm.horizontalAdvance(text) <= box.width() && fm.height() <= box.height();
    }));
}

void fitCaption(QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect box = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    // "&" marks the access key and is not drawn; "&&" is one ampersand.
    QString shown;
    for (qsizetype i = 0; i < option.text.size(); ++i) {
        if (option.text.at(i) == QLatin1Char('&') && ++i >= option.text.size())
            break;
        shown += option.text.at(i);
    }
    button->setFont(largestFitting(button->font(), [&](const QFontMetricsF &fm) {
        return fm.horizontalAdvance(shown) <= box.width() && fm.height() <= box.height();
    }));
}

} // namespace vb
