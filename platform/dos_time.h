// MS-DOS date and time: the date in the high 16 bits, the time in the low 16 bits,
// two-second resolution. The format covers 1980-01-01 to 2107-12-31; times outside
// are clamped to its first or last moment rather than wrapped into a wrong date.
#pragma once

#include <cstdint>

namespace ql::platform {

constexpr uint32_t kFirstDosTime = (0u << 25 | 1u << 21 | 1u << 16);  // 1980-01-01 00:00:00
constexpr uint32_t kLastDosTime = (127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u);

inline uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) return kFirstDosTime;
    if (year > 2107) return kLastDosTime;
    return static_cast<uint32_t>(year - 1980) << 25 | static_cast<uint32_t>(month) << 21 |
           static_cast<uint32_t>(day) << 16 | static_cast<uint32_t>(hour) << 11 |
           static_cast<uint32_t>(minute) << 5 | static_cast<uint32_t>(second / 2);
}

// The MS-DOS form of a moment given in seconds since 1970-01-01 00:00:00 UTC,
// taken in UTC: the same on every machine, whatever its time zone.
inline uint32_t DosDateTimeUtc(int64_t seconds) {
    int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    // Civil date from a day count (proleptic Gregorian calendar, eras of 400 years).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // March is 0
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1980) return kFirstDosTime;
    if (year > 2107) return kLastDosTime;
    return DosDateTime(static_cast<int>(year), month, day, static_cast<int>(rest / 3600),
                       static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
}

// An MS-DOS date and time read as UTC, in seconds since 1970-01-01 00:00:00 UTC.
inline int64_t UnixTimeFromDosUtc(uint32_t dos) {
    int64_t year = 1980 + (dos >> 25);
    const int64_t month = (dos >> 21) & 15, day = (dos >> 16) & 31;
    // Days from a civil date (proleptic Gregorian calendar, eras of 400 years).
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + ((dos >> 11) & 31) * 3600 + ((dos >> 5) & 63) * 60 + (dos & 31) * 2;
}

}  // namespace ql::platform
