// The copy table's rules as every tool applies them: names Windows creates as written, dir
// values, external file paths and the order of the diskette requests.
#include <gtest/gtest.h>
#include <string.h>

#include "pack/copy_table_rules.h"

namespace {

// "" for a sound name, else a piece of the rule's text that must appear.
TEST(CopyTableRules, FileNames) {
    const struct {
        const char* name;
        const char* rule;
    } cases[] = {
        {"README.TXT", ""},
        {"NOEXTENSION12345678", ""},  // 19 characters fill the field
        {"NOEXTENSION123456789", "longer than 19"},
        {"", "is empty"},
        {"A\x07.TXT", "holds a control or non-ASCII character (\\x07)"},
        {"\x7F", "(\\x7F)"},
        {"caf\xC3\xA9.TXT", "(\\xC3)"},  // the first byte outside ASCII is named
        {"A\\B", "path separator"},
        {"A/B", "path separator"},
        {"C:X", "drive prefix"},
        {".", "names a folder"},
        {"..", "names a folder"},
        {". .", "names a folder"},
        {"A*.TXT", "refuses"},
        {"A?", "refuses"},
        {"\"A\"", "refuses"},
        {"<A>", "refuses"},
        {"A|B", "refuses"},
        {"B.", "ends in a dot or blank"},
        {"B ", "ends in a dot or blank"},
        {"B.TXT.", "ends in a dot or blank"},
        {".PROFILE", ""},
        {"A B.TXT", ""},
        {"CON", "device name"},
        {"con", "device name"},
        {"CON.TXT", "device name"},
        {"NUL", "device name"},
        {"PRN.X", "device name"},
        {"AUX.DAT", "device name"},
        {"COM1.EXE", "device name"},
        {"com9", "device name"},
        {"LPT1", "device name"},
        {"LPT9.TXT.BAK", "device name"},  // what follows the first dot does not matter
        {"NUL .TXT", "device name"},      // nor do blanks before it
        {"COM0", ""},
        {"COM10", ""},
        {"LPT", ""},
        {"CONSOLE.TXT", ""},
        {"ACON.TXT", ""},
        {"&WIN", ""},
    };
    for (const auto& c : cases) {
        std::string problem = FileNameProblem(c.name);
        if (c.rule[0] == '\0')
            EXPECT_EQ(problem, "") << ShownText(c.name);
        else
            EXPECT_NE(problem.find(c.rule), std::string::npos)
                << ShownText(c.name) << ": " << problem;
    }
}

TEST(CopyTableRules, DirValues) {
    const struct {
        const char* spec;
        const char* rule;
    } cases[] = {
        {"", ""},
        {"&WIN", ""},
        {"&SYS", ""},
        {"&win", ""},  // a sub-directory of that name
        {"SUB", ""},
        {"SUB\\DEEP", ""},
        {"SUB\\", ""},
        {"C:", ""},
        {"C:\\", ""},
        {"D:\\APPS\\QV", ""},
        {"..", "climbs out"},
        {"A\\..\\..", "climbs out"},
        {"A\\. .", "climbs out"},
        {"SUB\\C:\\X", "':' that is not a drive prefix"},
        {"C::", "':' that is not a drive prefix"},
        {"CON", "folder name 'CON' that is a Windows device name"},
        {"D:\\APPS\\LPT1.DIR", "folder name 'LPT1.DIR' that is a Windows device name"},
        {"SUB.", "folder name 'SUB.' that ends in a dot"},
        {"SUB \\X", "folder name 'SUB ' that ends in a dot or blank"},
        {"A*B", "refuses"},
        {"S\tB", "holds a control or non-ASCII character (\\x09)"},
    };
    for (const auto& c : cases) {
        std::string problem = DirSpecProblem(c.spec);
        if (c.rule[0] == '\0')
            EXPECT_EQ(problem, "") << c.spec;
        else
            EXPECT_NE(problem.find(c.rule), std::string::npos) << c.spec << ": " << problem;
    }
}

CopyTableEntry Entry(uint16_t flags, const char* label, const char* source = "F.TX_") {
    CopyTableEntry e;
    memset(&e, 0, sizeof e);
    e.flags = flags;
    strcpy(e.diskLabel, label);
    strcpy(e.sourceName, source);
    strcpy(e.targetName, "F.TXT");
    return e;
}

TEST(CopyTableRules, ExternalFiles) {
    const struct {
        CopyTableEntry entry;
        bool hasFile;
        const char* path;
        const char* key;
    } cases[] = {
        {Entry(CF_EXTERNAL_SOURCE, "Disk 2"), true, "Disk 2/F.TX_", "DISK 2\\F.TX_"},
        {Entry(CF_EXTERNAL_SOURCE, ""), true, "F.TX_", "F.TX_"},
        {Entry(CF_EXTERNAL_SOURCE, "d2", "f.tx_"), true, "d2/f.tx_", "D2\\F.TX_"},
        {Entry(CF_EXTERNAL_SOURCE, "D2", ""), false, "", ""},  // a program-only entry
        {Entry(CF_EMBEDDED, "D2"), false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry.diskLabel) + "/" + c.entry.sourceName);
        EXPECT_EQ(HasExternalFile(c.entry), c.hasFile);
        if (!c.hasFile) continue;
        EXPECT_EQ(ExternalFilePath(c.entry), c.path);
        EXPECT_EQ(ExternalFileKey(c.entry), c.key);
    }
}

// Entries as "flags:label" with E embedded, X external, - neither (a program-only entry).
std::vector<CopyTableEntry> Table(const std::vector<std::string>& rows) {
    std::vector<CopyTableEntry> entries;
    for (const std::string& row : rows) {
        uint16_t flags = row[0] == 'E' ? CF_EMBEDDED : row[0] == 'X' ? CF_EXTERNAL_SOURCE : 0;
        entries.push_back(Entry(flags, row.substr(2).c_str()));
    }
    return entries;
}

std::string Joined(const std::vector<std::string>& labels) {
    std::string all;
    for (const std::string& label : labels) all += label + ";";
    return all;
}

TEST(CopyTableRules, DisketteOrder) {
    const struct {
        std::vector<std::string> table;
        const char* inDrive;
        const char* requests;
    } cases[] = {
        {{}, "", ""},
        {{"E:D1", "X:D1", "X:"}, "D1;D1;D1;", ""},  // the first label is in the drive
        {{"E:D1", "X:D2", "X:D2", "X:D3"}, "D1;D2;D2;D3;", "D2;D3;"},
        {{"E:D1", "X:D2", "X:D1"}, "D1;D2;D1;", "D2;D1;"},  // back to the first one
        {{"E:D1", "-:D2", "X:D1"}, "D1;D1;D1;", ""},        // no data, no request
        {{"E:D1", "X:", "X:D2"}, "D1;D1;D2;", "D2;"},       // no label keeps the diskette
        {{"E:D1", "X:d1"}, "D1;d1;", "d1;"},                // labels compare case-sensitively
        {{"E:", "X:D2"}, ";D2;", "D2;"},
    };
    for (const auto& c : cases) {
        std::vector<CopyTableEntry> entries = Table(c.table);
        SCOPED_TRACE(c.inDrive);
        EXPECT_EQ(Joined(DisketteInDrive(entries)), c.inDrive);
        EXPECT_EQ(Joined(DisketteRequests(entries)), c.requests);
    }
}

// What verify and build report for one entry: each broken field named with its value.
TEST(CopyTableRules, EntryFieldProblemsNameTheFieldAndTheRule) {
    const struct {
        CopyTableEntry entry;
        const char* target;
        const char* dir;
        std::vector<std::string> problems;
    } cases[] = {
        {Entry(CF_EMBEDDED, ""), "A.TXT", "SUB", {}},
        {Entry(CF_EMBEDDED, ""),
         "AUX.DAT",
         "",
         {"target name 'AUX.DAT' is a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, "
          "with or without an extension), which makes no file"}},
        {Entry(CF_EMBEDDED, ""),
         "A\x01.TXT",
         "",
         {"target name 'A\\x01.TXT' holds a control or non-ASCII character (\\x01)"}},
        {Entry(CF_EXTERNAL_SOURCE, "DISK."),
         "A.TXT",
         "",
         {"disk label of an external item (its folder) 'DISK.' ends in a dot or blank, which "
          "Windows drops, so another name would be made"}},
        {Entry(CF_EMBEDDED, "DISK."), "A.TXT", "", {}},  // a label alone is no folder
        {Entry(CF_EXTERNAL_SOURCE, "", "NUL"),
         "A.TXT",
         "",
         {"packed name of an external item 'NUL' is a Windows device name (CON, PRN, AUX, NUL, "
          "COM1-9, LPT1-9, with or without an extension), which makes no file"}},
    };
    for (const auto& c : cases) {
        CopyTableEntry e = c.entry;
        strcpy(e.targetName, c.target);
        strcpy(e.targetDirSpec, c.dir);
        EXPECT_EQ(EntryFieldProblems(e), c.problems) << ShownText(c.target);
    }
}

}  // namespace
