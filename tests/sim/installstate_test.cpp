// The install state's program-start values, and the marker that lets the packaging tool find
// packageOffset in a linked image.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>

#include "engine/installstate.h"

namespace {

// The static record as the program starts with it: copied during dynamic initialisation, which
// comes after the record's static initialisation and before any test has touched it.
const InstallStateRecord AT_PROGRAM_START = InstallState;

TEST(InstallState, StartsWithItsProgramStartValues) {
    InstallState.current = 7;
    InstallState.window[100] = 0x55;
    InstallState.barRect = RECT{20, 54, 340, 80};
    InstallState.firstTick = 0;
    InstallState.packageOffset = 123;
    ResetInstallState();

    EXPECT_EQ(InstallState.packageOffset, 52084u);
    EXPECT_EQ(InstallState.bufferSize, 5000u);
    EXPECT_STREQ(InstallState.sourceDrive, "A");
    EXPECT_STREQ(InstallState.targetDrive, "C");
    EXPECT_EQ(InstallState.sourceDriveType, 2u);
    EXPECT_EQ(InstallState.firstTick, 1u);
    EXPECT_EQ(InstallState.barRect.left, 10);
    EXPECT_EQ(InstallState.barRect.top, 27);
    EXPECT_EQ(InstallState.barRect.right, 170);
    EXPECT_EQ(InstallState.barRect.bottom, 40);
    EXPECT_EQ(InstallState.current, 0u);
    EXPECT_EQ(InstallState.progressDialog, nullptr);
    EXPECT_EQ(InstallState.installerFile, nullptr);
    for (uint8_t byte : InstallState.window) ASSERT_EQ(byte, 0);
}

// The static record is what a reset gives back, byte for byte (both start from zeros), so it
// holds the values the test above expects; a few are named here for a readable failure.
TEST(InstallState, StaticRecordHoldsTheProgramStartValues) {
    const InstallStateRecord& start = AT_PROGRAM_START;
    EXPECT_EQ(memcmp(start.packageOffsetMarker, PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE),
              0);
    EXPECT_EQ(start.packageOffset, 52084u);
    EXPECT_STREQ(start.targetDrive, "C");
    EXPECT_EQ(start.barRect.right, 170);
    InstallState.current = 3;
    InstallState.targetDir[0] = 'D';
    ResetInstallState();
    EXPECT_EQ(memcmp(&start, &InstallState, sizeof start), 0);
}

TEST(InstallState, PackageOffsetFollowsItsMarker) {
    ResetInstallState();
    EXPECT_EQ(
        memcmp(InstallState.packageOffsetMarker, PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE),
        0);
    EXPECT_EQ(offsetof(InstallStateRecord, packageOffset) -
                  offsetof(InstallStateRecord, packageOffsetMarker),
              (size_t)PACKAGE_OFFSET_MARKER_SIZE);
}

}  // namespace
