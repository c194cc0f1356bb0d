// Manifest parsing: TOML through toml++, each [[item]] turned into a copy-table entry field by
// field, with the item's line on every error. Rules that span items (unique external file
// names) and the flag invariants live in manifest_rules.cpp.
#include "pack/manifest.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>

#include "pack/file_io.h"
#include "pack/flags.h"
#include "pack/lzss_encoder.h"
#include "pack/manifest_rules.h"
#include "pack/manifest_toml.h"
#include "pack/pack_error.h"
#include "pack/settings_parser.h"
#include "pack/source_date.h"
#include "pack/toml_text.h"

namespace {

const std::set<std::string> ITEM_KEYS = {
    "source", "target",     "packed_name", "flags", "dir",      "disk",    "args",
    "show",   "attributes", "listed_size", "date",  "reserved", "compress"};

const std::map<std::string, uint16_t> SHOW_NAMES = {
    {"hidden", 0},     {"normal", 1},  {"minimized", 2}, {"maximized", 3},
    {"noactivate", 4}, {"show", 5},    {"minimize", 6},  {"minnoactive", 7},
    {"showna", 8},     {"restore", 9}, {"default", 10}};

const std::map<std::string, uint16_t> ATTRIBUTE_NAMES = {
    {"readonly", 0x01}, {"hidden", 0x02}, {"system", 0x04}, {"archive", 0x20}, {"normal", 0x80}};

class ItemParser {
   public:
    ItemParser(const toml::table& table, const ItemContext& context)
        : table_(table), context_(context) {
        item_.line = (int)table.source().begin.line;
    }

    ManifestItem Parse() {
        for (const auto& [key, value] : table_) {
            if (!ITEM_KEYS.count(std::string(key.str())))
                Fail(value, "unknown key '" + std::string(key.str()) + "'");
        }
        CopyTableEntry& e = item_.entry;
        e.flags = ParseFlags();
        ParseSource();
        ChooseCompression();
        Text("target", e.targetName, ENTRY_NAME_SIZE, true);
        ParsePackedName();
        Text("dir", e.targetDirSpec, ENTRY_NAME_SIZE, false);
        Text("disk", e.diskLabel, ENTRY_NAME_SIZE, false);
        Text("args", e.arguments, ENTRY_ARGUMENTS_SIZE, false);
        e.showCommand = NumberOrName("show", SHOW_NAMES, 1);
        e.attributes = ParseAttributes();
        e.listedSize = (uint32_t)Integer("listed_size", item_.sourceSize, 0xFFFFFFFFu);
        ParseDate();
        ParseReserved();
        CheckItemRules(item_, context_);
        return item_;
    }

   private:
    [[noreturn]] void Fail(const toml::node& node, const std::string& message) const {
        FailAt(context_, (int)node.source().begin.line, message);
    }
    [[noreturn]] void Fail(const std::string& message) const {
        FailAt(context_, item_.line, message);
    }

    const toml::node* Get(const char* key) const { return table_.get(key); }

    uint16_t ParseFlags() const {
        const toml::node* node = Get("flags");
        if (!node) Fail("item needs 'flags', e.g. flags = [\"embedded\", \"compressed\"]");
        const toml::array* list = node->as_array();
        if (!list) Fail(*node, "'flags' must be a list of flag names");
        uint16_t flags = 0;
        for (const toml::node& flag : *list) {
            std::optional<std::string> name = flag.value<std::string>();
            uint16_t bit = name ? FlagBit(*name) : 0;
            if (!bit)
                Fail(flag, "unknown flag " + (name ? "'" + *name + "'" : std::string("value")) +
                               " (known: " + KnownFlagNames() + ")");
            flags |= bit;
        }
        return flags;
    }

    void ParseSource() {
        const toml::node* node = Get("source");
        if (!node) return;
        std::optional<std::string> path = node->value<std::string>();
        if (!path || path->empty()) Fail(*node, "'source' must be a non-empty path");
        item_.sourcePath = ResolvePath(context_.baseDir, *path);
        FileFacts facts;
        std::string why = WhyNotReadable(item_.sourcePath);
        if (!why.empty()) Fail(*node, "source file '" + *path + "' " + why);
        if (!ReadFileFacts(item_.sourcePath, &facts))
            Fail(*node, "source file '" + *path + "' is not a regular file");
        item_.sourceSize = facts.size;
        sourceTime_ = facts.modified;
    }

    // compress = "auto" (the default), "always" or "never". The flag 'compressed' always
    // compresses; otherwise "auto" compresses an item with a source only when the stream is
    // smaller than the file, and keeps the stream for packing.
    void ChooseCompression() {
        const toml::node* node = Get("compress");
        std::string mode = node ? node->value<std::string>().value_or("") : "auto";
        if (mode != "auto" && mode != "always" && mode != "never")
            Fail(*node, "'compress' must be \"auto\", \"always\" or \"never\"");
        CopyTableEntry& e = item_.entry;
        if (mode == "never" && (e.flags & CF_COMPRESSED))
            Fail(*node, "compress = \"never\" contradicts the flag 'compressed'");
        if (mode == "always") e.flags |= CF_COMPRESSED;
        bool stored = (e.flags & (CF_EMBEDDED | CF_EXTERNAL_SOURCE)) && !item_.sourcePath.empty();
        if (mode != "auto" || (e.flags & CF_COMPRESSED) || !stored) return;
        std::vector<uint8_t> content = ReadFileBytes(item_.sourcePath);
        std::vector<uint8_t> stream = EncodeLzss(content);
        if (stream.size() >= content.size()) return;
        e.flags |= CF_COMPRESSED;
        item_.stream = std::move(stream);
    }

    void ParsePackedName() {
        CopyTableEntry& e = item_.entry;
        if (Get("packed_name")) {
            if (item_.sourcePath.empty())
                Fail(*Get("packed_name"),
                     "'packed_name' needs a 'source': a program-only entry has no packed file");
            Text("packed_name", e.sourceName, ENTRY_NAME_SIZE, true);
        } else if (!item_.sourcePath.empty()) {
            std::string name = DefaultPackedName(e.targetName, (e.flags & CF_COMPRESSED) != 0);
            if (name.size() >= ENTRY_NAME_SIZE)
                Fail("derived packed name '" + name +
                     "' is longer than 19 characters; give 'packed_name'");
            strcpy(e.sourceName, name.c_str());
        }
    }

    // A text field: ASCII, shorter than its field so that the NUL fits.
    void Text(const char* key, char* field, size_t size, bool required) const {
        const toml::node* node = Get(key);
        if (!node) {
            if (required) Fail(std::string("item needs '") + key + "'");
            return;
        }
        std::optional<std::string> text = node->value<std::string>();
        if (!text) Fail(*node, std::string("'") + key + "' must be a string");
        if (required && text->empty()) Fail(*node, std::string("'") + key + "' must not be empty");
        if (text->size() >= size) {
            Fail(*node, std::string("'") + key + "' has " + std::to_string(text->size()) +
                            " characters; at most " + std::to_string(size - 1) + " fit");
        }
        for (unsigned char c : *text) {
            if (c < 0x20 || c > 0x7E)
                Fail(*node, std::string("'") + key +
                                "' may hold printable ASCII characters only, not " +
                                ShownText(std::string(1, (char)c)));
        }
        strcpy(field, text->c_str());
    }

    int64_t Integer(const char* key, int64_t fallback, int64_t max) const {
        const toml::node* node = Get(key);
        if (!node) return fallback;
        std::optional<int64_t> value = node->value_exact<int64_t>();
        if (!value) Fail(*node, std::string("'") + key + "' must be an integer");
        if (*value < 0 || *value > max) {
            Fail(*node, std::string("'") + key + "' must be between 0 and " + std::to_string(max));
        }
        return *value;
    }

    uint16_t NumberOrName(const char* key, const std::map<std::string, uint16_t>& names,
                          uint16_t fallback) const {
        const toml::node* node = Get(key);
        if (node && node->is_string()) {
            auto found = names.find(*node->value<std::string>());
            if (found == names.end())
                Fail(*node, std::string("unknown '") + key + "' name '" +
                                *node->value<std::string>() + "'");
            return found->second;
        }
        return (uint16_t)Integer(key, fallback, 0xFFFF);
    }

    uint16_t ParseAttributes() const {
        const toml::node* node = Get("attributes");
        if (!node || !node->is_array()) return (uint16_t)Integer("attributes", 0x20, 0xFFFF);
        uint16_t bits = 0;
        for (const toml::node& name : *node->as_array()) {
            std::optional<std::string> text = name.value<std::string>();
            auto found = text ? ATTRIBUTE_NAMES.find(*text) : ATTRIBUTE_NAMES.end();
            if (found == ATTRIBUTE_NAMES.end())
                Fail(name, "unknown attribute (known: readonly, hidden, system, archive, normal)");
            bits |= found->second;
        }
        return bits;
    }

    void ParseDate();
    void ParseReserved();
    void SetDate(const DosDateTime& when, const toml::node& node, const char* what);

    const toml::table& table_;
    const ItemContext& context_;
    ManifestItem item_;
    DosDateTime sourceTime_{};  // the source file's modification time, UTC
};

void ItemParser::SetDate(const DosDateTime& when, const toml::node& node, const char* what) {
    char shown[40];
    snprintf(shown, sizeof shown, "%04d-%02d-%02dT%02d:%02d:%02d", when.year, when.month, when.day,
             when.hour, when.minute, when.second);
    CopyTableEntry& e = item_.entry;
    if (when.year < 1980 || when.year > 2107) {
        Fail(node,
             std::string(what) + " " + shown + " cannot be stored: DOS dates cover 1980 to 2107");
    }
    if (!EncodeDosDateTime(when, &e.fileDate, &e.fileTime) ||
        !IsValidDosDateTime(e.fileDate, e.fileTime)) {
        Fail(node, std::string(what) + " " + shown + " is not a valid date and time");
    }
}

void ItemParser::ParseDate() {
    const toml::node* node = Get("date");
    std::optional<std::string> text = node ? node->value<std::string>() : std::nullopt;
    if (!node || (text && *text == "from-file")) {
        if (item_.sourcePath.empty()) {
            if (node) Fail(*node, "date = \"from-file\" needs a 'source'");
            item_.entry.fileDate = 0x21;  // 1980-01-01 00:00:00 for a program-only entry
            return;
        }
        DosDateTime when = ClampToSourceDateEpoch(sourceTime_);
        when.second &= ~1;
        SetDate(when, node ? *node : table_, "the source file's date");
        return;
    }
    DosDateTime when{};
    if (text) {
        char rest = 0;
        int fields = sscanf(text->c_str(), "%4d-%2d-%2d%*[T ]%2d:%2d:%2d%c", &when.year,
                            &when.month, &when.day, &when.hour, &when.minute, &when.second, &rest);
        if (fields != 6)
            Fail(*node, "date must be \"YYYY-MM-DDTHH:MM:SS\" (local time) or \"from-file\"");
    } else if (const toml::value<toml::date_time>* stamp = node->as_date_time()) {
        if (stamp->get().offset)
            Fail(*node, "date must be a local date and time, without a zone offset");
        toml::date_time dt = stamp->get();
        when = DosDateTime{dt.date.year, dt.date.month,  dt.date.day,
                           dt.time.hour, dt.time.minute, dt.time.second};
        if (dt.time.nanosecond) Fail(*node, "date cannot hold fractions of a second");
    } else {
        Fail(*node, "date must be a local date-time or \"from-file\"");
    }
    if (when.second % 2) Fail(*node, "date has odd seconds; DOS times have 2-second steps");
    SetDate(when, *node, "date");
}

void ItemParser::ParseReserved() {
    const toml::node* node = Get("reserved");
    if (!node) return;
    const toml::array* list = node->as_array();
    if (!list || list->size() != 4) Fail(*node, "'reserved' must be a list of 4 byte values");
    for (size_t i = 0; i < 4; i++) {
        std::optional<int64_t> byte = list->get(i)->value_exact<int64_t>();
        if (!byte || *byte < 0 || *byte > 255) Fail(*node, "'reserved' values must be 0 to 255");
        item_.entry.reserved[i] = (uint8_t)*byte;
    }
}

}  // namespace

std::string DefaultPackedName(const std::string& target, bool compressed) {
    if (!compressed) return target;
    size_t dot = target.rfind('.');
    if (dot == std::string::npos) return target + "._";
    if (dot + 1 == target.size()) return target + "_";
    return target.substr(0, target.size() - 1) + "_";
}

ParsedManifest ParseManifestFile(const std::string& text, const std::string& displayName,
                                 const std::string& baseDir) {
    ItemContext context{displayName, baseDir};
    toml::table root = ParseManifestToml(text, context);
    for (const auto& [key, value] : root) {
        if (key.str() != "item" && !IsSettingsKey(std::string(key.str())))
            FailAt(context, (int)value.source().begin.line,
                   "unknown key '" + std::string(key.str()) +
                       "' (items are [[item]] tables; the installer's own keys are "
                       "execution_level, icon and [version])");
    }
    ParsedManifest manifest;
    manifest.settings = ParseInstallerSettings(root, context);
    const toml::array* list = root["item"].as_array();
    if (!list || list->empty()) FailAt(context, 1, "manifest has no [[item]] table");
    for (const toml::node& node : *list) {
        const toml::table* table = node.as_table();
        if (!table) FailAt(context, (int)node.source().begin.line, "'item' must be a table");
        manifest.items.push_back(ItemParser(*table, context).Parse());
    }
    CheckManifestRules(manifest.items, context);
    return manifest;
}

std::vector<ManifestItem> ParseManifest(const std::string& text, const std::string& displayName,
                                        const std::string& baseDir) {
    return ParseManifestFile(text, displayName, baseDir).items;
}

ParsedManifest LoadManifestFile(const std::string& path) {
    std::string why = WhyNotReadable(path);
    if (!why.empty()) throw PackError("manifest " + path + " " + why);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return ParseManifestFile(std::string(bytes.begin(), bytes.end()), path, FolderOf(path));
}
