// The machine under a platform conformance test, in the same terms on both backends: the real
// Windows API (run under Wine) and the simulated Windows. A test sets the machine up through
// these functions, then exercises the facade `win` as the installer does; the expectations
// are the same on both, except the known Wine differences (RunningUnderWine, WINDOWS_OR_WINE).
#pragma once

#include <string>

#include "platform/win32api.h"

namespace conformance {

// Gives the test a fresh machine: an empty scratch folder C:\QVCONF (see Scratch), the
// current directory C:\, a fixed C: drive. Call from SetUp.
void FreshMachine();
// Undoes what the test left (open windows, folders). Call from TearDown.
void CleanUp();

std::string Scratch(const std::string& name = "");  // "C:\\QVCONF\\name"
void PutFile(const std::string& path, const std::string& bytes);
std::string FileBytes(const std::string& path);  // "<missing>" when there is none
FILETIME LastWriteTime(const std::string& path);
// A copy of a program that starts and ends at once, for WinExec.
void PutProgram(const std::string& path);

void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& value);  // under HKEY_LOCAL_MACHINE
void SetProfileString(const std::string& section, const std::string& key,
                      const std::string& value);  // WIN.INI
// A top-level window of another kind; false when none can be made (no display for Wine).
bool ShowWindowOfClass(const std::string& className);

// True when the real API is Wine's; false on Windows and on the simulated Windows.
bool RunningUnderWine();

}  // namespace conformance
