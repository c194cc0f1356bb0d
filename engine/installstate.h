// InstallState: the one record of installation state, shared by start-up, the directory
// dialog, the integrity check and every operation of the installation engine. Static
// lifetime; zero at program start except for the values given below.
#pragma once

#include <stdint.h>

#include "engine/core/package.h"
#include "engine/core/lzss.h"
#include "engine/core/paths.h"
#include "platform/win32api.h"

const uint32_t COPY_BUFFER_SIZE = 5000;
const uint32_t SOURCE_DIR_SIZE = 144;
const uint32_t DISK_LABEL_SIZE = 20;

// Timers of the progress dialog.
const UINT TIMER_START = 111;
const UINT TIMER_STEP = 222;
const UINT TIMER_DONE = 333;

// preparedIndex before the first entry has been prepared: any value but 0 would do, as the
// copy phase starts at entry 0.
const uint32_t NOTHING_PREPARED = 99;

struct InstallStateRecord {
    // Configuration, constant during a run. The marker stays directly before the offset.
    char packageOffsetMarker[PACKAGE_OFFSET_MARKER_SIZE];
    uint32_t packageOffset;  // file offset of the package block
    uint32_t bufferSize;     // size of each copy buffer; the largest single read

    // Run inputs
    char installerPath[PATH_FIELD_SIZE];
    HINSTANCE instance;
    char sourceDir[SOURCE_DIR_SIZE];  // current directory at start-up
    char targetDir[PATH_FIELD_SIZE];
    char sourceDrive[2];  // first character of sourceDir
    char targetDrive[2];  // first character of targetDir
    uint32_t sourceDriveType;

    // Memory and files, owned by InstallFiles
    HGLOBAL inBufferHandle;
    uint8_t* inBuffer;
    HGLOBAL outBufferHandle;
    uint8_t* outBuffer;
    HLOCAL tableHandle;
    uint8_t* table;  // itemCount raw 182-byte records, as read from the file
    uint16_t itemCount;
    HANDLE installerFile;  // every handle is null (none) while its file is closed
    HANDLE sourceFile;
    HANDLE outputFile;

    // Copy position and progress
    uint32_t current;
    uint32_t preparedIndex;  // the entry whose paths are set; NOTHING_PREPARED at the start
    uint32_t bytesDone;
    uint32_t bytesTotal;
    uint32_t embeddedLeft;
    uint32_t sourceLeft;  // stored bytes the current separate source file has yet to deliver
    uint32_t inPos;
    uint32_t inFill;
    uint8_t bitMask;
    int32_t bitByte;
    uint8_t window[LZSS_RING_SIZE];  // LZSS ring; never cleared between items
    uint32_t windowPos;

    // Current item's paths
    char targetPath[PATH_FIELD_SIZE];
    char targetFolder[PATH_FIELD_SIZE];
    char sourcePath[PATH_FIELD_SIZE];
    char diskLabel[DISK_LABEL_SIZE];
    uint32_t launchResult;

    // Progress dialog
    HWND progressDialog;  // none outside the dialog
    uint16_t timerId;
    uint32_t firstTick;  // set until barRect has been converted to pixels
    RECT barRect;        // dialog units until the first tick, then client pixels
};

extern InstallStateRecord InstallState;

// Puts every field back to its program-start value (tests, and the simulator between runs).
void ResetInstallState(void);

// The entry at InstallState.current, decoded from the table.
CopyTableEntry CurrentEntry(void);
