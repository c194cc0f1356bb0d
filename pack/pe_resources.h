// The resource section of a PE image: reading its three-level tree (type, name, language),
// and rebuilding the image with one resource's data replaced, without a compiler or linker.
// The rebuilt .rsrc stays at its address; sections behind it (only .reloc is accepted) move
// to follow it, and the headers are kept consistent (section table, SizeOfImage,
// SizeOfInitializedData, resource and relocation directories). The caller sets the checksum.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pack/pe_image.h"

// A resource tree node's name: a string (stored as UTF-16) or a 16-bit id.
struct ResourceName {
    bool isId = true;
    uint16_t id = 0;
    std::u16string text;
};

struct ResourceDir;

struct ResourceEntry {
    ResourceName name;
    bool isDir = false;
    std::vector<ResourceDir> subdir;  // exactly one element when isDir
    std::vector<uint8_t> data;        // leaf: the resource's bytes
    uint32_t codePage = 0;
    uint32_t fileOffset = 0;     // leaf as read: where its data lies in the file
    uint32_t sectionOffset = 0;  // leaf as serialized: where its data lies in the section
};

struct ResourceDir {
    uint32_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    std::vector<ResourceEntry> entries;
};

// Reads the resource tree of a parsed image; throws PackError when it is malformed.
ResourceDir ReadResourceTree(const uint8_t* file, size_t size, const PeImage& image);

// Finds the first language's leaf of the resource `type`/`name` (string names, compared
// ignoring ASCII case); null when absent.
const ResourceEntry* FindNamedResource(const ResourceDir& root, const std::string& type,
                                       const std::string& name);
ResourceEntry* FindNamedResource(ResourceDir& root, const std::string& type,
                                 const std::string& name);

// Lays the tree out as section data at `sectionRva`: directories, data entries, name strings,
// then the data, each 8-byte aligned, and records each leaf's sectionOffset. Entries are
// sorted in place as the loader searches them: names first (ordinal on their upper-case
// form), then ids ascending.
std::vector<uint8_t> SerializeResourceTree(ResourceDir& root, uint32_t sectionRva);

// A resource the build adds under numeric type and id, in the language of the replaced one.
struct AddedResource {
    uint16_t type = 0;
    uint16_t id = 0;
    std::vector<uint8_t> data;
};

// Sets the resource `type`/`id` to one leaf of `language` holding `data`, replacing whatever
// the tree held under that type and id (every language of it).
void PutIdResource(ResourceDir& root, const AddedResource& resource, uint16_t language,
                   uint32_t codePage);

// The first id of `type` from which on `count` ids are all free (1 when the type is absent).
uint16_t FirstFreeIds(const ResourceDir& root, uint16_t type, size_t count);

// The leaf of the numeric resource `type`/`id` in its first language; null when absent.
const ResourceEntry* FindIdResource(const ResourceDir& root, uint16_t type, uint16_t id);

// Every id of the numeric resource type `type`, in tree order.
std::vector<uint16_t> ResourceIds(const ResourceDir& root, uint16_t type);

struct RebuiltImage {
    std::vector<uint8_t> file;
    size_t dataOffset = 0;   // file offset of the replaced resource's data
    size_t resourceEnd = 0;  // file offset where the .rsrc section's raw data ends
};

// The stub with the data of resource `type`/`name` replaced by `data` (its language kept) and
// each of `added` put in, in that same language. `slack` zero bytes are kept in the .rsrc raw
// data after the tree, free for the caller.
RebuiltImage ReplaceResourceData(const std::vector<uint8_t>& stub, const std::string& type,
                                 const std::string& name, const std::vector<uint8_t>& data,
                                 uint32_t slack, const std::vector<AddedResource>& added = {});
