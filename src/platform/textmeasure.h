#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <memory>

// A window's text measurement: the font it measures in (FontName, FontSize,
// FontBold) and TextWidth / TextHeight in twips. Each distinct text is
// measured once per font; the answers are the same as measuring afresh.
namespace vb {

// The line breaks text is measured and drawn with: LF, CR, CRLF (one break),
// U+2028 and U+2029. Painting breaks only at LF (a CR is drawn as a blank),
// so text is drawn as withDrawnLineBreaks gives it, where every break is LF.
bool isLineBreak(QChar ch);
QString withDrawnLineBreaks(const QString &text);

class TextMeasurer
{
public:
    explicit TextMeasurer(const QFont &font = QFont());

    QString FontName() const { return m_designName; }
    void setFontName(const QString &name);
    double FontSize() const { return m_font.pointSizeF(); }
    void setFontSize(double points);
    bool FontBold() const { return m_font.bold(); }
    void setFontBold(bool bold);

    QFont font() const { return m_font; }
    void setFont(const QFont &font, const QString &designName = QString());

    // Height in twips of all the text's lines together (an empty text takes
    // one line); width in twips of its widest line.
    double TextHeight(const QString &text);
    double TextWidth(const QString &text);

private:
    struct FontCache
    {
        explicit FontCache(const QFont &font)
            : metrics(font)
        {}
        QFontMetricsF metrics;
        QHash<QString, double> widths;
    };
    FontCache &cache();

    QFont m_font;
    QString m_designName;
    QHash<QString, std::shared_ptr<FontCache>> m_caches; // by QFont::key()
    FontCache *m_current = nullptr;
};

} // namespace vb
