// The install driver: InstallFiles takes every resource the installation needs (two copy
// buffers, the installer file, the copy table), runs the pre-launch pass, the copy phase in
// the modal progress dialog and the post-launch pass, and gives everything back in a fixed
// order - table, input buffer, output buffer, installer file - on every path, so that no
// failure leaves a block allocated or a file open.
#include "engine/engine.h"
#include "engine/messages.h"

namespace {

// A movable global block of bufferSize bytes, locked.
int TakeBuffer(HGLOBAL* handle, uint8_t** buffer) {
    *handle = win.GlobalAlloc(GMEM_MOVEABLE, InstallState.bufferSize);
    if (*handle) *buffer = (uint8_t*)win.GlobalLock(*handle);
    if (*handle && *buffer) return 1;
    ShowAbortMessage(InstallState.progressDialog, MSG_NO_COPY_BUFFERS);
    return 0;
}

void ReleaseBuffer(HGLOBAL* handle, uint8_t** buffer) {
    if (*buffer) win.GlobalUnlock(*handle);
    if (*handle) win.GlobalFree(*handle);
    *buffer = nullptr;
    *handle = nullptr;
}

int OpenInstallerFile(void) {
    return OpenFileField(&InstallState.installerFile, InstallState.installerPath, GENERIC_READ,
                         FILE_SHARE_READ, OPEN_EXISTING, MSG_OPEN_EXECUTABLE_FAILED);
}

// After a failed seek or read the installer file is closed at once, before the buffers and
// the table are given back.
int FailPackageRead(const char* format) {
    ShowCodeMessage(InstallState.progressDialog, format, win.GetLastError());
    CloseFile(&InstallState.installerFile);
    return 0;
}

// Reads exactly `size` bytes of the package. A file that ends early is corrupt: the table
// would otherwise be read from bytes that were never delivered.
int ReadPackageBytes(void* into, DWORD size) {
    DWORD got = 0;
    if (!win.ReadFile(InstallState.installerFile, into, size, &got, NULL))
        return FailPackageRead(MSG_READ_EXECUTABLE_FAILED);
    if (got == size) return 1;
    ShowAbortMessage(InstallState.progressDialog, MSG_INSTALLER_CORRUPTED);
    CloseFile(&InstallState.installerFile);
    return 0;
}

// An empty table cannot be locked, so a count of 0 is refused here too.
int TakeTable(void) {
    InstallState.tableHandle =
        win.LocalAlloc(LMEM_MOVEABLE, (SIZE_T)InstallState.itemCount * COPY_ENTRY_SIZE);
    if (InstallState.tableHandle)
        InstallState.table = (uint8_t*)win.LocalLock(InstallState.tableHandle);
    if (InstallState.table && InstallState.itemCount > 0) return 1;
    ShowAbortMessage(InstallState.progressDialog, MSG_NO_COPY_TABLE);
    return 0;
}

// Seeks to the package block and loads the count and the copy table; the file is then at
// the first stored byte.
int LoadCopyTable(void) {
    if (win.SetFilePointer(InstallState.installerFile, (LONG)InstallState.packageOffset, NULL,
                           FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return FailPackageRead(MSG_SEEK_EXECUTABLE_FAILED);
    uint8_t count[ITEM_COUNT_SIZE];
    if (!ReadPackageBytes(count, ITEM_COUNT_SIZE)) return 0;
    InstallState.itemCount = ReadLE16(count);
    if (!TakeTable()) return 0;
    return ReadPackageBytes(InstallState.table, (DWORD)InstallState.itemCount * COPY_ENTRY_SIZE);
}

// Runs the program of every entry carrying `flag`; stops at the first failure.
int RunLaunchPass(uint16_t flag) {
    for (InstallState.current = 0; InstallState.current < InstallState.itemCount;
         InstallState.current++) {
        if (!(CurrentEntry().flags & flag)) continue;
        if (!ResolveItemPaths() || !RunItemProgram()) return 0;
    }
    return 1;
}

int TakeResources(void) {
    return TakeBuffer(&InstallState.inBufferHandle, &InstallState.inBuffer) &&
           TakeBuffer(&InstallState.outBufferHandle, &InstallState.outBuffer) &&
           OpenInstallerFile() && LoadCopyTable();
}

void ReleaseResources(void) {
    if (InstallState.table) win.LocalUnlock(InstallState.tableHandle);
    if (InstallState.tableHandle) win.LocalFree(InstallState.tableHandle);
    InstallState.table = nullptr;
    InstallState.tableHandle = nullptr;
    ReleaseBuffer(&InstallState.inBufferHandle, &InstallState.inBuffer);
    ReleaseBuffer(&InstallState.outBufferHandle, &InstallState.outBuffer);
    CloseFile(&InstallState.installerFile);
    // A dialog that ended from outside (destroyed) or a failed first preparation can leave
    // an item's files open; they are never carried past the installation.
    CloseFile(&InstallState.sourceFile);
    CloseFile(&InstallState.outputFile);
}

int RunProgressDialog(HINSTANCE instance, HWND parent) {
    InstallState.progressDialog = nullptr;
    INT_PTR result = RunModalDialog(instance, TEMPLATE_PROGRESSDLG, parent, ProgressDialogProc);
    InstallState.progressDialog = nullptr;
    if (result == -1) ShowAbortMessage(InstallState.progressDialog, MSG_NO_PROGRESS_DIALOG);
    return result == 1 ? 1 : 0;
}

int TakeDirectory(char* field, size_t fieldSize, const char* directory) {
    if (directory == field || CopyIfFits(field, fieldSize, directory)) return 1;
    return RefuseLongPath(directory);
}

}  // namespace

int InstallFiles(HINSTANCE instance, HWND parent, const char* sourceDir, const char* targetDir) {
    InstallState.progressDialog = nullptr;
    if (!TakeDirectory(InstallState.sourceDir, SOURCE_DIR_SIZE, sourceDir) ||
        !TakeDirectory(InstallState.targetDir, PATH_FIELD_SIZE, targetDir))
        return 0;
    InstallState.sourceDrive[0] = InstallState.sourceDir[0];
    InstallState.sourceDrive[1] = '\0';
    InstallState.targetDrive[0] = InstallState.targetDir[0];
    InstallState.targetDrive[1] = '\0';
    int result = 0;
    if (TakeResources() && RunLaunchPass(CF_LAUNCH_BEFORE)) {
        // The root of the source directory, such as A:\ .
        char root[4] = {0, 0, 0, 0};
        for (int i = 0; i < 3 && InstallState.sourceDir[i]; i++)
            root[i] = InstallState.sourceDir[i];
        InstallState.sourceDriveType = win.GetDriveTypeA(root);
        result = RunProgressDialog(instance, parent);
        // A failing post-launch entry ends the pass but not the successful installation.
        if (result == 1) RunLaunchPass(CF_LAUNCH_AT_END);
    }
    ReleaseResources();
    return result;
}
