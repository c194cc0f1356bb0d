// The check of TOML text before toml++ 3.3 sees it: which characters it cannot be given, and
// where strings and comments (the only places TOML allows non-ASCII text) begin and end.
#include "pack/toml_text.h"

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

namespace {

// The end of a TOML string that opens at text[at] with `quote` (one or three of them), or of
// a comment ('#'): the index just past it. A single-line string or a comment ends at the
// line's end; a multi-line one may close with up to two extra quotes.
size_t SkipStringOrComment(const std::string& text, size_t at) {
    char open = text[at];
    if (open == '#') return std::min(text.find('\n', at), text.size());
    bool multiLine = text.compare(at, 3, std::string(3, open)) == 0;
    size_t i = at + (multiLine ? 3 : 1);
    for (; i < text.size(); i++) {
        if (open == '"' && text[i] == '\\') {
            i++;
        } else if (!multiLine && (text[i] == open || text[i] == '\n')) {
            return i + 1;
        } else if (multiLine && text.compare(i, 3, std::string(3, open)) == 0) {
            i += 3;
            for (int extra = 0; extra < 2 && i < text.size() && text[i] == open; extra++) i++;
            return i;
        }
    }
    return text.size();
}

// The code point of the UTF-8 sequence at text[at] (0 when it is not a 2- or 3-byte one).
uint32_t CodePointAt(const std::string& text, size_t at) {
    auto byte = [&](size_t i) { return i < text.size() ? (unsigned char)text[i] : 0u; };
    uint32_t lead = byte(at);
    if ((lead & 0xE0) == 0xC0 && (byte(at + 1) & 0xC0) == 0x80)
        return ((lead & 0x1F) << 6) | (byte(at + 1) & 0x3F);
    if ((lead & 0xF0) == 0xE0 && (byte(at + 1) & 0xC0) == 0x80 && (byte(at + 2) & 0xC0) == 0x80)
        return ((lead & 0x0F) << 12) | ((byte(at + 1) & 0x3F) << 6) | (byte(at + 2) & 0x3F);
    return 0;
}

// toml++ 3.3 reaches undefined behaviour (an unreachable point) when it tests one of these
// characters for whitespace, which it does outside strings and also inside a string that
// follows a malformed value.
bool TomlParserTripsOn(uint32_t c) {
    return (c >= 0xA1 && c <= 0x499) || (c >= 0xFB46 && c <= 0xFEFE);
}

// The parser descends once per level of a dotted key, a table header, an array or an inline
// table; 100,000 levels overflow its stack. No machine or manifest needs a tenth of this.
const int kMaxNesting = 100;

// Where the nesting scan stands: the brackets open around it, the depth they make, the dots
// of the key being read, and whether a value (whose dots are a number's) is being read.
enum class Bracket { Header, Array, InlineTable };

struct Nesting {
    std::vector<std::pair<Bracket, int>> open;  // each bracket and the depth outside it
    int base = 0;
    int keyDots = 0;
    bool inValue = false;
    int Depth() const { return base + keyDots; }
    bool Inside(Bracket kind) const { return !open.empty() && open.back().first == kind; }
};

void OpenBracket(Nesting& n, char c) {
    Bracket kind = Bracket::InlineTable;
    if (c == '[')  // "[a]" and "[[a]]" head a table; any other '[' opens an array value
        kind = (n.open.empty() && !n.inValue) || n.Inside(Bracket::Header) ? Bracket::Header
                                                                           : Bracket::Array;
    n.open.push_back({kind, n.base});
    n.base += n.keyDots + 1;
    n.keyDots = 0;
    n.inValue = kind == Bracket::Array;
}

void CloseBracket(Nesting& n) {
    if (n.open.empty()) return;
    n.base = n.open.back().second;
    n.open.pop_back();
    n.keyDots = 0;
    n.inValue = n.Inside(Bracket::Array);
}

// Updates the scan for one character outside strings and comments.
void ScanNesting(Nesting& n, char c) {
    while (c == '\n' && n.Inside(Bracket::Header)) CloseBracket(n);  // a header is one line
    if (c == '[' || c == '{') {
        OpenBracket(n, c);
    } else if (c == ']' || c == '}') {
        CloseBracket(n);
    } else if (c == '=') {
        n.inValue = true;
    } else if (c == '.' && !n.inValue) {
        n.keyDots++;
    } else if ((c == ',' && n.Inside(Bracket::InlineTable)) || (c == '\n' && n.open.empty())) {
        n.keyDots = 0;  // the next key of an inline table or of the file
        n.inValue = false;
    }
}

}  // namespace

std::optional<TomlTextProblem> FindTomlNestingTooDeep(const std::string& text) {
    Nesting nesting;
    int line = 1;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '"' || c == '\'' || c == '#') {
            size_t end = SkipStringOrComment(text, i);
            line += (int)std::count(text.begin() + (long)i, text.begin() + (long)end, '\n');
            // A single-line string or comment takes its line's end with it.
            if (end > i && text[end - 1] == '\n') ScanNesting(nesting, '\n');
            i = end - 1;
            continue;
        }
        ScanNesting(nesting, c);
        if (nesting.Depth() > kMaxNesting)
            return TomlTextProblem{line, "keys, tables and arrays nested more than " +
                                             std::to_string(kMaxNesting) + " levels deep"};
        line += c == '\n';
    }
    return std::nullopt;
}

std::optional<TomlTextProblem> FindTextTomlCannotRead(const std::string& text) {
    int line = 1;
    size_t quotedEnd = 0;  // text before this index lies in a string or a comment
    // A byte-order mark, as some editors save UTF-8, is skipped by the parser too.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = start; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (i >= quotedEnd && (c == '"' || c == '\'' || c == '#'))
            quotedEnd = SkipStringOrComment(text, i);
        if (c >= 0x80 && i >= quotedEnd)
            return TomlTextProblem{line, "non-ASCII character outside a string or comment"};
        if (c >= 0x80 && TomlParserTripsOn(CodePointAt(text, i))) {
            char code[16];
            snprintf(code, sizeof code, "U+%04X", CodePointAt(text, i));
            return TomlTextProblem{line, std::string("character ") + code +
                                             " cannot be read safely by the TOML parser; write "
                                             "it as a \\u escape in a \"string\""};
        }
        line += c == '\n';
    }
    return FindTomlNestingTooDeep(text);
}

std::optional<toml::table> ParseTomlText(const std::string& text, const std::string& sourceName,
                                         TomlTextProblem* problem) {
    if (std::optional<TomlTextProblem> found = FindTextTomlCannotRead(text)) {
        *problem = *found;
        return std::nullopt;
    }
    try {
        return toml::parse(text, sourceName);
    } catch (const toml::parse_error& error) {
        *problem =
            TomlTextProblem{(int)error.source().begin.line, std::string(error.description())};
        return std::nullopt;
    }
}
