// The operations of the installation engine. Most take no arguments and work on the one
// InstallState record; they return 1 for success and 0 after a failure the user has already
// been told about in a message box, so a 0 travels up unchanged and ends the phase.
//   driver.cpp     InstallFiles                      copyphase.cpp  the progress dialog
//   itempaths.cpp  paths, skipping, source location  transfer.cpp   steps, reads, decoder
//   progress.cpp   item preparation and display      finishing.cpp  date, attributes, launch
#pragma once

#include <stdint.h>

#include "engine/installstate.h"

// Install driver: buffers, table, pre-launch pass, copy phase, post-launch pass, release.
// The directories are InstallState.sourceDir and InstallState.targetDir (other strings are
// copied into them). Returns 1 when the copy phase completed.
int InstallFiles(HINSTANCE instance, HWND parent, const char* sourceDir, const char* targetDir);

// Copy phase, run inside the modal progress dialog.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int StartCopyPhase(void);
int TransferStep(void);

// Item paths and source location.
int ResolveItemPaths(void);
int LocateNextItem(void);
int PromptMissingSource(void);

// Item preparation, completion and progress display.
int PrepareNextItem(void);
int FinishItem(void);
// Every item is done: a full bar, and the done timer that ends the dialog two seconds later.
int EndCopyPhase(void);
void DrawProgress(void);

// Data transfer and LZSS decoding.
int CopyFromSourceStep(void);
int CopyFromInstallerStep(void);
int DecodeStep(void);
int ReadBit(void);
int ReadBits(int n);
int NextInputByte(void);
int WriteOutput(const uint8_t* bytes, uint32_t count);
int ReadFromInstaller(void);
int ReadFromSource(void);

// Item finishing and program launch.
int ApplyDateAndAttributes(void);
BOOL SetDosFileTime(HANDLE file, uint16_t fileDate, uint16_t fileTime);
int LaunchItemProgram(void);
int RunItemProgram(void);
// The message of a required program that failed to start (from InstallState.launchResult).
void ShowLaunchFailure(void);

// Shared helpers (enginecommon.cpp).
// Closes the file in a handle field when it is open and sets the field back to none.
void CloseFile(HANDLE* field);
// Opens `path` (CreateFileA with no security attributes, normal attributes, no template) into
// a handle field. 0 when the open failed: the user has been shown `failedFormat` with the
// error code and the field is unchanged.
int OpenFileField(HANDLE* field, const char* path, DWORD access, DWORD share, DWORD disposition,
                  const char* failedFormat);
// Arms the one pending timer of the progress dialog. 0 when SetTimer failed: the user has been
// told and the current item's files are closed.
int ArmTimer(UINT id, UINT delayMs);
// "The path of (name) is too long!"; returns 0.
int RefuseLongPath(const char* name);
