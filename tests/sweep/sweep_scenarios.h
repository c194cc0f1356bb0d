// The fault sweep's scenarios: whole installations on the simulated Windows, from InstallerMain
// to exit, that together reach every platform operation the installer uses. Each scenario
// boots its machine, puts the installer and the user's own files in place and queues what the
// user does; the sweep then runs it once cleanly and again with each call failing.
#pragma once

#include <string>
#include <vector>

#include "tools/setupsim/run_installer.h"

struct SweepScenario {
    const char* name;
    // Boots a machine in `root` and arranges files, settings and the user's actions.
    void (*arrange)(const std::string& root);
    // Folders the installation may write to; everything else must stay as it was.
    std::vector<std::string> targetFolders;
    // Files of the user's that the installation must keep (skipped by the only-if-absent rule).
    std::vector<std::string> keptFiles;
};

const std::vector<SweepScenario>& SweepScenarios();

// Runs the installer of the scenario that was arranged last.
SimRun RunArrangedInstaller();
