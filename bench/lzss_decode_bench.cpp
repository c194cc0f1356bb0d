// Throughput of the LZSS decoding core over memory: literal-heavy and match-heavy streams,
// the two extremes of work per output byte.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/core/lzss.h"

namespace {

// Writes tokens MSB first.
struct BitWriter {
    std::vector<uint8_t> bytes;
    int used = 8;
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; i--) {
            if (used == 8) bytes.push_back(0), used = 0;
            if ((value >> i) & 1) bytes.back() |= (uint8_t)(0x80 >> used);
            used++;
        }
    }
};

std::vector<uint8_t> LiteralStream(size_t size) {
    BitWriter w;
    for (size_t i = 0; i < size; i++) w.Put(0x100 | (uint8_t)(i * 7), 9);
    w.Put(0, 13);
    return w.bytes;
}

// One literal, then matches of 17 bytes at position 1 (a run of one byte).
std::vector<uint8_t> MatchStream(size_t size) {
    BitWriter w;
    w.Put(0x100 | 'x', 9);
    for (size_t done = 1; done + 17 <= size; done += 17) w.Put((1u << 4) | 15u, 17);
    w.Put(0, 13);
    return w.bytes;
}

void Decode(benchmark::State& state, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> out(LZSS_MAX_MATCH);
    size_t produced = 0;
    for (auto _ : state) {
        uint8_t ring[LZSS_RING_SIZE] = {};
        uint32_t ringPos = LZSS_START_POSITION;
        LzssMemoryBits bits(stream.data(), stream.size());
        produced = 0;
        for (;;) {
            uint32_t n = 0;
            if (DecodeLzssToken(bits, ring, &ringPos, out.data(), &n) != LZSS_TOKEN_BYTES) break;
            produced += n;
        }
        benchmark::DoNotOptimize(produced);
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * produced));
}

void BM_DecodeLiterals(benchmark::State& state) {
    Decode(state, LiteralStream(1 << 20));
}
void BM_DecodeMatches(benchmark::State& state) {
    Decode(state, MatchStream(1 << 20));
}
BENCHMARK(BM_DecodeLiterals);
BENCHMARK(BM_DecodeMatches);

}  // namespace
