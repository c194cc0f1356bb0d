// Test packages: see package_builder.h.
#include "tests/support/package_builder.h"

#include <string.h>

#include "engine/core/checksum.h"
#include "tests/support/lzss_tokens.h"

CopyTableEntry MakeEntry(uint16_t flags, const std::string& targetName,
                         const std::string& sourceName, uint32_t storedSize) {
    CopyTableEntry entry{};
    entry.flags = flags;
    entry.fileDate = 0x2B4B;  // 2001-10-11
    entry.fileTime = 0x8D46;  // 17:42:12
    entry.attributes = 0x20;
    entry.storedSize = storedSize;
    strncpy(entry.targetName, targetName.c_str(), sizeof entry.targetName - 1);
    strncpy(entry.sourceName, sourceName.c_str(), sizeof entry.sourceName - 1);
    entry.showCommand = 1;
    return entry;
}

std::string EncodeLiteralsOnly(const std::string& content) {
    return LzssTokenWriter().Literals(content).End();
}

TestItem EmbeddedItem(const std::string& targetName, const std::string& content, bool compressed,
                      uint16_t extraFlags) {
    TestItem item;
    item.stored = compressed ? EncodeLiteralsOnly(content) : content;
    uint16_t flags = (uint16_t)(CF_EMBEDDED | (compressed ? CF_COMPRESSED : 0) | extraFlags);
    item.entry = MakeEntry(flags, targetName, targetName, (uint32_t)item.stored.size());
    return item;
}

std::string BuildPackageBlock(const std::vector<TestItem>& items) {
    std::string block(ITEM_COUNT_SIZE + COPY_ENTRY_SIZE * items.size(), '\0');
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&block[0]);
    WriteLE16(bytes, (uint16_t)items.size());
    for (size_t i = 0; i < items.size(); i++)
        WriteCopyTableEntry(items[i].entry, bytes + ITEM_COUNT_SIZE + COPY_ENTRY_SIZE * i);
    for (const TestItem& item : items)
        if (item.entry.flags & CF_EMBEDDED) block += item.stored;
    return block;
}

std::string WithTrailer(const std::string& file) {
    uint32_t sum = AddToChecksum(0, reinterpret_cast<const uint8_t*>(file.data()), file.size());
    std::string out = file;
    for (int i = 0; i < 4; i++) out.push_back((char)(sum >> (8 * i)));
    return out;
}

std::string BuildInstallerFile(uint32_t packageOffset, const std::string& block,
                               const std::string& suffix) {
    std::string file(packageOffset, '\0');
    for (uint32_t i = 0; i < packageOffset; i++) file[i] = (char)("MZ-stub"[i % 7]);
    return WithTrailer(file + block + suffix);
}
