#pragma once

#include <QFont>
#include <QString>

// The designs' font names on this desktop: "MS Sans Serif" and "Small Fonts"
// become the desktop's sans-serif face, "Arial" a face with Arial's metrics.
namespace vb {

QString mapFontFamily(const QString &designName);
QFont designFont(const QString &designName, double pointSize, bool bold = false, bool italic = false);

} // namespace vb
