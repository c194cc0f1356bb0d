// The installer file's trailer: the 32-bit sum of every byte before it, each taken unsigned,
// modulo 2^32. Portable: no platform header.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline uint32_t AddToChecksum(uint32_t sum, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; i++) sum += bytes[i];
    return sum;
}
