// The fuzz targets' one assertion: a property that does not hold aborts with its reason, in
// libFuzzer runs and in corpus replays alike (unlike assert, also in release builds).
#pragma once

#include <stdio.h>
#include <stdlib.h>

#define FUZZ_CHECK(condition, reason)                                                    \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, reason); \
            abort();                                                                     \
        }                                                                                \
    } while (0)
