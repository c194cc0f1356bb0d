// Rebuilding a PE image around a new .rsrc section: the section keeps its address and grows
// or shrinks in place; what follows it moves. Only .reloc may follow, because moving a
// section's address is safe only when nothing but its data directory refers to it.
#include <algorithm>

#include "engine/core/package.h"
#include "pack/pack_error.h"
#include "pack/pe_resources.h"

namespace {

// Refuses images the rebuild cannot keep correct; returns the index of the .rsrc section.
size_t CheckRebuildable(const std::vector<uint8_t>& stub, const PeImage& image) {
    const uint8_t* file = stub.data();
    if (image.DirectoryRva(file, PE_DIR_SECURITY) != 0) {
        throw PackError("stub is signed; sign the installer after building it, not the stub");
    }
    if (image.RawEnd() != stub.size()) {
        throw PackError("stub has " +
                        std::to_string((long long)stub.size() - (long long)image.RawEnd()) +
                        " bytes outside its sections (an installer already, or not a plain "
                        "stub); use the unmodified stub");
    }
    uint32_t rsrcRva = image.DirectoryRva(file, PE_DIR_RESOURCE);
    int found = rsrcRva ? image.SectionOfRva(rsrcRva) : -1;
    if (found < 0 || image.sections[found].virtualAddress != rsrcRva) {
        throw PackError("stub has no resource section starting with the resource directory");
    }
    size_t index = (size_t)found;
    const PeSection& rsrc = image.sections[index];
    for (size_t i = 0; i < image.sections.size(); i++) {
        const PeSection& s = image.sections[i];
        bool after = i > index;
        if (i < index && s.rawSize > 0 && (uint64_t)s.rawPointer + s.rawSize > rsrc.rawPointer) {
            throw PackError("stub's section " + s.name + " overlaps the raw data of .rsrc");
        }
        if (after && s.name != ".reloc") {
            throw PackError("stub has section " + s.name +
                            " after .rsrc; only .reloc can be moved");
        }
        if ((s.virtualAddress > rsrc.virtualAddress) != after ||
            (s.rawSize > 0 && (s.rawPointer > rsrc.rawPointer) != after)) {
            throw PackError("stub's section table is not in address order");
        }
    }
    for (uint32_t d = 0; d < image.dataDirectoryCount; d++) {
        if (d == PE_DIR_SECURITY || d == PE_DIR_RESOURCE) continue;
        uint32_t rva = image.DirectoryRva(file, d);
        int in = rva ? image.SectionOfRva(rva) : -1;
        if (in >= (int)index && !(d == PE_DIR_BASERELOC && in > (int)index)) {
            throw PackError("stub's data directory " + std::to_string(d) +
                            " points into a section the rebuild would move");
        }
    }
    return index;
}

// Appends the raw data of every section after .rsrc to `out` and gives each its new place:
// the next section-aligned address and the next raw offset.
void MoveFollowingSections(const std::vector<uint8_t>& stub, const PeImage& image, size_t index,
                           uint64_t nextVa, std::vector<uint8_t>* out) {
    uint32_t relocRva = image.DirectoryRva(stub.data(), PE_DIR_BASERELOC);
    size_t relocField = image.dataDirectoryOffset + 8 * PE_DIR_BASERELOC;
    for (size_t i = index + 1; i < image.sections.size(); i++) {
        const PeSection& s = image.sections[i];
        uint32_t va = AlignUp(nextVa, image.sectionAlignment);
        uint32_t rawPointer = s.rawSize ? (uint32_t)out->size() : 0;
        out->insert(out->end(), stub.begin() + s.rawPointer,
                    stub.begin() + s.rawPointer + s.rawSize);
        WriteLE32(&(*out)[s.headerOffset + 12], va);
        WriteLE32(&(*out)[s.headerOffset + 20], rawPointer);
        if (relocRva && image.SectionOfRva(relocRva) == (int)i) {
            WriteLE32(&(*out)[relocField], relocRva - s.virtualAddress + va);
        }
        nextVa = (uint64_t)va + s.Extent();
    }
}

// SizeOfImage from the rebuilt section table, the resource directory's size, and
// SizeOfInitializedData changed by what the .rsrc raw size changed.
void UpdateOptionalHeader(const PeImage& old, const PeSection& rsrc, uint32_t newRaw,
                          uint32_t treeSize, std::vector<uint8_t>* file) {
    PeImage rebuilt = ParsePeImage(file->data(), file->size());
    uint64_t end = 0;
    for (const PeSection& s : rebuilt.sections) {
        end = std::max(end, (uint64_t)s.virtualAddress + s.Extent());
    }
    WriteLE32(&(*file)[old.sizeOfImageOffset], AlignUp(end, old.sectionAlignment));
    WriteLE32(&(*file)[old.dataDirectoryOffset + 8 * PE_DIR_RESOURCE + 4], treeSize);
    if (rsrc.characteristics & PE_SCN_INITIALIZED_DATA) {
        uint32_t initialized = ReadLE32(&(*file)[old.initializedDataOffset]);
        WriteLE32(&(*file)[old.initializedDataOffset], initialized - rsrc.rawSize + newRaw);
    }
}

}  // namespace

RebuiltImage ReplaceResourceData(const std::vector<uint8_t>& stub, const std::string& type,
                                 const std::string& name, const std::vector<uint8_t>& data,
                                 uint32_t slack, const std::vector<AddedResource>& added) {
    PeImage image = ParsePeImage(stub.data(), stub.size());
    size_t index = CheckRebuildable(stub, image);
    ResourceDir tree = ReadResourceTree(stub.data(), stub.size(), image);
    ResourceEntry* leaf = FindNamedResource(tree, type, name);
    if (!leaf) throw PackError("stub has no resource " + name + " of type " + type);
    leaf->data = data;
    uint16_t language = leaf->name.id;
    uint32_t codePage = leaf->codePage;
    for (const AddedResource& resource : added) PutIdResource(tree, resource, language, codePage);

    const PeSection& rsrc = image.sections[index];
    std::vector<uint8_t> section = SerializeResourceTree(tree, rsrc.virtualAddress);
    leaf = FindNamedResource(tree, type, name);
    uint32_t newRaw = AlignUp((uint64_t)section.size() + slack, image.fileAlignment);

    RebuiltImage out;
    out.file.assign(stub.begin(), stub.begin() + rsrc.rawPointer);
    out.file.insert(out.file.end(), section.begin(), section.end());
    out.file.resize((size_t)rsrc.rawPointer + newRaw, 0);
    out.dataOffset = (size_t)rsrc.rawPointer + leaf->sectionOffset;
    out.resourceEnd = out.file.size();
    WriteLE32(&out.file[rsrc.headerOffset + 8], (uint32_t)section.size());
    WriteLE32(&out.file[rsrc.headerOffset + 16], newRaw);

    MoveFollowingSections(stub, image, index, (uint64_t)rsrc.virtualAddress + section.size(),
                          &out.file);
    UpdateOptionalHeader(image, rsrc, newRaw, (uint32_t)section.size(), &out.file);
    return out;
}
