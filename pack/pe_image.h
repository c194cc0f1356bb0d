// Reading the headers of a PE32 or PE32+ image held in memory: the fields the packaging
// tool rewrites (section table, alignment, SizeOfImage, SizeOfInitializedData, data
// directories, checksum), RVA to file offset mapping, and the header checksum. Every read is
// bounds-checked: the bytes may come from an untrusted installer file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

const uint32_t PE_DIR_SECURITY = 4;
const uint32_t PE_DIR_RESOURCE = 2;
const uint32_t PE_DIR_BASERELOC = 5;
const uint32_t PE_SECTION_HEADER_SIZE = 40;
const uint32_t PE_SCN_INITIALIZED_DATA = 0x00000040;

struct PeSection {
    std::string name;
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawPointer;
    uint32_t characteristics;
    size_t headerOffset;  // file offset of its 40-byte section header

    // Bytes the section occupies in memory (the loader maps VirtualSize, or the raw size when
    // VirtualSize is 0).
    uint32_t Extent() const { return virtualSize ? virtualSize : rawSize; }
};

struct PeImage {
    bool pe32plus = false;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    size_t checksumOffset = 0;         // file offset of the 4-byte CheckSum field
    size_t sizeOfImageOffset = 0;      // file offset of SizeOfImage
    size_t initializedDataOffset = 0;  // file offset of SizeOfInitializedData
    size_t dataDirectoryOffset = 0;    // file offset of data directory 0
    uint32_t dataDirectoryCount = 0;
    std::vector<PeSection> sections;  // in section-table order
    size_t fileSize = 0;

    // RVA and size of data directory `index` (0, 0 when the image has fewer).
    uint32_t DirectoryRva(const uint8_t* file, uint32_t index) const;
    uint32_t DirectorySize(const uint8_t* file, uint32_t index) const;
    // The section whose virtual range holds `rva`, or -1.
    int SectionOfRva(uint32_t rva) const;
    // File offset of `size` bytes at `rva`, when they lie in one section's raw data inside
    // the file.
    bool RvaToOffset(uint32_t rva, uint32_t size, size_t* offset) const;
    // End of the last section's raw data: where an appended overlay would begin.
    size_t RawEnd() const;
};

// True when the bytes start with an MZ header that points at a PE signature.
bool LooksLikePe(const uint8_t* file, size_t size);

// Parses the headers; throws PackError naming what is malformed.
PeImage ParsePeImage(const uint8_t* file, size_t size);

// The header checksum over `size` bytes with the CheckSum field taken as zero: the 16-bit
// one's-complement sum of the little-endian words, plus the file length.
uint32_t ComputePeChecksum(const uint8_t* file, size_t size, size_t checksumOffset);

// `value` rounded up to a multiple of `alignment` (a power of two, as the headers' alignments
// are); throws PackError past 4 GB, the most an image's 32-bit sizes and addresses can hold.
uint32_t AlignUp(uint64_t value, uint32_t alignment);

// The sum of `size` bytes taken as little-endian 16-bit words from an even offset (a last odd
// byte as a word of its own), without folding: what the PE checksum adds up.
uint64_t SumLe16Words(const uint8_t* bytes, size_t size);
