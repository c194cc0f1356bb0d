// Claim: decoding any byte stream ends, stays inside the ring and the output buffers, consumes
// no more than it was given, and the engine's decoding core and the packaging tool's stream
// decoder agree on every byte, whatever the ring held before.
#include <string.h>

#include <vector>

#include "engine/core/lzss.h"
#include "fuzz/fuzz_check.h"
#include "pack/lzss_stream.h"

namespace {

// The engine's core driven token by token as the installer drives it.
std::vector<uint8_t> DecodeWithCore(const uint8_t* data, size_t size, uint8_t* ring, bool* ended) {
    LzssMemoryBits bits(data, size);
    std::vector<uint8_t> decoded;
    uint8_t out[LZSS_MAX_MATCH];
    uint32_t ringPos = LZSS_START_POSITION;
    for (;;) {
        uint32_t produced = 0;
        int token = DecodeLzssToken(bits, ring, &ringPos, out, &produced);
        FUZZ_CHECK(produced <= LZSS_MAX_MATCH, "one token yields at most 17 bytes");
        FUZZ_CHECK(ringPos < LZSS_RING_SIZE, "the write position stays in the ring");
        decoded.insert(decoded.end(), out, out + produced);
        *ended = token == LZSS_TOKEN_END;
        if (token != LZSS_TOKEN_BYTES) return decoded;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte fills the ring the stream starts from (the item before it left it so).
    uint8_t fill = size ? data[0] : 0;
    std::vector<uint8_t> ringA(LZSS_RING_SIZE, fill), ringB(LZSS_RING_SIZE, fill);
    bool coreEnded = false;
    std::vector<uint8_t> byCore = DecodeWithCore(data, size, ringA.data(), &coreEnded);
    std::vector<uint8_t> byStream;
    LzssStreamResult r = DecodeLzssStream(
        data, size, ringB.data(),
        [&](const uint8_t* b, size_t n) { byStream.insert(byStream.end(), b, b + n); });
    FUZZ_CHECK(r.consumed <= size, "never consumes more than the input");
    FUZZ_CHECK(r.produced == byStream.size(), "reports what it produced");
    FUZZ_CHECK(r.endMarker == coreEnded, "both decoders see the same end");
    FUZZ_CHECK(byStream == byCore, "both decoders produce the same bytes");
    FUZZ_CHECK(ringA == ringB, "both leave the ring alike");
    // A stream accepted as complete decodes to the same bytes on its own.
    if (r.endMarker && r.consumed == size && fill == 0) {
        FUZZ_CHECK(DecodeLzssComplete(data, size) == byStream, "whole-stream decoding agrees");
    }
    LzssReadsUnwrittenRing(data, size);
    return 0;
}
