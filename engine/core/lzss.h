// The one LZSS decoding core. The installer's DecodeStep drives it with its bit reader over
// the install state; the packaging tool drives it over memory. Portable: no platform header.
//
// A token is decoded whole or not at all as far as the ring and the output are concerned:
// the reader reports missing input before anything of the token is stored.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

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

// One token as read from the stream: a literal (length 1) or a match of `length` bytes from
// ring position `position`.
struct LzssToken {
    uint32_t position;
    uint32_t length;
    uint8_t literal;
};

// Reads one token whole. `bits` has ReadBits(n) -> value or -1 (n from 1 to 12). The flag is
// read with the next 8 bits, which are either the literal or the high bits of the position: a
// literal takes one read. A stream that runs out inside a token fails the same either way.
template <typename BitReader>
inline int ReadLzssToken(BitReader& bits, LzssToken* token) {
    int head = bits.ReadBits(1 + 8);
    if (head < 0) return LZSS_TOKEN_INPUT_FAILED;
    if (head & 0x100) {
        token->literal = (uint8_t)head;
        token->length = 1;
        return LZSS_TOKEN_BYTES;
    }
    int low = bits.ReadBits(LZSS_POSITION_BITS - 8);
    if (low < 0) return LZSS_TOKEN_INPUT_FAILED;
    int position = head << (LZSS_POSITION_BITS - 8) | low;
    if (position == 0) return LZSS_TOKEN_END;
    int count = bits.ReadBits(LZSS_COUNT_BITS);
    if (count < 0) return LZSS_TOKEN_INPUT_FAILED;
    token->position = (uint32_t)position;
    token->length = (uint32_t)count + LZSS_MIN_MATCH;
    return LZSS_TOKEN_BYTES;
}

// ReadLzssToken over bits a caller already holds: the token at the 17 most significant bits of
// `bits`, all of which must be input. *used receives the bits it takes: 9 for a literal, 13
// for the end marker, 17 for a match.
inline int ParseLzssToken(uint32_t bits, LzssToken* token, uint32_t* used) {
    if (bits & 0x80000000u) {
        token->literal = (uint8_t)(bits >> 23);
        token->length = 1;
        *used = 9;
        return LZSS_TOKEN_BYTES;
    }
    uint32_t position = bits >> 19;  // the flag (0) and 12 bits
    if (position == 0) {
        *used = 13;
        return LZSS_TOKEN_END;
    }
    token->position = position;
    token->length = ((bits >> 15) & 0xF) + LZSS_MIN_MATCH;
    *used = 17;
    return LZSS_TOKEN_BYTES;
}

// Copies a match that wraps round the ring, byte by byte.
inline void CopyLzssMatchWrapping(uint32_t position, uint32_t length, uint8_t* ring,
                                  uint32_t writePos, uint8_t* out) {
    for (uint32_t j = 0; j < length; j++) {
        uint8_t byte = ring[(position + j) & LZSS_RING_MASK];
        out[j] = byte;
        ring[(writePos + j) & LZSS_RING_MASK] = byte;
    }
}

// Moves `length` bytes (width <= length <= 2 * width) as two words of `width` bytes: the
// first from the start, the second ending at the match's end.
template <uint32_t width>
inline void CopyTwoLzssWords(const uint8_t* source, uint32_t length, uint8_t* target,
                             uint8_t* out) {
    uint8_t word[width];
    memcpy(word, source, width);
    memcpy(target, word, width);
    memcpy(out, word, width);
    memcpy(word, source + length - width, width);
    memcpy(target + length - width, word, width);
    memcpy(out + length - width, word, width);
}

// Copies a match whose source and destination both stay below the ring's end. Every byte is
// stored before a later one is read, so a source that reaches the write position repeats a
// pattern. When the two ranges lie at least eight apart, whole words move at once, the last
// one ending at the match's end: it rewrites a few bytes with the values they already hold
// and reads only bytes that are final.
inline void CopyLzssMatchFlat(const uint8_t* source, uint32_t length, uint8_t* target,
                              uint8_t* out) {
    uint32_t apart = source < target ? (uint32_t)(target - source) : (uint32_t)(source - target);
    if (apart < 8) {
        for (uint32_t j = 0; j < length; j++) {
            uint8_t byte = source[j];
            target[j] = byte;
            out[j] = byte;
        }
    } else if (length < 4) {
        CopyTwoLzssWords<2>(source, length, target, out);
    } else if (length < 8) {
        CopyTwoLzssWords<4>(source, length, target, out);
    } else if (length <= 16) {
        CopyTwoLzssWords<8>(source, length, target, out);
    } else {
        CopyTwoLzssWords<8>(source, 16, target, out);
        CopyTwoLzssWords<1>(source + 16, length - 16, target + 16, out + 16);
    }
}

// Appends what the token yields at out[*produced] and to the ring.
inline void StoreLzssToken(const LzssToken& token, uint8_t* ring, uint32_t* ringPos, uint8_t* out,
                           uint32_t* produced) {
    uint32_t w = *ringPos, length = token.length;
    uint8_t* to = out + *produced;
    if (length == 1) {
        *to = token.literal;
        ring[w] = token.literal;
    } else if (token.position + length <= LZSS_RING_SIZE && w + length <= LZSS_RING_SIZE) {
        CopyLzssMatchFlat(ring + token.position, length, ring + w, to);
    } else {
        CopyLzssMatchWrapping(token.position, length, ring, w, to);
    }
    *ringPos = (w + length) & LZSS_RING_MASK;
    *produced += length;
}

// Decodes one token: reads it whole, then appends what it yields (1 to 17 bytes) at
// out[*produced] and to the ring. Nothing is stored when the reader fails.
template <typename BitReader>
int DecodeLzssToken(BitReader& bits, uint8_t* ring, uint32_t* ringPos, uint8_t* out,
                    uint32_t* produced) {
    LzssToken token;
    int result = ReadLzssToken(bits, &token);
    if (result == LZSS_TOKEN_BYTES) StoreLzssToken(token, ring, ringPos, out, produced);
    return result;
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
    int ReadBits(int n) {
        int value = 0;
        for (int i = 0; i < n; i++) {
            if (!LoadIfNeeded()) return -1;
            value = (value << 1) | ((current & mask) ? 1 : 0);
            mask = (uint8_t)(mask == 1 ? 0x80 : mask >> 1);
        }
        return value;
    }
    // Bytes of input consumed so far (the byte holding the last bit read counts).
    size_t BytesConsumed() const { return bytePos; }
};

// The same over memory, read through a 64-bit buffer: one refill serves several tokens. The
// buffer's bits below `count` may already hold the following input; a refill ORs in the same
// bits again, so they stay right.
struct LzssWideBits {
    const uint8_t* data;
    size_t size;
    size_t bytePos;   // next byte not yet counted in `count`
    uint64_t buffer;  // the next bits, most significant first
    uint32_t count;   // bits of `buffer` that are counted

    LzssWideBits(const uint8_t* bytes, size_t length)
        : data(bytes), size(length), bytePos(0), buffer(0), count(0) {}

    static uint64_t BigEndian64(const uint8_t* bytes) {
        uint64_t word;
        memcpy(&word, bytes, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return __builtin_bswap64(word);
#else
        return word;
#endif
    }
    void Refill() {
        if (size - bytePos >= 8) {
            buffer |= BigEndian64(data + bytePos) >> count;
            uint32_t whole = (63 - count) >> 3;
            bytePos += whole;
            count += whole * 8;
            return;
        }
        while (count <= 56 && bytePos < size) {
            buffer |= (uint64_t)data[bytePos++] << (56 - count);
            count += 8;
        }
    }
    int ReadBits(int n) {
        if (count < (uint32_t)n) {
            Refill();
            if (count < (uint32_t)n) return -1;
        }
        int value = (int)(buffer >> (64 - n));
        buffer <<= n;
        count -= (uint32_t)n;
        return value;
    }
    size_t BytesConsumed() const {
        return bytePos - count / 8;
    }
};
