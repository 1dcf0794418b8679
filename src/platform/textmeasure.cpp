#include "platform/textmeasure.h"

#include "platform/fonts.h"
#include "platform/twips.h"

namespace vb {

bool isLineBreak(QChar ch)
{
    return ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QChar::LineSeparator ||
           ch == QChar::ParagraphSeparator;
}

QString withDrawnLineBreaks(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (!isLineBreak(text.at(i)) || text.at(i) == QLatin1Char('\n')))
        ++i;
    if (i == text.size())
        return text;
    QString drawn = text.left(i);
    drawn.reserve(text.size());
    for (; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            continue; // CRLF is one break: its LF makes it
        drawn += isLineBreak(ch) ? QLatin1Char('\n') : ch;
    }
    return drawn;
}

namespace {
int lineCount(const QString &text)
{
    int lines = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            continue;
        if (isLineBreak(ch))
            ++lines;
    }
    return lines;
}
} // namespace

TextMeasurer::TextMeasurer(const QFont &font)
    : m_font(font)
    , m_designName(font.family())
{}

void TextMeasurer::setFontName(const QString &name)
{
    m_designName = name;
    m_font.setFamily(mapFontFamily(name));
    m_current = nullptr;
}

void TextMeasurer::setFontSize(double points)
{
    if (points > 0)
        m_font.setPointSizeF(points);
    m_current = nullptr;
}

void TextMeasurer::setFontBold(bool bold)
{
    m_font.setBold(bold);
    m_current = nullptr;
}

void TextMeasurer::setFont(const QFont &font, const QString &designName)
{
    m_font = font;
    m_designName = designName.isEmpty() ? font.family() : designName;
    m_current = nullptr;
}

TextMeasurer::FontCache &TextMeasurer::cache()
{
    if (!m_current) {
        const QString key = m_font.key();
        auto it = m_caches.find(key);
        if (it == m_caches.end())
            it = m_caches.insert(key, std::make_shared<FontCache>(m_font));
        m_current = it.value().get();
    }
    return *m_current;
}

double TextMeasurer::TextHeight(const QString &text)
{
    FontCache &c = cache();
    return lineCount(text) * c.metrics.height() * twipsPerPixelY();
}

double TextMeasurer::TextWidth(const QString &text)
{
    FontCache &c = cache();
    auto it = c.widths.constFind(text);
    if (it != c.widths.constEnd())
        return it.value();
    double widest = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isLineBreak(text.at(i))) {
            const double w = c.metrics.horizontalAdvance(text.mid(start, i - start));
            if (w > widest)
                widest = w;
            start = i + 1;
        }
    }
    const double twips = widest * twipsPerPixelX();
    c.widths.insert(text, twips);
    return twips;
}

} // namespace vb
