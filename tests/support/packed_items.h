// Items for the packaging library's tests: an entry named `target` (also its packed name),
// dated 2001-10-11 17:42:12 with the archive attribute, whose stored bytes are `content`,
// LZSS-encoded when the flags ask for it. Header-only: the support library links no pack code.
#pragma once

#include <string.h>

#include <string>
#include <vector>

#include "pack/installer_builder.h"
#include "pack/lzss_encoder.h"

inline PackedItem Item(const std::string& target, const std::string& content, uint16_t flags) {
    PackedItem item;
    item.entry.flags = flags;
    strcpy(item.entry.targetName, target.c_str());
    strcpy(item.entry.sourceName, target.c_str());
    item.entry.fileDate = 0x2B4B;
    item.entry.fileTime = 0x8D46;
    item.entry.attributes = 0x20;
    std::vector<uint8_t> bytes(content.begin(), content.end());
    item.bytes = (flags & CF_COMPRESSED) ? EncodeLzss(bytes) : bytes;
    item.entry.storedSize = (uint32_t)item.bytes.size();
    return item;
}
