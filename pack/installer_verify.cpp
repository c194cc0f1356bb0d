// Verification of an installer file read by ReadInstaller: every rule the installer relies
// on without checking it, reported one line per problem.
#include <stdio.h>
#include <string.h>

#include <map>

#include "pack/installer_reader.h"
#include "pack/lzss_stream.h"
#include "pack/copy_table_rules.h"

namespace {

const uint16_t UNUSED_FLAGS = 0xF400;

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// A signature made without `sign` leaves the trailer behind the certificate table, and the
// installer then refuses itself as corrupted: say so, and how to sign instead.
void CheckSignature(const SignatureFacts& signature, std::vector<std::string>* problems) {
    if (!signature.isSigned) return;
    for (const std::string& problem : signature.problems)
        problems->push_back("signature: " + problem);
    if (!signature.sealed) {
        problems->push_back(
            "signed without keeping the trailer inside the signature, so the installer "
            "would refuse itself as corrupted; sign with `setuppack sign INSTALLER` (it "
            "replaces this signature)");
    }
}

void CheckFileLevel(const InstallerView& view, std::vector<std::string>* problems) {
    if (view.trailerPresent && view.trailerStored != view.trailerComputed) {
        problems->push_back("trailer holds " + Hex(view.trailerStored) +
                            " but the bytes before it sum to " + Hex(view.trailerComputed));
    }
    if (!view.isPe) return;
    CheckSignature(view.signature, problems);
    if (view.peChecksumStored != 0 && view.peChecksumStored != view.peChecksumComputed) {
        problems->push_back("PE header checksum is " + Hex(view.peChecksumStored) +
                            " but the file sums to " + Hex(view.peChecksumComputed));
    }
    problems->insert(problems->end(), view.resources.problems.begin(),
                     view.resources.problems.end());
    if (!view.resourceFound) {
        problems->push_back("no resource COMPFILES of type BINARY");
    } else if (view.offsetKnown && view.resourceOffset != view.packageOffset) {
        problems->push_back("packageOffset is " + std::to_string(view.packageOffset) +
                            " but the COMPFILES data starts at " +
                            std::to_string(view.resourceOffset));
    } else if (view.tableRead && view.blockEnd > view.resourceOffset + view.resourceSize) {
        problems->push_back(
            "the package block runs " +
            std::to_string(view.blockEnd - view.resourceOffset - view.resourceSize) +
            " bytes past the COMPFILES data");
    }
}

void CheckTerminators(const uint8_t* record, const std::string& label,
                      std::vector<std::string>* problems) {
    const struct {
        uint32_t at;
        size_t size;
        const char* name;
    } fields[] = {{ENTRY_SOURCE_NAME, ENTRY_NAME_SIZE, "packed name"},
                  {ENTRY_TARGET_NAME, ENTRY_NAME_SIZE, "target name"},
                  {ENTRY_TARGET_DIR_SPEC, ENTRY_NAME_SIZE, "dir"},
                  {ENTRY_DISK_LABEL, ENTRY_NAME_SIZE, "disk label"},
                  {ENTRY_ARGUMENTS, ENTRY_ARGUMENTS_SIZE, "args"}};
    for (const auto& field : fields) {
        if (!memchr(record + field.at, 0, field.size))
            problems->push_back(label + field.name + " has no terminating NUL");
    }
}

void CheckEntry(const InstallerView& view, size_t i, std::vector<std::string>* problems) {
    const InstallerItem& item = view.items[i];
    const CopyTableEntry& e = item.entry;
    std::string label = ItemLabel(view, i) + ": ";
    bool embedded = e.flags & CF_EMBEDDED, external = e.flags & CF_EXTERNAL_SOURCE;
    CheckTerminators(item.record, label, problems);
    for (const std::string& problem : EntryFieldProblems(e)) problems->push_back(label + problem);
    if (e.flags & UNUSED_FLAGS) problems->push_back(label + "unused flag bits are set");
    if (e.sourceName[0] && embedded == external) {
        problems->push_back(
            label + "has a source name but not exactly one of CF_EMBEDDED and CF_EXTERNAL_SOURCE");
    }
    if (!e.sourceName[0] && (embedded || e.storedSize != 0)) {
        problems->push_back(label +
                            "has no source name but stored bytes (CF_EMBEDDED or a storedSize)");
    }
    if (!IsValidDosDateTime(e.fileDate, e.fileTime))
        problems->push_back(label + "date or time is not valid");
    if (embedded && !item.dataInFile)
        problems->push_back(label + "stored data runs past the end of the file");
}

void CheckStream(const uint8_t* data, const InstallerView& view, size_t i,
                 std::vector<std::string>* problems) {
    const InstallerItem& item = view.items[i];
    uint32_t size = item.entry.storedSize;
    std::string label = ItemLabel(view, i) + ": ";
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);
    LzssStreamResult r =
        DecodeLzssStream(data + item.dataOffset, size, ring.data(), [](const uint8_t*, size_t) {});
    if (!r.endMarker) {
        problems->push_back(label +
                            "compressed stream has no end marker within its storedSize of " +
                            std::to_string(size) + " bytes");
    } else if (r.consumed != size) {
        problems->push_back(label + "compressed stream ends at byte " + std::to_string(r.consumed) +
                            ", before its storedSize of " + std::to_string(size));
    } else if (r.readsUnwritten) {
        problems->push_back(label + "compressed stream reads ring positions it has not written");
    }
}

// Two entries that install to the same file, as Windows compares names.
void CheckUniqueTargets(const InstallerView& view, std::vector<std::string>* problems) {
    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < view.items.size(); i++) {
        std::string key = InstalledPathKey(view.items[i].entry);
        if (key.empty()) continue;
        auto [at, fresh] = seen.emplace(key, i);
        if (!fresh) {
            problems->push_back(ItemLabel(view, i) + ": installs to the same file as " +
                                ItemLabel(view, at->second));
        }
    }
}

}  // namespace

std::vector<std::string> VerifyInstaller(const uint8_t* data, const InstallerView& view) {
    std::vector<std::string> problems = view.problems;
    CheckFileLevel(view, &problems);
    if (!view.tableRead) return problems;
    if (view.itemCount == 0) problems.push_back("the package has no items");
    for (size_t i = 0; i < view.items.size(); i++) {
        CheckEntry(view, i, &problems);
        const InstallerItem& item = view.items[i];
        bool stream = (item.entry.flags & CF_EMBEDDED) && (item.entry.flags & CF_COMPRESSED);
        if (stream && item.dataInFile) CheckStream(data, view, i, &problems);
    }
    CheckUniqueTargets(view, &problems);
    return problems;
}
