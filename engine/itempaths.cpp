// Item paths and source location: where the current entry goes (target directory, its
// sub-directory, the Windows or system directory, or an absolute folder), whether it needs
// copying at all, which diskette its source is on, and the opening of an external source with
// the retry prompt when it is missing. Every composed path is checked against its 260-byte
// field; nothing is written past one.
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"

namespace {

// The Windows or system directory into targetFolder. A lookup that fails or does not fit the
// field leaves no folder to install into.
int LookUpSystemFolder(UINT(WINAPI* lookUp)(LPSTR, UINT), const char* name) {
    UINT length = lookUp(InstallState.targetFolder, PATH_FIELD_SIZE);
    if (length >= PATH_FIELD_SIZE) return RefuseLongPath(name);
    if (length == 0) {
        ShowCodeMessage(InstallState.progressDialog, MSG_DIRECTORY_LOOKUP_FAILED,
                        win.GetLastError());
        return 0;
    }
    return 1;
}

// A relative folder name: a sub-directory of the target directory, created one level deep.
int MakeSubFolder(const CopyTableEntry& entry) {
    if (!JoinPath(InstallState.targetFolder, PATH_FIELD_SIZE, InstallState.targetDir,
                  entry.targetDirSpec))
        return RefuseLongPath(entry.targetName);
    if (win.CreateDirectoryA(InstallState.targetFolder, NULL)) return 1;
    DWORD code = win.GetLastError();
    if (code == ERROR_ALREADY_EXISTS) return 1;
    ShowCodeMessage(InstallState.progressDialog, MSG_DIRECTORY_CREATION_FAILED, code);
    return 0;
}

int ChooseTargetFolder(const CopyTableEntry& entry) {
    const char* folder = entry.targetDirSpec;
    if (folder[0] == '\0')
        return CopyIfFits(InstallState.targetFolder, PATH_FIELD_SIZE, InstallState.targetDir)
                   ? 1
                   : RefuseLongPath(entry.targetName);
    if (strcmp(folder, "&WIN") == 0)
        return LookUpSystemFolder(win.GetWindowsDirectoryA, entry.targetName);
    if (strcmp(folder, "&SYS") == 0)
        return LookUpSystemFolder(win.GetSystemDirectoryA, entry.targetName);
    if (folder[1] == ':')
        return CopyIfFits(InstallState.targetFolder, PATH_FIELD_SIZE, folder)
                   ? 1
                   : RefuseLongPath(entry.targetName);
    return MakeSubFolder(entry);
}

// Moves the installer file forward past an item's stored bytes. The size is unsigned, so the
// high part of the distance is given (0): a size of 2 GB or more must never turn into a move
// backwards into the table.
int SkipStoredBytes(uint32_t storedSize) {
    LONG high = 0;
    win.SetLastError(NO_ERROR);
    DWORD low =
        win.SetFilePointer(InstallState.installerFile, (LONG)storedSize, &high, FILE_CURRENT);
    return low != INVALID_SET_FILE_POINTER || win.GetLastError() == NO_ERROR;
}

enum TargetPresence { TARGET_ABSENT, TARGET_PRESENT, TARGET_UNKNOWN };

int IsMissingFileError(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// What the attributes say after a test open that told nothing. A directory is not the user's
// kept file: it counts as absent, and the open for output then tells the user it cannot be
// written. Attributes that cannot be read because nothing is there mean absent too.
TargetPresence PresenceFromAttributes(void) {
    DWORD attributes = win.GetFileAttributesA(InstallState.targetPath);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? TARGET_ABSENT : TARGET_PRESENT;
    DWORD code = win.GetLastError();
    if (IsMissingFileError(code)) return TARGET_ABSENT;
    ShowCodeMessage(InstallState.progressDialog, MSG_OPEN_OUTPUT_FAILED, code);
    return TARGET_UNKNOWN;
}

// Whether the target of an entry without CF_OVERWRITE exists. A failed test open means absent
// only when the file or its folder is missing, or when it is held open elsewhere (the open for
// output then tells the user). Any other failure (access denied, a passing network error)
// says nothing, so the attributes decide: an existing file must never be overwritten because
// a test could not open it. *test receives the open handle when the open succeeded.
TargetPresence FindTarget(HANDLE* test) {
    *test = win.CreateFileA(InstallState.targetPath, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (*test != INVALID_HANDLE_VALUE) return TARGET_PRESENT;
    *test = nullptr;
    DWORD code = win.GetLastError();
    if (IsMissingFileError(code) || code == ERROR_SHARING_VIOLATION) return TARGET_ABSENT;
    return PresenceFromAttributes();
}

// Skip test for an entry without CF_OVERWRITE: an existing target is left untouched and its
// stored bytes, if any, are passed over. Returns 0 after a failure, else 1 with *skipped set.
int SkipExistingTarget(const CopyTableEntry& entry, int* skipped) {
    HANDLE test = nullptr;
    TargetPresence presence = FindTarget(&test);
    if (presence == TARGET_UNKNOWN) return 0;
    if (presence == TARGET_ABSENT) return 1;
    if ((entry.flags & CF_EMBEDDED) && !SkipStoredBytes(entry.storedSize)) {
        DWORD code = win.GetLastError();
        CloseFile(&test);
        ShowCodeMessage(InstallState.progressDialog, MSG_EXTRACTION_FAILED, code);
        return 0;
    }
    InstallState.bytesDone += entry.storedSize;
    *skipped = 1;
    CloseFile(&test);
    return 1;
}

// Asks for the entry's diskette when it runs from a removable drive and the label changes.
void CheckDiskette(const CopyTableEntry& entry) {
    if (entry.diskLabel[0] == '\0' || InstallState.sourceDriveType != DRIVE_REMOVABLE) return;
    if (strcmp(entry.diskLabel, InstallState.diskLabel) == 0) return;
    memcpy(InstallState.diskLabel, entry.diskLabel, DISK_LABEL_SIZE);
    char text[128];
    win.wsprintfA(text, MSG_INSERT_DISKETTE, InstallState.diskLabel, InstallState.sourceDrive);
    win.MessageBoxA(InstallState.progressDialog, text, CAPTION_DISKETTES, MB_OK);
}

// First visit of an entry: paths, skip test, diskette. Returns 0 after a failure.
int PrepareEntry(const CopyTableEntry& entry, int* skipped) {
    InstallState.preparedIndex = InstallState.current;
    *skipped = 0;
    if (!ResolveItemPaths()) return 0;
    if (!(entry.flags & (CF_EXTERNAL_SOURCE | CF_EMBEDDED))) return 1;
    if (!(entry.flags & CF_OVERWRITE) && !SkipExistingTarget(entry, skipped)) return 0;
    if (!*skipped) CheckDiskette(entry);
    return 1;
}

// An entry passed over still runs its program when it asks for one. A required program that
// fails to start ends the installation, with the same message as after a copied item.
int LaunchPassedOver(const CopyTableEntry& entry) {
    if (!(entry.flags & CF_LAUNCH_AFTER_COPY)) return 1;
    if (LaunchItemProgram() || !(entry.flags & CF_LAUNCH_REQUIRED)) return 1;
    ShowLaunchFailure();
    return 0;
}

enum SourceOutcome { SOURCE_FAILED, SOURCE_OPEN, SOURCE_RETRY, SOURCE_SKIPPED };

SourceOutcome OpenExternalSource(const CopyTableEntry& entry) {
    HANDLE file = win.CreateFileA(InstallState.sourcePath, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        // An earlier entry without CF_EXTERNAL_SOURCE may have left its file here.
        CloseFile(&InstallState.sourceFile);
        InstallState.sourceFile = file;
        return SOURCE_OPEN;
    }
    DWORD code = win.GetLastError();
    if (code != ERROR_FILE_NOT_FOUND) {
        ShowCodeMessage(InstallState.progressDialog, MSG_OPEN_INPUT_FAILED, code);
        return SOURCE_FAILED;
    }
    if (PromptMissingSource()) return SOURCE_RETRY;
    if (entry.flags & CF_CRITICAL) {
        ShowAbortMessage(InstallState.progressDialog, MSG_CRITICAL_FILE_MISSING);
        return SOURCE_FAILED;
    }
    InstallState.bytesDone += entry.listedSize;
    return SOURCE_SKIPPED;
}

}  // namespace

int ResolveItemPaths(void) {
    CopyTableEntry entry = CurrentEntry();
    if (!ChooseTargetFolder(entry)) return 0;
    if (!JoinPath(InstallState.targetPath, PATH_FIELD_SIZE, InstallState.targetFolder,
                  entry.targetName))
        return RefuseLongPath(entry.targetName);
    // Always a separator, also after a drive root and before an empty name.
    if (!JoinPath(InstallState.sourcePath, PATH_FIELD_SIZE, InstallState.sourceDir,
                  entry.sourceName))
        return RefuseLongPath(entry.sourceName);
    return 1;
}

int LocateNextItem(void) {
    int skipped = 0;
    while (InstallState.current < InstallState.itemCount) {
        CopyTableEntry entry = CurrentEntry();
        if (InstallState.preparedIndex != InstallState.current && !PrepareEntry(entry, &skipped))
            return 0;
        if (entry.sourceName[0] == '\0' || skipped) {
            if (!LaunchPassedOver(entry)) return 0;
            InstallState.current++;
            continue;
        }
        if (entry.flags & CF_EMBEDDED) return 1;
        switch (OpenExternalSource(entry)) {
            case SOURCE_OPEN:
                return 1;
            case SOURCE_FAILED:
                return 0;
            case SOURCE_RETRY:
                break;  // same entry again; its paths and diskette are not redone
            case SOURCE_SKIPPED:
                InstallState.current++;
                break;
        }
    }
    return 1;
}

int PromptMissingSource(void) {
    CopyTableEntry entry = CurrentEntry();
    char caption[64];
    win.wsprintfA(caption, CAPTION_MISSING_FILE, entry.sourceName);
    const char* ending = (entry.flags & CF_CRITICAL) ? MSG_MISSING_SOURCE_CRITICAL_END
                                                     : MSG_MISSING_SOURCE_OPTIONAL_END;
    char text[256];
    win.wsprintfA(text, MSG_MISSING_SOURCE, entry.diskLabel, InstallState.sourceDrive, ending);
    int answer =
        win.MessageBoxA(InstallState.progressDialog, text, caption, MB_ICONWARNING | MB_OKCANCEL);
    return answer == IDOK ? 1 : 0;
}
