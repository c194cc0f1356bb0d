// The platform facade: the one place that knows which Windows the installer runs on.
//
// The installer calls every platform operation through the table `win`, spelled as the Win32
// call it is (win.CreateFileA(...), win.MessageBoxA(...)), with the same arguments, constants
// and return conventions. Two backends fill the table: platform/win32 with the real API
// (mingw builds) and platform/sim with the simulated Windows (native builds). The backend is
// chosen when linking; nothing above this layer uses #ifdef.
//
// Tests replace single entries (win.CreateFileA = Failing;) or name them
// (OverridePlatformCall("CreateFileA", ...)), and can make the Nth call of any operation fail
// with a chosen last-error code (FailPlatformCall). RestorePlatformCalls undoes all of it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim/simtypes.h"
#endif

#include <stdarg.h>

struct Win32Api {
#define WIN_API(ret, name, params, args, failed) ret(WINAPI* name) params;
#define WIN_API_VOID(name, params, args) void(WINAPI * name) params;
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    // Variadic: formats through the wvsprintfA entry, which tests can replace or fail.
    int(WINAPIV* wsprintfA)(LPSTR, LPCSTR, ...);
};

// The table the installer calls through. Every entry starts as a counting wrapper around the
// backend's operation.
extern Win32Api win;

// The backend's own operations, without counting or faults. Filled by the linked backend.
extern const Win32Api PlatformBackend;

// Identifiers of the operations, for counters and faults.
enum PlatformCallId {
#define WIN_API(ret, name, params, args, failed) PLATFORM_CALL_##name,
#define WIN_API_VOID(name, params, args) PLATFORM_CALL_##name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    PLATFORM_CALL_COUNT
};

// Name of an operation ("CreateFileA"); the id for a name, or -1 when there is none.
const char* PlatformCallName(int id);
int PlatformCallIdByName(const char* name);

// Replace one entry of `win` by name with a function of the same type. Returns 1 when the
// name is known. The caller is responsible for the function's type matching the entry's.
typedef void (*PlatformFunction)(void);
int OverridePlatformCall(const char* name, PlatformFunction function);

// Fault injection: the Nth call (counted from 1, after the fault is set) of the named
// operation fails with `lastError`, and with `persistent` every later call too. At most a few
// faults can be pending at once; returns 1 when the fault was set.
int FailPlatformCall(const char* name, unsigned nth, int persistent, DWORD lastError);
// Calls made of the named operation since the counters were last cleared.
unsigned PlatformCallCount(const char* name);
// Number of injected faults that fired since the last restore.
unsigned PlatformFaultsFired(void);

// Every entry back to its backend's counting wrapper; counters cleared; faults dropped.
void RestorePlatformCalls(void);
