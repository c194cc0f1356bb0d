// Claim: for any data, the encoder's stream decodes back to exactly that data, ends with its
// end marker in its last byte, and reads no ring position it has not written itself (so it
// decodes alike after any earlier item).
#include <vector>

#include "fuzz/fuzz_check.h"
#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    std::vector<uint8_t> stream = EncodeLzss(input);
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0xA5);  // what an earlier item might leave
    std::vector<uint8_t> decoded;
    LzssStreamResult r = DecodeLzssStream(
        stream.data(), stream.size(), ring.data(),
        [&](const uint8_t* b, size_t n) { decoded.insert(decoded.end(), b, b + n); });
    FUZZ_CHECK(r.endMarker, "the stream ends with its end marker");
    FUZZ_CHECK(r.consumed == stream.size(), "the end marker lies in the stream's last byte");
    FUZZ_CHECK(decoded == input, "the stream decodes to the input");
    FUZZ_CHECK(!LzssReadsUnwrittenRing(stream.data(), stream.size()),
               "the stream reads only ring positions it wrote");
    return 0;
}
