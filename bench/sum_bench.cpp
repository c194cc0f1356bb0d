// The sums over the corpus installer: the trailer sum in the integrity check's 5000-byte
// pieces, the same over the whole file as the tools take it, and the PE header checksum.
#include <benchmark/benchmark.h>

#include "bench/bench_corpus.h"
#include "engine/core/checksum.h"
#include "pack/pe_image.h"

namespace {

const size_t INTEGRITY_READ = 5000;

// The installer is loaded before any benchmark runs, so that a single iteration under
// callgrind (scripts/bench callgrind) counts the sum alone.
const bool PRELOADED = [] {
    try {
        CorpusInstaller();
    } catch (...) {
        // Reported by the first benchmark that needs it.
    }
    return true;
}();

void BM_SumIntegrityReads(benchmark::State& state) {
    const std::vector<uint8_t>& file = CorpusInstaller();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (size_t at = 0; at < file.size(); at += INTEGRITY_READ) {
            size_t count = std::min(INTEGRITY_READ, file.size() - at);
            sum = AddToChecksum(sum, file.data() + at, count);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * file.size()));
}
BENCHMARK(BM_SumIntegrityReads);

void BM_SumTrailer(benchmark::State& state) {
    const std::vector<uint8_t>& file = CorpusInstaller();
    for (auto _ : state) benchmark::DoNotOptimize(AddToChecksum(0, file.data(), file.size()));
    state.SetBytesProcessed((int64_t)(state.iterations() * file.size()));
}
BENCHMARK(BM_SumTrailer);

void BM_PeChecksum(benchmark::State& state) {
    const std::vector<uint8_t>& file = CorpusInstaller();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputePeChecksum(file.data(), file.size(), 0x98));
    state.SetBytesProcessed((int64_t)(state.iterations() * file.size()));
}
BENCHMARK(BM_PeChecksum);

}  // namespace
