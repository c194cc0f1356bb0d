// The portable core's small pieces: path joining within a field, ASCII-only case rules,
// the trailer sum and the LZSS token decoder on the stream examples of the format.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "engine/core/checksum.h"
#include "engine/core/lzss.h"
#include "engine/core/paths.h"

namespace {

TEST(JoinPath, InsertsOneSeparatorAndRefusesWhatDoesNotFit) {
    const struct {
        const char* dir;
        const char* name;
        size_t size;
        const char* expected;  // null: refused
    } cases[] = {
        {"C:\\QRVNE32", "READ_ME.TXT", 260, "C:\\QRVNE32\\READ_ME.TXT"},
        {"A:\\", "SETUP.EX_", 260, "A:\\\\SETUP.EX_"},  // drive root: separator doubled
        {"A:", "", 260, "A:\\"},
        {"ABC", "DEF", 8, "ABC\\DEF"},  // exactly fills 8 bytes with the terminator
        {"ABC", "DEFG", 8, nullptr},
    };
    for (const auto& c : cases) {
        char out[260];
        strcpy(out, "untouched");
        int fits = JoinPath(out, c.size, c.dir, c.name);
        if (c.expected) {
            EXPECT_EQ(fits, 1);
            EXPECT_STREQ(out, c.expected);
        } else {
            EXPECT_EQ(fits, 0);
            EXPECT_STREQ(out, "untouched");
        }
    }
}

TEST(JoinPath, AppendsInPlace) {
    char path[32] = "C:\\TARGET";
    ASSERT_EQ(JoinPath(path, sizeof path, path, "SUB"), 1);
    EXPECT_STREQ(path, "C:\\TARGET\\SUB");
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(AsciiUpper('a'), 'A');
    EXPECT_EQ(AsciiUpper('z'), 'Z');
    EXPECT_EQ(AsciiUpper('\xe4'), '\xe4');  // no locale: a-umlaut stays
    EXPECT_EQ(AsciiUpper('1'), '1');
    EXPECT_TRUE(EqualIgnoringAsciiCase("C:\\VarnookSW", "c:\\VARNOOKSW"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("C:\\\xe4", "C:\\\xc4"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("C:\\A", "C:\\AB"));
}

TEST(Checksum, SumsUnsignedBytesModulo32Bits) {
    std::vector<uint8_t> bytes(70000, 0xFF);
    EXPECT_EQ(AddToChecksum(0, bytes.data(), bytes.size()), 70000u * 255u);
    EXPECT_EQ(AddToChecksum(0xFFFFFFFFu, bytes.data(), 1), 254u);  // wraps
}

std::string DecodeAll(const std::vector<uint8_t>& stream, int* endSeen) {
    uint8_t ring[LZSS_RING_SIZE] = {};
    uint32_t ringPos = LZSS_START_POSITION;
    LzssMemoryBits bits(stream.data(), stream.size());
    std::string out;
    uint8_t tokenBytes[LZSS_MAX_MATCH];
    *endSeen = 0;
    for (;;) {
        uint32_t produced = 0;
        int result = DecodeLzssToken(bits, ring, &ringPos, tokenBytes, &produced);
        out.append(reinterpret_cast<char*>(tokenBytes), produced);
        if (result != LZSS_TOKEN_BYTES) {
            *endSeen = result == LZSS_TOKEN_END;
            return out;
        }
    }
}

TEST(LzssToken, DecodesTheFormatExamples) {
    const struct {
        std::vector<uint8_t> stream;
        std::string expected;
    } cases[] = {
        {{0x00, 0x00}, ""},
        {{0xb0, 0xd8, 0xac, 0x60, 0x00}, "abc"},
        {{0xb0, 0x80, 0x04, 0x40, 0x00}, "aaaa"},
    };
    for (const auto& c : cases) {
        int endSeen = 0;
        EXPECT_EQ(DecodeAll(c.stream, &endSeen), c.expected);
        EXPECT_TRUE(endSeen);
    }
}

TEST(LzssToken, ReportsMissingInputInsteadOfInventingBytes) {
    int endSeen = 1;
    EXPECT_EQ(DecodeAll({0xb0, 0xd8}, &endSeen), "a");
    EXPECT_FALSE(endSeen);
}

}  // namespace
