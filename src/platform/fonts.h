#pragma once

#include <QFont>
#include <QString>

class QAbstractButton;
class QLabel;

// The designs' font names on this desktop. "MS Sans Serif", "Small Fonts" and
// "Arial" all become Liberation Sans: it has Arial's metrics, and of the faces
// a Debian desktop has it comes closest to the designs' widths (DejaVu Sans is
// wider and cuts captions off).
namespace vb {

QString mapFontFamily(const QString &designName);
QFont designFont(const QString &designName, double pointSize, bool bold = false, bool italic = false);

// Where a caption does not fit its control even in the closest face, the
// control takes the largest size, at most 1 pt below its design size, at which
// it does: one line across its width, or a word-wrapped label within its
// height. Call after the text, font, geometry and wrapping are set.
void fitCaption(QLabel *label);
void fitCaption(QAbstractButton *button);

} // namespace vb
