// The installer file's trailer: the 32-bit sum of every byte before it, each taken unsigned,
// modulo 2^32; and the sums of the bytes at even and at odd offsets, from which the tools
// build the PE header checksum. Portable: no platform header.
//
// The loops are written for the compiler to vectorise: fixed-size blocks of 32-bit words whose
// bytes are added in 16-bit halves that cannot overflow within a block, folded once per block.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Largest block for ChecksumPairsBlock: 128 words, each half gathering at most 2 * 255 per word.
const size_t CHECKSUM_BLOCK = 512;
// Largest block for ChecksumParityBlock: 256 words, each half gathering at most 255 per word.
const size_t CHECKSUM_PARITY_BLOCK = 1024;

// The sum of `size` bytes (a multiple of 4, at most CHECKSUM_BLOCK).
template <size_t size>
inline uint32_t ChecksumPairsBlock(const uint8_t* bytes) {
    uint32_t pairs = 0;
#pragma GCC unroll 8
    for (size_t i = 0; i < size; i += 4) {
        uint32_t word;
        memcpy(&word, bytes + i, 4);
        pairs += (word & 0x00FF00FFu) + ((word >> 8) & 0x00FF00FFu);
    }
    return (pairs & 0xFFFF) + (pairs >> 16);
}

inline uint32_t AddToChecksum(uint32_t sum, const uint8_t* bytes, size_t count) {
    size_t i = 0;
    for (; count - i >= CHECKSUM_BLOCK; i += CHECKSUM_BLOCK)
        sum += ChecksumPairsBlock<CHECKSUM_BLOCK>(bytes + i);
    for (; count - i >= 64; i += 64) sum += ChecksumPairsBlock<64>(bytes + i);
    for (; i < count; i++) sum += bytes[i];
    return sum;
}

// The sums of a block's bytes at even and at odd offsets (`size` a multiple of 4, at most
// CHECKSUM_PARITY_BLOCK).
template <size_t size>
inline void ChecksumParityBlock(const uint8_t* bytes, uint64_t* even, uint64_t* odd) {
    uint32_t evenHalves = 0, oddHalves = 0;
#pragma GCC unroll 8
    for (size_t i = 0; i < size; i += 4) {
        uint32_t word;
        memcpy(&word, bytes + i, 4);
        evenHalves += word & 0x00FF00FFu;
        oddHalves += (word >> 8) & 0x00FF00FFu;
    }
    *even += (evenHalves & 0xFFFF) + (evenHalves >> 16);
    *odd += (oddHalves & 0xFFFF) + (oddHalves >> 16);
}

// Adds the bytes at even offsets from `bytes` to *even and those at odd offsets to *odd.
inline void AddByParity(const uint8_t* bytes, size_t count, uint64_t* even, uint64_t* odd) {
    size_t i = 0;
    for (; count - i >= CHECKSUM_PARITY_BLOCK; i += CHECKSUM_PARITY_BLOCK)
        ChecksumParityBlock<CHECKSUM_PARITY_BLOCK>(bytes + i, even, odd);
    for (; count - i >= 64; i += 64) ChecksumParityBlock<64>(bytes + i, even, odd);
    for (; i < count; i++) *((i & 1) ? odd : even) += bytes[i];
}
