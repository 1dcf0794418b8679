#pragma once

#include <QByteArray>
#include <QString>

// The UTF-8 the exchange files are held to, on both sides: what the export
// repairs and what the import refuses.
namespace keeping {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Where it is not, `badAt` (when given) gets the offset of the sequence at fault.
bool isValidUtf8(const QByteArray &bytes, qsizetype *badAt = nullptr);

// UTF-8 to text, keeping a U+FEFF at the start: inside a field it is a
// character of the text, not a byte order mark (QString::fromUtf8 drops it).
QString fromUtf8Exactly(const QByteArray &utf8);

} // namespace keeping
