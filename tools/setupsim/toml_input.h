// Reading setupsim's TOML input files: parse errors, unknown keys and rejected values all name
// the file and the line, so the user can find what to mend. A key the reader does not know is
// an error, never ignored: a misspelt key would otherwise preview something else than what
// the user described.
#pragma once

#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack/file_io.h"
#include "pack/pack_error.h"
#include "pack/toml_text.h"
#include "tools/setupsim/table_keys.h"

[[noreturn]] inline void FailAt(const std::string& file, const toml::node& node,
                                const std::string& why) {
    std::ostringstream message;
    message << file << ":" << node.source().begin.line << ": " << why;
    throw std::runtime_error(message.str());
}

// The file's text, checked for what the parser cannot read safely, then parsed.
inline toml::table ParseTomlFile(const std::string& path) {
    std::string text;
    try {  // refuses folders, FIFOs and devices before reading a byte
        std::vector<uint8_t> bytes = ReadFileBytes(path);
        text.assign(bytes.begin(), bytes.end());
    } catch (const PackError& error) {
        throw std::runtime_error(error.what());
    }
    TomlTextProblem problem{};
    std::optional<toml::table> table = ParseTomlText(text, path, &problem);
    if (!table)
        throw std::runtime_error(path + ":" + std::to_string(problem.line) + ": " + problem.what);
    return std::move(*table);
}

// Fails at the first key of `table` that is not in `known`; `where` names the table
// ("[[drive]]", "the machine file") in the message.
inline void RejectUnknownKeys(const std::string& file, const toml::table& table,
                              const std::string& where, const std::vector<std::string>& known) {
    for (const auto& [key, value] : table) {
        bool isKnown = false;
        std::string names;
        for (const std::string& name : known) {
            isKnown = isKnown || key.str() == name;
            names += (names.empty() ? "" : ", ") + name;
        }
        if (!isKnown)
            FailAt(file, value,
                   "unknown key '" + std::string(key.str()) + "' in " + where +
                       " (known: " + names + ")");
    }
}

// The value of `key` when present; a value of another type is an error naming `what`
// ("a string", "a whole number", "true or false").
template <typename T>
std::optional<T> Optional(const std::string& file, const toml::table& table, const char* key,
                          const char* what) {
    const toml::node* node = table.get(key);
    if (!node) return std::nullopt;
    std::optional<T> value = node->value_exact<T>();
    if (!value) FailAt(file, *node, std::string("'") + key + "' must be " + what);
    return value;
}

inline std::optional<std::string> OptionalString(const std::string& file, const toml::table& table,
                                                 const char* key) {
    return Optional<std::string>(file, table, key, "a string");
}

inline std::optional<int64_t> OptionalNumber(const std::string& file, const toml::table& table,
                                             const char* key) {
    return Optional<int64_t>(file, table, key, "a whole number");
}

// A whole number of `key` within [low, high], or `fallback` when the key is absent; a value
// outside is an error naming the range.
inline int64_t ReadInRange(const std::string& file, const toml::table& table, const char* key,
                           int64_t low, int64_t high, int64_t fallback) {
    std::optional<int64_t> value = OptionalNumber(file, table, key);
    if (!value) return fallback;
    if (*value < low || *value > high)
        FailAt(file, *table.get(key),
               std::string("'") + key + "' must lie in " + std::to_string(low) + ".." +
                   std::to_string(high));
    return *value;
}

inline std::optional<bool> OptionalBool(const std::string& file, const toml::table& table,
                                        const char* key) {
    return Optional<bool>(file, table, key, "true or false");
}

inline std::string RequireString(const std::string& file, const toml::table& table,
                                 const char* key) {
    std::optional<std::string> value = OptionalString(file, table, key);
    if (!value) FailAt(file, table, std::string("'") + key + "' is required (a string)");
    return *value;
}

// Each table of the array `[[key]]`, handed to `read`; anything else under that key fails.
template <typename Reader>
void ForEachTable(const std::string& file, const toml::table& root, const char* key, Reader read) {
    const toml::node* node = root.get(key);
    if (!node) return;
    const toml::array* array = node->as_array();
    if (!array || !array->is_array_of_tables())
        FailAt(file, *node, std::string("'") + key + "' must be written as [[" + key + "]] tables");
    for (const toml::node& element : *array) read(*element.as_table());
}
