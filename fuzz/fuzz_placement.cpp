// The stored placement is text anyone can edit: any four texts must give a
// window of positive size that meets a screen.
#include "app/placement.h"

#include <QByteArray>
#include <QList>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Four texts split at NUL bytes; a missing one is a missing key.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    placement::Stored stored;
    std::optional<QString> *keys[] = {&stored.left, &stored.top, &stored.width, &stored.height};
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        const QString text = QString::fromUtf8(parts.at(i));
        if (const std::optional<double> twips = placement::readTwips(text)) {
            if (!std::isfinite(*twips))
                std::abort();
        }
        *keys[i] = text;
    }
    const QRect primary(0, 0, 28800, 16200);
    const QList<QRect> screens{primary, QRect(28800, 0, 21600, 16200)};
    const QRect r = placement::resolve(stored, QSize(9000, 7000), screens, primary, QSize(1500, 300));
    // A window no larger than the desktop, its top-left corner on a screen.
    if (r.width() <= 0 || r.height() <= 0 || r.width() > 50400 || r.height() > 16200)
        std::abort();
    bool meets = false;
    for (const QRect &s : screens)
        meets = meets || s.contains(r.topLeft());
    if (!meets)
        std::abort();
    return 0;
}
