#include "app/FileTimeText.h"

#include <cstdio>

#include "app/TextConvert.h"

namespace tavopix {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsPerDay = 86'400;
constexpr std::uint64_t kLargestFileTime = 0x7FFF'FFFF'FFFF'FFFF;
// Days from 0000-03-01 (the start of the proleptic Gregorian cycle the conversion counts in)
// to 1601-01-01.
constexpr std::int64_t kDaysFromCycleStartTo1601 = 584'694;

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// Calendar date of a day count since 0000-03-01 (years starting in March put the leap day
// last, which keeps the arithmetic free of special cases).
CivilDate CivilFromDays(std::int64_t days) {
    std::int64_t era = days / 146'097;
    auto dayOfEra = static_cast<unsigned>(days - era * 146'097);
    unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

}  // namespace

void FormatFileTime(std::uint64_t fileTime, std::u16string& text) {
    if (fileTime > kLargestFileTime) {
        text = u"未知时间";
        return;
    }
    std::uint64_t seconds = fileTime / kTicksPerSecond;
    auto days = static_cast<std::int64_t>(seconds / kSecondsPerDay);
    std::uint64_t secondOfDay = seconds % kSecondsPerDay;
    CivilDate date = CivilFromDays(days + kDaysFromCycleStartTo1601);
    // Room for any int in every field, so the compiler can prove nothing is cut.
    char formatted[96];
    std::snprintf(formatted, sizeof formatted, "%04d-%02d-%02d %02d:%02d:%02d",
                  static_cast<int>(date.year), static_cast<int>(date.month),
                  static_cast<int>(date.day), static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
    text = FromUtf8(formatted);
}

}  // namespace tavopix
