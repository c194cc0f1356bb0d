// The benchmark corpus: the files scripts/bench assembles (QV_BENCH_CORPUS, default
// build/bench-corpus) and the installer it packs from them (QV_BENCH_INSTALLER, default
// build/bench-work/corpus.exe). Loaded once per process.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CorpusFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

const std::vector<CorpusFile>& Corpus();
uint64_t CorpusBytes();
const std::vector<uint8_t>& CorpusInstaller();
std::string CorpusInstallerPath();
