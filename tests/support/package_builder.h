// Builds package blocks and whole installer files in memory for tests: copy-table entries,
// stored data in table order, a literal-only LZSS encoding, and the checksum trailer.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "engine/core/package.h"

struct TestItem {
    CopyTableEntry entry{};
    std::string stored;  // the bytes stored for a CF_EMBEDDED entry (already encoded)
};

// An entry with the given flags, names and sizes; date 2001-10-11 17:42:12, attributes 0x20.
CopyTableEntry MakeEntry(uint16_t flags, const std::string& targetName,
                         const std::string& sourceName, uint32_t storedSize);

// An embedded item whose data is `content`, LZSS-encoded as literals when `compressed`.
TestItem EmbeddedItem(const std::string& targetName, const std::string& content, bool compressed,
                      uint16_t extraFlags = 0);

// Every byte as a literal token, then the end marker.
std::string EncodeLiteralsOnly(const std::string& content);

// itemCount, the table and the stored data of the embedded entries.
std::string BuildPackageBlock(const std::vector<TestItem>& items);

// `prefix` padded with zeros to `packageOffset` bytes, the block, `suffix`, then the trailer.
std::string BuildInstallerFile(uint32_t packageOffset, const std::string& block,
                               const std::string& suffix = "");

// Appends the 4-byte little-endian sum of every byte of `file`.
std::string WithTrailer(const std::string& file);
