// Replays fuzz inputs without libFuzzer: every file named on the command line, and every file
// in a named folder, goes once through the target's LLVMFuzzerTestOneInput. Linked into the
// fuzz targets of the ordinary builds (native, native-asan), so that the committed corpora run
// in ctest on any machine; a failed property aborts, a sanitizer build reports as usual.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

std::vector<std::string> InputsOf(const std::string& path) {
    std::vector<std::string> inputs;
    if (!std::filesystem::is_directory(path)) return {path};
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path().string());
    }
    std::sort(inputs.begin(), inputs.end());  // the same order on every machine
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (int i = 1; i < argc; i++) {
        for (const std::string& input : InputsOf(argv[i])) {
            std::ifstream in(input, std::ios::binary);
            if (!in) {
                fprintf(stderr, "cannot read %s\n", input.c_str());
                return 1;
            }
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            // A copy of exactly the input's size, so that a read past it is caught.
            std::vector<uint8_t> exact(bytes);
            LLVMFuzzerTestOneInput(exact.data(), exact.size());
            count++;
        }
    }
    printf("%zu inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
