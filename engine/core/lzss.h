// The one LZSS decoding core. The installer's DecodeStep drives it with its bit reader over
// the install state; the packaging tool drives it over memory. Portable: no platform header.
//
// A token is decoded whole or not at all as far as the ring and the output are concerned:
// the reader reports missing input before anything of the token is stored.
#pragma once

#include <stddef.h>
#include <stdint.h>

const uint32_t LZSS_RING_SIZE = 4096;
const uint32_t LZSS_RING_MASK = LZSS_RING_SIZE - 1;
const uint32_t LZSS_START_POSITION = 1;  // ring position of every item's first byte
const uint32_t LZSS_MIN_MATCH = 2;
const uint32_t LZSS_MAX_MATCH = 17;  // the most one token can produce
const uint32_t LZSS_POSITION_BITS = 12;
const uint32_t LZSS_COUNT_BITS = 4;

enum LzssTokenResult {
    LZSS_TOKEN_INPUT_FAILED = -1,  // the bit reader could not deliver (nothing was stored)
    LZSS_TOKEN_END = 0,            // the end marker (ring position 0)
    LZSS_TOKEN_BYTES = 1,          // a literal or a match was appended to `out`
};

// Decodes one token. `bits` has ReadBit() -> 0/1 or -1, and ReadBits(n) -> value or -1.
// Appends what the token yields (1 to 17 bytes) at out[*produced] and to the ring.
template <typename BitReader>
int DecodeLzssToken(BitReader& bits, uint8_t* ring, uint32_t* ringPos, uint8_t* out,
                    uint32_t* produced) {
    int flag = bits.ReadBit();
    if (flag < 0) return LZSS_TOKEN_INPUT_FAILED;
    if (flag == 1) {
        int literal = bits.ReadBits(8);
        if (literal < 0) return LZSS_TOKEN_INPUT_FAILED;
        out[(*produced)++] = (uint8_t)literal;
        ring[*ringPos] = (uint8_t)literal;
        *ringPos = (*ringPos + 1) & LZSS_RING_MASK;
        return LZSS_TOKEN_BYTES;
    }
    int position = bits.ReadBits(LZSS_POSITION_BITS);
    if (position < 0) return LZSS_TOKEN_INPUT_FAILED;
    if (position == 0) return LZSS_TOKEN_END;
    int count = bits.ReadBits(LZSS_COUNT_BITS);
    if (count < 0) return LZSS_TOKEN_INPUT_FAILED;
    // Byte by byte, so a source range that reaches the write position repeats a pattern.
    for (uint32_t j = 0; j < (uint32_t)count + LZSS_MIN_MATCH; j++) {
        uint8_t byte = ring[(position + j) & LZSS_RING_MASK];
        out[(*produced)++] = byte;
        ring[*ringPos] = byte;
        *ringPos = (*ringPos + 1) & LZSS_RING_MASK;
    }
    return LZSS_TOKEN_BYTES;
}

// Bit reader over bytes in memory, most significant bit first. Running out is input failure.
struct LzssMemoryBits {
    const uint8_t* data;
    size_t size;
    size_t bytePos;  // next byte to load
    uint8_t mask;    // next bit of `current`; 0x80 means a byte must be loaded first
    uint8_t current;

    LzssMemoryBits(const uint8_t* bytes, size_t length)
        : data(bytes), size(length), bytePos(0), mask(0x80), current(0) {}

    int LoadIfNeeded() {
        if (mask != 0x80) return 1;
        if (bytePos >= size) return 0;
        current = data[bytePos++];
        return 1;
    }
    int NextBit() {
        int bit = (current & mask) ? 1 : 0;
        mask = (uint8_t)(mask == 1 ? 0x80 : mask >> 1);
        return bit;
    }
    int ReadBit() { return LoadIfNeeded() ? NextBit() : -1; }
    int ReadBits(int n) {
        int value = 0;
        for (int i = 0; i < n; i++) {
            if (!LoadIfNeeded()) return -1;
            value = (value << 1) | NextBit();
        }
        return value;
    }
    // Bytes of input consumed so far (the byte holding the last bit read counts).
    size_t BytesConsumed() const { return bytePos; }
};
