// The one run of the installer on the simulated Windows: see run_installer.h.
#include "tools/setupsim/run_installer.h"

#include "engine/installstate.h"
#include "resources/templates.h"
#include "shell/shell.h"

SimRun RunBootedInstaller(uint32_t packageOffset) {
    ResetInstallState();
    InstallState.packageOffset = packageOffset;
    char commandLine[] = "";
    SimRun run;
    run.exitCode = InstallerMain(sim::ModuleInstance(), nullptr, commandLine, SW_SHOWNORMAL);
    run.held = sim::HeldResources();
    return run;
}

SimRun RunInstallerOnSim(const std::string& image, uint32_t packageOffset,
                         const std::function<void()>& bootMachine,
                         const std::function<void()>& scriptUser) {
    RegisterInstallerResources();
    bootMachine();
    sim::PutFile(sim::Config().modulePath, image);
    scriptUser();
    return RunBootedInstaller(packageOffset);
}

SimRun RunInstallerOnSim(const std::string& image, uint32_t packageOffset,
                         const sim::MachineConfig& machine,
                         const std::function<void()>& scriptUser) {
    return RunInstallerOnSim(
        image, packageOffset, [&] { sim::Boot(machine); }, scriptUser);
}
