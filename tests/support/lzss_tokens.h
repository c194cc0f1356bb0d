// Explicit LZSS token streams for decoder tests: literals, matches at absolute ring positions
// and the end marker, packed most significant bit first exactly as the installer reads them.
#pragma once

#include <stdint.h>

#include <string>

class LzssTokenWriter {
   public:
    LzssTokenWriter& Literal(uint8_t byte);
    LzssTokenWriter& Literals(const std::string& bytes);
    // Copies count + 2 bytes from ring position `position` (1 to 4095), count 0 to 15.
    LzssTokenWriter& Match(uint16_t position, uint8_t count);
    // Raw bits, for streams that start a field at a chosen bit of a byte.
    LzssTokenWriter& Bits(uint32_t value, int bits);
    // Appends the end marker and pads the last byte with zeros.
    std::string End();
    // The bytes so far without an end marker (last byte zero-padded): a truncated stream.
    std::string Unterminated() const;

   private:
    std::string bytes_;
    uint32_t accumulator_ = 0;
    int bitCount_ = 0;
};
