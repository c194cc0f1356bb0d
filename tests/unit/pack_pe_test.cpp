// PE headers and resource trees on images made here byte by byte: alignment, the optional
// header's directory count, resource names and data laid out where the loader wants them
// and read back, and names that the section's end cuts short.
#include <gtest/gtest.h>

#include "engine/core/package.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "pack/pe_resources.h"

namespace {

const uint32_t SECTION_RVA = 0x1000;
const uint32_t SECTION_FILE_OFFSET = 0x200;
const size_t OPTIONAL_HEADER_AT = 0x58;     // after "MZ" (0x40 bytes), "PE\0\0" and the COFF header
const uint16_t FULL_OPTIONAL_HEADER = 224;  // PE32 with 16 data directories

// A PE32 image with one section, ".rsrc", holding `rsrc` at SECTION_RVA and ending the file,
// named as the resource directory when the optional header has room for it.
std::vector<uint8_t> MinimalPe(const std::vector<uint8_t>& rsrc,
                               uint16_t optSize = FULL_OPTIONAL_HEADER) {
    std::vector<uint8_t> file(SECTION_FILE_OFFSET + rsrc.size(), 0);
    file[0] = 'M', file[1] = 'Z';
    WriteLE32(&file[0x3c], 0x40);
    file[0x40] = 'P', file[0x41] = 'E';
    WriteLE16(&file[0x44], 0x14c);  // i386
    WriteLE16(&file[0x46], 1);      // sections
    WriteLE16(&file[0x54], optSize);
    uint8_t* opt = &file[OPTIONAL_HEADER_AT];
    WriteLE16(opt, 0x10b);
    WriteLE32(opt + 32, 0x1000);  // section alignment
    WriteLE32(opt + 36, 0x200);   // file alignment
    if (optSize >= 96) WriteLE32(opt + 92, 16);
    if (optSize >= 96 + 3 * 8) {
        WriteLE32(opt + 96 + 2 * 8, SECTION_RVA);
        WriteLE32(opt + 96 + 2 * 8 + 4, (uint32_t)rsrc.size());
    }
    uint8_t* section = opt + optSize;
    memcpy(section, ".rsrc", 5);
    WriteLE32(section + 8, (uint32_t)rsrc.size());
    WriteLE32(section + 12, SECTION_RVA);
    WriteLE32(section + 16, (uint32_t)rsrc.size());
    WriteLE32(section + 20, SECTION_FILE_OFFSET);
    std::copy(rsrc.begin(), rsrc.end(), file.begin() + SECTION_FILE_OFFSET);
    return file;
}

ResourceEntry Leaf(uint16_t language, size_t size) {
    ResourceEntry leaf;
    leaf.name.id = language;
    for (size_t i = 0; i < size; i++) leaf.data.push_back((uint8_t)(language + i));
    return leaf;
}

ResourceEntry NamedDir(const char16_t* name, std::vector<ResourceEntry> children) {
    ResourceEntry entry;
    entry.name.isId = false;
    entry.name.text = name;
    entry.isDir = true;
    entry.subdir.resize(1);
    entry.subdir[0].entries = std::move(children);
    return entry;
}

TEST(PeImage, AlignUpRoundsToTheNextMultipleWithinFourGigabytes) {
    const struct {
        uint64_t value;
        uint32_t alignment;
        uint32_t aligned;
    } cases[] = {
        {0, 8, 0},
        {1, 8, 8},
        {7, 8, 8},
        {8, 8, 8},
        {9, 8, 16},
        {0x1001, 0x200, 0x1200},
        {0x1000, 0x1000, 0x1000},
        {0xFFFFFFFF, 1, 0xFFFFFFFF},
        {0xFFFFF000, 0x1000, 0xFFFFF000},
    };
    for (const auto& c : cases) EXPECT_EQ(AlignUp(c.value, c.alignment), c.aligned) << c.value;
    EXPECT_THROW(AlignUp(0xFFFFF001, 0x1000), PackError);
    EXPECT_THROW(AlignUp(0x100000000ull, 8), PackError);
}

// The directory count is the optional header's last fixed field: a header that ends inside
// it is refused; one that ends right after it has no directories.
TEST(PeImage, OptionalHeaderMustHoldTheDirectoryCount) {
    const struct {
        uint16_t optSize;
        bool accepted;
        uint32_t directories;
    } cases[] = {{1, false, 0},
                 {92, false, 0},
                 {95, false, 0},
                 {96, true, 0},
                 {103, true, 0},
                 {104, true, 1},
                 {FULL_OPTIONAL_HEADER, true, 16}};
    for (const auto& c : cases) {
        std::vector<uint8_t> file = MinimalPe({0}, c.optSize);
        try {
            PeImage image = ParsePeImage(file.data(), file.size());
            EXPECT_TRUE(c.accepted) << c.optSize;
            EXPECT_EQ(image.dataDirectoryCount, c.directories) << c.optSize;
        } catch (const PackError& error) {
            EXPECT_FALSE(c.accepted) << c.optSize << ": " << error.what();
        }
    }
}

// Leaves of odd sizes behind names of odd lengths: name strings start on 2 bytes, data on 8,
// and the tree reads back as it was written.
TEST(PeResources, SerializedTreeIsAlignedAndReadsBack) {
    ResourceDir root;
    root.entries = {
        NamedDir(u"TXT", {NamedDir(u"A", {Leaf(0x409, 1)}), NamedDir(u"HELPS", {Leaf(0x407, 3)})}),
        NamedDir(u"BINARY", {NamedDir(u"COMPFILES", {Leaf(0x409, 5)})})};
    std::vector<uint8_t> section = SerializeResourceTree(root, SECTION_RVA);
    EXPECT_EQ(section.size() % 8, 0u);
    for (int i = 0; i < 2; i++) {  // the two type names at the root
        uint32_t name = ReadLE32(&section[16 + 8 * i]);
        EXPECT_TRUE(name & 0x80000000u);
        EXPECT_EQ(name % 2, 0u) << i;
    }
    std::vector<uint8_t> file = MinimalPe(section);
    ResourceDir read =
        ReadResourceTree(file.data(), file.size(), ParsePeImage(file.data(), file.size()));
    for (const char* name : {"A", "HELPS"}) {
        const ResourceEntry* leaf = FindNamedResource(read, "TXT", name);
        ASSERT_NE(leaf, nullptr) << name;
        EXPECT_EQ(leaf->data, FindNamedResource(root, "TXT", name)->data) << name;
        EXPECT_EQ(leaf->fileOffset % 8, 0u) << name;
    }
    EXPECT_EQ(FindNamedResource(read, "BINARY", "COMPFILES")->data, Leaf(0x409, 5).data);
}

// A name whose offset leaves no room for its length field, or for its characters, before the
// section ends is refused without reading past the section (which here ends the file).
TEST(PeResources, NameCutByTheSectionEndIsRefused) {
    ResourceDir root;
    root.entries = {NamedDir(u"BINARY", {NamedDir(u"COMPFILES", {Leaf(0x409, 4)})})};
    std::vector<uint8_t> section = SerializeResourceTree(root, SECTION_RVA);
    const struct {
        const char* why;
        uint32_t offset;
    } cases[] = {{"length field cut", (uint32_t)section.size() - 1},
                 {"characters cut", (uint32_t)section.size() - 2},
                 {"past the end", (uint32_t)section.size() + 8}};
    for (const auto& c : cases) {
        std::vector<uint8_t> cut = section;
        WriteLE32(&cut[16], 0x80000000u | c.offset);
        cut[cut.size() - 2] = 5;  // a length for the "characters cut" case
        std::vector<uint8_t> file = MinimalPe(cut);
        PeImage image = ParsePeImage(file.data(), file.size());
        EXPECT_THROW(ReadResourceTree(file.data(), file.size(), image), PackError) << c.why;
    }
}

// The package's resource is found only where type, name and a language entry all exist; a
// stub that lacks any level has none (and nothing is read through a missing level).
TEST(PeResources, NamedResourceNeedsTypeNameAndLanguage) {
    ResourceEntry language;
    language.name.id = 0x409;
    language.data = {1, 2, 3};
    struct Case {
        const char* name;
        std::vector<ResourceEntry> types;
        bool found;
    } cases[] = {
        {"no types", {}, false},
        {"other type", {NamedDir(u"TEXT", {NamedDir(u"COMPFILES", {language})})}, false},
        {"no name", {NamedDir(u"BINARY", {NamedDir(u"OTHER", {language})})}, false},
        {"no language", {NamedDir(u"BINARY", {NamedDir(u"COMPFILES", {})})}, false},
        {"complete", {NamedDir(u"binary", {NamedDir(u"CompFiles", {language})})}, true},
    };
    for (const Case& c : cases) {
        ResourceDir root;
        root.entries = c.types;
        const ResourceEntry* found = FindNamedResource(root, "BINARY", "COMPFILES");
        EXPECT_EQ(found != nullptr, c.found) << c.name;
        if (found) {
            EXPECT_EQ(found->data, language.data) << c.name;
        }
    }
}

}  // namespace
