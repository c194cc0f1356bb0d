// Explicit LZSS token streams: see lzss_tokens.h.
#include "tests/support/lzss_tokens.h"

LzssTokenWriter& LzssTokenWriter::Bits(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; i--) {
        accumulator_ = (accumulator_ << 1) | ((value >> i) & 1);
        if (++bitCount_ == 8) {
            bytes_.push_back((char)accumulator_);
            accumulator_ = 0;
            bitCount_ = 0;
        }
    }
    return *this;
}

LzssTokenWriter& LzssTokenWriter::Literal(uint8_t byte) {
    return Bits(1, 1).Bits(byte, 8);
}

LzssTokenWriter& LzssTokenWriter::Literals(const std::string& bytes) {
    for (unsigned char c : bytes) Literal(c);
    return *this;
}

LzssTokenWriter& LzssTokenWriter::Match(uint16_t position, uint8_t count) {
    return Bits(0, 1).Bits(position, 12).Bits(count, 4);
}

std::string LzssTokenWriter::Unterminated() const {
    std::string out = bytes_;
    if (bitCount_) out.push_back((char)(accumulator_ << (8 - bitCount_)));
    return out;
}

std::string LzssTokenWriter::End() {
    Bits(0, 1).Bits(0, 12);
    return Unterminated();
}
