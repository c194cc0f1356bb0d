// The small mingw stubs the packaging tests build installers from (tests/pack_stub), found
// through QV_PACK_TEST_STUBS, which the test programs that use them define.
#pragma once

#include <sys/stat.h>

#include <string>

// The test stub of `arch` ("i686", "x86_64"), or "" when it has not been built.
inline std::string PackTestStubPath(const char* arch) {
#ifdef QV_PACK_TEST_STUBS
    std::string path = std::string(QV_PACK_TEST_STUBS) + "/stub_" + arch + ".exe";
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return path;
#endif
    (void)arch;
    return "";
}
