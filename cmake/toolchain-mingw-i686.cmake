# i686 Windows build: the shipped PE32. No emulator is set: its tests are the GUI scenarios of
# the native build, which run the packed installer under 32-bit Wine where the machine can.
# Code for the i486: the installer runs on every x86 since then (no P6 instructions such as
# cmov or fcomi, no MMX or SSE); the stub checks disassemble it to keep it so.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=i486")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=i486")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
