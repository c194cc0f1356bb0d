// Parsing an installer file from memory with every length checked against the buffer.
#include "pack/installer_reader.h"

#include <string.h>

#include <algorithm>

#include "engine/core/checksum.h"
#include "engine/core/package.h"
#include "pack/copy_table_rules.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "pack/pe_resources.h"

namespace {

void ReadPeParts(const uint8_t* data, size_t size, InstallerView* view) {
    view->isPe = LooksLikePe(data, size);
    if (!view->isPe) return;
    view->signature = ReadSignatureFacts(data, size);
    try {
        PeImage image = ParsePeImage(data, size);
        view->peChecksumStored = ReadLE32(data + image.checksumOffset);
        view->peChecksumComputed = ComputePeChecksum(data, size, image.checksumOffset);
        ResourceDir tree = ReadResourceTree(data, size, image);
        view->resources = ReadResourceFacts(tree);
        const ResourceEntry* leaf = FindNamedResource(tree, "BINARY", "COMPFILES");
        if (!leaf) return;
        view->resourceFound = true;
        view->resourceOffset = leaf->fileOffset;
        view->resourceSize = leaf->data.size();
    } catch (const PackError& error) {
        view->problems.push_back(std::string("PE image: ") + error.what());
    }
}

// The marker outside the package block, followed by its 4-byte value within the data: it
// must be there exactly once.
void FindPackageOffset(const uint8_t* data, size_t size, InstallerView* view) {
    size_t blockEnd = view->resourceFound ? view->resourceOffset + view->resourceSize : 0;
    std::vector<size_t> found;
    for (size_t at : FindOffsetMarkers(data, 0, size, view->resourceOffset, blockEnd))
        if (at + PACKAGE_OFFSET_MARKER_SIZE + 4 <= size) found.push_back(at);
    if (found.size() != 1) {
        view->problems.push_back(
            found.empty()
                ? "no package offset marker in the image (give --package-offset)"
                : "the package offset marker occurs " + std::to_string(found.size()) + " times");
        return;
    }
    view->offsetKnown = true;
    view->packageOffset = ReadLE32(data + found[0] + PACKAGE_OFFSET_MARKER_SIZE);
}

void ReadTable(const uint8_t* data, size_t limit, InstallerView* view) {
    size_t at = view->packageOffset;
    if (at > limit || limit - at < ITEM_COUNT_SIZE) {
        view->problems.push_back("package offset " + std::to_string(at) +
                                 " lies past the end of the file");
        return;
    }
    view->itemCount = ReadLE16(data + at);
    uint64_t tableEnd =
        (uint64_t)at + ITEM_COUNT_SIZE + (uint64_t)COPY_ENTRY_SIZE * view->itemCount;
    if (tableEnd > limit) {
        view->problems.push_back("item count " + std::to_string(view->itemCount) +
                                 " needs a copy table up to offset " + std::to_string(tableEnd) +
                                 ", past the end of the data at " + std::to_string(limit));
        return;
    }
    view->tableRead = true;
    size_t next = (size_t)tableEnd;
    for (uint32_t i = 0; i < view->itemCount; i++) {
        InstallerItem item;
        memcpy(item.record, data + at + ITEM_COUNT_SIZE + (size_t)COPY_ENTRY_SIZE * i,
               COPY_ENTRY_SIZE);
        ReadCopyTableEntry(item.record, &item.entry);
        if (item.entry.flags & CF_EMBEDDED) {
            item.dataOffset = next;
            item.dataInFile = next <= limit && item.entry.storedSize <= limit - next;
            next = item.dataInFile ? next + item.entry.storedSize : limit;
        }
        view->items.push_back(item);
    }
    view->blockEnd = next;
}

}  // namespace

InstallerView ReadInstaller(const uint8_t* data, size_t size, const ReaderOptions& options) {
    InstallerView view;
    size_t limit = size;  // the package must lie before the trailer
    if (size >= TRAILER_SIZE) {
        limit = size - TRAILER_SIZE;
        view.trailerPresent = true;
        view.trailerStored = ReadLE32(data + limit);
        view.trailerComputed = AddToChecksum(0, data, limit);
    } else {
        view.problems.push_back("file is too short to hold a trailer");
    }
    ReadPeParts(data, size, &view);
    if (options.haveOffset) {
        view.offsetKnown = true;
        view.packageOffset = options.packageOffset;
    } else if (view.isPe) {
        FindPackageOffset(data, limit, &view);
    } else {
        view.problems.push_back("not a PE file: give --package-offset N for a plain package file");
    }
    if (view.offsetKnown) ReadTable(data, limit, &view);
    return view;
}

std::vector<size_t> FindOffsetMarkers(const uint8_t* data, size_t from, size_t to, size_t skipFrom,
                                      size_t skipTo) {
    const uint8_t* marker = (const uint8_t*)PACKAGE_OFFSET_MARKER;
    std::vector<size_t> found;
    for (const uint8_t* at = data + from; at < data + to; at++) {
        at = std::search(at, data + to, marker, marker + PACKAGE_OFFSET_MARKER_SIZE);
        if (at == data + to) break;
        size_t offset = (size_t)(at - data);
        bool inSkipped = offset + PACKAGE_OFFSET_MARKER_SIZE > skipFrom && offset < skipTo;
        if (!inSkipped) found.push_back(offset);
    }
    return found;
}

std::string ItemLabel(const InstallerView& view, size_t index) {
    std::string label = "item " + std::to_string(index + 1);
    if (index < view.items.size())
        label += " (" + ShownText(view.items[index].entry.targetName) + ")";
    return label;
}

std::vector<CopyTableEntry> CopyTableEntries(const InstallerView& view) {
    std::vector<CopyTableEntry> entries;
    for (const InstallerItem& item : view.items) entries.push_back(item.entry);
    return entries;
}
