// The fuzz targets' one assertion: a property that does not hold aborts with its reason, in
// libFuzzer runs and in corpus replays alike (unlike assert, also in release builds); and the
// check the targets of setupsim's file readers share.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <string>

#define FUZZ_CHECK(condition, reason)                                                    \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, reason); \
            abort();                                                                     \
        }                                                                                \
    } while (0)

// Writes the input to `path` and reads it back with a tool's reader (`read`, taking the path):
// true with `*result` set, or false when the reader refused it with an error, which must name
// the file and a line ("FILE:LINE: ..."), as the tools' input errors do.
template <typename Result, typename Reader>
bool ReadAsToolInput(const uint8_t* data, size_t size, const std::string& path, Reader read,
                     Result* result) {
    std::ofstream(path, std::ios::binary).write((const char*)data, (std::streamsize)size);
    try {
        *result = read(path);
        return true;
    } catch (const std::runtime_error& error) {
        std::string message = error.what();
        size_t digit = path.size() + 1;
        FUZZ_CHECK(message.compare(0, digit, path + ":") == 0 && digit < message.size() &&
                       message[digit] >= '0' && message[digit] <= '9',
                   "errors name the file and a line");
        return false;
    }
}
