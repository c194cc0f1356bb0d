// Checks of manifest items and copy-table entries against the package invariants and the
// file system.
#include "pack/manifest_rules.h"
#include "pack/manifest_toml.h"

#include <map>

#include "pack/pack_error.h"

void FailAt(const ItemContext& context, int line, const std::string& message) {
    throw PackError(context.displayName + ":" + std::to_string(line) + ": " + message);
}

toml::table ParseManifestToml(const std::string& text, const ItemContext& context) {
    TomlTextProblem problem{};
    std::optional<toml::table> table = ParseTomlText(text, context.displayName, &problem);
    if (!table) FailAt(context, problem.line, problem.what);
    return std::move(*table);
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
    std::vector<std::string> problems = EntryFieldProblems(e);
    if (problems.empty()) return;
    bool separator = problems[0].rfind("target name", 0) == 0 &&
                     problems[0].find("path separator") != std::string::npos;
    std::string hint =
        separator ? " (it must be a plain file name; use 'dir' for a directory)" : "";
    FailAt(context, item.line, problems[0] + hint);
}

namespace {

// Two items that install to the same file: the later one would silently replace (or, without
// 'overwrite', skip) the earlier.
void CheckUniqueTargets(const std::vector<ManifestItem>& items, const ItemContext& context) {
    std::map<std::string, int> seen;
    for (const ManifestItem& item : items) {
        std::string key = InstalledPathKey(item.entry);
        if (key.empty()) continue;
        auto [at, fresh] = seen.emplace(key, item.line);
        if (!fresh) {
            FailAt(context, item.line,
                   "target '" + std::string(item.entry.targetName) + "' in dir '" +
                       item.entry.targetDirSpec +
                       "' installs to the same file as the item at line " +
                       std::to_string(at->second) + " (case is ignored, as on Windows)");
        }
    }
}

// External files land in one folder per diskette; two of the same name would collide.
void CheckUniqueExternalFiles(const std::vector<ManifestItem>& items, const ItemContext& context) {
    std::map<std::string, int> seen;
    for (const ManifestItem& item : items) {
        if (!(item.entry.flags & CF_EXTERNAL_SOURCE)) continue;
        std::string key = ExternalFileKey(item.entry);
        auto [at, fresh] = seen.emplace(key, item.line);
        if (!fresh) {
            FailAt(context, item.line,
                   "external file '" + std::string(item.entry.sourceName) + "' on disk '" +
                       item.entry.diskLabel + "' is already used by the item at line " +
                       std::to_string(at->second));
        }
    }
}

}  // namespace

void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context) {
    if (items.size() > 0xFFFF) FailAt(context, items.back().line, "more than 65535 items");
    CheckUniqueTargets(items, context);
    CheckUniqueExternalFiles(items, context);
}
