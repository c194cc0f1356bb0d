// Extraction of embedded items, decoding through the engine's core exactly as the installer
// does, into a folder of the host. Everything is decoded and checked in memory before the
// first file is written, so a damaged installer never yields files that look good.
#include <set>

#include "pack/file_io.h"
#include "pack/installer_output.h"
#include "pack/lzss_stream.h"
#include "pack/copy_table_rules.h"

namespace {

struct DecodedItem {
    size_t index = 0;
    std::vector<uint8_t> content;
    std::string damage;     // why the content is not what was packed; "" when it decoded whole
    std::string unwritten;  // why it cannot be written at all; "" when it can
};

// The item's installed bytes as they decode, with the ring carried from the item before.
DecodedItem DecodeItem(const uint8_t* data, const InstallerView& view, size_t index,
                       uint8_t* ring) {
    const InstallerItem& item = view.items[index];
    DecodedItem decoded;
    decoded.index = index;
    if (!item.dataInFile) {
        decoded.damage = "stored data runs past the end of the file";
        decoded.unwritten = "nothing of it lies in the file";
        return decoded;
    }
    const uint8_t* stored = data + item.dataOffset;
    uint32_t size = item.entry.storedSize;
    if (!(item.entry.flags & CF_COMPRESSED)) {
        decoded.content.assign(stored, stored + size);
        return decoded;
    }
    LzssStreamResult r = DecodeLzssStream(stored, size, ring, [&](const uint8_t* bytes, size_t n) {
        decoded.content.insert(decoded.content.end(), bytes, bytes + n);
    });
    if (!r.endMarker || r.consumed != size)
        decoded.damage = "its compressed stream does not end at its storedSize";
    else if (LzssReadsUnwrittenRing(stored, size))
        decoded.damage = "its compressed stream reads ring positions it has not written";
    return decoded;
}

// Every embedded item decoded; names that are no plain file name or repeat an earlier one
// (case ignored, as on Windows) are not writable.
std::vector<DecodedItem> DecodeAll(const uint8_t* data, const InstallerView& view) {
    std::vector<DecodedItem> all;
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);  // as at the installer's start
    std::set<std::string> names;
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        if (!(e.flags & CF_EMBEDDED)) continue;
        all.push_back(DecodeItem(data, view, i, ring.data()));
        DecodedItem& item = all.back();
        std::string key = e.targetName;
        for (char& c : key) c = (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
        if (!IsPlainFileName(e.targetName))
            item.unwritten = "its target name is not a plain file name";
        else if (!names.insert(key).second)
            item.unwritten = "its target name repeats an earlier item's in the one folder";
        if (!view.items[i].dataInFile) break;  // nothing after it lies where the table says
    }
    return all;
}

void WriteItem(const InstallerView& view, const DecodedItem& item, const std::string& dir) {
    const CopyTableEntry& e = view.items[item.index].entry;
    std::string path = dir + "/" + e.targetName;
    WriteFileBytes(path, item.content);
    if (IsValidDosDateTime(e.fileDate, e.fileTime))
        SetFileTimeUtc(path, DecodeDosDateTime(e.fileDate, e.fileTime));
}

}  // namespace

ExtractResult ExtractInstaller(const uint8_t* data, const InstallerView& view,
                               const std::string& dir, bool force) {
    ExtractResult result;
    result.problems = VerifyInstaller(data, view);
    if (!view.tableRead) return result;
    std::vector<DecodedItem> items = DecodeAll(data, view);
    for (const DecodedItem& item : items) {
        std::string label = ItemLabel(view, item.index) + ": ";
        if (!item.damage.empty()) {
            result.problems.push_back(
                label + "damaged (" + item.damage + ")" +
                (force && item.unwritten.empty() ? ", written as it decodes" : ", not written"));
        } else if (!item.unwritten.empty()) {
            result.problems.push_back(label + "not written: " + item.unwritten);
        }
    }
    if (!result.problems.empty() && !force) return result;
    MakeDirectories(dir);
    for (const DecodedItem& item : items) {
        if (!item.unwritten.empty()) continue;
        WriteItem(view, item, dir);
        result.written++;
    }
    return result;
}
