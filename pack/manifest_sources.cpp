// Reading the items of a manifest loosely, for updating it.
#include "pack/manifest_sources.h"

#include "pack/manifest_rules.h"
#include "pack/manifest_toml.h"
#include "pack/toml_text.h"

namespace {

std::string Text(const toml::table& table, const char* key) {
    const toml::node* node = table.get(key);
    return node ? node->value<std::string>().value_or("") : "";
}

}  // namespace

std::vector<ManifestEntryRef> ReadManifestEntries(const std::string& text,
                                                  const std::string& displayName) {
    ItemContext context{displayName, ""};
    toml::table root = ParseManifestToml(text, context);
    std::vector<ManifestEntryRef> entries;
    const toml::node* items = root.get("item");
    if (!items) return entries;
    const toml::array* list = items->as_array();
    if (!list) FailAt(context, (int)items->source().begin.line, "'item' must be [[item]] tables");
    for (const toml::node& node : *list) {
        const toml::table* table = node.as_table();
        if (!table) FailAt(context, (int)node.source().begin.line, "'item' must be a table");
        entries.push_back(ManifestEntryRef{(int)table->source().begin.line, Text(*table, "source"),
                                           Text(*table, "dir"), Text(*table, "target")});
    }
    return entries;
}
