// The build manifest: every copy-table field expressible, defaults, and one clear error with
// the manifest line for each thing the package format cannot hold.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "pack/manifest.h"
#include "pack/pack_error.h"
#include "tests/support/scratch_test.h"

namespace {

class ManifestTest : public ScratchTest<> {
   protected:
    void SetUp() override { std::ofstream(dir_ + "/readme.txt") << "hello"; }
    std::vector<ManifestItem> Parse(const std::string& text) {
        return ParseManifest(text, "m.toml", dir_);
    }
};

TEST_F(ManifestTest, ExpressesEveryField) {
    std::vector<ManifestItem> items = Parse(R"(
[[item]]
source = "readme.txt"
target = "READ_ME.TXT"
packed_name = "RDME.TX_"
flags = ["embedded", "compressed", "overwrite", "launch_after_copy", "hide_name"]
dir = "&SYS"
disk = "Disk 1"
args = "/quiet"
show = 3
attributes = ["readonly", "archive"]
listed_size = 4242
date = "2001-10-11T17:42:12"
reserved = [1, 2, 3, 4]

[[item]]
target = "RUNME.EXE"
flags = ["launch_at_end", "launch_required"]
show = "hidden"
)");
    ASSERT_EQ(items.size(), 2u);
    const CopyTableEntry& e = items[0].entry;
    EXPECT_EQ(e.flags,
              CF_EMBEDDED | CF_COMPRESSED | CF_OVERWRITE | CF_LAUNCH_AFTER_COPY | CF_HIDE_NAME);
    EXPECT_STREQ(e.targetName, "READ_ME.TXT");
    EXPECT_STREQ(e.sourceName, "RDME.TX_");
    EXPECT_STREQ(e.targetDirSpec, "&SYS");
    EXPECT_STREQ(e.diskLabel, "Disk 1");
    EXPECT_STREQ(e.arguments, "/quiet");
    EXPECT_EQ(e.showCommand, 3);
    EXPECT_EQ(e.attributes, 0x21);
    EXPECT_EQ(e.listedSize, 4242u);
    EXPECT_EQ(e.fileDate, 0x2B4B);  // 2001-10-11
    EXPECT_EQ(e.fileTime, 0x8D46);  // 17:42:12
    EXPECT_EQ(e.reserved[3], 4);
    EXPECT_EQ(items[0].line, 2);
    // A program-only entry: no source name, nothing stored.
    EXPECT_STREQ(items[1].entry.sourceName, "");
    EXPECT_EQ(items[1].entry.showCommand, 0);
    EXPECT_TRUE(items[1].sourcePath.empty());
}

TEST_F(ManifestTest, DefaultsFollowTheSource) {
    std::vector<ManifestItem> items = Parse(R"(
[[item]]
source = "readme.txt"
target = "READ_ME.TXT"
flags = ["embedded", "compressed"]
)");
    EXPECT_STREQ(items[0].entry.sourceName, "READ_ME.TX_");
    EXPECT_EQ(items[0].entry.listedSize, 5u);
    EXPECT_EQ(items[0].entry.attributes, 0x20);
    EXPECT_TRUE(IsValidDosDateTime(items[0].entry.fileDate, items[0].entry.fileTime));
}

// Show names give the ShowWindow values Windows defines for them (SW_HIDE to SW_SHOWDEFAULT).
TEST_F(ManifestTest, ShowNamesGiveTheirShowWindowValues) {
    const struct {
        const char* name;
        uint16_t value;
    } cases[] = {{"hidden", 0},     {"normal", 1},  {"minimized", 2}, {"maximized", 3},
                 {"noactivate", 4}, {"show", 5},    {"minimize", 6},  {"minnoactive", 7},
                 {"showna", 8},     {"restore", 9}, {"default", 10}};
    for (const auto& c : cases) {
        std::vector<ManifestItem> items =
            Parse(std::string("[[item]]\ntarget = \"RUN.EXE\"\n") +
                  "flags = [\"launch_at_end\"]\nshow = \"" + c.name + "\"\n");
        EXPECT_EQ(items[0].entry.showCommand, c.value) << c.name;
    }
}

TEST(ManifestNames, DefaultPackedName) {
    struct {
        const char* target;
        bool compressed;
        const char* packed;
    } cases[] = {{"READ_ME.TXT", true, "READ_ME.TX_"},
                 {"SETUP", true, "SETUP._"},
                 {"A.B", true, "A._"},
                 {"ODD.", true, "ODD._"},
                 {"PLAIN.DLL", false, "PLAIN.DLL"}};
    for (const auto& c : cases)
        EXPECT_EQ(DefaultPackedName(c.target, c.compressed), c.packed) << c.target;
}

TEST_F(ManifestTest, CompressAutoStoresTheSmallerForm) {
    std::ofstream(dir_ + "/runs.txt") << std::string(3000, 'r');
    std::string noise;
    for (uint32_t i = 0, x = 1; i < 2000; i++) noise += (char)((x = x * 1103515245 + 12345) >> 16);
    std::ofstream(dir_ + "/noise.bin", std::ios::binary) << noise;
    struct Case {
        const char* source;
        const char* flags;
        const char* compress;  // the line, or ""
        bool compressed;
        const char* packedName;
    } cases[] = {
        {"runs.txt", "\"embedded\"", "", true, "A.TX_"},
        {"runs.txt", "\"external\"", "compress = \"auto\"", true, "A.TX_"},
        {"runs.txt", "\"embedded\"", "compress = \"never\"", false, "A.TXT"},
        {"noise.bin", "\"embedded\"", "", false, "A.TXT"},
        {"readme.txt", "\"external\"", "", false, "A.TXT"},
        {"noise.bin", "\"embedded\", \"compressed\"", "", true, "A.TX_"},
        {"noise.bin", "\"embedded\"", "compress = \"always\"", true, "A.TX_"},
    };
    for (const Case& c : cases) {
        std::string text = std::string("[[item]]\nsource = \"") + c.source +
                           "\"\ntarget = \"A.TXT\"\nflags = [" + c.flags + "]\n" + c.compress +
                           "\n";
        ManifestItem item = Parse(text)[0];
        std::string what = std::string(c.source) + " " + c.flags + " " + c.compress;
        EXPECT_EQ((item.entry.flags & CF_COMPRESSED) != 0, c.compressed) << what;
        EXPECT_STREQ(item.entry.sourceName, c.packedName) << what;
        // A stream kept for packing is only ever a smaller one.
        if (!item.stream.empty()) {
            EXPECT_LT(item.stream.size(), item.sourceSize) << what;
        }
    }
}

TEST_F(ManifestTest, RejectsWhatTheFormatCannotHoldWithTheLine) {
    const std::string head = "[[item]]\nsource = \"readme.txt\"\nflags = [\"embedded\"]\n";
    struct Case {
        const char* why;
        std::string text;
        int line;
        const char* message;
    } cases[] = {
        {"name of 20 characters", head + "target = \"ABCDEFGHIJKLMNOP.TXT\"\n", 4, "at most 19"},
        {"arguments of 80", head + "target = \"A\"\nargs = \"" + std::string(80, 'x') + "\"\n", 5,
         "at most 79"},
        {"date before 1980", head + "target = \"A\"\ndate = 1979-12-31T23:59:58\n", 5, "1980"},
        {"date after 2107", head + "target = \"A\"\ndate = \"2108-01-01T00:00:00\"\n", 5, "2107"},
        {"no such day", head + "target = \"A\"\ndate = \"2001-02-30T00:00:00\"\n", 5,
         "not a valid"},
        {"odd seconds", head + "target = \"A\"\ndate = \"2001-02-03T00:00:01\"\n", 5, "2-second"},
        {"zone offset", head + "target = \"A\"\ndate = 2001-02-03T00:00:00Z\n", 5, "local"},
        {"unknown flag", "[[item]]\ntarget = \"A\"\nflags = [\"embeded\"]\n", 3, "unknown flag"},
        {"both sources",
         "\n[[item]]\nsource = \"readme.txt\"\ntarget = \"A\"\nflags = [\"embedded\", "
         "\"external\"]\n",
         2, "exactly one"},
        {"no data source",
         "[[item]]\nsource = \"readme.txt\"\ntarget = \"A\"\nflags = [\"compressed\"]\n", 1,
         "exactly one"},
        {"program-only stores", "[[item]]\ntarget = \"A.EXE\"\nflags = [\"embedded\"]\n", 1,
         "without 'source'"},
        {"packed name without source",
         "[[item]]\ntarget = \"A\"\npacked_name = \"A_\"\nflags = []\n", 3, "needs a 'source'"},
        {"missing source file",
         "[[item]]\nsource = \"nope.txt\"\ntarget = \"A\"\nflags = [\"embedded\"]\n", 2,
         "not found"},
        {"missing target", head, 1, "needs 'target'"},
        {"target with a path", head + "target = \"SUB\\\\A.TXT\"\n", 1, "plain file name"},
        {"non-ASCII outside a string", head + "target = \"A\" \xC2\xA9\n", 4, "outside a string"},
        {"non-ASCII", head + "target = \"\xE2\x82\xAC.TXT\"\n", 4, "ASCII"},
        {"a character the TOML parser trips on", head + "target = 0\"\xD2\x86\"\n", 4,
         "U+0486 cannot be read safely"},
        {"unknown key", head + "target = \"A\"\ncolour = 3\n", 5, "unknown key"},
        {"unknown key after a byte-order mark", "\xEF\xBB\xBF" + head + "target = \"A\"\nhue = 3\n",
         5, "unknown key"},
        {"listed size too big", head + "target = \"A\"\nlisted_size = 4294967296\n", 5,
         "between 0"},
        {"compress value", head + "target = \"A\"\ncompress = \"yes\"\n", 5, "'compress' must"},
        {"never yet compressed",
         "[[item]]\nsource = \"readme.txt\"\ntarget = \"A\"\nflags = [\"embedded\", "
         "\"compressed\"]\ncompress = \"never\"\n",
         5, "contradicts"},
        {"reserved not 4 bytes", head + "target = \"A\"\nreserved = [1, 2]\n", 5, "4 byte"},
        {"no items", "# nothing\n", 1, "no [[item]]"},
        {"TOML syntax", head + "target = \"A\n", 4, ""},
        {"a table header the parser asserts on", "[~\n", 1, "expected bare key"},
        // The exact control character is named, as the terminal shows nothing of it.
        {"control character", head + "target = \"A\\u0007.TXT\"\n", 4,
         "'target' may hold printable ASCII characters only, not \\x07"},
        {"device name", head + "target = \"COM1.EXE\"\n", 1,
         "target name 'COM1.EXE' is a Windows device name"},
        {"trailing dot", head + "target = \"B.\"\n", 1, "target name 'B.' ends in a dot or blank"},
        {"device folder", head + "target = \"A\"\ndir = \"NUL\"\n", 1,
         "dir 'NUL' has a folder name 'NUL' that is a Windows device name"},
        {"dir climbing out", head + "target = \"A\"\ndir = \"..\\\\..\\\\WINDOWS\"\n", 1,
         "climbs out"},
        {"two items on one file (case ignored)",
         head + "target = \"a.txt\"\ndir = \"sub\"\n" + head +
             "target = \"A.TXT\"\ndir = \"SUB\"\n",
         6, "same file as the item at line 1"},
        {"source is a directory",
         "[[item]]\nsource = \".\"\ntarget = \"A\"\nflags = [\"embedded\"]\n", 2, "is a directory"},
        {"external name reused",
         "[[item]]\nsource = \"readme.txt\"\ntarget = \"A.TXT\"\nflags = [\"external\"]\n"
         "[[item]]\nsource = \"readme.txt\"\ntarget = \"B.TXT\"\npacked_name = \"a.txt\"\nflags = "
         "[\"external\"]\n",
         5, "already used"},
    };
    for (const Case& c : cases) {
        try {
            Parse(c.text);
            ADD_FAILURE() << c.why << ": accepted";
        } catch (const PackError& error) {
            std::string message = error.what();
            EXPECT_NE(message.find("m.toml:" + std::to_string(c.line) + ":"), std::string::npos)
                << c.why << ": " << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << c.why << ": " << message;
        }
    }
}

}  // namespace
