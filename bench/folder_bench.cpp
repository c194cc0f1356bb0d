// Many files in one folder, as the format allows (up to 65,535 items): a whole preview of an
// installer whose N items all go into the target folder, and a machine file with N [[file]]
// entries in one folder read and booted. Both must grow linearly with N; run with
//   build/native/bench/benchmarks --benchmark_filter=Folder
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/package_builder.h"
#include "tools/common/scratch_folder.h"
#include "tools/setupsim/machine_file.h"
#include "tools/setupsim/preview.h"

namespace {

const uint32_t kOffset = 64;

std::string ItemName(int index) {
    char name[16];
    snprintf(name, sizeof name, "F%07d.DAT", index);
    return name;
}

// Both benchmarks: one folder of 1,000 to 8,000 entries, each size run once (seconds each).
void FolderSizes(benchmark::internal::Benchmark* benchmark) {
    for (int count : {1000, 2000, 4000, 8000}) benchmark->Arg(count);
    benchmark->Iterations(1)->Unit(benchmark::kSecond);
}

std::string WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

void BM_FolderPreviewOfNItems(benchmark::State& state) {
    ScratchFolder scratch("qv-bench-folder-preview");
    std::filesystem::path folder = scratch.path();
    std::vector<TestItem> items;
    for (int i = 0; i < state.range(0); i++)
        items.push_back(EmbeddedItem(ItemName(i), "item " + std::to_string(i), false));
    PreviewOptions options;
    options.installer =
        WriteFile(folder / "setup.bin", BuildInstallerFile(kOffset, BuildPackageBlock(items)));
    options.packageOffset = kOffset;
    options.root = (folder / "root").string();
    size_t events = 0;
    for (auto _ : state) events = RunPreview(options).size();
    state.counters["events"] = (double)events;
}
BENCHMARK(BM_FolderPreviewOfNItems)->Apply(FolderSizes);

void BM_FolderMachineOfNFiles(benchmark::State& state) {
    ScratchFolder scratch("qv-bench-folder-machine");
    std::filesystem::path folder = scratch.path();
    std::string text;
    for (int i = 0; i < state.range(0); i++)
        text += "[[file]]\npath = \"C:\\\\DATA\\\\" + ItemName(i) + "\"\ncontent = \"x\"\n";
    std::string machinePath = WriteFile(folder / "machine.toml", text);
    for (auto _ : state) BootMachine(ReadMachineFile(machinePath), (folder / "root").string());
}
BENCHMARK(BM_FolderMachineOfNFiles)->Apply(FolderSizes);

}  // namespace
