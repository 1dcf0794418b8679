#include "platform/fonts.h"

#include <QFontDatabase>

namespace vb {

QString mapFontFamily(const QString &designName)
{
    if (designName.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    if (designName.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0
        || designName.compare(QLatin1String("Small Fonts"), Qt::CaseInsensitive) == 0) {
        static const QString sans = [] {
            const QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
            return general.isEmpty() ? QStringLiteral("DejaVu Sans") : general;
        }();
        return sans;
    }
    return designName;
}

QFont designFont(const QString &designName, double pointSize, bool bold, bool italic)
{
    QFont font(mapFontFamily(designName));
    font.setStyleHint(designName.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 ? QFont::Helvetica
                                                                                           : QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace vb
