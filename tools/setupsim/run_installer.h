// One run of the real installer on the simulated Windows, for everything that runs it whole:
// setupsim's preview, the fault sweep, the installation fuzz target, the benchmark and the
// tests. The installer's own resources are registered, the machine booted, the installer file
// put at the machine's module path, the user's actions queued, and InstallerMain run from its
// program-start state with the package offset the stub would carry. Native builds only.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>

#include "platform/sim/sim.h"

struct SimRun {
    int exitCode = 0;  // InstallerMain's
    std::string held;  // sim::HeldResources() when InstallerMain returned
};

// Runs the installer file that lies at the module path of the machine booted last, its
// package at `packageOffset`. For callers that boot and arrange the machine themselves (or
// fail a platform call just before the start).
SimRun RunBootedInstaller(uint32_t packageOffset);

// The whole run: `bootMachine` boots the simulated Windows and puts the machine's state in
// place (it may register more resources, such as those of the installer file itself, over the
// installer's own); `image` is then put at the module path; `scriptUser` queues what the user
// does; then RunBootedInstaller.
SimRun RunInstallerOnSim(const std::string& image, uint32_t packageOffset,
                         const std::function<void()>& bootMachine,
                         const std::function<void()>& scriptUser);

// The same on a machine that is its configuration and nothing more.
SimRun RunInstallerOnSim(const std::string& image, uint32_t packageOffset,
                         const sim::MachineConfig& machine,
                         const std::function<void()>& scriptUser);
