// Validation and creation of the typed target directory, behind the Ok of DIRDLG. The checks
// run in a fixed order (drive syntax, fixed drive, free space, directory token) and the first
// failure is the only one reported; then every level of the path is created. Levels created
// here stay on disk whatever happens later. An existing final directory is accepted only when
// it is the directory of an earlier installation (see productsettings.cpp).
#include <string.h>

#include "engine/core/paths.h"
#include "setupdir/setupdir.h"

const char DIR_TOKEN[] = DIR_TOKEN_TEXT;

namespace {

const char ERROR_CAPTION[] = CAPTION_ERROR;

// The first three characters of `path` (drive letter, ':' and '\' in a well-formed text).
void RootOf(const char* path, char root[4]) {
    size_t length = 0;
    while (length < 3 && path[length] != '\0') {
        root[length] = path[length];
        length++;
    }
    root[length] = '\0';
}

void ShowMissingTokenMessage(HWND owner) {
    char text[64] = MSG_MISSING_TOKEN_START;
    strcat(text, DIR_TOKEN);
    strcat(text, MSG_MISSING_TOKEN_END);
    ShowDirectoryError(owner, text);
}

// Creates one level; an existing level is fine. 0 on any other failure (no message).
int CreateIntermediateLevel(const char* prefix) {
    if (win.CreateDirectoryA(prefix, NULL)) return 1;
    return win.GetLastError() == ERROR_ALREADY_EXISTS;
}

int IsDirectory(const char* path) {
    DWORD attributes = win.GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The final directory exists: it may be used only when it is the product's earlier directory.
int ExistingDirectoryIsOurs(const char* path, HWND owner) {
    char directory[PRODUCT_SETTING_SIZE];
    ReadProductSetting(SETTING_DIRECTORY, directory);
    if (SameShortPath(path, directory)) return 1;
    char oldDirectory[PRODUCT_SETTING_SIZE];
    ReadProductSetting(SETTING_OLD_DIRECTORY, oldDirectory);
    if (SameShortPath(path, oldDirectory)) return 1;
    ShowDirectoryError(owner, MSG_DIRECTORY_IN_USE);
    return 0;
}

}  // namespace

void ShowDirectoryError(HWND owner, const char* text) {
    win.MessageBoxA(owner, text, ERROR_CAPTION, MB_TASKMODAL);
}

int ValidateTargetDirectory(HWND dialog) {
    char typed[TYPED_DIR_SIZE] = "";
    win.GetDlgItemTextA(dialog, DIRDLG_EDIT, typed, TYPED_DIR_SIZE);
    typed[TYPED_DIR_SIZE - 1] = '\0';
    // Upper-cased only for the token search; what is kept is the text as typed.
    char upper[TYPED_DIR_SIZE];
    for (int i = 0; i < TYPED_DIR_SIZE; i++) upper[i] = AsciiUpper(typed[i]);

    if (strlen(typed) < 2 || typed[1] != ':') {
        ShowDirectoryError(dialog, MSG_INVALID_DIRECTORY);
        return 0;
    }
    if (!IsFixedDrive(dialog, typed)) return 0;
    uint64_t freeKilobytes = 0;
    if (!GetFreeKilobytes(typed, &freeKilobytes) || freeKilobytes < MIN_FREE_KB) {
        ShowDirectoryError(dialog, MSG_NO_SPACE_ON_DRIVE);
        return 0;
    }
    if (strstr(upper, DIR_TOKEN) == NULL) {
        ShowMissingTokenMessage(dialog);
        return 0;
    }
    if (!CreateTargetDirectory(typed, dialog)) return 0;
    strcpy(DirDialogTarget, typed);  // at most 131 characters into a 260-byte buffer
    return 1;
}

int IsFixedDrive(HWND owner, const char* path) {
    char root[4];
    RootOf(path, root);
    if (win.GetDriveTypeA(root) == DRIVE_FIXED) return 1;
    ShowDirectoryError(owner, MSG_NOT_FIXED_DRIVE);
    return 0;
}

int GetFreeKilobytes(const char* path, uint64_t* kilobytes) {
    char root[4];
    RootOf(path, root);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!win.GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &totalClusters))
        return 0;
    // 64-bit product: drives of 4 GiB and more must not wrap around to a small number.
    uint64_t freeBytes = (uint64_t)freeClusters * bytesPerSector * sectorsPerCluster;
    *kilobytes = freeBytes / 1024;
    return 1;
}

int CreateTargetDirectory(const char* path, HWND owner) {
    char working[PATH_FIELD_SIZE];
    char* first = CopyIfFits(working, sizeof working, path) ? strchr(working, '\\') : NULL;
    if (first == NULL) {
        ShowDirectoryError(owner, MSG_INVALID_DIRECTORY_LEVEL);
        return 0;
    }
    // Every level below the drive root, one prefix at a time; a trailing separator is dropped.
    for (char* separator = strchr(first + 1, '\\'); separator != NULL;
         separator = strchr(separator + 1, '\\')) {
        *separator = '\0';
        if (separator[1] == '\0') break;
        if (!CreateIntermediateLevel(working)) {
            ShowDirectoryError(owner, MSG_CREATING_DIRECTORY);
            return 0;
        }
        *separator = '\\';
    }
    if (win.CreateDirectoryA(working, NULL)) return 1;
    if (win.GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(working))
        return ExistingDirectoryIsOurs(working, owner);
    // A file of that name (or a level that vanished) can never be the target directory.
    ShowDirectoryError(owner, MSG_CREATING_DIRECTORY);
    return 0;
}
