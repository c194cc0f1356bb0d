// The manifest's installer-wide keys: the execution level, the icon file (checked to be a
// readable icon when the manifest loads, so a bad one fails before anything is packed) and the
// version table's texts and numbers.
#include "pack/settings_parser.h"

#include <stdlib.h>

#include <set>

#include "pack/file_io.h"
#include "pack/icon_resource.h"
#include "pack/pack_error.h"

namespace {

const std::set<std::string> VERSION_KEYS = {"product_name", "version", "company", "description",
                                            "copyright"};
const size_t MAX_VERSION_TEXT = 255;  // characters; Explorer shows one line of each

[[noreturn]] void Fail(const ItemContext& context, const toml::node& node,
                       const std::string& message) {
    FailAt(context, (int)node.source().begin.line, message);
}

std::string StringValue(const ItemContext& context, const toml::node& node,
                        const std::string& key) {
    std::optional<std::string> text = node.value<std::string>();
    if (!text) Fail(context, node, "'" + key + "' must be a string");
    return *text;
}

// A text shown in Explorer's Details tab: one line, not empty, of bounded length.
std::string VersionText(const ItemContext& context, const toml::node& node,
                        const std::string& key) {
    std::string text = StringValue(context, node, key);
    if (text.empty()) Fail(context, node, "'" + key + "' must not be empty");
    if (text.size() > MAX_VERSION_TEXT)
        Fail(context, node, "'" + key + "' is longer than 255 bytes");
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) Fail(context, node, "'" + key + "' holds a control character");
    return text;
}

VersionSettings ParseVersion(const toml::node& node, const ItemContext& context) {
    const toml::table* table = node.as_table();
    if (!table) Fail(context, node, "'version' must be a table: [version]");
    VersionSettings version;
    version.present = true;
    for (const auto& [key, value] : *table) {
        std::string name(key.str());
        if (!VERSION_KEYS.count(name))
            Fail(context, value,
                 "unknown key '" + name +
                     "' in [version] (known: product_name, version, company, description, "
                     "copyright)");
    }
    for (const std::string& key : VERSION_KEYS) {
        const toml::node* field = table->get(key);
        if (!field) Fail(context, node, "[version] needs '" + key + "'");
    }
    version.productName = VersionText(context, *table->get("product_name"), "product_name");
    version.version = VersionText(context, *table->get("version"), "version");
    version.company = VersionText(context, *table->get("company"), "company");
    version.description = VersionText(context, *table->get("description"), "description");
    version.copyright = VersionText(context, *table->get("copyright"), "copyright");
    if (!ParseVersionNumbers(version.version, version.numbers))
        Fail(context, *table->get("version"),
             "'version' must be one to four numbers of 0 to 65535 joined by dots, e.g. \"3.2\"");
    return version;
}

std::string ParseIcon(const toml::node& node, const ItemContext& context) {
    std::string given = StringValue(context, node, "icon");
    if (given.empty()) Fail(context, node, "'icon' must be a path to a .ico file");
    std::string path = ResolvePath(context.baseDir, given);
    std::string why = WhyNotReadable(path);
    if (!why.empty()) Fail(context, node, "icon file '" + given + "' " + why);
    FileFacts facts;
    if (!ReadFileFacts(path, &facts))
        Fail(context, node, "icon file '" + given + "' is not a regular file");
    std::string problem = IconFileProblem(ReadFileBytes(path));
    if (!problem.empty()) Fail(context, node, "icon file '" + given + "': " + problem);
    return path;
}

}  // namespace

bool IsExecutionLevel(const std::string& level) {
    return level == "requireAdministrator" || level == "highestAvailable" || level == "asInvoker";
}

bool ParseVersionNumbers(const std::string& text, uint16_t numbers[4]) {
    uint16_t parsed[4] = {0, 0, 0, 0};
    size_t at = 0;
    for (int part = 0; part < 4; part++) {
        size_t digits = 0;
        unsigned long value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6)
            value = value * 10 + (unsigned long)(text[at++] - '0'), digits++;
        if (digits == 0 || value > 0xFFFF) return false;
        parsed[part] = (uint16_t)value;
        if (at == text.size()) {
            for (int i = 0; i < 4; i++) numbers[i] = parsed[i];
            return true;
        }
        if (text[at++] != '.') return false;
    }
    return false;
}

bool IsSettingsKey(const std::string& key) {
    return key == "execution_level" || key == "icon" || key == "version";
}

InstallerSettings ParseInstallerSettings(const toml::table& root, const ItemContext& context) {
    InstallerSettings settings;
    if (const toml::node* level = root.get("execution_level")) {
        settings.executionLevel = StringValue(context, *level, "execution_level");
        if (!IsExecutionLevel(settings.executionLevel))
            Fail(context, *level,
                 "'execution_level' must be \"requireAdministrator\", \"highestAvailable\" or "
                 "\"asInvoker\"");
    }
    if (const toml::node* icon = root.get("icon")) settings.iconPath = ParseIcon(*icon, context);
    if (const toml::node* version = root.get("version"))
        settings.version = ParseVersion(*version, context);
    return settings;
}
