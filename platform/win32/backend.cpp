// The real Win32 backend: the facade's entries are the system's own functions.
#include "platform/win32api.h"

const Win32Api PlatformBackend = {
#define WIN_API(ret, name, params, args, failed) ::name,
#define WIN_API_VOID(name, params, args) ::name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    ::wsprintfA,
};
