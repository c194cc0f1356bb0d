// The tools' error lines: a message that names its own file and line stands alone, so that
// editors can jump to it; any other gets the tool's name in front.
#include <gtest/gtest.h>

#include "tools/common/error_line.h"

namespace {

TEST(ToolsErrorLine, OnlyAFileAndLineGoWithoutTheToolsName) {
    struct {
        const char* message;
        const char* line;
    } cases[] = {
        {"app.toml:12: unknown key 'x'", "app.toml:12: unknown key 'x'\n"},
        {"C:\\m.toml:3: bad value", "C:\\m.toml:3: bad value\n"},  // a drive's colon first
        {"cannot open x: No such file", "setuppack: cannot open x: No such file\n"},
        {"offset 0x10: 12 bytes", "setuppack: offset 0x10: 12 bytes\n"},  // no digits run
        {"ends at line 12:", "setuppack: ends at line 12:\n"},  // no number between colons
        {"x.toml:12", "setuppack: x.toml:12\n"},                // no colon after the line
        {"", "setuppack: \n"},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorLine("setuppack", c.message), c.line) << c.message;
}

}  // namespace
