// Calendar and clock of the simulated Windows: FILETIME arithmetic (100 ns ticks since
// 1601-01-01 UTC), SystemTimeToFileTime with the calendar checks Windows makes,
// LocalFileTimeToFileTime with the machine's fixed UTC offset, and the virtual wall clock
// that stamps new and written files: 2026-01-01T00:00:00Z plus the virtual milliseconds.
#include <stdio.h>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const uint64_t kTicksPerSecond = 10000000ull;
const int64_t kDaysFrom1601To1970 = 134774;

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = (unsigned)(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = (unsigned)(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = (int)(doy - (153 * mp + 2) / 5 + 1);
    *month = (int)(mp < 10 ? mp + 3 : mp - 9);
    *year = (int)((int64_t)yoe + era * 400 + (*month <= 2));
}

uint64_t TicksOf(int year, int month, int day, int hour, int minute, int second, int ms) {
    int64_t days = DaysFromCivil(year, (unsigned)month, (unsigned)day) + kDaysFrom1601To1970;
    uint64_t seconds = (uint64_t)days * 86400 + (uint64_t)(hour * 3600 + minute * 60 + second);
    return seconds * kTicksPerSecond + (uint64_t)ms * 10000;
}

}  // namespace

uint64_t FileTimeToU64(const FILETIME& t) {
    return ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

FILETIME U64ToFileTime(uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = (DWORD)(v & 0xFFFFFFFFu);
    t.dwHighDateTime = (DWORD)(v >> 32);
    return t;
}

FILETIME WallClockNow() {
    return U64ToFileTime(TicksOf(2026, 1, 1, 0, 0, 0, 0) + M().now * 10000);
}

}  // namespace detail

FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second) {
    return detail::U64ToFileTime(detail::TicksOf(year, month, day, hour, minute, second, 0));
}

std::string FormatFileTime(const FILETIME& time) {
    uint64_t ticks = detail::FileTimeToU64(time);
    uint64_t seconds = ticks / detail::kTicksPerSecond;
    int64_t days = (int64_t)(seconds / 86400) - detail::kDaysFrom1601To1970;
    int rest = (int)(seconds % 86400);
    int year, month, day;
    detail::CivilFromDays(days, &year, &month, &day);
    char text[40];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, rest / 3600,
             rest / 60 % 60, rest % 60);
    return text;
}

}  // namespace sim

using namespace sim::detail;

BOOL WINAPI Sim_SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (!lpSystemTime || !lpFileTime) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    const SYSTEMTIME& st = *lpSystemTime;
    bool valid = st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 &&
                 st.wDay >= 1 && st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
                 st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
    if (!valid) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    *lpFileTime = U64ToFileTime(
        TicksOf(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds));
    return TRUE;
}

BOOL WINAPI Sim_LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    if (!lpLocalFileTime || !lpFileTime) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    int64_t offset = (int64_t)M().config.utcOffsetMinutes * 60 * (int64_t)kTicksPerSecond;
    int64_t local = (int64_t)FileTimeToU64(*lpLocalFileTime);
    int64_t utc = local - offset;
    if (utc < 0) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    *lpFileTime = U64ToFileTime((uint64_t)utc);
    return TRUE;
}
