// Drives the engine's LZSS decoding core over streams held in memory, with output in
// chunks so that a large item never needs a second full-size buffer.
#include "pack/lzss_stream.h"

#include <string.h>

#include <stdexcept>
#include <string>

namespace {

const size_t CHUNK = 4096;

}  // namespace

LzssStreamResult DecodeLzssStream(const uint8_t* data, size_t size, uint8_t* ring,
                                  const LzssSink& sink) {
    LzssStreamResult result;
    LzssMemoryBits bits(data, size);
    std::vector<uint8_t> out(CHUNK + LZSS_MAX_MATCH);
    uint32_t ringPos = LZSS_START_POSITION;
    uint32_t produced = 0;
    for (;;) {
        int token = DecodeLzssToken(bits, ring, &ringPos, out.data(), &produced);
        if (token != LZSS_TOKEN_BYTES || produced >= CHUNK) {
            if (produced > 0) sink(out.data(), produced);
            result.produced += produced;
            produced = 0;
        }
        if (token == LZSS_TOKEN_END) result.endMarker = true;
        if (token != LZSS_TOKEN_BYTES) break;
    }
    result.consumed = bits.BytesConsumed();
    return result;
}

std::vector<uint8_t> DecodeLzssComplete(const uint8_t* data, size_t size) {
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);
    std::vector<uint8_t> decoded;
    LzssStreamResult r =
        DecodeLzssStream(data, size, ring.data(), [&](const uint8_t* bytes, size_t count) {
            decoded.insert(decoded.end(), bytes, bytes + count);
        });
    if (!r.endMarker) throw std::runtime_error("the stream has no end marker");
    if (r.consumed != size) {
        throw std::runtime_error("the end marker lies in byte " + std::to_string(r.consumed) +
                                 " of " + std::to_string(size));
    }
    return decoded;
}

bool LzssReadsUnwrittenRing(const uint8_t* data, size_t size) {
    std::vector<uint8_t> zeros(LZSS_RING_SIZE, 0x00), ones(LZSS_RING_SIZE, 0xFF);
    // The first pass keeps its output; the second compares against it as it goes.
    std::vector<uint8_t> first;
    DecodeLzssStream(data, size, zeros.data(), [&](const uint8_t* bytes, size_t count) {
        first.insert(first.end(), bytes, bytes + count);
    });
    size_t at = 0;
    bool differs = false;
    DecodeLzssStream(data, size, ones.data(), [&](const uint8_t* bytes, size_t count) {
        if (differs) return;
        if (at + count > first.size() || memcmp(bytes, first.data() + at, count) != 0)
            differs = true;
        at += count;
    });
    return differs;
}
