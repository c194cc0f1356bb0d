// Extraction of embedded items, decoding through the engine's core exactly as the installer
// does, into a folder of the host. Everything is decoded and checked in memory before the
// first file is written, so a damaged installer never yields files that look good. Each item
// lands in the folder its dir names below the output folder, and nothing is ever written
// outside that folder, whatever the table says.
#include <set>

#include "engine/core/paths.h"
#include "pack/copy_table_rules.h"
#include "pack/file_io.h"
#include "pack/installer_extract.h"
#include "pack/lzss_stream.h"

namespace {

struct DecodedItem {
    size_t index = 0;
    std::vector<std::string> folders;  // below the output folder, from the item's dir
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

std::string Folded(const std::string& text) {
    std::string key = text;
    for (char& c : key) c = AsciiUpper(c);
    return key;
}

// The folders an item's dir names, each a plain name: "" -> none, "SAMPLES" -> SAMPLES,
// "&WIN" -> "&WIN", "C:\DATA\X" -> C/DATA/X. False when a part could lead elsewhere.
bool FoldersOf(const std::string& spec, std::vector<std::string>* folders) {
    if (spec.size() >= 2 && spec[1] == ':') folders->push_back(spec.substr(0, 1));
    for (const std::string& name : FolderNames(spec)) {
        if (!IsPlainFileName(name)) return false;
        folders->push_back(name);
    }
    return true;
}

// Why the item cannot be written where its dir and name say, or "". `files` and `folders`
// hold the folded relative paths taken so far.
std::string WhyUnwritable(const CopyTableEntry& e, DecodedItem* item, std::set<std::string>* files,
                          std::set<std::string>* folders) {
    if (!IsPlainFileName(e.targetName)) return "its target name is not a plain file name";
    if (!FoldersOf(e.targetDirSpec, &item->folders))
        return "its dir holds a part that is not a plain folder name";
    std::string path;
    for (const std::string& folder : item->folders) {
        path += Folded(folder);
        if (files->count(path)) return "its dir is a file an earlier item writes";
        folders->insert(path);
        path += "/";
    }
    path += Folded(e.targetName);
    if (folders->count(path)) return "its path is a folder of an earlier item";
    if (!files->insert(path).second)
        return "it installs to the same file as an earlier item (case ignored, as on Windows)";
    return "";
}

// Every embedded item decoded; those whose path is no plain relative path below the output
// folder or repeats an earlier one (case ignored, as on Windows) are not writable.
std::vector<DecodedItem> DecodeAll(const uint8_t* data, const InstallerView& view) {
    std::vector<DecodedItem> all;
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);  // as at the installer's start
    std::set<std::string> files, folders;
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        if (!(e.flags & CF_EMBEDDED)) continue;
        all.push_back(DecodeItem(data, view, i, ring.data()));
        DecodedItem& item = all.back();
        std::string why = WhyUnwritable(e, &item, &files, &folders);
        if (item.unwritten.empty()) item.unwritten = why;
        if (!view.items[i].dataInFile) break;  // nothing after it lies where the table says
    }
    return all;
}

// An existing link among the item's folders would take its file elsewhere.
bool LinkOnTheWay(const std::string& dir, const std::vector<std::string>& folders) {
    std::string path = dir;
    for (const std::string& folder : folders) {
        path += "/" + folder;
        if (IsLinkPath(path)) return true;
    }
    return false;
}

void WriteItem(const InstallerView& view, const DecodedItem& item, const std::string& dir) {
    const CopyTableEntry& e = view.items[item.index].entry;
    std::string folder = MakeFoldersBelow(dir, item.folders);
    std::string path = folder + e.targetName;
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
    for (DecodedItem& item : items)
        if (item.unwritten.empty() && LinkOnTheWay(dir, item.folders))
            item.unwritten = "a folder on its way is a link, which could lead outside " + dir;
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
