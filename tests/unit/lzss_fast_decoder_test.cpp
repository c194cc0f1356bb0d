// The tools' fast decoding (DecodeLzssStream: wide bit reader, word copies) against a
// reference written here from the stream format alone: one bit at a time from input that
// arrives in pieces, every match copied byte by byte through the ring, stopped and resumed at
// random tick cuts with all state carried over. None of the decoder's token code is used by
// the reference. Streams are random token sequences (matches anywhere in the ring, wrapping,
// overlapping, reading what the stream never wrote), matches at every overlap distance up to
// 20 in both directions, and encoder output; the ring starts with random leftovers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/core/lzss.h"
#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"
#include "tests/support/lzss_tokens.h"

namespace {

// The installer's reader in miniature: a byte at a time from a buffer refilled with pieces of
// random size, like ReadFromSource's reads.
struct PiecewiseBits {
    const std::vector<uint8_t>& input;
    std::mt19937& rng;
    size_t delivered = 0;  // bytes handed over by refills so far
    size_t taken = 0;      // bytes of those loaded into `current`
    uint8_t mask = 0x80, current = 0;

    int LoadIfNeeded() {
        if (mask != 0x80) return 1;
        if (taken == delivered) {
            if (delivered == input.size()) return 0;
            delivered += std::min<size_t>(input.size() - delivered, 1 + rng() % 700);
        }
        current = input[taken++];
        return 1;
    }
    int ReadBit() {
        if (!LoadIfNeeded()) return -1;
        int bit = (current & mask) ? 1 : 0;
        mask = (uint8_t)(mask == 1 ? 0x80 : mask >> 1);
        return bit;
    }
    int ReadBits(int n) {
        int value = 0;
        for (int i = 0; i < n; i++) {
            int bit = ReadBit();
            if (bit < 0) return -1;
            value = value << 1 | bit;
        }
        return value;
    }
};

// One token the reference way: 1 when bytes were appended to `out`, 0 at the end marker,
// -1 when input ran out (nothing of the token stored).
int ReferenceToken(PiecewiseBits& bits, std::vector<uint8_t>& ring, uint32_t* ringPos,
                   std::vector<uint8_t>* out) {
    auto put = [&](uint8_t byte) {
        out->push_back(byte);
        ring[*ringPos] = byte;
        *ringPos = (*ringPos + 1) % 4096;
    };
    int flag = bits.ReadBit();
    if (flag < 0) return -1;
    if (flag == 1) {
        int literal = bits.ReadBits(8);
        if (literal < 0) return -1;
        put((uint8_t)literal);
        return 1;
    }
    int position = bits.ReadBits(12);
    if (position < 0) return -1;
    if (position == 0) return 0;
    int count = bits.ReadBits(4);
    if (count < 0) return -1;
    // Byte by byte: a source reaching the bytes this match writes reads them again.
    for (int j = 0; j < count + 2; j++) put(ring[(uint32_t)(position + j) % 4096]);
    return 1;
}

struct Decoded {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> ring;
    bool endMarker = false;
    size_t consumed = 0;
};

// Ticks that each stop once more than a random number of bytes is out, as DecodeStep stops
// past its buffer's limit; tokens never straddle two ticks.
Decoded DecodeInTicks(const std::vector<uint8_t>& stream, std::vector<uint8_t> ring,
                      uint32_t seed) {
    std::mt19937 rng(seed);
    PiecewiseBits bits{stream, rng};
    Decoded d;
    uint32_t ringPos = 1;
    for (int result = 1; result == 1;) {
        size_t cut = 1 + rng() % 5000;
        std::vector<uint8_t> tick;
        while (tick.size() < cut) {
            result = ReferenceToken(bits, ring, &ringPos, &tick);
            if (result != 1) break;
        }
        d.bytes.insert(d.bytes.end(), tick.begin(), tick.end());
        d.endMarker = result == 0;
    }
    d.ring = ring;
    d.consumed = bits.taken;
    return d;
}

Decoded DecodeFast(const std::vector<uint8_t>& stream, std::vector<uint8_t> ring,
                   bool* readsUnwritten) {
    Decoded d;
    LzssStreamResult r = DecodeLzssStream(
        stream.data(), stream.size(), ring.data(),
        [&](const uint8_t* b, size_t n) { d.bytes.insert(d.bytes.end(), b, b + n); });
    d.ring = ring;
    d.endMarker = r.endMarker;
    d.consumed = r.consumed;
    *readsUnwritten = r.readsUnwritten;
    return d;
}

// A stream reads an unwritten ring position exactly when its output depends on the ring it
// starts from.
bool DependsOnStartingRing(const std::vector<uint8_t>& stream) {
    bool ignored;
    return DecodeFast(stream, std::vector<uint8_t>(LZSS_RING_SIZE, 0x00), &ignored).bytes !=
           DecodeFast(stream, std::vector<uint8_t>(LZSS_RING_SIZE, 0xFF), &ignored).bytes;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Random tokens; `nearby` keeps matches within what the stream has written so far.
std::vector<uint8_t> RandomTokens(uint32_t seed, size_t tokens, bool nearby, bool terminated) {
    std::mt19937 rng(seed);
    LzssTokenWriter w;
    uint32_t written = 0;
    for (size_t t = 0; t < tokens; t++) {
        if (rng() % 3 == 0 || (nearby && written == 0)) {
            w.Literal((uint8_t)rng());
            written++;
            continue;
        }
        uint32_t limit = nearby && written < 4095 ? written : 4095;
        uint8_t count = (uint8_t)(rng() % 16);
        w.Match((uint16_t)(1 + rng() % limit), count);
        written += count + 2u;
    }
    return Bytes(terminated ? w.End() : w.Unterminated());
}

std::vector<uint8_t> RandomRing(uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> ring(LZSS_RING_SIZE);
    for (uint8_t& b : ring) b = (uint8_t)rng();
    return ring;
}

std::vector<uint8_t> TextLike(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    const char* words[] = {"setup ", "copy ", "\r\n", "Quorvane ", "the ", "0000000000000000"};
    std::string s;
    while (s.size() < n) s += rng() % 9 ? words[rng() % 6] : std::string(1, (char)rng());
    return Bytes(s.substr(0, n));
}

TEST(LzssFastDecoder, MatchesTheTickByTickDecoder) {
    struct Case {
        std::string name;
        std::vector<uint8_t> stream;
    };
    std::vector<Case> cases;
    for (uint32_t seed = 1; seed <= 12; seed++) {
        cases.push_back({"random tokens " + std::to_string(seed),
                         RandomTokens(seed, 3000 + seed * 500, seed % 2 == 0, seed % 4 != 3)});
    }
    cases.push_back({"encoded text", EncodeLzss(TextLike(70000, 40))});
    cases.push_back({"encoded zeros", EncodeLzss(std::vector<uint8_t>(30000, 0))});
    cases.push_back({"empty stream", {}});
    cases.push_back({"end marker only", Bytes(LzssTokenWriter().End())});
    for (const Case& c : cases) {
        for (uint32_t cuts = 0; cuts < 3; cuts++) {
            std::vector<uint8_t> ring = RandomRing(cuts + 100);
            bool readsUnwritten = false;
            Decoded fast = DecodeFast(c.stream, ring, &readsUnwritten);
            Decoded ticks = DecodeInTicks(c.stream, ring, cuts * 7 + 1);
            EXPECT_EQ(fast.bytes, ticks.bytes) << c.name;
            EXPECT_EQ(fast.ring, ticks.ring) << c.name;
            EXPECT_EQ(fast.endMarker, ticks.endMarker) << c.name;
            if (fast.endMarker) {
                EXPECT_EQ(fast.consumed, ticks.consumed) << c.name;
            }
            EXPECT_EQ(readsUnwritten, DependsOnStartingRing(c.stream)) << c.name;
        }
    }
}

// Word copies move 2, 4 or 8 bytes at once only when source and target lie far enough apart;
// every distance from 1 to 20, behind and ahead of the write position, with every length,
// must give what the byte-by-byte copy gives. Written near the ring's start and its end.
TEST(LzssFastDecoder, MatchesAtEveryOverlapDistanceCopyAsByteByByte) {
    for (uint32_t prefix : {100u, 4070u}) {
        for (int direction : {-1, 1}) {
            for (uint32_t distance = 1; distance <= 20; distance++) {
                for (uint8_t count = 0; count < 16; count++) {
                    LzssTokenWriter w;
                    std::mt19937 rng(distance * 31 + count);
                    for (uint32_t i = 0; i < prefix; i++) w.Literal((uint8_t)rng());
                    uint32_t writePos = 1 + prefix;
                    uint32_t position = (writePos + (uint32_t)(direction * (int)distance)) % 4096;
                    w.Match((uint16_t)position, count);
                    w.Literal('z');
                    std::vector<uint8_t> stream = Bytes(w.End());
                    std::vector<uint8_t> ring = RandomRing(distance);
                    bool ignored;
                    Decoded fast = DecodeFast(stream, ring, &ignored);
                    Decoded reference = DecodeInTicks(stream, ring, distance);
                    std::string at = std::to_string(prefix) + (direction < 0 ? " - " : " + ") +
                                     std::to_string(distance) + ", count " + std::to_string(count);
                    EXPECT_EQ(fast.bytes, reference.bytes) << at;
                    EXPECT_EQ(fast.ring, reference.ring) << at;
                }
            }
        }
    }
}

TEST(LzssFastDecoder, ReportsReadsOfUnwrittenPositions) {
    const struct {
        const char* name;
        std::string stream;
        bool readsUnwritten;
    } cases[] = {
        {"match on its own first byte", LzssTokenWriter().Literal('a').Match(1, 15).End(), false},
        {"match one past the written", LzssTokenWriter().Literals("ab").Match(3, 0).End(), true},
        {"match running into its own bytes", LzssTokenWriter().Literals("ab").Match(2, 9).End(),
         false},
        {"match before any byte", LzssTokenWriter().Match(1, 0).End(), true},
        {"match at the ring's last position", LzssTokenWriter().Literal('x').Match(4095, 1).End(),
         true},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> ring(LZSS_RING_SIZE, 0), stream = Bytes(c.stream);
        LzssStreamResult r = DecodeLzssStream(stream.data(), stream.size(), ring.data(),
                                              [](const uint8_t*, size_t) {});
        EXPECT_EQ(r.readsUnwritten, c.readsUnwritten) << c.name;
        EXPECT_EQ(LzssReadsUnwrittenRing(stream.data(), stream.size()), c.readsUnwritten) << c.name;
    }
}

// The tools decode a whole stream from a zeroed ring, as the installer's freshly allocated one
// is: what a stream reads before writing it comes out as zeros.
TEST(LzssFastDecoder, CompleteDecodingStartsFromAZeroedRing) {
    const struct {
        const char* name;
        std::string stream;
        std::string decoded;
    } cases[] = {
        {"match before any byte", LzssTokenWriter().Match(1, 0).End(), std::string(2, '\0')},
        {"match one past the written", LzssTokenWriter().Literals("ab").Match(3, 0).End(),
         std::string("ab\0\0", 4)},
        {"match across the ring's end", LzssTokenWriter().Literal('x').Match(4095, 1).End(),
         std::string("x\0\0x", 4)},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> stream = Bytes(c.stream);
        EXPECT_EQ(DecodeLzssComplete(stream.data(), stream.size()), Bytes(c.decoded)) << c.name;
    }
}

}  // namespace
