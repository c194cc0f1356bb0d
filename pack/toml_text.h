// TOML as the tools read it (setuppack's manifests, setupsim's machine and answers files),
// through toml++ 3.3. Every file that parses TOML includes the parser through this header, and
// gives the text to FindTextTomlCannotRead before parsing it.
#pragma once

#include <optional>
#include <string>

// toml++ 3.3 asserts things about its input that malformed text breaks ("[~" as a table
// header, a time without digits), and handles each such case with a parse error right after.
// Its assertions would end the tool (in debug builds) or, as compiler assumptions, make the
// error path undefined; turned off, the parse error reaches the user with its line.
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>

struct TomlTextProblem {
    int line;
    std::string what;
};

// The first place where the text holds what the parser cannot be given safely: non-ASCII
// text outside strings and comments (TOML allows none there), or anywhere a character the
// parser trips on (a leading byte-order mark is allowed). Such a character can still be written
// as a \uXXXX escape in a "string".
// Also keys, table headers, arrays and inline tables nested deeper than the parser's stack
// allows (FindTomlNestingTooDeep).
std::optional<TomlTextProblem> FindTextTomlCannotRead(const std::string& text);

// The first line where dotted keys, table headers, arrays and inline tables reach more than
// 100 levels together; counted before the parser sees the text, as it descends once per level.
std::optional<TomlTextProblem> FindTomlNestingTooDeep(const std::string& text);

// The text checked by FindTextTomlCannotRead, then parsed (`sourceName` names it in the
// parser's nodes). On either refusal, nothing, with `problem` set to its line and what.
std::optional<toml::table> ParseTomlText(const std::string& text, const std::string& sourceName,
                                         TomlTextProblem* problem);
