// DER values read with every length bounded by the enclosing value, and written back.
#include "pack/der.h"

#include <stdlib.h>

#include "pack/pack_error.h"

namespace {

const size_t MAX_LENGTH_OCTETS = 4;

void Malformed(const char* what, size_t at) {
    throw PackError(std::string("malformed DER at byte ") + std::to_string(at) + ": " + what);
}

// The long-form length whose first octet is at `at` (0x81 to 0x84).
size_t ReadLongLength(const uint8_t* data, size_t at, size_t end, size_t* octets) {
    size_t count = data[at] & 0x7F;
    if (count == 0) Malformed("indefinite length", at);
    if (count > MAX_LENGTH_OCTETS) Malformed("length longer than 4 bytes", at);
    if (end - at - 1 < count) Malformed("length runs past its parent", at);
    size_t length = 0;
    for (size_t i = 1; i <= count; i++) length = (length << 8) | data[at + i];
    if (data[at + 1] == 0 || length < 128) Malformed("length not in its shortest form", at);
    *octets = 1 + count;
    return length;
}

}  // namespace

DerValue ReadDer(const uint8_t* data, size_t at, size_t end) {
    if (at >= end || end - at < 2) Malformed("value cut short", at);
    DerValue value;
    value.tag = data[at];
    value.start = at;
    if ((value.tag & 0x1F) == 0x1F) Malformed("multi-byte tag", at);
    size_t octets = 1;
    value.length = data[at + 1];
    if (value.length & 0x80) value.length = ReadLongLength(data, at + 1, end, &octets);
    value.headerSize = 1 + octets;
    if (end - at - value.headerSize < value.length) Malformed("content runs past its parent", at);
    return value;
}

std::vector<DerValue> DerChildren(const uint8_t* data, const DerValue& parent) {
    if (!(parent.tag & 0x20)) Malformed("primitive value read as constructed", parent.start);
    std::vector<DerValue> children;
    for (size_t at = parent.ContentStart(); at < parent.End();) {
        children.push_back(ReadDer(data, at, parent.End()));
        at = children.back().End();
    }
    return children;
}

std::vector<uint8_t> DerLength(size_t length) {
    if (length < 128) return {(uint8_t)length};
    std::vector<uint8_t> octets;
    for (size_t rest = length; rest; rest >>= 8) octets.insert(octets.begin(), (uint8_t)rest);
    octets.insert(octets.begin(), (uint8_t)(0x80 | octets.size()));
    return octets;
}

std::vector<uint8_t> DerWrap(uint8_t tag, const std::vector<uint8_t>& content) {
    std::vector<uint8_t> out{tag};
    std::vector<uint8_t> length = DerLength(content.size());
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

std::vector<uint8_t> DerBytes(const uint8_t* data, const DerValue& value) {
    return std::vector<uint8_t>(data + value.start, data + value.End());
}

namespace {

void AppendBase128(unsigned long long arc, std::vector<uint8_t>* out) {
    std::vector<uint8_t> digits{(uint8_t)(arc & 0x7F)};
    for (arc >>= 7; arc; arc >>= 7) digits.insert(digits.begin(), (uint8_t)(0x80 | (arc & 0x7F)));
    out->insert(out->end(), digits.begin(), digits.end());
}

}  // namespace

std::vector<uint8_t> DerOidContent(const std::string& dotted) {
    std::vector<unsigned long long> arcs;
    const char* at = dotted.c_str();
    while (*at) {
        char* end = nullptr;
        arcs.push_back(strtoull(at, &end, 10));
        at = *end == '.' ? end + 1 : end;
    }
    std::vector<uint8_t> out;
    AppendBase128(arcs.at(0) * 40 + arcs.at(1), &out);
    for (size_t i = 2; i < arcs.size(); i++) AppendBase128(arcs[i], &out);
    return out;
}

std::string DerOidText(const uint8_t* content, size_t size) {
    std::string text;
    unsigned long long arc = 0;
    for (size_t i = 0; i < size; i++) {
        if (arc >> 57) return "";  // would overflow
        arc = (arc << 7) | (content[i] & 0x7F);
        if (content[i] & 0x80) continue;
        if (text.empty()) {
            unsigned long long first = arc < 80 ? arc / 40 : 2;
            text = std::to_string(first) + "." + std::to_string(arc - first * 40);
        } else {
            text += "." + std::to_string(arc);
        }
        arc = 0;
    }
    return size && !(content[size - 1] & 0x80) ? text : "";
}
