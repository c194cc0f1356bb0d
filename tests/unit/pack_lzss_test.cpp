// The packaging tool's LZSS encoder against the engine's decoding core: exact round trips over
// data that exercises every corner of the format, no reads of ring positions the stream has
// not written, and the sizes an optimal parse must reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = (uint8_t)(rng() % alphabet);
    return v;
}

// A random block of `period` bytes repeated to `n` bytes.
std::vector<uint8_t> Periodic(size_t period, size_t n, uint32_t seed) {
    std::vector<uint8_t> unit = RandomBytes(period, seed), v(n);
    for (size_t i = 0; i < n; i++) v[i] = unit[i % period];
    return v;
}

// Text-like data with long and short repeats and occasional noise.
std::vector<uint8_t> MixedData(size_t n, uint32_t seed) {
    static const char* words[] = {"install ", "Quorvane ", "directory ", "file ", "the ",
                                  "of ",      "\r\n",      "setup ",     "copy ", "0123456789"};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    while (v.size() < n) {
        if (rng() % 8 == 0) {
            for (int k = 0; k < 20; k++) v.push_back((uint8_t)rng());
        } else {
            std::string w = words[rng() % 10];
            v.insert(v.end(), w.begin(), w.end());
        }
    }
    v.resize(n);
    return v;
}

struct RoundTripCase {
    const char* name;
    std::vector<uint8_t> data;
};

std::vector<RoundTripCase> RoundTripCases() {
    std::vector<RoundTripCase> cases = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two equal bytes", {7, 7}},
        {"run of zeros", std::vector<uint8_t>(10000, 0)},
        {"run of 0xFF", std::vector<uint8_t>(9000, 0xFF)},
        {"period 4095", Periodic(4095, 20000, 1)},
        {"period 4096", Periodic(4096, 20000, 2)},
        {"period 4097", Periodic(4097, 20000, 3)},
        {"period 3", Periodic(3, 13000, 4)},
        {"incompressible", RandomBytes(50000, 5)},
        {"two-letter alphabet", RandomBytes(60000, 6, 2)},
        {"four-letter alphabet", RandomBytes(60000, 7, 4)},
        {"mixed, several hundred KB", MixedData(400000, 8)},
    };
    // A prefix that makes later matches straddle ring position 0 after each wrap.
    std::vector<uint8_t> wrap = Periodic(4094, 4094 * 5 + 37, 9);
    cases.push_back({"wraps the ring five times", wrap});
    return cases;
}

TEST(LzssEncoder, DecodesToExactlyTheInput) {
    for (const RoundTripCase& c : RoundTripCases()) {
        std::vector<uint8_t> stream = EncodeLzss(c.data);
        EXPECT_EQ(DecodeLzssComplete(stream.data(), stream.size()), c.data) << c.name;
    }
}

TEST(LzssEncoder, NeverReadsRingPositionsItHasNotWritten) {
    for (const RoundTripCase& c : RoundTripCases()) {
        std::vector<uint8_t> stream = EncodeLzss(c.data);
        EXPECT_FALSE(LzssReadsUnwrittenRing(stream.data(), stream.size())) << c.name;
        // And the same against a ring left over from some other item.
        std::vector<uint8_t> ring = RandomBytes(LZSS_RING_SIZE, 99), decoded;
        DecodeLzssStream(
            stream.data(), stream.size(), ring.data(),
            [&](const uint8_t* b, size_t n) { decoded.insert(decoded.end(), b, b + n); });
        EXPECT_EQ(decoded, c.data) << c.name;
    }
}

TEST(LzssEncoder, ReachesTheSmallestStreams) {
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        std::vector<uint8_t> stream;
    } cases[] = {
        {"empty", {}, {0x00, 0x00}},
        {"abc as literals, no padding byte", Bytes("abc"), {0xb0, 0xd8, 0xac, 0x60, 0x00}},
        {"aaaa as literal and one match", Bytes("aaaa"), {0xb0, 0x80, 0x04, 0x40, 0x00}},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeLzss(c.data), c.stream) << c.name;
}

TEST(LzssEncoder, MatchSizesFollowTheOptimalParse) {
    // A run of n bytes: one literal, then full 17-byte matches; a tail of one byte is a
    // literal, a longer tail one more match; then the 13-bit end marker.
    for (size_t n : {2u, 18u, 19u, 35u, 1000u}) {
        std::vector<uint8_t> stream = EncodeLzss(std::vector<uint8_t>(n, 'x'));
        size_t tail = (n - 1) % 17;
        size_t bits = 9 + 13 + ((n - 1) / 17) * 17 + (tail == 0 ? 0 : tail == 1 ? 9 : 17);
        EXPECT_EQ(stream.size(), (bits + 7) / 8) << n;
    }
}

// The fewest bits any stream for `data` can take, by brute force: every usable source inside
// the window, every length, and a shortest path over them; plus the end marker.
size_t OptimalStreamBytes(const std::vector<uint8_t>& data) {
    size_t n = data.size();
    std::vector<uint64_t> cost(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        size_t longest = 0;
        for (size_t s = i > 4096 ? i - 4096 : 0; s < i; s++) {
            if (((s + 1) & 4095) == 0) continue;  // ring position 0 is the end marker
            size_t length = 0;
            while (length < 17 && i + length < n && data[s + length] == data[i + length]) length++;
            if (length > longest) longest = length;
        }
        cost[i] = 9 + cost[i + 1];
        for (size_t length = 2; length <= longest; length++)
            cost[i] = std::min(cost[i], 17 + cost[i + length]);
    }
    return (size_t)(cost[0] + 13 + 7) / 8;
}

TEST(LzssEncoder, ParseIsWithinATenthOfAPercentOfTheOptimum) {
    // Random bytes whose only earlier copy of a 17-byte run starts at ring position 0.
    std::vector<uint8_t> onlyAtRingZero = RandomBytes(7000, 11);
    std::copy(onlyAtRingZero.begin() + 4095, onlyAtRingZero.begin() + 4095 + 17,
              onlyAtRingZero.begin() + 6000);
    const struct {
        const char* name;
        std::vector<uint8_t> data;
    } cases[] = {
        {"four-letter alphabet", RandomBytes(6000, 12, 4)},
        {"two-letter alphabet", RandomBytes(5000, 13, 2)},
        {"period 4095 across the wrap", Periodic(4095, 9000, 14)},
        {"text-like", MixedData(7000, 15)},
        {"run of zeros across ring position 0", std::vector<uint8_t>(5000, 0)},
        {"best source at ring position 0", onlyAtRingZero},
        {"short tail repeats", Bytes("abcabcabcabcab")},
    };
    for (const auto& c : cases) {
        size_t optimum = OptimalStreamBytes(c.data);
        size_t size = EncodeLzss(c.data).size();
        EXPECT_GE(size, optimum) << c.name;
        EXPECT_LE(size, optimum + optimum / 1000) << c.name;
    }
}

TEST(LzssStream, ReportsWhereTheEndMarkerFalls) {
    std::vector<uint8_t> stream = EncodeLzss(Bytes("hello hello hello"));
    std::vector<uint8_t> ring(LZSS_RING_SIZE);
    auto ignore = [](const uint8_t*, size_t) {};
    LzssStreamResult whole = DecodeLzssStream(stream.data(), stream.size(), ring.data(), ignore);
    EXPECT_TRUE(whole.endMarker);
    EXPECT_EQ(whole.consumed, stream.size());
    EXPECT_EQ(whole.produced, 17u);

    LzssStreamResult cut = DecodeLzssStream(stream.data(), stream.size() - 1, ring.data(), ignore);
    EXPECT_FALSE(cut.endMarker);

    std::vector<uint8_t> longer = stream;
    longer.push_back(0);
    EXPECT_THROW(DecodeLzssComplete(longer.data(), longer.size()), std::runtime_error);
}

}  // namespace
