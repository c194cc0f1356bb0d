// Checks of manifest items against the package invariants and the file system.
#include "pack/manifest_rules.h"

#include <map>

#include "pack/pack_error.h"

void FailAt(const ItemContext& context, int line, const std::string& message) {
    throw PackError(context.displayName + ":" + std::to_string(line) + ": " + message);
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("/\\:*?\"<>|") == std::string::npos;
}

void CheckItemRules(const ManifestItem& item, const ItemContext& context) {
    const CopyTableEntry& e = item.entry;
    bool embedded = e.flags & CF_EMBEDDED, external = e.flags & CF_EXTERNAL_SOURCE;
    if (!item.sourcePath.empty()) {
        if (embedded == external) {
            FailAt(
                context, item.line,
                "an item with a source needs exactly one of the flags 'embedded' and 'external'");
        }
        if (item.sourceSize > 0xFFFFFFFFu)
            FailAt(context, item.line, "source file is 4 GB or larger");
    } else if (embedded || external || (e.flags & CF_COMPRESSED)) {
        FailAt(context, item.line,
               "an entry without 'source' stores nothing: it cannot be 'embedded', 'external' or "
               "'compressed'");
    }
    if (!IsPlainFileName(e.targetName)) {
        FailAt(context, item.line,
               "target '" + std::string(e.targetName) +
                   "' must be a plain file name; use 'dir' for a directory");
    }
    if (external && !IsPlainFileName(e.sourceName)) {
        FailAt(context, item.line,
               "packed name '" + std::string(e.sourceName) +
                   "' of an external item must be a plain file name");
    }
    if (external && e.diskLabel[0] && !IsPlainFileName(e.diskLabel)) {
        FailAt(context, item.line,
               "disk label '" + std::string(e.diskLabel) +
                   "' of an external item names its folder and must be a plain name");
    }
}

void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context) {
    if (items.size() > 0xFFFF) FailAt(context, items.back().line, "more than 65535 items");
    // External files land in one folder per diskette; two of the same name would collide.
    std::map<std::string, int> seen;
    for (const ManifestItem& item : items) {
        if (!(item.entry.flags & CF_EXTERNAL_SOURCE)) continue;
        std::string key = std::string(item.entry.diskLabel) + "/" + item.entry.sourceName;
        for (char& c : key) c = (c >= 'a' && c <= 'z') ? (char)(c - 32) : c;
        auto [at, fresh] = seen.emplace(key, item.line);
        if (!fresh) {
            FailAt(context, item.line,
                   "external file '" + std::string(item.entry.sourceName) + "' on disk '" +
                       item.entry.diskLabel + "' is already used by the item at line " +
                       std::to_string(at->second));
        }
    }
}
