// A whole installation of the corpus installer on the simulated Windows, as setupsim runs it:
// CPU time per installation and per step tick, and the virtual time the installation takes.
// Every tick arms a timer once, so SetTimer calls count the ticks (and a few more timers).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/bench_corpus.h"
#include "engine/installstate.h"
#include "platform/sim/sim.h"
#include "shell/shell.h"
#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"

namespace {

uint32_t PackageOffsetOf(const std::vector<uint8_t>& image) {
    std::string text(image.begin(), image.end());
    std::string marker(PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE);
    size_t at = text.find(marker);
    return at == std::string::npos ? 0 : ReadLE32(image.data() + at + marker.size());
}

// One installation; returns the virtual milliseconds it took.
uint64_t InstallOnce(const std::string& root) {
    const std::vector<uint8_t>& image = CorpusInstaller();
    MachineFile machine = DefaultMachine();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    BootMachine(machine, root);
    sim::PutFile(machine.config.modulePath, std::string(image.begin(), image.end()));
    ScriptUser(DefaultAnswers());
    ResetInstallState();
    InstallState.packageOffset = PackageOffsetOf(image);
    char commandLine[] = "";
    InstallerMain(sim::ModuleInstance(), nullptr, commandLine, SW_SHOWNORMAL);
    return sim::Now();
}

void BM_SimulatedInstall(benchmark::State& state) {
    std::string root = std::filesystem::temp_directory_path() / "qv_bench_install";
    uint64_t virtualMs = 0;
    unsigned ticks = 0;
    for (auto _ : state) {
        virtualMs = InstallOnce(root);  // booting the machine clears the call counters
        ticks = PlatformCallCount("SetTimer");
    }
    std::filesystem::remove_all(root);
    state.counters["virtual_s"] = virtualMs / 1000.0;
    state.counters["timer_arms"] = ticks;
    state.counters["cpu_per_tick"] =
        benchmark::Counter((double)state.iterations() * (ticks ? ticks : 1),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed((int64_t)(state.iterations() * CorpusBytes()));
}
BENCHMARK(BM_SimulatedInstall)->Unit(benchmark::kMillisecond);

}  // namespace
