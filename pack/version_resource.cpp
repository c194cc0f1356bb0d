// Writing the version resource node by node, and reading it back with every length checked
// against its parent (the bytes may come from an untrusted installer).
#include "pack/version_resource.h"

#include <stdio.h>

#include "engine/core/package.h"
#include "pack/quoted_string.h"

const char* const VERSION_TEXT_KEYS[6] = {"ProductName", "ProductVersion",  "FileVersion",
                                          "CompanyName", "FileDescription", "LegalCopyright"};

namespace {

const uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
const size_t FIXED_SIZE = 52;
const uint16_t UNICODE_CODE_PAGE = 1200;
const uint32_t VOS_WINDOWS32 = 4;  // any 32-bit Windows, the 95 family included
const uint32_t VFT_APP = 1;

std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size(); i++) {
        uint32_t cp = (unsigned char)utf8[i];
        size_t length = cp >= 0x80 ? Utf8SequenceAt(utf8, i, &cp) : 1;
        if (length == 0) cp = 0xFFFD, length = 1;  // toml++ hands over valid UTF-8 only
        i += length - 1;
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.push_back((char16_t)(0xD800 + (cp >> 10)));
            out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back((char16_t)cp);
        }
    }
    return out;
}

void PadTo4(std::vector<uint8_t>* out) {
    while (out->size() % 4) out->push_back(0);
}

void AppendUtf16(std::vector<uint8_t>* out, const std::u16string& text) {
    for (char16_t c : text) out->push_back((uint8_t)c), out->push_back((uint8_t)(c >> 8));
    out->push_back(0), out->push_back(0);
}

// One node: header, key, value, children; its length field counts all but the padding after
// the last child.
std::vector<uint8_t> Node(const std::string& key, uint16_t type, const std::vector<uint8_t>& value,
                          uint16_t valueLength, const std::vector<std::vector<uint8_t>>& children) {
    std::vector<uint8_t> out(6, 0);
    AppendUtf16(&out, Utf16(key));
    PadTo4(&out);
    out.insert(out.end(), value.begin(), value.end());
    for (const std::vector<uint8_t>& child : children) {
        PadTo4(&out);
        out.insert(out.end(), child.begin(), child.end());
    }
    WriteLE16(&out[0], (uint16_t)out.size());
    WriteLE16(&out[2], valueLength);
    WriteLE16(&out[4], type);
    return out;
}

std::vector<uint8_t> TextNode(const std::string& key, const std::string& text) {
    std::u16string value = Utf16(text);
    std::vector<uint8_t> bytes;
    AppendUtf16(&bytes, value);
    return Node(key, 1, bytes, (uint16_t)(value.size() + 1), {});
}

std::vector<uint8_t> FixedPart(const uint16_t n[4]) {
    std::vector<uint8_t> fixed(FIXED_SIZE, 0);
    uint32_t high = (uint32_t)n[0] << 16 | n[1], low = (uint32_t)n[2] << 16 | n[3];
    const uint32_t fields[] = {FIXED_SIGNATURE, 0x00010000, high, low, high, low, 0x3F, 0,
                               VOS_WINDOWS32,   VFT_APP,    0,    0,   0};
    for (size_t i = 0; i < 13; i++) WriteLE32(&fixed[4 * i], fields[i]);
    return fixed;
}

}  // namespace

std::vector<uint8_t> VersionResourceData(const VersionSettings& v, uint16_t language) {
    const std::string values[6] = {v.productName, v.version,     v.version,
                                   v.company,     v.description, v.copyright};
    std::vector<std::vector<uint8_t>> pairs;
    for (int i = 0; i < 6; i++) pairs.push_back(TextNode(VERSION_TEXT_KEYS[i], values[i]));
    char tableName[16];
    snprintf(tableName, sizeof tableName, "%04X%04X", language, UNICODE_CODE_PAGE);
    std::vector<uint8_t> table = Node(tableName, 1, {}, 0, pairs);
    std::vector<uint8_t> translation(4);
    WriteLE16(&translation[0], language);
    WriteLE16(&translation[2], UNICODE_CODE_PAGE);
    std::vector<uint8_t> var = Node("Translation", 0, translation, 4, {});
    return Node("VS_VERSION_INFO", 0, FixedPart(v.numbers), FIXED_SIZE,
                {Node("StringFileInfo", 1, {}, 0, {table}), Node("VarFileInfo", 1, {}, 0, {var})});
}

namespace {

struct NodeView {
    std::string key;
    uint16_t type = 0;
    size_t valueAt = 0, valueBytes = 0;  // offsets into the resource
    size_t childrenAt = 0, end = 0;
};

void AppendUtf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
        *out += (char)cp;
    } else if (cp < 0x800) {
        *out += (char)(0xC0 | cp >> 6), *out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += (char)(0xE0 | cp >> 12), *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    } else {
        *out += (char)(0xF0 | cp >> 18), *out += (char)(0x80 | ((cp >> 12) & 0x3F));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F)), *out += (char)(0x80 | (cp & 0x3F));
    }
}

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); i++) {
        uint32_t cp = units[i];
        bool pair = cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                    units[i + 1] < 0xE000;
        if (pair)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD;
        AppendUtf8(&out, cp);
    }
    return out;
}

size_t Align4(size_t at) {
    return (at + 3) & ~(size_t)3;
}

// The UTF-16 text at `at` up to its NUL (before `end`) as UTF-8; false when it has no NUL.
bool ReadText(const std::vector<uint8_t>& d, size_t at, size_t end, std::string* text,
              size_t* after) {
    std::u16string units;
    for (; at + 2 <= end; at += 2) {
        char16_t c = (char16_t)ReadLE16(&d[at]);
        if (c == 0) {
            *after = at + 2;
            *text = Utf8(units);
            return true;
        }
        units.push_back(c);
    }
    return false;
}

bool ReadNode(const std::vector<uint8_t>& d, size_t at, size_t limit, NodeView* node) {
    if (at + 6 > limit) return false;
    uint16_t length = ReadLE16(&d[at]), valueLength = ReadLE16(&d[at + 2]);
    node->type = ReadLE16(&d[at + 4]);
    if (length < 6 || at + length > limit) return false;
    node->end = at + length;
    size_t after = 0;
    if (!ReadText(d, at + 6, node->end, &node->key, &after)) return false;
    node->valueAt = Align4(after);
    node->valueBytes = node->type == 1 ? valueLength * 2u : valueLength;
    if (node->valueAt + node->valueBytes > node->end) {
        if (node->valueBytes != 0) return false;
        node->valueAt = node->end;
    }
    node->childrenAt = Align4(node->valueAt + node->valueBytes);
    return true;
}

bool ForEachChild(const std::vector<uint8_t>& d, const NodeView& parent,
                  std::vector<NodeView>* children) {
    for (size_t at = parent.childrenAt; at < parent.end;) {
        NodeView child;
        if (!ReadNode(d, at, parent.end, &child)) return false;
        children->push_back(child);
        at = Align4(child.end);
    }
    return true;
}

bool ReadStrings(const std::vector<uint8_t>& d, const NodeView& table, VersionFacts* facts) {
    std::vector<NodeView> pairs;
    if (!ForEachChild(d, table, &pairs)) return false;
    for (const NodeView& pair : pairs) {
        std::string value;
        size_t after = 0;
        if (pair.type != 1 || !ReadText(d, pair.valueAt, pair.end, &value, &after)) return false;
        facts->texts[pair.key] = value;
    }
    return true;
}

}  // namespace

bool ParseVersionResource(const std::vector<uint8_t>& d, VersionFacts* facts,
                          std::string* problem) {
    NodeView root;
    *problem = "version resource is malformed";
    if (!ReadNode(d, 0, d.size(), &root) || root.key != "VS_VERSION_INFO") return false;
    if (root.valueBytes != FIXED_SIZE || ReadLE32(&d[root.valueAt]) != FIXED_SIGNATURE) {
        *problem = "version resource lacks its fixed part";
        return false;
    }
    uint32_t high = ReadLE32(&d[root.valueAt + 8]), low = ReadLE32(&d[root.valueAt + 12]);
    const uint16_t numbers[4] = {(uint16_t)(high >> 16), (uint16_t)high, (uint16_t)(low >> 16),
                                 (uint16_t)low};
    for (int i = 0; i < 4; i++) facts->numbers[i] = numbers[i];
    std::vector<NodeView> children, tables;
    if (!ForEachChild(d, root, &children)) return false;
    for (const NodeView& child : children) {
        if (child.key != "StringFileInfo") continue;
        if (!ForEachChild(d, child, &tables)) return false;
        for (const NodeView& table : tables)
            if (!ReadStrings(d, table, facts)) return false;
    }
    problem->clear();
    return true;
}
