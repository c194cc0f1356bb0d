// The resource tree: reading it (bounded: three levels, a cap on entries, every offset
// checked), finding a named resource, and writing it back in the order the loader searches.
// The rebuild of an image around the new .rsrc section is in pe_rebuild.cpp.
#include "pack/pe_resources.h"

#include <algorithm>
#include <deque>
#include <map>

#include "engine/core/package.h"
#include "pack/pack_error.h"

namespace {

const uint32_t HIGH_BIT = 0x80000000u;
const uint32_t DIR_HEADER_SIZE = 16;
const uint32_t DIR_ENTRY_SIZE = 8;
const uint32_t DATA_ENTRY_SIZE = 16;
const size_t MAX_ENTRIES = 65536;  // far more than any installer stub holds
const int LEAF_LEVEL = 2;          // type (0), name (1), language (2)

class TreeReader {
   public:
    // The tree lies in file[base, end), which the caller has checked lies in the file.
    TreeReader(const uint8_t* file, const PeImage& image, size_t base, size_t end)
        : file_(file), image_(image), base_(base), end_(end) {}

    ResourceDir ReadDir(uint32_t offset, int level) {
        Need(offset, DIR_HEADER_SIZE);
        const uint8_t* p = file_ + base_ + offset;
        ResourceDir dir;
        dir.characteristics = ReadLE32(p);
        dir.timeDateStamp = ReadLE32(p + 4);
        dir.majorVersion = ReadLE16(p + 8);
        dir.minorVersion = ReadLE16(p + 10);
        uint32_t count = (uint32_t)ReadLE16(p + 12) + ReadLE16(p + 14);
        Need((uint64_t)offset + DIR_HEADER_SIZE, (uint64_t)count * DIR_ENTRY_SIZE);
        visited_ += count;
        if (visited_ > MAX_ENTRIES) throw PackError("resource tree has too many entries");
        for (uint32_t i = 0; i < count; i++) {
            dir.entries.push_back(ReadEntry(offset + DIR_HEADER_SIZE + i * DIR_ENTRY_SIZE, level));
        }
        return dir;
    }

   private:
    ResourceEntry ReadEntry(uint32_t at, int level) {
        const uint8_t* p = file_ + base_ + at;
        ResourceEntry e;
        e.name = ReadName(ReadLE32(p));
        uint32_t target = ReadLE32(p + 4);
        e.isDir = (target & HIGH_BIT) != 0;
        if (e.isDir != (level < LEAF_LEVEL)) {
            throw PackError("resource tree is not three levels deep (type, name, language)");
        }
        if (e.isDir) {
            e.subdir.push_back(ReadDir(target & ~HIGH_BIT, level + 1));
        } else {
            ReadLeaf(target, &e);
        }
        return e;
    }

    ResourceName ReadName(uint32_t field) {
        ResourceName name;
        if (!(field & HIGH_BIT)) {
            name.id = (uint16_t)field;
            return name;
        }
        uint32_t at = field & ~HIGH_BIT;
        Need(at, 2);
        uint32_t length = ReadLE16(file_ + base_ + at);
        Need((uint64_t)at + 2, (uint64_t)length * 2);
        name.isId = false;
        for (uint32_t i = 0; i < length; i++) {
            name.text.push_back((char16_t)ReadLE16(file_ + base_ + at + 2 + 2 * i));
        }
        return name;
    }

    void ReadLeaf(uint32_t at, ResourceEntry* e) {
        Need(at, DATA_ENTRY_SIZE);
        const uint8_t* p = file_ + base_ + at;
        uint32_t rva = ReadLE32(p), size = ReadLE32(p + 4);
        e->codePage = ReadLE32(p + 8);
        size_t offset = 0;
        if (!image_.RvaToOffset(rva, size, &offset)) {
            throw PackError("resource data lies outside the file's sections");
        }
        e->fileOffset = (uint32_t)offset;
        e->data.assign(file_ + offset, file_ + offset + size);
    }

    void Need(uint64_t offset, uint64_t count) {
        if (offset > end_ - base_ || count > end_ - base_ - offset) {
            throw PackError("resource directory points outside the resource section");
        }
    }

    const uint8_t* file_;
    const PeImage& image_;
    size_t base_, end_;  // file range of the resource section from its root directory on
    size_t visited_ = 0;
};

bool SameAsciiNoCase(const std::u16string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        char16_t x = a[i], y = (unsigned char)b[i];
        if (x >= 'a' && x <= 'z') x = (char16_t)(x - 32);
        if (y >= 'a' && y <= 'z') y = (char16_t)(y - 32);
        if (x != y) return false;
    }
    return true;
}

ResourceEntry* FindNamedChild(ResourceDir& dir, const std::string& name) {
    for (ResourceEntry& e : dir.entries) {
        if (!e.name.isId && e.isDir && SameAsciiNoCase(e.name.text, name)) return &e;
    }
    return nullptr;
}

}  // namespace

ResourceDir ReadResourceTree(const uint8_t* file, size_t size, const PeImage& image) {
    uint32_t rva = image.DirectoryRva(file, PE_DIR_RESOURCE);
    if (rva == 0) throw PackError("PE image has no resource section");
    int index = image.SectionOfRva(rva);
    if (index < 0) throw PackError("PE resource directory lies outside every section");
    const PeSection& s = image.sections[index];
    uint64_t end = (uint64_t)s.rawPointer + std::min(s.rawSize, s.Extent());
    uint64_t base = (uint64_t)s.rawPointer + (rva - s.virtualAddress);
    if (end > size || base >= end)
        throw PackError("PE resource section lies past the end of the file");
    TreeReader reader(file, image, (size_t)base, (size_t)end);
    return reader.ReadDir(0, 0);
}

ResourceEntry* FindNamedResource(ResourceDir& root, const std::string& type,
                                 const std::string& name) {
    ResourceEntry* typeEntry = FindNamedChild(root, type);
    if (!typeEntry) return nullptr;
    ResourceEntry* nameEntry = FindNamedChild(typeEntry->subdir[0], name);
    if (!nameEntry || nameEntry->subdir[0].entries.empty()) return nullptr;
    return &nameEntry->subdir[0].entries[0];
}

const ResourceEntry* FindNamedResource(const ResourceDir& root, const std::string& type,
                                       const std::string& name) {
    return FindNamedResource(const_cast<ResourceDir&>(root), type, name);
}

namespace {

ResourceEntry* FindIdChild(ResourceDir& dir, uint16_t id) {
    for (ResourceEntry& e : dir.entries)
        if (e.name.isId && e.isDir && e.name.id == id) return &e;
    return nullptr;
}

ResourceEntry IdDirEntry(uint16_t id) {
    ResourceEntry entry;
    entry.name.id = id;
    entry.isDir = true;
    entry.subdir.resize(1);
    return entry;
}

}  // namespace

void PutIdResource(ResourceDir& root, const AddedResource& resource, uint16_t language,
                   uint32_t codePage) {
    ResourceEntry* typeEntry = FindIdChild(root, resource.type);
    if (!typeEntry) root.entries.push_back(IdDirEntry(resource.type));
    typeEntry = FindIdChild(root, resource.type);
    ResourceEntry* nameEntry = FindIdChild(typeEntry->subdir[0], resource.id);
    if (!nameEntry) typeEntry->subdir[0].entries.push_back(IdDirEntry(resource.id));
    nameEntry = FindIdChild(typeEntry->subdir[0], resource.id);
    ResourceEntry leaf;
    leaf.name.id = language;
    leaf.data = resource.data;
    leaf.codePage = codePage;
    nameEntry->subdir[0].entries.assign(1, leaf);
}

uint16_t FirstFreeIds(const ResourceDir& root, uint16_t type, size_t count) {
    uint32_t next = 1;
    for (uint16_t id : ResourceIds(root, type)) next = std::max<uint32_t>(next, id + 1u);
    if (next + count > 0x10000) throw PackError("no free resource ids left in the stub");
    return (uint16_t)next;
}

const ResourceEntry* FindIdResource(const ResourceDir& root, uint16_t type, uint16_t id) {
    ResourceDir& tree = const_cast<ResourceDir&>(root);
    ResourceEntry* typeEntry = FindIdChild(tree, type);
    ResourceEntry* nameEntry = typeEntry ? FindIdChild(typeEntry->subdir[0], id) : nullptr;
    if (!nameEntry || nameEntry->subdir[0].entries.empty()) return nullptr;
    return &nameEntry->subdir[0].entries[0];
}

std::vector<uint16_t> ResourceIds(const ResourceDir& root, uint16_t type) {
    std::vector<uint16_t> ids;
    ResourceEntry* typeEntry = FindIdChild(const_cast<ResourceDir&>(root), type);
    if (!typeEntry) return ids;
    for (const ResourceEntry& e : typeEntry->subdir[0].entries)
        if (e.name.isId && e.isDir) ids.push_back(e.name.id);
    return ids;
}

namespace {

std::u16string UpperAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= 'a' && c <= 'z') c = (char16_t)(c - 32);
    }
    return text;
}

// The loader binary-searches each directory: named entries first, then ids, each sorted.
bool LoaderOrder(const ResourceEntry& a, const ResourceEntry& b) {
    if (a.name.isId != b.name.isId) return !a.name.isId;
    if (a.name.isId) return a.name.id < b.name.id;
    return UpperAscii(a.name.text) < UpperAscii(b.name.text);
}

void SortTree(ResourceDir& dir) {
    std::stable_sort(dir.entries.begin(), dir.entries.end(), LoaderOrder);
    for (ResourceEntry& e : dir.entries) {
        if (e.isDir) SortTree(e.subdir[0]);
    }
}

struct TreeLayout {
    std::vector<ResourceDir*> dirs;  // breadth first, the root first
    std::vector<ResourceEntry*> leaves;
    std::vector<ResourceEntry*> named;
    std::map<const ResourceDir*, uint32_t> dirOffset;
    std::map<const ResourceEntry*, uint32_t> leafOffset;  // of the leaf's data entry
    std::map<const ResourceEntry*, uint32_t> nameOffset;  // of the entry's name string
    uint32_t size = 0;
};

TreeLayout LayOut(ResourceDir& root) {
    TreeLayout layout;
    std::deque<ResourceDir*> queue{&root};
    while (!queue.empty()) {
        ResourceDir* dir = queue.front();
        queue.pop_front();
        layout.dirs.push_back(dir);
        for (ResourceEntry& e : dir->entries) {
            if (!e.name.isId) layout.named.push_back(&e);
            if (e.isDir) queue.push_back(&e.subdir[0]);
            if (!e.isDir) layout.leaves.push_back(&e);
        }
    }
    uint64_t at = 0;
    for (ResourceDir* d : layout.dirs) {
        layout.dirOffset[d] = (uint32_t)at;
        at += DIR_HEADER_SIZE + DIR_ENTRY_SIZE * d->entries.size();
    }
    for (ResourceEntry* e : layout.leaves)
        layout.leafOffset[e] = (uint32_t)at, at += DATA_ENTRY_SIZE;
    for (ResourceEntry* e : layout.named) {
        layout.nameOffset[e] = (uint32_t)at;
        at += 2 + 2 * e->name.text.size();
    }
    for (ResourceEntry* e : layout.leaves) {
        e->sectionOffset = AlignUp(at, 8);
        at = (uint64_t)e->sectionOffset + e->data.size();
    }
    layout.size = AlignUp(at, 8);
    return layout;
}

void WriteDir(const ResourceDir& dir, TreeLayout& layout, uint8_t* out) {
    WriteLE32(out, dir.characteristics);
    WriteLE32(out + 4, dir.timeDateStamp);
    WriteLE16(out + 8, dir.majorVersion);
    WriteLE16(out + 10, dir.minorVersion);
    uint16_t named = 0;
    for (const ResourceEntry& e : dir.entries) named += e.name.isId ? 0 : 1;
    WriteLE16(out + 12, named);
    WriteLE16(out + 14, (uint16_t)(dir.entries.size() - named));
    uint8_t* p = out + DIR_HEADER_SIZE;
    for (const ResourceEntry& e : dir.entries) {
        WriteLE32(p, e.name.isId ? e.name.id : HIGH_BIT | layout.nameOffset[&e]);
        WriteLE32(p + 4,
                  e.isDir ? HIGH_BIT | layout.dirOffset[&e.subdir[0]] : layout.leafOffset[&e]);
        p += DIR_ENTRY_SIZE;
    }
}

}  // namespace

std::vector<uint8_t> SerializeResourceTree(ResourceDir& root, uint32_t sectionRva) {
    SortTree(root);
    TreeLayout layout = LayOut(root);
    std::vector<uint8_t> out(layout.size, 0);
    for (ResourceDir* d : layout.dirs) {
        if (d->entries.size() > 0xFFFF) throw PackError("resource directory has too many entries");
        WriteDir(*d, layout, &out[layout.dirOffset[d]]);
    }
    for (ResourceEntry* e : layout.leaves) {
        uint8_t* p = &out[layout.leafOffset[e]];
        WriteLE32(p, (uint32_t)(sectionRva + (uint64_t)e->sectionOffset));
        WriteLE32(p + 4, (uint32_t)e->data.size());
        WriteLE32(p + 8, e->codePage);
        if (!e->data.empty()) std::copy(e->data.begin(), e->data.end(), &out[e->sectionOffset]);
    }
    for (ResourceEntry* e : layout.named) {
        uint8_t* p = &out[layout.nameOffset[e]];
        WriteLE16(p, (uint16_t)e->name.text.size());
        for (size_t i = 0; i < e->name.text.size(); i++) WriteLE16(p + 2 + 2 * i, e->name.text[i]);
    }
    return out;
}
