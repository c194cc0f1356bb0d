// The LZSS encoder and the tools' decoder over the corpus, file by file as setuppack build
// packs them. Counters: stored size against the original, with compress = "auto" (a file
// whose stream is not smaller is stored as it is) and with every file compressed.
#include <benchmark/benchmark.h>

#include "bench/bench_corpus.h"
#include "engine/core/lzss.h"
#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"

namespace {

const std::vector<std::vector<uint8_t>>& EncodedCorpus() {
    static const std::vector<std::vector<uint8_t>> streams = [] {
        std::vector<std::vector<uint8_t>> encoded;
        for (const CorpusFile& file : Corpus()) encoded.push_back(EncodeLzss(file.bytes));
        return encoded;
    }();
    return streams;
}

void BM_Encode(benchmark::State& state) {
    uint64_t forced = 0, automatic = 0;
    for (auto _ : state) {
        forced = automatic = 0;
        for (const CorpusFile& file : Corpus()) {
            std::vector<uint8_t> stream = EncodeLzss(file.bytes);
            forced += stream.size();
            automatic += std::min(stream.size(), file.bytes.size());
        }
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * CorpusBytes()));
    state.counters["ratio_auto_pct"] = 100.0 * automatic / CorpusBytes();
    state.counters["ratio_all_compressed_pct"] = 100.0 * forced / CorpusBytes();
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

// DecodeLzssStream, as decompress, extract and verify use it.
void BM_DecodeFast(benchmark::State& state) {
    const auto& streams = EncodedCorpus();
    std::vector<uint8_t> ring(LZSS_RING_SIZE);
    uint64_t produced = 0;
    for (auto _ : state) {
        for (const std::vector<uint8_t>& s : streams) {
            produced +=
                DecodeLzssStream(s.data(), s.size(), ring.data(), [](const uint8_t*, size_t) {
                }).produced;
        }
    }
    state.SetBytesProcessed((int64_t)produced);
}
BENCHMARK(BM_DecodeFast)->Unit(benchmark::kMillisecond);

// The same token loop driven through the bit-at-a-time reader the installer's one resembles.
void BM_DecodeBitByBit(benchmark::State& state) {
    const auto& streams = EncodedCorpus();
    std::vector<uint8_t> ring(LZSS_RING_SIZE), out(LZSS_MAX_MATCH);
    uint64_t produced = 0;
    for (auto _ : state) {
        for (const std::vector<uint8_t>& s : streams) {
            LzssMemoryBits bits(s.data(), s.size());
            uint32_t ringPos = LZSS_START_POSITION;
            for (;;) {
                uint32_t n = 0;
                if (DecodeLzssToken(bits, ring.data(), &ringPos, out.data(), &n) !=
                    LZSS_TOKEN_BYTES)
                    break;
                produced += n;
            }
        }
    }
    state.SetBytesProcessed((int64_t)produced);
}
BENCHMARK(BM_DecodeBitByBit)->Unit(benchmark::kMillisecond);

}  // namespace
