// Clamping file dates to SOURCE_DATE_EPOCH.
#include "pack/source_date.h"

#include <stdlib.h>
#include <time.h>

#include <string>
#include <tuple>

#include "pack/pack_error.h"

bool ReadSourceDateEpoch(long long* seconds) {
    const char* text = getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text) return false;
    char* end = nullptr;
    *seconds = strtoll(text, &end, 10);
    if (*end || *seconds < 0)
        throw PackError(std::string("SOURCE_DATE_EPOCH must be seconds since 1970, not '") + text +
                        "'");
    return true;
}

namespace {

DosDateTime UtcCalendar(long long seconds) {
    time_t when = (time_t)seconds;
    struct tm utc {};
#ifdef _WIN32
    gmtime_s(&utc, &when);
#else
    gmtime_r(&when, &utc);
#endif
    return DosDateTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                       utc.tm_hour,        utc.tm_min,     utc.tm_sec};
}

auto Key(const DosDateTime& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace

DosDateTime ClampToSourceDateEpoch(const DosDateTime& modified) {
    long long seconds = 0;
    if (!ReadSourceDateEpoch(&seconds)) return modified;
    DosDateTime epoch = UtcCalendar(seconds);
    return Key(epoch) < Key(modified) ? epoch : modified;
}
