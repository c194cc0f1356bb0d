// The facade table `win`: counting wrappers around the linked backend, named entries for tests
// to replace, and fault injection (fail the Nth call of an operation with a chosen error).
// Shared by both backends, so faults can be injected on the real API as on the simulated one.
#include "platform/win32api.h"

#include <stdarg.h>
#include <string.h>

namespace {

struct PlannedFault {
    int callId;        // -1 when the slot is free
    unsigned nth;      // fires when the call count since the plan reaches this number
    unsigned counted;  // calls seen since the plan was made
    int persistent;
    DWORD lastError;
};

const int kMaxFaults = 8;
PlannedFault plannedFaults[kMaxFaults] = {{-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0},
                                          {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0},
                                          {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}};
unsigned callCounts[PLATFORM_CALL_COUNT];
unsigned faultsFired;

const char* const callNames[PLATFORM_CALL_COUNT] = {
#define WIN_API(ret, name, params, args, failed) #name,
#define WIN_API_VOID(name, params, args) #name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
};

// Counts the call; returns 1 and sets *lastError when a planned fault fires for it.
int CallFails(int callId, DWORD* lastError) {
    callCounts[callId]++;
    int fails = 0;
    for (PlannedFault& fault : plannedFaults) {
        if (fault.callId != callId) continue;
        fault.counted++;
        if (fault.counted == fault.nth || (fault.persistent && fault.counted > fault.nth)) {
            *lastError = fault.lastError;
            fails = 1;
        }
    }
    if (fails) faultsFired++;
    return fails;
}

// A failed GetProfileStringA still leaves an empty, terminated string.
DWORD FailedProfileString(LPSTR buffer, DWORD size) {
    if (buffer && size) buffer[0] = '\0';
    return 0;
}

#define WIN_API(ret, name, params, args, failed)             \
    ret WINAPI Counted_##name params {                       \
        DWORD FAULT_ERROR = 0;                               \
        if (CallFails(PLATFORM_CALL_##name, &FAULT_ERROR)) { \
            PlatformBackend.SetLastError(FAULT_ERROR);       \
            return failed;                                   \
        }                                                    \
        return PlatformBackend.name args;                    \
    }
#define WIN_API_VOID(name, params, args)           \
    void WINAPI Counted_##name params {            \
        DWORD ignored = 0;                         \
        CallFails(PLATFORM_CALL_##name, &ignored); \
        PlatformBackend.name args;                 \
    }
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID

// A formatting that fails leaves an empty text behind, never the buffer's old contents.
int WINAPIV Facade_wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    if (buffer) buffer[0] = '\0';
    va_list args;
    va_start(args, format);
    int length = win.wvsprintfA(buffer, format, args);
    va_end(args);
    return length;
}

// Constant-initialised, so `win` is ready before any constructor of another file runs.
constexpr Win32Api countingTable = {
#define WIN_API(ret, name, params, args, failed) Counted_##name,
#define WIN_API_VOID(name, params, args) Counted_##name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    Facade_wsprintfA};

// Address of the entry for a call id inside `win`, in the order of the list.
PlatformFunction* EntrySlot(int callId) {
    PlatformFunction* slots[PLATFORM_CALL_COUNT] = {
#define WIN_API(ret, name, params, args, failed) reinterpret_cast<PlatformFunction*>(&win.name),
#define WIN_API_VOID(name, params, args) reinterpret_cast<PlatformFunction*>(&win.name),
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    };
    return slots[callId];
}

}  // namespace

Win32Api win = countingTable;

const char* PlatformCallName(int id) {
    return id >= 0 && id < PLATFORM_CALL_COUNT ? callNames[id] : "";
}

int PlatformCallIdByName(const char* name) {
    for (int id = 0; id < PLATFORM_CALL_COUNT; id++)
        if (strcmp(callNames[id], name) == 0) return id;
    return -1;
}

int OverridePlatformCall(const char* name, PlatformFunction function) {
    int id = PlatformCallIdByName(name);
    if (id < 0) return 0;
    *EntrySlot(id) = function;
    return 1;
}

int FailPlatformCall(const char* name, unsigned nth, int persistent, DWORD lastError) {
    int id = PlatformCallIdByName(name);
    if (id < 0 || nth == 0) return 0;
    for (PlannedFault& fault : plannedFaults) {
        if (fault.callId >= 0) continue;
        fault = PlannedFault{id, nth, 0, persistent, lastError};
        return 1;
    }
    return 0;
}

unsigned PlatformCallCount(const char* name) {
    int id = PlatformCallIdByName(name);
    return id < 0 ? 0 : callCounts[id];
}

unsigned PlatformFaultsFired(void) {
    return faultsFired;
}

void RestorePlatformCalls(void) {
    win = countingTable;
    for (PlannedFault& fault : plannedFaults) fault.callId = -1;
    memset(callCounts, 0, sizeof callCounts);
    faultsFired = 0;
}
