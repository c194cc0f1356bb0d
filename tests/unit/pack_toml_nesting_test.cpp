// The nesting limit of TOML text, counted before the parser (which descends once per level)
// sees it: dotted keys, table headers, arrays and inline tables, alone and together; dots
// of numbers, strings and comments are no levels.
#include <gtest/gtest.h>

#include <string>

#include "pack/manifest.h"
#include "pack/pack_error.h"
#include "pack/toml_text.h"

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; i++) out += text;
    return out;
}

TEST(TomlNesting, DeepNestingIsFoundWithItsLine) {
    struct Case {
        const char* name;
        std::string text;
        int line;  // 0: accepted
    } cases[] = {
        {"100 levels of dotted key", "a" + Repeat(".a", 99) + " = 1\n", 0},
        {"101 levels of dotted key", "a" + Repeat(".a", 101) + " = 1\n", 1},
        {"dotted keys with blanks", "x = 1\na" + Repeat(" . a", 150) + " = 1\n", 2},
        {"table header", "[" + Repeat("a.", 150) + "a]\n", 1},
        {"array of tables header", "[[" + Repeat("a.", 150) + "a]]\n", 1},
        {"arrays", "a = " + Repeat("[", 150) + Repeat("]", 150) + "\n", 1},
        {"inline tables", "a = " + Repeat("{b = ", 150) + "1" + Repeat("}", 150) + "\n", 1},
        // Inline tables each behind a two-part key: two levels each.
        {"dotted keys inside inline tables",
         "a = " + Repeat("{b.c = ", 60) + "1" + Repeat("}", 60) + "\n", 1},
        {"multi-line array", "a = [\n" + Repeat("[\n", 120) + Repeat("]\n", 120) + "]\n", 101},
        // Each line starts again from the top level.
        {"many short dotted keys", Repeat("a.b.c.d = 1\n", 500), 0},
        {"floats", "a = [" + Repeat("1.5, ", 500) + "2.5]\n", 0},
        {"dates with fractions", Repeat("t = 1979-05-27T00:32:00.999999Z\n", 200), 0},
        {"dots in a string", "a = \"" + Repeat("x.", 500) + "\"\n", 0},
        {"dots in a literal key", "'" + Repeat("x.", 500) + "' = 1\n", 0},
        {"dots in a comment", "# " + Repeat("x.", 500) + "\na = 1\n", 0},
        {"brackets in a multi-line string", "a = '''\n" + Repeat("[{", 500) + "\n'''\n", 0},
        {"inline table then the next key",
         "a = {b.c = 1, d.e = 2}\n" + Repeat("f.", 50) + "g = 1\n", 0},
    };
    for (const Case& c : cases) {
        std::optional<TomlTextProblem> problem = FindTextTomlCannotRead(c.text);
        if (c.line == 0) {
            EXPECT_FALSE(problem) << c.name << ": " << problem->what;
            continue;
        }
        ASSERT_TRUE(problem) << c.name;
        EXPECT_EQ(problem->line, c.line) << c.name;
        EXPECT_NE(problem->what.find("nested more than 100 levels"), std::string::npos) << c.name;
    }
}

// Text within the limit still reaches the parser, which reads it as before.
TEST(TomlNesting, TextWithinTheLimitParses) {
    std::string text =
        "a" + Repeat(".a", 99) + " = 1\nb = " + Repeat("[", 50) + "1" + Repeat("]", 50) + "\n";
    ASSERT_FALSE(FindTextTomlCannotRead(text));
    toml::table table = toml::parse(text);
    EXPECT_TRUE(table.contains("a"));
    EXPECT_TRUE(table.contains("b"));
}

// A manifest goes through the same check: 100,000 dotted levels are an error with the line,
// not a crash in the parser.
TEST(TomlNesting, ManifestsAreCheckedToo) {
    std::string text =
        "# a manifest\n[[item]]\n" + std::string("a") + Repeat(".a", 100000) + " = 1\n";
    std::string error = "nothing";
    try {
        ParseManifest(text, "m.toml", ".");
    } catch (const PackError& e) {
        error = e.what();
    }
    EXPECT_EQ(error.rfind("m.toml:3: keys, tables and arrays nested more than 100", 0), 0u)
        << error;
}

}  // namespace
