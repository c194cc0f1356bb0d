// Clamping file dates to SOURCE_DATE_EPOCH.
#include "pack/source_date.h"

#include <stdlib.h>

#include <string>

#include "pack/host_system.h"
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

DosDateTime ClampToSourceDateEpoch(const DosDateTime& modified) {
    long long seconds = 0;
    if (!ReadSourceDateEpoch(&seconds)) return modified;
    DosDateTime epoch;
    UtcCalendar(seconds, &epoch);
    return IsEarlier(epoch, modified) ? epoch : modified;
}
