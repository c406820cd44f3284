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

}  // namespace ql::platform
