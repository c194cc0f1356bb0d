// The real Win32 backend: each entry of the table calls the system's own function.
// The entries are small functions of ours rather than the imported functions' addresses: an
// imported address is read from the import table at run time, which would make the table a
// static initialiser, and the installer has no C runtime to run initialisers. Calls to our
// functions are fixed at link time, so the table is constant data.
#include "platform/win32api.h"

namespace {

#define WIN_API(ret, name, params, args, failed) \
    ret WINAPI System_##name params {            \
        return ::name args;                      \
    }
#define WIN_API_VOID(name, params, args) \
    void WINAPI System_##name params {   \
        ::name args;                     \
    }
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID

int WINAPIV System_wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int length = ::wvsprintfA(buffer, format, args);
    va_end(args);
    return length;
}

}  // namespace

extern const Win32Api PlatformBackend = {
#define WIN_API(ret, name, params, args, failed) System_##name,
#define WIN_API_VOID(name, params, args) System_##name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    System_wsprintfA,
};
