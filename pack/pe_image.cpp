// PE header parsing with every offset checked against the buffer, and the header checksum.
#include "pack/pe_image.h"

#include "engine/core/checksum.h"

#include "engine/core/package.h"
#include "pack/pack_error.h"

namespace {

const uint16_t MAGIC_PE32 = 0x10b;
const uint16_t MAGIC_PE32PLUS = 0x20b;
const size_t COFF_HEADER_SIZE = 20;

// Throws unless [offset, offset + count) lies inside the buffer.
void Need(size_t size, size_t offset, size_t count, const char* what) {
    if (offset > size || count > size - offset) {
        throw PackError(std::string("PE image cut short: ") + what +
                        " lies past the end of the file");
    }
}

PeSection ReadSection(const uint8_t* file, size_t at) {
    PeSection s;
    const char* raw = (const char*)file + at;
    size_t length = 0;
    while (length < 8 && raw[length] != '\0') length++;
    s.name.assign(raw, length);
    s.virtualSize = ReadLE32(file + at + 8);
    s.virtualAddress = ReadLE32(file + at + 12);
    s.rawSize = ReadLE32(file + at + 16);
    s.rawPointer = ReadLE32(file + at + 20);
    s.characteristics = ReadLE32(file + at + 36);
    s.headerOffset = at;
    return s;
}

void ReadOptionalHeader(const uint8_t* file, size_t size, size_t opt, uint16_t optSize,
                        PeImage* image) {
    Need(size, opt, optSize, "the optional header");
    if (optSize < 2) throw PackError("PE optional header too small");
    uint16_t magic = ReadLE16(file + opt);
    if (magic != MAGIC_PE32 && magic != MAGIC_PE32PLUS) {
        throw PackError("PE optional header has an unknown magic");
    }
    image->pe32plus = magic == MAGIC_PE32PLUS;
    size_t countField = image->pe32plus ? 108 : 92;
    if (optSize < countField + 4) throw PackError("PE optional header too small");
    image->initializedDataOffset = opt + 8;
    image->sectionAlignment = ReadLE32(file + opt + 32);
    image->fileAlignment = ReadLE32(file + opt + 36);
    image->sizeOfImageOffset = opt + 56;
    image->sizeOfHeaders = ReadLE32(file + opt + 60);
    image->checksumOffset = opt + 64;
    image->dataDirectoryOffset = opt + countField + 4;
    uint32_t count = ReadLE32(file + opt + countField);
    uint32_t room = (uint32_t)(optSize - countField - 4) / 8;
    image->dataDirectoryCount = count < room ? count : room;
}

}  // namespace

bool LooksLikePe(const uint8_t* file, size_t size) {
    if (size < 0x40 || file[0] != 'M' || file[1] != 'Z') return false;
    uint32_t pe = ReadLE32(file + 0x3c);
    return pe <= size - 4 && file[pe] == 'P' && file[pe + 1] == 'E' && file[pe + 2] == 0 &&
           file[pe + 3] == 0;
}

PeImage ParsePeImage(const uint8_t* file, size_t size) {
    if (!LooksLikePe(file, size))
        throw PackError("not a PE file (no MZ header with a PE signature)");
    size_t coff = (size_t)ReadLE32(file + 0x3c) + 4;
    Need(size, coff, COFF_HEADER_SIZE, "the COFF header");
    uint16_t sectionCount = ReadLE16(file + coff + 2);
    uint16_t optSize = ReadLE16(file + coff + 16);
    PeImage image;
    image.fileSize = size;
    ReadOptionalHeader(file, size, coff + COFF_HEADER_SIZE, optSize, &image);
    if (image.fileAlignment == 0 || (image.fileAlignment & (image.fileAlignment - 1)) != 0 ||
        image.sectionAlignment == 0 ||
        (image.sectionAlignment & (image.sectionAlignment - 1)) != 0) {
        throw PackError("PE alignment values are not powers of two");
    }
    size_t table = coff + COFF_HEADER_SIZE + optSize;
    Need(size, table, (size_t)sectionCount * PE_SECTION_HEADER_SIZE, "the section table");
    for (uint16_t i = 0; i < sectionCount; i++) {
        image.sections.push_back(ReadSection(file, table + (size_t)i * PE_SECTION_HEADER_SIZE));
    }
    return image;
}

uint32_t PeImage::DirectoryRva(const uint8_t* file, uint32_t index) const {
    return index < dataDirectoryCount ? ReadLE32(file + dataDirectoryOffset + 8 * index) : 0;
}

uint32_t PeImage::DirectorySize(const uint8_t* file, uint32_t index) const {
    return index < dataDirectoryCount ? ReadLE32(file + dataDirectoryOffset + 8 * index + 4) : 0;
}

int PeImage::SectionOfRva(uint32_t rva) const {
    for (size_t i = 0; i < sections.size(); i++) {
        const PeSection& s = sections[i];
        if (rva >= s.virtualAddress && (uint64_t)rva < (uint64_t)s.virtualAddress + s.Extent()) {
            return (int)i;
        }
    }
    return -1;
}

bool PeImage::RvaToOffset(uint32_t rva, uint32_t size, size_t* offset) const {
    int index = SectionOfRva(rva);
    if (index < 0) return false;
    const PeSection& s = sections[index];
    uint64_t within = rva - s.virtualAddress;
    if (within + size > s.rawSize) return false;
    if ((uint64_t)s.rawPointer + within + size > fileSize) return false;
    *offset = (size_t)(s.rawPointer + within);
    return true;
}

size_t PeImage::RawEnd() const {
    size_t end = sizeOfHeaders;
    for (const PeSection& s : sections) {
        if (s.rawSize > 0 && (size_t)s.rawPointer + s.rawSize > end)
            end = (size_t)s.rawPointer + s.rawSize;
    }
    return end;
}

uint32_t AlignUp(uint64_t value, uint32_t alignment) {
    uint64_t aligned = (value + alignment - 1) & ~(uint64_t)(alignment - 1);
    if (aligned > 0xFFFFFFFFu) throw PackError("PE image would exceed 4 GB");
    return (uint32_t)aligned;
}

uint64_t SumLe16Words(const uint8_t* bytes, size_t size) {
    uint64_t even = 0, odd = 0;
    AddByParity(bytes, size, &even, &odd);
    return even + (odd << 8);
}

uint32_t ComputePeChecksum(const uint8_t* file, size_t size, size_t checksumOffset) {
    uint64_t sum = SumLe16Words(file, size);
    for (size_t i = checksumOffset; i < checksumOffset + 4 && i < size; i++)
        sum -= (i & 1) ? (uint64_t)file[i] << 8 : file[i];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)sum + (uint32_t)size;
}
