// Claim: setuppack's reading of any file as an installer (the trailer, the PE resource, the
// offset marker, the copy table, every stored item) ends with a view or problem messages,
// reads nothing outside the file, and list and verify describe it without failing; a file
// verify passes is one extract takes whole.
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "pack/installer_reader.h"
#include "pack/manifest_rules.h"
#include "tools/setuppack/listing.h"

namespace {

// The items verify passed can be decoded in full: each embedded one lies in the file and has
// a name extract can write.
void CheckVerifiedView(const InstallerView& view) {
    FUZZ_CHECK(view.tableRead && view.itemCount > 0, "a sound file has a copy table");
    for (const InstallerItem& item : view.items) {
        if (!(item.entry.flags & CF_EMBEDDED)) continue;
        FUZZ_CHECK(item.dataInFile, "a sound file's items lie in it");
        FUZZ_CHECK(IsPlainFileName(item.entry.targetName), "a sound file's names are plain");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Read twice: as an image (offset from its marker) and as a plain file at offset 0.
    for (int plain = 0; plain < 2; plain++) {
        ReaderOptions options;
        options.haveOffset = plain == 1;
        InstallerView view = ReadInstaller(data, size, options);
        FUZZ_CHECK(view.items.size() == (view.tableRead ? view.itemCount : 0u),
                   "every counted item is read, or none");
        FUZZ_CHECK(view.blockEnd <= size, "the block ends inside the file");
        ListInstallerText(data, size, view);
        ListInstallerJson(data, size, view);
        std::vector<std::string> problems = VerifyInstaller(data, view);
        if (problems.empty()) CheckVerifiedView(view);
    }
    return 0;
}
