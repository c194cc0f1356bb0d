// docs/machine-files.md against the readers' own key lists: every key a machine or answers
// file may hold has its row in the page, under its table, and the page names no key the
// readers would refuse.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"

namespace {

using KeysByTable = std::map<std::string, std::set<std::string>>;

KeysByTable FromReader(const std::vector<TableKeys>& lists) {
    KeysByTable keys;
    for (const TableKeys& list : lists) keys[list.table].insert(list.keys.begin(), list.keys.end());
    return keys;
}

// The table a "### " heading names: "" for the top level, else the name inside [[ ]].
std::string TableOfHeading(const std::string& heading) {
    size_t open = heading.find("[[");
    if (open == std::string::npos) return "";
    return heading.substr(open + 2, heading.find("]]") - open - 2);
}

// The first column of each table row, per file ("## Machine file", "## Answers file") and
// per "### " heading below it.
std::map<std::string, KeysByTable> FromPage(const std::string& path) {
    std::map<std::string, KeysByTable> page;
    std::ifstream in(path);
    std::string line, file, table;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) file = line.substr(3), table = "";
        if (line.rfind("### ", 0) == 0) table = TableOfHeading(line);
        if (line.rfind("| `", 0) == 0 && !file.empty())
            page[file][table].insert(line.substr(3, line.find('`', 3) - 3));
    }
    return page;
}

TEST(SetupsimKeyReference, PageListsEveryKeyOfBothReaders) {
    std::map<std::string, KeysByTable> page =
        FromPage(std::string(QV_SOURCE_DIR) + "/docs/machine-files.md");
    EXPECT_EQ(page["Machine file"], FromReader(MachineFileKeys()));
    EXPECT_EQ(page["Answers file"], FromReader(AnswersFileKeys()));
}

}  // namespace
