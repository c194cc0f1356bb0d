// Packing items, laying out the package block, and turning a stub into an installer file.
#include "pack/installer_builder.h"

#include <string.h>

#include <algorithm>

#include "engine/core/checksum.h"
#include "engine/core/package.h"
#include "pack/copy_table_rules.h"
#include "pack/file_io.h"
#include "pack/installer_reader.h"
#include "pack/installer_resources.h"
#include "pack/lzss_encoder.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "pack/pe_resources.h"

namespace {

const uint32_t BALANCE_BYTES = 2;

uint32_t WordWeight(size_t offset) {
    return (offset & 1) ? 256 : 1;
}

uint32_t FoldChecksum(uint64_t sum) {
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)sum;
}

uint32_t ByteSum(uint32_t value) {
    return (value & 0xFF) + ((value >> 8) & 0xFF) + ((value >> 16) & 0xFF) + (value >> 24);
}

// The trailer T sums every byte before it, the checksum C's four bytes included, while C
// sums T's bytes as words: the two depend on each other. For each value v of C's byte sum
// (0 to 1020) and each setting of the two balance bytes, T follows, then C; a consistent
// pair is one where C's byte sum is v.
bool SolveSeal(uint64_t words, uint32_t bytes, size_t trailerAt, size_t length, uint32_t* checksum,
               uint32_t* trailer) {
    for (uint32_t v = 0; v <= 1020; v++) {
        uint32_t t = bytes + v;
        uint64_t all = words;
        for (int j = 0; j < 4; j++)
            all += (uint64_t)((t >> (8 * j)) & 0xFF) * WordWeight(trailerAt + j);
        uint32_t c = FoldChecksum(all) + (uint32_t)length;
        if (ByteSum(c) == v) {
            *checksum = c;
            *trailer = t;
            return true;
        }
    }
    return false;
}

// What the item stores: the stream the manifest's compress = "auto" already made, the source
// file encoded, or the file as it is.
std::vector<uint8_t> StoredBytes(const ManifestItem& item) {
    if (!item.stream.empty()) return item.stream;
    std::vector<uint8_t> content = ReadFileBytes(item.sourcePath);
    return (item.entry.flags & CF_COMPRESSED) ? EncodeLzss(content) : content;
}

// The copy table entry with the packed length; the bytes the package or the external file
// holds.
PackedItem PackOne(const ManifestItem& item) {
    PackedItem packed;
    packed.entry = item.entry;
    if (item.sourcePath.empty()) return packed;
    packed.bytes = StoredBytes(item);
    if (packed.bytes.size() > 0xFFFFFFFFu) {
        throw PackError("item at line " + std::to_string(item.line) +
                        ": packed data is 4 GB or larger");
    }
    packed.entry.storedSize = (uint32_t)packed.bytes.size();
    return packed;
}

}  // namespace

std::vector<PackedItem> PackItems(const std::vector<ManifestItem>& items) {
    std::vector<PackedItem> packed;
    for (const ManifestItem& item : items) packed.push_back(PackOne(item));
    return packed;
}

std::vector<uint8_t> BuildPackageBlock(const std::vector<PackedItem>& items) {
    if (items.empty() || items.size() > 0xFFFF) throw PackError("a package holds 1 to 65535 items");
    std::vector<uint8_t> block(ITEM_COUNT_SIZE + COPY_ENTRY_SIZE * items.size());
    WriteLE16(block.data(), (uint16_t)items.size());
    for (size_t i = 0; i < items.size(); i++) {
        WriteCopyTableEntry(items[i].entry, &block[ITEM_COUNT_SIZE + COPY_ENTRY_SIZE * i]);
    }
    for (const PackedItem& item : items) {
        if (item.entry.flags & CF_EMBEDDED)
            block.insert(block.end(), item.bytes.begin(), item.bytes.end());
    }
    return block;
}

size_t FindOffsetMarker(const uint8_t* data, size_t from, size_t to) {
    std::vector<size_t> found = FindOffsetMarkers(data, from, to);
    if (found.size() != 1) {
        throw PackError(found.empty() ? "the package offset marker was not found"
                                      : "the package offset marker occurs " +
                                            std::to_string(found.size()) + " times");
    }
    return found[0];
}

void SolveChecksumAndTrailer(std::vector<uint8_t>* file, size_t checksumOffset,
                             size_t balanceOffset) {
    if (file->size() < TRAILER_SIZE) throw PackError("no room for the trailer");
    size_t n = file->size() - TRAILER_SIZE;
    uint8_t* bytes = file->data();
    memset(bytes + checksumOffset, 0, 4);
    memset(bytes + balanceOffset, 0, BALANCE_BYTES);
    uint64_t words = SumLe16Words(bytes, n);
    uint32_t sum = AddToChecksum(0, bytes, n);
    uint32_t checksum = 0, trailer = 0;
    for (uint32_t balance = 0; balance <= 0xFFFF; balance++) {
        uint64_t w = words + (balance & 0xFF) + (uint64_t)(balance >> 8) * 256;
        uint32_t s = sum + (balance & 0xFF) + (balance >> 8);
        if (SolveSeal(w, s, n, n + TRAILER_SIZE, &checksum, &trailer)) {
            WriteLE16(bytes + balanceOffset, (uint16_t)balance);
            WriteLE32(bytes + checksumOffset, checksum);
            WriteLE32(bytes + n, trailer);
            return;
        }
    }
    throw PackError("no balance found for the PE checksum and the trailer");
}

namespace {

// The settings' resources, in the language of the stub's COMPFILES.
std::vector<AddedResource> StubResources(const std::vector<uint8_t>& stub, const PeImage& image,
                                         const InstallerSettings& settings) {
    ResourceDir tree = ReadResourceTree(stub.data(), stub.size(), image);
    const ResourceEntry* leaf = FindNamedResource(tree, "BINARY", "COMPFILES");
    if (!leaf) throw PackError("stub has no resource COMPFILES of type BINARY");
    return SettingsResources(settings, tree, leaf->name.id);
}

}  // namespace

void SealInstaller(std::vector<uint8_t>* file, size_t checksumOffset, size_t balanceOffset) {
    size_t n = file->size();
    file->resize(n + TRAILER_SIZE);
    if (checksumOffset == 0) {
        WriteLE32(file->data() + n, AddToChecksum(0, file->data(), n));
        return;
    }
    SolveChecksumAndTrailer(file, checksumOffset, balanceOffset);
}

std::vector<uint8_t> BuildInstallerImage(const std::vector<uint8_t>& stub,
                                         const std::vector<uint8_t>& block,
                                         const InstallerSettings& settings) {
    PeImage stubImage = ParsePeImage(stub.data(), stub.size());
    size_t marker = FindOffsetMarker(stub.data(), 0, stub.size());
    int rsrc = stubImage.SectionOfRva(stubImage.DirectoryRva(stub.data(), PE_DIR_RESOURCE));
    size_t field = marker + PACKAGE_OFFSET_MARKER_SIZE;
    if (rsrc < 0 || field + 4 > stubImage.sections[rsrc].rawPointer) {
        throw PackError("the package offset marker must lie before the resource section");
    }
    RebuiltImage rebuilt = ReplaceResourceData(stub, "BINARY", "COMPFILES", block, BALANCE_BYTES,
                                               StubResources(stub, stubImage, settings));
    if (rebuilt.dataOffset > 0xFFFFFFFFu) throw PackError("package offset exceeds 4 GB");
    WriteLE32(&rebuilt.file[field], (uint32_t)rebuilt.dataOffset);
    if (rebuilt.resourceEnd % 2 != 0) throw PackError("stub's file alignment is odd");
    PeImage image = ParsePeImage(rebuilt.file.data(), rebuilt.file.size());
    SealInstaller(&rebuilt.file, image.checksumOffset, rebuilt.resourceEnd - BALANCE_BYTES);
    return std::move(rebuilt.file);
}

namespace {

// Stages each external item's file as DIR/<disk label>/<packed name>.
size_t StageExternalFiles(const std::vector<PackedItem>& items, const std::string& dir,
                          OutputSet* outputs) {
    size_t written = 0;
    for (const PackedItem& item : items) {
        if (!HasExternalFile(item.entry)) continue;
        std::string path = dir + "/" + ExternalFilePath(item.entry);
        outputs->MakeFolder(FolderOf(path));
        outputs->Add(path, item.bytes);
        written++;
    }
    return written;
}

// The freshly built file must pass the same verification a shipped one would; its view.
InstallerView CheckBuiltInstaller(const std::vector<uint8_t>& file) {
    InstallerView view = ReadInstaller(file.data(), file.size(), ReaderOptions{});
    std::vector<std::string> problems = VerifyInstaller(file.data(), view);
    if (!problems.empty())
        throw PackError("the built installer fails verification: " + problems[0]);
    return view;
}

}  // namespace

BuiltInstaller MakeInstaller(const BuildOptions& options) {
    ParsedManifest manifest = LoadManifestFile(options.manifestPath);
    const std::vector<ManifestItem>& items = manifest.items;
    bool anyExternal = std::any_of(items.begin(), items.end(), [](const ManifestItem& item) {
        return (item.entry.flags & CF_EXTERNAL_SOURCE) && !item.sourcePath.empty();
    });
    if (anyExternal && options.externalDir.empty()) {
        throw PackError("the manifest has external items: give --external-dir DIR for their files");
    }
    BuiltInstaller built;
    built.packed = PackItems(items);
    std::vector<uint8_t> block = BuildPackageBlock(built.packed);
    built.file = BuildInstallerImage(ReadFileBytes(options.stubPath), block, manifest.settings);
    built.view = CheckBuiltInstaller(built.file);
    if (options.finish) {
        built.file = options.finish(built.file);
        built.view = CheckBuiltInstaller(built.file);
    }
    BuildSummary& summary = built.summary;
    summary.itemCount = items.size();
    summary.blockSize = block.size();
    summary.fileSize = built.file.size();
    summary.packageOffset = built.view.packageOffset;
    return built;
}

void StageInstaller(BuiltInstaller* built, const BuildOptions& options, OutputSet* outputs) {
    if (!options.externalDir.empty())
        built->summary.externalFiles =
            StageExternalFiles(built->packed, options.externalDir, outputs);
    outputs->Add(options.outputPath, built->file);
}

BuildSummary BuildInstaller(const BuildOptions& options) {
    BuiltInstaller built = MakeInstaller(options);
    OutputSet outputs;
    StageInstaller(&built, options, &outputs);
    outputs.Commit();
    return built.summary;
}
