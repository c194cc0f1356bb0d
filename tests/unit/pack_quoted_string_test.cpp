// The quoted strings the tools write: JSON reports escape every byte past ASCII (installer
// names are ANSI bytes); TOML manifests escape every UTF-8 character past ASCII (host paths),
// which the manifest reader turns back into the same bytes; both escape the rest alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "pack/manifest.h"
#include "pack/quoted_string.h"
#include "tools/common/scratch_folder.h"

namespace {

TEST(QuotedString, JsonAndTomlDifferOnlyPastAscii) {
    struct Case {
        std::string text, json, toml;
    } cases[] = {
        {"READ_ME.TXT", "\"READ_ME.TXT\"", "\"READ_ME.TXT\""},
        {"", "\"\"", "\"\""},
        {"say \"hi\" C:\\QV", "\"say \\\"hi\\\" C:\\\\QV\"", "\"say \\\"hi\\\" C:\\\\QV\""},
        {"a\tb\r\n\x1b", "\"a\\u0009b\\u000d\\u000a\\u001b\"",
         "\"a\\u0009b\\u000d\\u000a\\u001b\""},
        {"\x7f", "\"\\u007f\"", "\"\\u007f\""},
        {"caf\xc3\xa9", "\"caf\\u00c3\\u00a9\"", "\"caf\\u00e9\""},
        {"\xe2\x82\xac\xf0\x9f\x98\x80", "\"\\u00e2\\u0082\\u00ac\\u00f0\\u009f\\u0098\\u0080\"",
         "\"\\u20ac\\U0001f600\""},
        // Not UTF-8 (ANSI bytes, an overlong slash, a surrogate, a cut sequence): kept as is.
        {"\xe9t\xe9", "\"\\u00e9t\\u00e9\"", "\"\xe9t\xe9\""},
        {"\xc0\xaf", "\"\\u00c0\\u00af\"", "\"\xc0\xaf\""},
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\"", "\"\xed\xa0\x80\""},
        {"x\xe2\x82", "\"x\\u00e2\\u0082\"", "\"x\xe2\x82\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
        EXPECT_EQ(TomlString(c.text), c.toml) << c.text;
    }
}

// A source path with characters the TOML parser cannot be given literally, written as the
// manifest writer writes it, names the same file when read back.
TEST(QuotedString, TomlPathReadsBackAsTheSameFile) {
    ScratchFolder temp("qv-quoted");
    const std::string& dir = temp.path();
    const std::string folder = "caf\xc3\xa9 \xd2\x86 \xe2\x82\xac";  // U+00E9, U+0486, U+20AC
    std::filesystem::create_directory(dir + "/" + folder);
    std::ofstream(dir + "/" + folder + "/readme.txt") << "hello";
    std::string manifest = "[[item]]\nsource = " + TomlString(folder + "/readme.txt") +
                           "\ntarget = \"README.TXT\"\nflags = [\"embedded\"]\n";
    std::vector<ManifestItem> items = ParseManifest(manifest, "m.toml", dir);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].sourcePath, dir + "/" + folder + "/readme.txt");
}

}  // namespace
