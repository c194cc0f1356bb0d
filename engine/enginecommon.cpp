// Small pieces shared by the engine's operations: opening a file into a handle field and
// closing one (only an open file is closed, and the field then reads none), arming the
// progress dialog's one timer, and the too-long-path message that several operations show.
// Kept together so every open, close and timer goes through one rule.
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"

void CloseFile(HANDLE* field) {
    if (*field == nullptr) return;
    win.CloseHandle(*field);
    // A failed close leaves nothing the installer could do with the handle; it is gone.
    *field = nullptr;
}

int OpenFileField(HANDLE* field, const char* path, DWORD access, DWORD share, DWORD disposition,
                  const char* failedFormat) {
    HANDLE file =
        win.CreateFileA(path, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        *field = file;
        return 1;
    }
    ShowCodeMessage(InstallState.progressDialog, failedFormat, win.GetLastError());
    return 0;
}

int ArmTimer(UINT id, UINT delayMs) {
    InstallState.timerId = (uint16_t)id;
    if (win.SetTimer(InstallState.progressDialog, id, delayMs, NULL)) return 1;
    // Without its timer the dialog would wait for a tick that never comes.
    ShowCodeMessage(InstallState.progressDialog, MSG_TIMER_FAILED, win.GetLastError());
    CloseFile(&InstallState.sourceFile);
    CloseFile(&InstallState.outputFile);
    return 0;
}

int RefuseLongPath(const char* name) {
    // The name is an entry's field (19 characters) in every installer path; any longer name
    // is cut so that the text always fits.
    char shortName[ENTRY_ARGUMENTS_SIZE];
    strncpy(shortName, name, sizeof shortName - 1);
    shortName[sizeof shortName - 1] = '\0';
    char text[128];
    win.wsprintfA(text, MSG_PATH_TOO_LONG, shortName);
    ShowAbortMessage(InstallState.progressDialog, text);
    return 0;
}
