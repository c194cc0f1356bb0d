// The listing of an installer: file-level facts, the resources beside COMPFILES, then every
// entry with its decoded flags, names, sizes, date and compression ratio, as text or as JSON.
#include "tools/setuppack/listing.h"

#include <stdio.h>

#include <sstream>

#include "pack/copy_table_rules.h"
#include "pack/flags.h"
#include "pack/lzss_stream.h"
#include "pack/quoted_string.h"

namespace {

struct EntryFacts {
    bool decoded = false;  // a decoded size is known
    uint64_t decodedSize = 0;
    std::string flagNames, date;
};

std::string JoinFlags(uint16_t flags) {
    std::string all;
    for (const std::string& name : FlagNames(flags)) all += (all.empty() ? "" : ", ") + name;
    return all;
}

std::string DateText(const CopyTableEntry& e) {
    DosDateTime t = DecodeDosDateTime(e.fileDate, e.fileTime);
    char text[40];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s", t.year, t.month, t.day, t.hour,
             t.minute, t.second, IsValidDosDateTime(e.fileDate, e.fileTime) ? "" : " (invalid)");
    return text;
}

// Facts of every entry; compressed streams are decoded with the ring carried from item to
// item, as the installer does.
std::vector<EntryFacts> CollectFacts(const uint8_t* data, const InstallerView& view) {
    std::vector<EntryFacts> facts;
    std::vector<uint8_t> ring(LZSS_RING_SIZE, 0);
    for (const InstallerItem& item : view.items) {
        EntryFacts f;
        f.flagNames = JoinFlags(item.entry.flags);
        f.date = DateText(item.entry);
        bool embedded = item.entry.flags & CF_EMBEDDED;
        if (embedded && item.dataInFile && (item.entry.flags & CF_COMPRESSED)) {
            LzssStreamResult r = DecodeLzssStream(data + item.dataOffset, item.entry.storedSize,
                                                  ring.data(), [](const uint8_t*, size_t) {});
            f.decoded = r.endMarker && r.consumed == item.entry.storedSize;
            f.decodedSize = r.produced;
        } else if (embedded && item.dataInFile) {
            f.decoded = true;
            f.decodedSize = item.entry.storedSize;
        }
        facts.push_back(f);
    }
    return facts;
}

std::string Ratio(const CopyTableEntry& e, const EntryFacts& f) {
    if (!f.decoded || f.decodedSize == 0) return "-";
    char text[16];
    snprintf(text, sizeof text, "%.1f%%", 100.0 * e.storedSize / (double)f.decodedSize);
    return text;
}

std::string SignatureText(const SignatureFacts& signature) {
    if (!signature.isSigned) return "none";
    std::string subject = signature.subject.empty() ? "an unknown signer" : signature.subject;
    return "signed by " + subject +
           (signature.sealed ? ", trailer kept inside the signature"
                             : ", trailer NOT kept (sign with setuppack sign)");
}

std::string SignatureJson(const SignatureFacts& signature) {
    std::string subject = signature.subject.empty() ? "null" : JsonString(signature.subject);
    return std::string("{\"signed\": ") + (signature.isSigned ? "true" : "false") +
           ", \"subject\": " + subject + ", \"sealed\": " + (signature.sealed ? "true" : "false") +
           "}";
}

// A JSON string of UTF-8 text: each character past ASCII as \uXXXX (a surrogate pair past
// U+FFFF), so the report stays valid JSON whatever the version texts hold.
std::string JsonText(const std::string& text) {
    std::string out = "\"";
    char escaped[16];
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t cp = (unsigned char)text[i];
        size_t length = cp >= 0x80 ? Utf8SequenceAt(text, i, &cp) : 1;
        if (length == 0) cp = 0xFFFD, length = 1;
        i += length - 1;
        if (cp >= 0x20 && cp < 0x7F && cp != '"' && cp != '\\') {
            out += (char)cp;
        } else if (cp > 0xFFFF) {
            snprintf(escaped, sizeof escaped, "\\u%04x\\u%04x", 0xD800 + ((cp - 0x10000) >> 10),
                     0xDC00 + ((cp - 0x10000) & 0x3FF));
            out += escaped;
        } else {
            snprintf(escaped, sizeof escaped, "\\u%04x", cp);
            out += escaped;
        }
    }
    return out + "\"";
}

std::string NumbersText(const uint16_t n[4]) {
    return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
           std::to_string(n[3]);
}

// "application manifest: ...", "icon: ...", "version: ..." lines of the text listing.
std::string ResourceFactsText(const ResourceFacts& facts) {
    if (!facts.read) return "";
    std::ostringstream out;
    out << "application manifest: "
        << (facts.hasManifest ? facts.manifest.level + ", declares " +
                                    std::to_string(facts.manifest.supportedOs) +
                                    " of 5 Windows versions (Vista to 11)"
                              : std::string("none"))
        << "\n";
    out << "icon: ";
    if (!facts.hasIcon) out << "none (the default program icon)";
    if (facts.hasIcon) out << "group " << facts.groupId << ",";
    for (const IconImage& image : facts.icons) out << " " << IconImageText(image);
    out << "\nversion: " << (facts.hasVersion ? NumbersText(facts.version.numbers) : "none")
        << "\n";
    for (const char* key : VERSION_TEXT_KEYS) {
        auto text = facts.version.texts.find(key);
        if (text != facts.version.texts.end()) out << "    " << key << ": " << text->second << "\n";
    }
    return out.str();
}

// `"execution_level": ..., "icon": ..., "version": ...` for the JSON listing (no braces).
std::string ResourceFactsJson(const ResourceFacts& facts) {
    std::ostringstream out;
    out << "\"execution_level\": "
        << (facts.hasManifest ? JsonString(facts.manifest.level) : "null") << ", \"icon\": ";
    if (facts.hasIcon) {
        out << "{\"group\": " << facts.groupId << ", \"images\": [";
        for (size_t i = 0; i < facts.icons.size(); i++)
            out << (i ? ", " : "") << JsonString(IconImageText(facts.icons[i]));
        out << "]}";
    } else {
        out << "null";
    }
    out << ", \"version\": ";
    if (!facts.hasVersion) return out.str() + "null";
    out << "{\"numbers\": " << JsonString(NumbersText(facts.version.numbers));
    for (const auto& [key, text] : facts.version.texts)
        out << ", " << JsonString(key) << ": " << JsonText(text);
    out << "}";
    return out.str();
}

bool TrailerHolds(const InstallerView& view) {
    return view.trailerPresent && view.trailerStored == view.trailerComputed;
}

}  // namespace

std::string ListInstallerText(const uint8_t* data, size_t size, const InstallerView& view) {
    std::ostringstream out;
    out << "file size: " << size << " bytes" << (view.isPe ? ", PE image" : ", plain file") << "\n";
    if (view.offsetKnown) out << "package offset: " << view.packageOffset << "\n";
    if (view.resourceFound) {
        out << "COMPFILES data: offset " << view.resourceOffset << ", " << view.resourceSize
            << " bytes\n";
    }
    out << "trailer: " << (TrailerHolds(view) ? "holds" : "DOES NOT HOLD") << "\n";
    out << ResourceFactsText(view.resources);
    if (view.isPe) out << "signature: " << SignatureText(view.signature) << "\n";
    out << "items: " << view.items.size() << "\n";
    std::vector<EntryFacts> facts = CollectFacts(data, view);
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        const EntryFacts& f = facts[i];
        char flags[8];
        snprintf(flags, sizeof flags, "0x%04x", e.flags);
        out << "[" << i + 1 << "] " << ShownText(e.targetName) << "  flags " << flags << " ("
            << f.flagNames << ")\n";
        out << "    packed name \"" << ShownText(e.sourceName) << "\", stored " << e.storedSize
            << " bytes";
        if (f.decoded) out << ", decoded " << f.decodedSize << " bytes, ratio " << Ratio(e, f);
        out << ", listed " << e.listedSize << "\n";
        out << "    date " << f.date << ", attributes 0x" << std::hex << e.attributes << std::dec
            << ", show " << e.showCommand << "\n";
        out << "    dir \"" << ShownText(e.targetDirSpec) << "\", disk \"" << ShownText(e.diskLabel)
            << "\", args \"" << ShownText(e.arguments) << "\"\n";
        // What building would refuse: a Windows device name installs nothing, for example.
        for (const std::string& problem : EntryFieldProblems(e))
            out << "    breaks a table rule: " << problem << "\n";
    }
    for (const std::string& problem : view.problems) out << "problem: " << problem << "\n";
    return out.str();
}

std::string ListInstallerJson(const uint8_t* data, size_t size, const InstallerView& view) {
    std::ostringstream out;
    out << "{\"file_size\": " << size << ", \"pe\": " << (view.isPe ? "true" : "false");
    out << ", \"package_offset\": ";
    view.offsetKnown ? out << view.packageOffset : out << "null";
    out << ", \"compfiles\": ";
    view.resourceFound ? out << "{\"offset\": " << view.resourceOffset
                             << ", \"size\": " << view.resourceSize << "}"
                       : out << "null";
    out << ", \"trailer_holds\": " << (TrailerHolds(view) ? "true" : "false");
    if (view.resources.read) out << ", " << ResourceFactsJson(view.resources);
    out << ", \"signature\": " << SignatureJson(view.signature) << ", \"items\": [";
    std::vector<EntryFacts> facts = CollectFacts(data, view);
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        const EntryFacts& f = facts[i];
        out << (i ? ", " : "") << "{\"flags\": " << e.flags << ", \"flag_names\": [";
        std::vector<std::string> names = FlagNames(e.flags);
        for (size_t n = 0; n < names.size(); n++) out << (n ? ", " : "") << JsonString(names[n]);
        out << "], \"target\": " << JsonString(e.targetName)
            << ", \"packed_name\": " << JsonString(e.sourceName)
            << ", \"dir\": " << JsonString(e.targetDirSpec)
            << ", \"disk\": " << JsonString(e.diskLabel)
            << ", \"args\": " << JsonString(e.arguments) << ", \"show\": " << e.showCommand
            << ", \"attributes\": " << e.attributes << ", \"stored_size\": " << e.storedSize
            << ", \"listed_size\": " << e.listedSize << ", \"decoded_size\": ";
        f.decoded ? out << f.decodedSize : out << "null";
        out << ", \"date\": " << JsonString(f.date) << "}";
    }
    out << "], \"problems\": [";
    for (size_t i = 0; i < view.problems.size(); i++)
        out << (i ? ", " : "") << JsonString(view.problems[i]);
    out << "]}\n";
    return out.str();
}
