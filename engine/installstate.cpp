// The install state record and its program-start values.
#include "engine/installstate.h"

#include <string.h>

#include "resources/ui_table.h"  // the progress bar's rectangle

namespace {

// The fields that do not start at zero, set in one place for both the static record and
// ResetInstallState. The marker is not among them: it is written only by the static record.
constexpr void ApplyStartValues(InstallStateRecord* record) {
    record->packageOffset = DEFAULT_PACKAGE_OFFSET;
    record->bufferSize = COPY_BUFFER_SIZE;
    record->sourceDrive[0] = 'A';
    record->targetDrive[0] = 'C';
    record->sourceDriveType = DRIVE_REMOVABLE;
    record->firstTick = 1;
    record->barRect = RECT{PROGRESS_BAR_LEFT, PROGRESS_BAR_TOP, PROGRESS_BAR_RIGHT,
                           PROGRESS_BAR_BOTTOM};  // dialog units until the first tick
}

constexpr InstallStateRecord MarkedStartRecord() {
    InstallStateRecord record{};
    for (uint32_t i = 0; i < PACKAGE_OFFSET_MARKER_SIZE; i++)
        record.packageOffsetMarker[i] = PACKAGE_OFFSET_MARKER[i];
    ApplyStartValues(&record);
    return record;
}

}  // namespace

// A constant expression, so the record is initialised statically into the image's data and
// packageOffset sits right after its marker in the file, where the packaging tool patches it.
InstallStateRecord InstallState = MarkedStartRecord();

void ResetInstallState(void) {
    // Rebuilt in place rather than copied from a second initialised record, so that the
    // image holds the marker exactly once.
    char marker[PACKAGE_OFFSET_MARKER_SIZE];
    memcpy(marker, InstallState.packageOffsetMarker, sizeof marker);
    memset(&InstallState, 0, sizeof InstallState);
    memcpy(InstallState.packageOffsetMarker, marker, sizeof marker);
    ApplyStartValues(&InstallState);
}

CopyTableEntry CurrentEntry(void) {
    CopyTableEntry entry;
    ReadCopyTableEntryAt(InstallState.table, InstallState.current, &entry);
    return entry;
}
