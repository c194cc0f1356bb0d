// The fuzz targets' one assertion: a property that does not hold aborts with its reason, in
// libFuzzer runs and in corpus replays alike (unlike assert, also in release builds).
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#define FUZZ_CHECK(condition, reason)                                                    \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, reason); \
            abort();                                                                     \
        }                                                                                \
    } while (0)

// True when an error message starts with "FILE:LINE:", as the tools' input errors do.
inline bool NamesFileAndLine(const std::string& message, const std::string& file) {
    size_t digit = file.size() + 1;
    return message.compare(0, digit, file + ":") == 0 && digit < message.size() &&
           message[digit] >= '0' && message[digit] <= '9';
}
