// Item finishing and program launch: an installed file gets the DOS date, time and attributes
// recorded for it, and the package's programs are started with WinExec in their own folder.
// LaunchItemProgram only starts; RunItemProgram adds the entry's policy (delete afterwards,
// a failed start being fatal or not) and the messages of a required program.
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"

namespace {

// The program's path (at most 259 characters) in quotes, a blank, 79 characters of arguments
// and the terminator: a command line is never cut short.
const size_t COMMAND_LINE_SIZE = 1 + PATH_FIELD_SIZE + 1 + 1 + ENTRY_ARGUMENTS_SIZE;

// Appends `length` bytes of `text` at `end` and returns the new end.
char* AppendText(char* end, const char* text, size_t length) {
    memcpy(end, text, length);
    return end + length;
}

// A path with a blank goes in quotes: unquoted, Windows tries each prefix ending at a blank
// as a program first, so "C:\Program Files\..." would start a planted C:\Program.exe. A path
// without a blank is written as it is, as every 8.3 path always was.
void BuildCommandLine(char* line, const CopyTableEntry& entry) {
    size_t pathLength = strnlen(InstallState.targetPath, PATH_FIELD_SIZE - 1);
    int quoted = memchr(InstallState.targetPath, ' ', pathLength) != NULL;
    char* end = line;
    if (quoted) *end++ = '"';
    end = AppendText(end, InstallState.targetPath, pathLength);
    if (quoted) *end++ = '"';
    if (entry.arguments[0] != '\0') {
        *end++ = ' ';
        end = AppendText(end, entry.arguments, strnlen(entry.arguments, ENTRY_ARGUMENTS_SIZE - 1));
    }
    *end = '\0';
}

}  // namespace

BOOL SetDosFileTime(HANDLE file, uint16_t fileDate, uint16_t fileTime) {
    // A stored value that is no calendar date would be converted differently by different
    // systems, or not at all; refuse it the same way everywhere.
    if (!IsValidDosDateTime(fileDate, fileTime)) return FALSE;
    DosDateTime stored = DecodeDosDateTime(fileDate, fileTime);
    // Year, month, day of the week (not read by the conversion), day, hour, minute, second, ms.
    SYSTEMTIME when = {
        (WORD)stored.year,   (WORD)stored.month,  0, (WORD)stored.day, (WORD)stored.hour,
        (WORD)stored.minute, (WORD)stored.second, 0};
    FILETIME local, universal;
    if (!win.SystemTimeToFileTime(&when, &local)) return FALSE;
    if (!win.LocalFileTimeToFileTime(&local, &universal)) return FALSE;
    return win.SetFileTime(file, NULL, NULL, &universal);
}

int ApplyDateAndAttributes(void) {
    CopyTableEntry entry = CurrentEntry();
    HANDLE file = win.CreateFileA(InstallState.targetPath, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ShowAbortMessage(InstallState.progressDialog, MSG_OPEN_FOR_DATE_FAILED);
        return 0;
    }
    if (!SetDosFileTime(file, entry.fileDate, entry.fileTime)) {
        win.CloseHandle(file);
        ShowAbortMessage(InstallState.progressDialog, MSG_SET_DATE_FAILED);
        return 0;
    }
    win.CloseHandle(file);
    // Set after the time, so that a read-only entry still gets its time.
    if (!win.SetFileAttributesA(InstallState.targetPath, entry.attributes)) {
        ShowAbortMessage(InstallState.progressDialog, MSG_SET_ATTRIBUTES_FAILED);
        return 0;
    }
    return 1;
}

int LaunchItemProgram(void) {
    CopyTableEntry entry = CurrentEntry();
    char commandLine[COMMAND_LINE_SIZE];
    BuildCommandLine(commandLine, entry);
    char savedDirectory[PATH_FIELD_SIZE];
    DWORD saved = win.GetCurrentDirectoryA(PATH_FIELD_SIZE, savedDirectory);
    win.SetCurrentDirectoryA(InstallState.targetFolder);
    InstallState.launchResult = win.WinExec(commandLine, entry.showCommand);
    // Restored whatever the result; only a directory that was actually read can be restored.
    if (saved > 0 && saved < PATH_FIELD_SIZE) win.SetCurrentDirectoryA(savedDirectory);
    return InstallState.launchResult >= 32 ? 1 : 0;
}

void ShowLaunchFailure(void) {
    CopyTableEntry entry = CurrentEntry();
    char text[160];
    if (InstallState.launchResult == 8) {
        win.wsprintfA(text, MSG_LAUNCH_NO_MEMORY, entry.targetName);
    } else {
        win.wsprintfA(text, MSG_LAUNCH_FAILED, entry.targetName, InstallState.launchResult);
    }
    ShowAbortMessage(InstallState.progressDialog, text);
}

int RunItemProgram(void) {
    CopyTableEntry entry = CurrentEntry();
    int launched = LaunchItemProgram();
    if (entry.flags & CF_DELETE_AFTER_LAUNCH) win.DeleteFileA(InstallState.targetPath);
    if (launched) return 1;
    if (!(entry.flags & CF_LAUNCH_REQUIRED)) return 1;
    ShowLaunchFailure();
    return 0;
}
