// A stand-in installer stub for the packaging tool's tests: an image with the package offset
// marker in its initialised data and the resources of the real stub's kind.
#include <windows.h>

#include <stdint.h>

extern "C" {
// The marker and the offset after it, as the installer image holds them.
struct OffsetRecord {
    char marker[16];
    uint32_t packageOffset;
};
volatile OffsetRecord g_offset = {"QVPKGOFFSET~3.2", 52084};
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HRSRC found = FindResourceA(instance, "COMPFILES", "BINARY");
    return found ? (int)(g_offset.packageOffset & 0x7F) : 1;
}
