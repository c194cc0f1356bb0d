// Extraction of embedded items, decoding through the engine's core exactly as the installer
// does, into a folder of the host.
#include <set>

#include "pack/file_io.h"
#include "pack/installer_output.h"
#include "pack/lzss_stream.h"
#include "pack/manifest_rules.h"
#include "pack/pack_error.h"

namespace {

// The item's installed bytes; throws PackError when its stream is broken.
std::vector<uint8_t> ItemContent(const uint8_t* data, const InstallerItem& item, uint8_t* ring) {
    const uint8_t* stored = data + item.dataOffset;
    uint32_t size = item.entry.storedSize;
    if (!(item.entry.flags & CF_COMPRESSED)) return std::vector<uint8_t>(stored, stored + size);
    std::vector<uint8_t> content;
    LzssStreamResult r = DecodeLzssStream(stored, size, ring, [&](const uint8_t* bytes, size_t n) {
        content.insert(content.end(), bytes, bytes + n);
    });
    if (!r.endMarker || r.consumed != size)
        throw PackError("its compressed stream does not end at its storedSize");
    return content;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) c = (c >= 'a' && c <= 'z') ? (char)(c - 32) : c;
    return text;
}

}  // namespace

ExtractResult ExtractInstaller(const uint8_t* data, size_t size, const InstallerView& view,
                               const std::string& dir) {
    ExtractResult result;
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);  // as at the installer's start
    std::set<std::string> written;
    MakeDirectories(dir);
    for (size_t i = 0; i < view.items.size(); i++) {
        const InstallerItem& item = view.items[i];
        if (!(item.entry.flags & CF_EMBEDDED)) continue;
        std::string label = ItemLabel(view, i) + ": ";
        if (!item.dataInFile) {
            result.problems.push_back(label + "stored data runs past the end of the file");
            break;  // nothing after it lies where the table says
        }
        try {
            std::vector<uint8_t> content = ItemContent(data, item, ring.data());
            std::string name = item.entry.targetName;
            if (!IsPlainFileName(name)) throw PackError("target name is not a plain file name");
            if (!written.insert(UpperAscii(name)).second)
                throw PackError("target name repeats an earlier item's");
            WriteFileBytes(dir + "/" + name, content);
            if (IsValidDosDateTime(item.entry.fileDate, item.entry.fileTime)) {
                SetFileTimeUtc(dir + "/" + name,
                               DecodeDosDateTime(item.entry.fileDate, item.entry.fileTime));
            } else {
                result.problems.push_back(label +
                                          "written, but its date is not valid and was not set");
            }
            result.written++;
        } catch (const PackError& error) {
            result.problems.push_back(label + "not extracted: " + error.what());
        }
    }
    return result;
}
