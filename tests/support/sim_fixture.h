// SimTest: the GoogleTest fixture for tests that run installer code on the simulated Windows.
// Each test gets a fresh sandbox root (a ScratchFolder) and a booted default machine: A: removable
// (a 1.44 MB diskette) holding the start directory "A:\", C: fixed with ample space,
// C:\WINDOWS and C:\WINDOWS\SYSTEM created, the installer at A:\SETUP.EXE, its dialog
// templates and resources registered. The facade is restored before and after each test. A
// table-driven test calls SetUp() again for each case: each case gets a sandbox of its own and
// the one before is removed, so a test leaves no folder behind; a check after the last test of
// the program fails the run if one of its sandboxes is still there.
// Header-only; a test executable that uses it links qv_installer (which brings the resources).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/sim/sim.h"
#include "resources/templates.h"
#include "tools/common/scratch_folder.h"

// The sandboxes of this process are named after it, so that the check below sees only its own
// whatever other test runs share the system's temporary folder.
inline std::string SandboxPrefix() {
    return "qv-sim-" + std::to_string(getpid()) + "-";
}

// After the last test: no sandbox of this process is left in the temporary folder.
class SandboxesRemovedCheck : public ::testing::Environment {
   public:
    void TearDown() override {
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec))
            if (entry.path().filename().string().rfind(SandboxPrefix(), 0) == 0)
                ADD_FAILURE() << "sandbox left behind: " << entry.path().string();
    }
};
inline ::testing::Environment* const SANDBOXES_REMOVED_CHECK =
    ::testing::AddGlobalTestEnvironment(new SandboxesRemovedCheck);

class SimTest : public ::testing::Test {
   protected:
    void SetUp() override {
        // Of the case before, when a table-driven test calls SetUp for each case.
        ExpectNoDialogLeftWaiting();
        RemoveSandbox();
        stuckExpected_ = false;
        sandbox_.emplace(SandboxPrefix() + "sandbox");
        root_ = sandbox_->path();
        RegisterInstallerResources();
        sim::Boot(DefaultMachine());
    }

    void TearDown() override {
        ExpectNoDialogLeftWaiting();
        RestorePlatformCalls();
        RemoveSandbox();
    }

    void RemoveSandbox() {
        sandbox_.reset();
        root_.clear();
    }

    // The default machine of this test's sandbox; change it and pass it to Boot (or Reboot).
    sim::MachineConfig DefaultMachine() const {
        sim::MachineConfig config;
        config.root = root_;
        // Listed so that DriveOf finds them; the directories are the simulation's defaults
        // (C:\WINDOWS, C:\WINDOWS\SYSTEM, started as A:\SETUP.EXE from A:\).
        sim::DriveConfig c;
        c.letter = 'C';
        config.drives = {sim::DisketteDrive('A', 1000), c};
        return config;
    }

    // A fresh machine on the same sandbox (files already on the host stay).
    void Reboot(const sim::MachineConfig& config) { sim::Boot(config); }

    // The drive entry of `letter` in `config`, for changing one property.
    static sim::DriveConfig& DriveOf(sim::MachineConfig& config, char letter) {
        for (sim::DriveConfig& drive : config.drives)
            if (drive.letter == letter) return drive;
        config.drives.push_back(sim::DriveConfig());
        config.drives.back().letter = letter;
        return config.drives.back();
    }

    // A dialog left waiting with nothing pending (a "stuck" event) fails the test: on Windows
    // the user would look at a window that never moves. Tests about that case say so first.
    void ExpectStuck() { stuckExpected_ = true; }
    void ExpectNoDialogLeftWaiting() {
        if (root_.empty() || stuckExpected_) return;
        for (const sim::Event& stuck : sim::EventsOf("stuck"))
            ADD_FAILURE() << "left waiting: " << stuck.Get("dialog") << " (" << stuck.Get("reason")
                          << ")";
    }

    std::optional<ScratchFolder> sandbox_;
    std::string root_;
    bool stuckExpected_ = false;
};

// The bytes of a file on the simulated machine, or "<missing>".
inline std::string FileText(const std::string& path) {
    std::string bytes;
    return sim::ReadWholeFile(path, &bytes) ? bytes : std::string("<missing>");
}

// The sim tests check what is left held under this name (see sim::HeldResources).
using sim::HeldResources;

inline void ExpectNothingHeld() {
    EXPECT_EQ(sim::HeldResources(), "") << "left held";
}
