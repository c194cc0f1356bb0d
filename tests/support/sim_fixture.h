// SimTest: the GoogleTest fixture for tests that run installer code on the simulated Windows.
// Each test gets a fresh sandbox root under the system's temp folder and a booted default
// machine: A: removable (a 1.44 MB diskette) holding the start directory "A:\", C: fixed with
// ample space, C:\WINDOWS and C:\WINDOWS\SYSTEM created, the installer at A:\SETUP.EXE, its
// dialog templates and resources registered. The facade is restored before and after each test
// and the sandbox is removed afterwards.
// Header-only; a test executable that uses it links qv_installer (which brings the resources).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/sim/sim.h"
#include "resources/templates.h"

class SimTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ExpectNoDialogLeftWaiting();  // of the run before, when a test calls SetUp in a loop
        stuckExpected_ = false;
        char pattern[] = "/tmp/qv-sim-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        root_ = made;
        RegisterInstallerResources();
        sim::Boot(DefaultMachine());
    }

    void TearDown() override {
        ExpectNoDialogLeftWaiting();
        RestorePlatformCalls();
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }

    // The default machine of this test's sandbox; change it and pass it to Boot (or Reboot).
    sim::MachineConfig DefaultMachine() const {
        sim::MachineConfig config;
        config.root = root_;
        sim::DriveConfig a;
        a.letter = 'A';
        a.type = DRIVE_REMOVABLE;
        a.sectorsPerCluster = 1;
        a.bytesPerSector = 512;
        a.freeClusters = 1000;
        a.totalClusters = 2847;
        sim::DriveConfig c;
        c.letter = 'C';
        c.type = DRIVE_FIXED;
        config.drives = {a, c};
        config.windowsDir = "C:\\WINDOWS";
        config.systemDir = "C:\\WINDOWS\\SYSTEM";
        config.currentDir = "A:\\";
        config.modulePath = "A:\\SETUP.EXE";
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

    static std::string FileText(const std::string& path) {
        std::string bytes;
        return sim::ReadWholeFile(path, &bytes) ? bytes : std::string("<missing>");
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

    std::string root_;
    bool stuckExpected_ = false;
};

// Nothing left held by the code under test: file handles, memory blocks, GDI objects, DCs,
// registry keys.
inline void ExpectNothingHeld() {
    EXPECT_EQ(sim::OpenHandleCount(), 0) << "file handles left open";
    EXPECT_EQ(sim::GlobalBlocksHeld(), 0) << "global memory blocks left";
    EXPECT_EQ(sim::LocalBlocksHeld(), 0) << "local memory blocks left";
    EXPECT_EQ(sim::GdiObjectsHeld(), 0) << "pens or brushes left";
    EXPECT_EQ(sim::DeviceContextsHeld(), 0) << "device contexts left";
    EXPECT_EQ(sim::RegistryKeysHeld(), 0) << "registry keys left open";
}

// The kinds of the transcript's events, one per line, for compact expectations.
inline std::string EventKinds() {
    std::string kinds;
    for (const sim::Event& event : sim::Transcript()) kinds += event.kind + "\n";
    return kinds;
}
