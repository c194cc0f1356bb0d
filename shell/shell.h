// The installer shell: the process's body from the blue main window to the exit code, the
// single-instance guard, the default target directory and the integrity check of the
// installer file. WinMain (winmain.cpp, Windows builds only) just calls InstallerMain.
#pragma once

#include "platform/win32api.h"

// Runs the whole installation; the result is the process exit code, always 0. Only the
// instance handle is used: the installer takes no options and ignores the show command.
int InstallerMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when InstallState.targetDir now holds the registry's program-files directory (terminated
// inside the field), 0 otherwise.
int ReadProgramFilesDir(void);

// Sums InstallState.installerPath and compares the sum with its trailer. 0 when the file is
// intact; 1 after one of its own messages, -1 when a read of the file failed (the reader has
// told the user). The file is closed and the buffer released before it returns.
int CheckInstallerIntegrity(HINSTANCE instance, HWND owner);
