// The simulated backend's table: one Sim_ operation per row of platform/win32api_list.h, in
// list order, then wsprintfA. The facade (platform/facade.cpp) wraps each entry with call
// counting and fault injection.
#include "platform/sim/sim_internal.h"

const Win32Api PlatformBackend = {
#define WIN_API(ret, name, params, args, failed) Sim_##name,
#define WIN_API_VOID(name, params, args) Sim_##name,
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
    Sim_wsprintfA,
};
