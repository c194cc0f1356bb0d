// Claim: any manifest text is either turned into items that keep every rule the package
// relies on, or refused with one PackError naming a line; nothing else escapes and nothing
// outside the manifest's folder is read.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_sandbox.h"
#include "pack/manifest.h"
#include "pack/manifest_rules.h"
#include "pack/pack_error.h"

namespace {

// A folder holding the few source files the seed manifests name.
std::string SourceFolder() {
    static std::string folder;
    if (!folder.empty()) return folder;
    folder = FuzzSandbox("manifest");
    for (const char* name : {"a.txt", "b.exe", "readme.txt"})
        std::ofstream(folder + "/" + name) << "content of " << name;
    return folder;
}

void CheckItem(const ManifestItem& item) {
    const CopyTableEntry& e = item.entry;
    FUZZ_CHECK(EntryFieldProblems(e).empty(), "accepted fields keep the rules");
    FUZZ_CHECK(IsValidDosDateTime(e.fileDate, e.fileTime), "accepted dates are valid");
    bool embedded = e.flags & CF_EMBEDDED, external = e.flags & CF_EXTERNAL_SOURCE;
    FUZZ_CHECK(item.sourcePath.empty() ? !embedded && !external : embedded != external,
               "one data source for an item with a source, none without");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);
    try {
        std::vector<ManifestItem> items = ParseManifest(text, "m.toml", SourceFolder());
        FUZZ_CHECK(!items.empty() && items.size() <= 0xFFFF, "1 to 65535 items");
        for (const ManifestItem& item : items) CheckItem(item);
    } catch (const PackError& error) {
        FUZZ_CHECK(std::string(error.what()).rfind("m.toml:", 0) == 0, "errors name the line");
    }
    return 0;
}
