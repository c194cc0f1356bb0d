// Loading the benchmark corpus named by the environment (see bench_corpus.h).
#include "bench/bench_corpus.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = getenv(name);
    return value && *value ? value : fallback;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path + " (run scripts/bench first)");
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

const std::vector<CorpusFile>& Corpus() {
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> loaded;
        std::string dir = FromEnvironment("QV_BENCH_CORPUS", "build/bench-corpus");
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            loaded.push_back({entry.path().filename().string(), ReadAll(entry.path().string())});
        std::sort(loaded.begin(), loaded.end(),
                  [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
        return loaded;
    }();
    return files;
}

uint64_t CorpusBytes() {
    uint64_t total = 0;
    for (const CorpusFile& file : Corpus()) total += file.bytes.size();
    return total;
}

std::string CorpusInstallerPath() {
    return FromEnvironment("QV_BENCH_INSTALLER", "build/bench-work/corpus.exe");
}

const std::vector<uint8_t>& CorpusInstaller() {
    static const std::vector<uint8_t> bytes = ReadAll(CorpusInstallerPath());
    return bytes;
}
