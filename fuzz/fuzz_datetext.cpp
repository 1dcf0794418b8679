// The typed-date reader takes any text: it must never crash, and a date it
// gives must be a real day that reads back the same in both written forms.
#include "data/datetext.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int currentYear = 1900 + (data[0] | (data[1] << 8)) % 300;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const std::optional<QDate> date = diary::readDayFirstDate(text, currentYear);
    if (!date)
        return 0;
    if (!date->isValid())
        std::abort();
    // The stored form always reads back.
    if (date->year() >= 1000 && date->year() <= 9999) {
        const std::optional<QDate> stored = diary::readDayFirstDate(diary::storeDate(*date), currentYear);
        if (!stored || *stored != *date)
            std::abort();
    }
    // The shown form reads back within the hundred years of two-digit years.
    const int full = diary::fullYearForTwoDigits(date->year() % 100, currentYear);
    if (full == date->year()) {
        const std::optional<QDate> shown = diary::readDayFirstDate(diary::showDate(*date), currentYear);
        if (!shown || *shown != *date)
            std::abort();
    }
    return 0;
}
