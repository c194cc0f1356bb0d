# i686 Windows build: the shipped PE32. No emulator is set: its tests are the GUI scenarios of
# the native build, which run the packed installer under 32-bit Wine where the machine can.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
