// The integrity check of the installer file: the last four bytes hold the 32-bit sum of every
// byte before them; the file is summed again through the engine's bounded reader, 5000 bytes
// at a time, and compared. Runs before anything is written anywhere, so a damaged copy of the
// installer is refused up front. Whatever the outcome, the file is closed and the read buffer
// released before the check returns.
#include "engine/core/checksum.h"
#include "engine/engine.h"
#include "engine/messages.h"
#include "shell/shell.h"

namespace {

const char SEEK_FAILED[] = MSG_SEEK_EXECUTABLES_FAILED;

// The installer file and the read buffer, released in whatever state the check left them.
void ReleaseCheckResources(void) {
    if (InstallState.inBuffer != NULL) win.GlobalUnlock(InstallState.inBufferHandle);
    if (InstallState.inBufferHandle != NULL) win.GlobalFree(InstallState.inBufferHandle);
    InstallState.inBuffer = NULL;
    InstallState.inBufferHandle = NULL;
    CloseFile(&InstallState.installerFile);
    InstallState.embeddedLeft = 0;
    InstallState.inPos = 0;
    InstallState.inFill = 0;
    InstallState.bytesDone = 0;
}

// Opens the file and reads its trailer; the file is left at its start. On success *covered
// is the number of bytes the trailer sums. On failure the user has been told; the file may
// still be open.
int ReadTrailer(HWND owner, uint32_t* covered, uint32_t* stored) {
    InstallState.installerFile =
        win.CreateFileA(InstallState.installerPath, GENERIC_READ, FILE_SHARE_READ, NULL,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (InstallState.installerFile == INVALID_HANDLE_VALUE) {
        InstallState.installerFile = NULL;
        ShowCodeMessage(owner, MSG_OPEN_EXECUTABLES_FAILED, win.GetLastError());
        return 0;
    }
    *covered = win.SetFilePointer(InstallState.installerFile, -4, NULL, FILE_END);
    if (*covered == INVALID_SET_FILE_POINTER) {
        ShowCodeMessage(owner, SEEK_FAILED, win.GetLastError());
        return 0;
    }
    uint8_t trailer[4] = {0, 0, 0, 0};
    DWORD read = 0;
    if (!win.ReadFile(InstallState.installerFile, trailer, 4, &read, NULL)) {
        ShowCodeMessage(owner, MSG_READ_EXECUTABLES_FAILED, win.GetLastError());
        return 0;
    }
    *stored = (uint32_t)trailer[0] | (uint32_t)trailer[1] << 8 | (uint32_t)trailer[2] << 16 |
              (uint32_t)trailer[3] << 24;
    if (win.SetFilePointer(InstallState.installerFile, 0, NULL, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER) {
        ShowCodeMessage(owner, SEEK_FAILED, win.GetLastError());
        return 0;
    }
    return 1;
}

int TakeReadBuffer(HWND owner) {
    InstallState.inBufferHandle = win.GlobalAlloc(GMEM_MOVEABLE, InstallState.bufferSize);
    if (InstallState.inBufferHandle != NULL)
        InstallState.inBuffer = (uint8_t*)win.GlobalLock(InstallState.inBufferHandle);
    if (InstallState.inBuffer != NULL) return 1;
    ShowAbortMessage(owner, MSG_NO_READ_BUFFERS);
    return 0;
}

// Sums `covered` bytes from the start of the file. A buffer is read only when a byte is
// needed, so a length that is a multiple of the buffer size ends without an empty read.
// 0 when a read failed (the reader has shown its message, if any).
int SumInstallerFile(uint32_t covered, uint32_t* sum) {
    InstallState.bytesDone = 0;
    InstallState.embeddedLeft = covered;
    InstallState.inPos = InstallState.bufferSize;
    uint32_t remaining = covered;
    *sum = 0;
    while (remaining > 0) {
        if (InstallState.inPos >= InstallState.bufferSize) {
            if (!ReadFromInstaller()) return 0;
            InstallState.inPos = 0;
        }
        uint32_t available = InstallState.bufferSize - InstallState.inPos;
        uint32_t count = remaining < available ? remaining : available;
        *sum = AddToChecksum(*sum, InstallState.inBuffer + InstallState.inPos, count);
        InstallState.inPos += count;
        remaining -= count;
    }
    return 1;
}

}  // namespace

// Unused: instance. The check reads the file named in InstallState.installerPath; the handle
// is part of the signature the start-up sequence calls it with.
int CheckInstallerIntegrity(HINSTANCE /*instance*/, HWND owner) {
    uint32_t covered = 0, stored = 0, sum = 0;
    if (!ReadTrailer(owner, &covered, &stored) || !TakeReadBuffer(owner)) {
        ReleaseCheckResources();
        return 1;
    }
    if (!SumInstallerFile(covered, &sum)) {
        ReleaseCheckResources();
        return -1;
    }
    ReleaseCheckResources();
    if (sum == stored) return 0;
    ShowAbortMessage(owner, MSG_INSTALLER_CORRUPTED);
    return 1;
}
