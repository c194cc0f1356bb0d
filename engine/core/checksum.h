// The installer file's trailer: the 32-bit sum of every byte before it, each taken unsigned,
// modulo 2^32; and the sums of the bytes at even and at odd offsets, from which the tools
// build the PE header checksum. Portable: no platform header.
//
// The loops are written for the compiler to vectorise: fixed-size blocks of 32-bit words,
// folded once per block. Per block, the plain sum of the words and the sum of their odd bytes
// (in two 16-bit halves, which cannot carry within a block) give both byte sums exactly.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Largest block: 256 words, so that every 16-bit partial sum stays below 65536.
const size_t CHECKSUM_BLOCK = 1024;
const size_t CHECKSUM_SMALL_BLOCK = 128;

// Adds the sums of a block's bytes at even offsets to *even and at odd offsets to *odd
// (`size` a multiple of 4, at most CHECKSUM_BLOCK).
template <size_t size>
inline void ChecksumBlock(const uint8_t* bytes, uint64_t* even, uint64_t* odd) {
    uint32_t words = 0, oddHalves = 0;
#pragma GCC unroll 8
    for (size_t i = 0; i < size; i += 4) {
        uint32_t word;
        memcpy(&word, bytes + i, 4);
        words += word;
        oddHalves += (word >> 8) & 0x00FF00FFu;
    }
    // words = e0 + 2^8 o1 + 2^16 e2 + 2^24 o3 (mod 2^32), oddHalves = o1 + 2^16 o3
    uint32_t evenHalves = words - (oddHalves & 0xFFFF) * 0x100u - (oddHalves >> 16) * 0x1000000u;
    *even += (evenHalves & 0xFFFF) + (evenHalves >> 16);
    *odd += (oddHalves & 0xFFFF) + (oddHalves >> 16);
}

// Adds the bytes at even offsets from `bytes` to *even and those at odd offsets to *odd.
inline void AddByParity(const uint8_t* bytes, size_t count, uint64_t* even, uint64_t* odd) {
    size_t i = 0;
    for (; count - i >= CHECKSUM_BLOCK; i += CHECKSUM_BLOCK)
        ChecksumBlock<CHECKSUM_BLOCK>(bytes + i, even, odd);
    for (; count - i >= CHECKSUM_SMALL_BLOCK; i += CHECKSUM_SMALL_BLOCK)
        ChecksumBlock<CHECKSUM_SMALL_BLOCK>(bytes + i, even, odd);
    for (; i < count; i++) *((i & 1) ? odd : even) += bytes[i];
}

inline uint32_t AddToChecksum(uint32_t sum, const uint8_t* bytes, size_t count) {
    uint64_t even = 0, odd = 0;
    AddByParity(bytes, count, &even, &odd);
    return sum + (uint32_t)(even + odd);
}
