// A small reader and writer of DER, enough to walk a PKCS#7 signature and rebuild the few
// constructed values around a changed one: single-byte tags, definite lengths up to 4 bytes.
// The bytes may come from an untrusted file: every length is checked against its parent.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

const uint8_t DER_INTEGER = 0x02;
const uint8_t DER_OCTET_STRING = 0x04;
const uint8_t DER_OID = 0x06;
const uint8_t DER_SEQUENCE = 0x30;
const uint8_t DER_SET = 0x31;
const uint8_t DER_CONTEXT_0 = 0xA0;  // [0], constructed
const uint8_t DER_CONTEXT_1 = 0xA1;  // [1], constructed

// One tag-length-value: where it starts, how long its header is and its content length.
struct DerValue {
    uint8_t tag = 0;
    size_t start = 0;
    size_t headerSize = 0;
    size_t length = 0;

    size_t ContentStart() const { return start + headerSize; }
    size_t End() const { return start + headerSize + length; }
};

// The value at `at`, which must end by `end`; throws PackError when it does not fit, uses a
// multi-byte tag, an indefinite length or a length in a non-minimal form.
DerValue ReadDer(const uint8_t* data, size_t at, size_t end);
// The values inside a constructed value, in order; throws as ReadDer does, also when they do
// not fill its content exactly.
std::vector<DerValue> DerChildren(const uint8_t* data, const DerValue& parent);

// The length octets for `length` (short form below 128, else the long form).
std::vector<uint8_t> DerLength(size_t length);
// tag, length, content.
std::vector<uint8_t> DerWrap(uint8_t tag, const std::vector<uint8_t>& content);
// The complete encoding of `value`, copied out of `data`.
std::vector<uint8_t> DerBytes(const uint8_t* data, const DerValue& value);

// Content octets of an OBJECT IDENTIFIER from its dotted text ("2.5.4.3"); arcs up to 2^64.
std::vector<uint8_t> DerOidContent(const std::string& dotted);
// The dotted text of an OBJECT IDENTIFIER's content octets ("" when malformed).
std::string DerOidText(const uint8_t* content, size_t size);
