// The key lists of setupsim's input files, one per table, as the readers check them and the
// key reference page is tested against them.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// The keys one table of a file may hold: `table` "" for the file's top level, else the name
// of its [[table]]s. The readers publish their lists, so the documentation can be checked
// against them.
struct TableKeys {
    std::string table;
    std::vector<std::string> keys;
};

inline const std::vector<std::string>& KeysOf(const std::vector<TableKeys>& all,
                                              const std::string& table) {
    for (const TableKeys& entry : all)
        if (entry.table == table) return entry.keys;
    throw std::logic_error("no key list for [[" + table + "]]");
}
