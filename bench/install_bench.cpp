// A whole installation of the corpus installer on the simulated Windows, as setupsim runs it:
// CPU time per installation and per step tick, and the virtual time the installation takes.
// Every tick arms a timer once, so SetTimer calls count the ticks (and a few more timers).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/bench_corpus.h"
#include "platform/sim/sim.h"
#include "tools/common/scratch_folder.h"
#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"
#include "tools/setupsim/preview.h"
#include "tools/setupsim/run_installer.h"

namespace {

// One installation on setupsim's default machine and answers; returns the virtual
// milliseconds it took.
uint64_t InstallOnce(const std::string& image, uint32_t packageOffset, const std::string& root) {
    MachineFile machine = DefaultMachine();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    RunInstallerOnSim(
        image, packageOffset, [&] { BootMachine(machine, root); },
        [] { ScriptUser(DefaultAnswers()); });
    return sim::Now();
}

void BM_SimulatedInstall(benchmark::State& state) {
    ScratchFolder scratch("qv-bench-install");
    std::string root = scratch.path() + "/root";
    const std::vector<uint8_t>& bytes = CorpusInstaller();
    std::string image(bytes.begin(), bytes.end());
    uint32_t packageOffset = PackageOffsetOf(image, -1);  // as setupsim finds it
    uint64_t virtualMs = 0;
    unsigned ticks = 0;
    for (auto _ : state) {
        virtualMs = InstallOnce(image, packageOffset, root);  // booting clears the call counters
        ticks = PlatformCallCount("SetTimer");
    }
    state.counters["virtual_s"] = virtualMs / 1000.0;
    state.counters["timer_arms"] = ticks;
    state.counters["cpu_per_tick"] =
        benchmark::Counter((double)state.iterations() * (ticks ? ticks : 1),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed((int64_t)(state.iterations() * CorpusBytes()));
}
BENCHMARK(BM_SimulatedInstall)->Unit(benchmark::kMillisecond);

}  // namespace
