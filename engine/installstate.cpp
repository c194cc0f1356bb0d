// The install state record and its program-start values.
#include "engine/installstate.h"

#include <string.h>

// Statically initialised into the image's data, so packageOffset sits right after its marker
// in the file and the packaging tool can patch it.
// clang-format off
InstallStateRecord InstallState = {
    PACKAGE_OFFSET_MARKER, DEFAULT_PACKAGE_OFFSET, COPY_BUFFER_SIZE,
    // Run inputs: installerPath, instance, sourceDir, targetDir, drives, source drive type
    {}, nullptr, {}, {}, "A", "C", DRIVE_REMOVABLE,
    // Memory and files: buffers, table, itemCount, installer, source and output files
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr,
    // Copy position and progress: current .. bitByte, window, windowPos
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, 0,
    // Current item's paths: targetPath, targetFolder, sourcePath, diskLabel, launchResult
    {}, {}, {}, {}, 0,
    // Progress dialog: progressDialog, timerId, firstTick, barRect (dialog units)
    nullptr, 0, 1, {10, 27, 170, 40},
};
// clang-format on

void ResetInstallState(void) {
    // Rebuilt field by field rather than copied from a second initialised record, so that the
    // image holds the marker exactly once.
    char marker[PACKAGE_OFFSET_MARKER_SIZE];
    memcpy(marker, InstallState.packageOffsetMarker, sizeof marker);
    memset(&InstallState, 0, sizeof InstallState);
    memcpy(InstallState.packageOffsetMarker, marker, sizeof marker);
    InstallState.packageOffset = DEFAULT_PACKAGE_OFFSET;
    InstallState.bufferSize = COPY_BUFFER_SIZE;
    InstallState.sourceDrive[0] = 'A';
    InstallState.targetDrive[0] = 'C';
    InstallState.sourceDriveType = DRIVE_REMOVABLE;
    InstallState.firstTick = 1;
    InstallState.barRect = RECT{10, 27, 170, 40};
}

CopyTableEntry CurrentEntry(void) {
    CopyTableEntry entry;
    ReadCopyTableEntryAt(InstallState.table, InstallState.current, &entry);
    return entry;
}
