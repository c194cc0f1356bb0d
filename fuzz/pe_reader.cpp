// Claim: setuppack's PE reader, given any bytes, either describes the image (sections,
// directories, resource tree) with every offset it hands out inside the file, or refuses it
// with a PackError; it never reads outside the bytes it was given.
#include "fuzz/fuzz_check.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "pack/pe_resources.h"

namespace {

void CheckTree(const ResourceDir& dir, size_t size, int depth) {
    FUZZ_CHECK(depth < 3, "a resource tree is three levels deep");
    for (const ResourceEntry& entry : dir.entries) {
        if (entry.isDir) {
            FUZZ_CHECK(entry.subdir.size() == 1, "a directory entry holds one directory");
            CheckTree(entry.subdir[0], size, depth + 1);
        } else {
            FUZZ_CHECK(entry.fileOffset + entry.data.size() <= size,
                       "resource data lies in the file");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!LooksLikePe(data, size)) return 0;
    try {
        PeImage image = ParsePeImage(data, size);
        FUZZ_CHECK(image.checksumOffset + 4 <= size, "the checksum field lies in the file");
        ComputePeChecksum(data, size, image.checksumOffset);
        for (uint32_t i = 0; i < image.dataDirectoryCount && i < 16; i++) {
            size_t offset = 0;
            uint32_t rva = image.DirectoryRva(data, i);
            uint32_t length = image.DirectorySize(data, i);
            if (image.RvaToOffset(rva, length, &offset))
                FUZZ_CHECK(offset + length <= size, "a mapped directory lies in the file");
        }
        ResourceDir tree = ReadResourceTree(data, size, image);
        CheckTree(tree, size, 0);
        FindNamedResource(tree, "BINARY", "COMPFILES");
        SerializeResourceTree(tree, image.DirectoryRva(data, PE_DIR_RESOURCE));
    } catch (const PackError&) {
    }
    return 0;
}
