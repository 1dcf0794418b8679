// The import reader takes any bytes as CSV or JSON: it must never crash, a
// refused file always says why, and every day it takes holds only what the
// diary can store (a yyyy-MM-dd day or nothing, whole-number scores).
#include "keeping/exchange.h"

#include <QDate>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const keeping::Format format = (data[0] & 1) ? keeping::Format::Json : keeping::Format::Csv;
    const bool asIs = (data[0] & 2) != 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const keeping::ImportPlan plan = keeping::readImport(bytes, format, asIs, 2026);
    if (!plan.ok() && plan.describeRefusals().isEmpty())
        std::abort();
    const QStringList &columns = keeping::exchangedColumns();
    const qsizetype dateAt = columns.indexOf(QStringLiteral("DATE"));
    for (const keeping::ImportDay &day : plan.days) {
        if (day.values.size() != columns.size())
            std::abort();
        const QVariant &date = day.values[dateAt];
        if (!date.isNull() && !QDate::fromString(date.toString(), QStringLiteral("yyyy-MM-dd")).isValid())
            std::abort();
        for (const char *score : {"OVERALL SCORE", "BMs"}) {
            const QVariant &v = day.values[columns.indexOf(QLatin1String(score))];
            if (!v.isNull() && v.typeId() != QMetaType::LongLong)
                std::abort();
        }
    }
    return 0;
}
