// LZSS encoder for the installer's stream format: the smallest stream the format allows for
// a given input (an optimal parse over literal and match costs), never a match that reads a
// ring position the same stream has not written, so the output decodes to the input whatever
// the ring held before.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Encodes `size` bytes as one complete stream ending with the end marker.
std::vector<uint8_t> EncodeLzss(const uint8_t* data, size_t size);

inline std::vector<uint8_t> EncodeLzss(const std::vector<uint8_t>& data) {
    return EncodeLzss(data.data(), data.size());
}
