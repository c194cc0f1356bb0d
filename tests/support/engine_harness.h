// Runs the installation engine on the simulated Windows for tests: writes an installer file
// holding a package, points the install state at it and calls InstallFiles; plus readers of
// the transcript that the engine tests share. Needs a booted machine (SimTest).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "resources/ui_table.h"  // the progress dialog's controls, for ControlTexts
#include "tests/support/package_builder.h"

// Small, so that test installers stay small; the engine takes the offset from the state.
const uint32_t TEST_PACKAGE_OFFSET = 64;

struct EngineRun {
    std::string installerPath = "A:\\SETUP.EXE";
    std::string sourceDir = "A:\\";
    std::string targetDir = "C:\\TARGET";  // created before the run
};

// Writes the installer for `items` (nothing when `block` is given instead) and runs
// InstallFiles from a freshly reset install state. Returns InstallFiles' result.
int RunInstall(const std::vector<TestItem>& items, const EngineRun& run = EngineRun());
int RunInstallBlock(const std::string& block, const EngineRun& run = EngineRun());

// An entry whose data is the separate source file `sourceName`, put on A: with `content`.
TestItem ExternalItem(const std::string& targetName, const std::string& sourceName,
                      const std::string& content, uint16_t extraFlags = 0);
// An entry that installs nothing and runs `targetName` (flags give when).
TestItem ProgramEntry(const std::string& targetName, uint16_t flags);

// Texts of the message boxes shown, in order.
std::vector<std::string> MessageTexts();
// Byte counts of the writes to `path` (the "bytes" field of each write event).
std::vector<long long> WriteSizes(const std::string& path);
// Texts set on a control of the progress dialog, in order.
std::vector<std::string> ControlTexts(int control);
