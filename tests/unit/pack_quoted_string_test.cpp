// The quoted strings the tools write: JSON reports escape every byte past ASCII (installer
// names are ANSI bytes), TOML manifests keep them (host paths are UTF-8); both escape the
// rest alike.
#include <gtest/gtest.h>

#include "pack/quoted_string.h"

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
        {"caf\xc3\xa9", "\"caf\\u00c3\\u00a9\"", "\"caf\xc3\xa9\""},
        {"\xe9t\xe9", "\"\\u00e9t\\u00e9\"", "\"\xe9t\xe9\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
        EXPECT_EQ(TomlString(c.text), c.toml) << c.text;
    }
}

}  // namespace
