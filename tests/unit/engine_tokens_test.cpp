// The explicit token writer used by the decoder tests agrees with the stream format's own
// examples and with the decoding core, so that a wrong expectation cannot hide behind it.
#include <gtest/gtest.h>

#include "engine/core/lzss.h"
#include "tests/support/lzss_tokens.h"

namespace {

std::string DecodeAll(const std::string& stream) {
    LzssMemoryBits bits(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
    uint8_t ring[LZSS_RING_SIZE] = {};
    uint32_t ringPos = LZSS_START_POSITION;
    std::string out;
    uint8_t token[LZSS_MAX_MATCH];
    for (;;) {
        uint32_t produced = 0;
        int result = DecodeLzssToken(bits, ring, &ringPos, token, &produced);
        if (result != LZSS_TOKEN_BYTES) return result == LZSS_TOKEN_END ? out : "<failed>";
        out.append(reinterpret_cast<char*>(token), produced);
    }
}

TEST(LzssTokenWriter, WritesTheDocumentedExamples) {
    EXPECT_EQ(LzssTokenWriter().End(), std::string("\x00\x00", 2));
    EXPECT_EQ(LzssTokenWriter().Literals("abc").End(), std::string("\xb0\xd8\xac\x60\x00", 5));
    EXPECT_EQ(LzssTokenWriter().Literal('a').Match(1, 1).End(),
              std::string("\xb0\x80\x04\x40\x00", 5));
}

TEST(LzssTokenWriter, StreamsDecodeToWhatTheyDescribe) {
    EXPECT_EQ(DecodeAll(LzssTokenWriter().Literals("ab").Match(2, 3).End()), "abbbbbb");
    EXPECT_EQ(DecodeAll(LzssTokenWriter().Literals("abcdef").Match(1, 2).End()), "abcdefabcd");
    EXPECT_EQ(DecodeAll(LzssTokenWriter().Literals("ab").Unterminated()), "<failed>");
}

}  // namespace
