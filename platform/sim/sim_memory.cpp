// Memory blocks and resources of the simulated Windows. Global and local blocks behave alike:
// a fixed block's handle is its address; a movable block has a separate handle that must be
// locked to get the address, and a movable block of 0 bytes cannot be locked (it is born
// discarded). New blocks without ZEROINIT are filled with 0xCC so that reading memory that was
// never written shows up in tests. Blocks still held are counted for leak checks.
// Resources are those the program registered (sim::RegisterResource) and the machine's
// sim::SetResource overrides.
#include <string.h>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const DWORD kErrorDiscarded = 157;
const DWORD kErrorNotLocked = 158;

HANDLE Allocate(UINT flags, SIZE_T bytes, bool local) {
    MemoryBlock block;
    block.local = local;
    block.moveable = (flags & GMEM_MOVEABLE) != 0;
    block.size = bytes;
    if (bytes > 0x7FFFFFFF) return SetError(ERROR_NOT_ENOUGH_MEMORY), nullptr;
    if (bytes || !block.moveable) {
        block.bytes.reset(new uint8_t[bytes ? bytes : 1]);
        memset(block.bytes.get(), (flags & GMEM_ZEROINIT) ? 0 : 0xCC, bytes ? bytes : 1);
    }
    uintptr_t handle =
        block.moveable ? NewHandle() : reinterpret_cast<uintptr_t>(block.bytes.get());
    M().memory[handle] = std::move(block);
    return reinterpret_cast<HANDLE>(handle);
}

MemoryBlock* FindBlock(HANDLE handle, bool local) {
    auto it = M().memory.find(reinterpret_cast<uintptr_t>(handle));
    if (it == M().memory.end() || it->second.local != local) return nullptr;
    return &it->second;
}

LPVOID Lock(HANDLE handle, bool local) {
    MemoryBlock* block = FindBlock(handle, local);
    if (!block) return SetError(ERROR_INVALID_HANDLE), nullptr;
    if (!block->bytes) return SetError(kErrorDiscarded), nullptr;
    if (block->moveable) block->locks++;
    return block->bytes.get();
}

BOOL Unlock(HANDLE handle, bool local) {
    MemoryBlock* block = FindBlock(handle, local);
    if (!block) {
        // A resource handle from LoadResource: accepted, as Windows does.
        if (!local && M().resourceData.count(reinterpret_cast<uintptr_t>(handle))) return FALSE;
        return SetError(ERROR_INVALID_HANDLE), FALSE;
    }
    if (!block->moveable || block->locks == 0) return SetError(kErrorNotLocked), FALSE;
    block->locks--;
    if (block->locks == 0) return SetError(NO_ERROR), FALSE;
    return TRUE;
}

HANDLE Free(HANDLE handle, bool local) {
    if (!FindBlock(handle, local)) return SetError(ERROR_INVALID_HANDLE), handle;
    M().memory.erase(reinterpret_cast<uintptr_t>(handle));
    return nullptr;
}

}  // namespace
}  // namespace detail
}  // namespace sim

using namespace sim::detail;

HGLOBAL WINAPI Sim_GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    return Allocate(uFlags, dwBytes, false);
}
LPVOID WINAPI Sim_GlobalLock(HGLOBAL hMem) {
    // LockResource's handles may also be passed here, as on Windows.
    auto resource = M().resourceData.find(reinterpret_cast<uintptr_t>(hMem));
    if (resource != M().resourceData.end()) return (LPVOID)resource->second;
    return Lock(hMem, false);
}
BOOL WINAPI Sim_GlobalUnlock(HGLOBAL hMem) {
    return Unlock(hMem, false);
}
HGLOBAL WINAPI Sim_GlobalFree(HGLOBAL hMem) {
    return Free(hMem, false);
}
HLOCAL WINAPI Sim_LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    return Allocate(uFlags, uBytes, true);
}
LPVOID WINAPI Sim_LocalLock(HLOCAL hMem) {
    return Lock(hMem, true);
}
BOOL WINAPI Sim_LocalUnlock(HLOCAL hMem) {
    return Unlock(hMem, true);
}
HLOCAL WINAPI Sim_LocalFree(HLOCAL hMem) {
    return Free(hMem, true);
}

// ---------------------------------------------------------------------------------------
// Resources. HRSRC and the HGLOBAL from LoadResource are the same value here; the data is
// the program's registered copy or owned by the machine (SetResource), so FreeResource has
// nothing to do.

namespace {

bool FindResourceBytes(LPCSTR name, LPCSTR type, const uint8_t** bytes, size_t* size,
                       DWORD* error) {
    if (!name || !type || IS_INTRESOURCE(name) || IS_INTRESOURCE(type)) {
        *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return false;
    }
    for (const sim::detail::ResourceEntry& entry : M().resources) {
        if (EqualNoCase(entry.name, name) && EqualNoCase(entry.type, type)) {
            *bytes = entry.bytes.data();
            *size = entry.bytes.size();
            return true;
        }
    }
    const ResourceEntry* registered = FindRegisteredResource(name, type);
    if (!registered) {
        bool typeKnown = RegisteredResourceType(type);
        for (const auto& entry : M().resources)
            typeKnown = typeKnown || EqualNoCase(entry.type, type);
        *error = typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
        return false;
    }
    *bytes = registered->bytes.data();
    *size = registered->bytes.size();
    return true;
}

bool IsOwnModule(HMODULE module) {
    return !module || module == sim::ModuleInstance();
}

}  // namespace

HRSRC WINAPI Sim_FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!IsOwnModule(hModule)) return SetError(ERROR_RESOURCE_TYPE_NOT_FOUND), nullptr;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    DWORD error = 0;
    if (!FindResourceBytes(lpName, lpType, &bytes, &size, &error)) return SetError(error), nullptr;
    uintptr_t handle = NewHandle();
    M().resourceData[handle] = bytes;
    M().resourceSizes[handle] = size;
    return reinterpret_cast<HRSRC>(handle);
}

HGLOBAL WINAPI Sim_LoadResource(HMODULE /*hModule*/, HRSRC hResInfo) {
    if (!M().resourceData.count(reinterpret_cast<uintptr_t>(hResInfo)))
        return SetError(ERROR_INVALID_HANDLE), nullptr;
    return reinterpret_cast<HGLOBAL>(hResInfo);
}

LPVOID WINAPI Sim_LockResource(HGLOBAL hResData) {
    auto it = M().resourceData.find(reinterpret_cast<uintptr_t>(hResData));
    if (it == M().resourceData.end()) return SetError(ERROR_INVALID_HANDLE), nullptr;
    return (LPVOID)it->second;
}

DWORD WINAPI Sim_SizeofResource(HMODULE /*hModule*/, HRSRC hResInfo) {
    auto it = M().resourceSizes.find(reinterpret_cast<uintptr_t>(hResInfo));
    if (it == M().resourceSizes.end()) return SetError(ERROR_INVALID_HANDLE), 0;
    return (DWORD)it->second;
}

BOOL WINAPI Sim_FreeResource(HGLOBAL /*hResData*/) {
    return FALSE;
}
