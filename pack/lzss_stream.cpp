// Drives the engine's LZSS decoding core over streams held in memory, with output in
// chunks so that a large item never needs a second full-size buffer.
#include "pack/lzss_stream.h"

#include <stdexcept>
#include <string>

namespace {

const size_t CHUNK = 4096;

// After `written` bytes of a stream, it has written ring positions 1 to `written` (all of
// them from 4096 on). A match starting at a written position only ever reads written ones:
// its later bytes are either its own or, past position 0, written once the stream is 4096
// bytes long.
bool ReadsUnwrittenPosition(const LzssToken& token, uint64_t written) {
    return token.length > 1 && written < LZSS_RING_SIZE && token.position > written;
}

}  // namespace

LzssStreamResult DecodeLzssStream(const uint8_t* data, size_t size, uint8_t* ring,
                                  const LzssSink& sink) {
    LzssStreamResult result;
    LzssWideBits bits(data, size);
    std::vector<uint8_t> out(CHUNK + LZSS_MAX_MATCH);
    uint32_t ringPos = LZSS_START_POSITION;
    uint32_t produced = 0;
    LzssToken token;
    int kind;
    while ((kind = ReadLzssToken(bits, &token)) == LZSS_TOKEN_BYTES) {
        if (ReadsUnwrittenPosition(token, result.produced + produced)) result.readsUnwritten = true;
        StoreLzssToken(token, ring, &ringPos, out.data(), &produced);
        if (produced >= CHUNK) {
            sink(out.data(), produced);
            result.produced += produced;
            produced = 0;
        }
    }
    if (produced > 0) sink(out.data(), produced);
    result.produced += produced;
    result.endMarker = kind == LZSS_TOKEN_END;
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
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);
    return DecodeLzssStream(data, size, ring.data(), [](const uint8_t*, size_t) {}).readsUnwritten;
}
