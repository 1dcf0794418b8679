#include "keeping/utf8check.h"

#include <QStringDecoder>

namespace keeping {

bool isValidUtf8(const QByteArray &b, qsizetype *badAt)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned int cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            if (badAt)
                *badAt = i;
            return false;
        }
        if (i + len > n) {
            if (badAt)
                *badAt = i;
            return false;
        }
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                if (badAt)
                    *badAt = i;
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (badAt)
                *badAt = i;
            return false;
        }
        i += len;
    }
    return true;
}

QString fromUtf8Exactly(const QByteArray &utf8)
{
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(utf8);
}

} // namespace keeping
