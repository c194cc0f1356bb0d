// The reproducible-builds convention for file dates: when SOURCE_DATE_EPOCH is set (seconds
// since 1970, UTC), no date taken from a file is later than it, so that two checkouts of the
// same sources, made at different times, give the same installer.
#pragma once

#include "engine/core/package.h"

// `modified` (UTC calendar time), or the SOURCE_DATE_EPOCH time when that is earlier. Throws
// PackError when the variable is set but not a number of seconds.
DosDateTime ClampToSourceDateEpoch(const DosDateTime& modified);

// The SOURCE_DATE_EPOCH seconds; false when it is not set. Throws PackError when it is set
// but not a number of seconds.
bool ReadSourceDateEpoch(long long* seconds);
