// The block-wise sums against plain byte loops: every length around the block sizes, starts
// at every alignment, and all-0xFF data, where a 16-bit half closest to overflowing would show.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/core/checksum.h"
#include "pack/pe_image.h"

namespace {

std::vector<uint8_t> TestBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = seed == 0 ? 0xFF : (uint8_t)rng();
    return v;
}

uint64_t PlainLe16Words(const uint8_t* bytes, size_t size, size_t skipFrom, size_t skipTo) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; i++) {
        if (i < skipFrom || i >= skipTo) sum += (i & 1) ? (uint64_t)bytes[i] << 8 : bytes[i];
    }
    return sum;
}

const size_t LENGTHS[] = {0, 1, 3, 4, 127, 128, 129, 1023, 1024, 1025, 2048, 2051, 5000, 70001};

TEST(Checksum, BlockSumsEqualThePlainSums) {
    for (uint32_t seed : {0u, 1u}) {
        std::vector<uint8_t> data = TestBytes(70001 + 3, seed);
        for (size_t start = 0; start < 4; start++) {
            for (size_t n : LENGTHS) {
                const uint8_t* bytes = data.data() + start;
                uint32_t plain = 7;
                for (size_t i = 0; i < n; i++) plain += bytes[i];
                EXPECT_EQ(AddToChecksum(7, bytes, n), plain) << n << " from " << start;
                EXPECT_EQ(SumLe16Words(bytes, n), PlainLe16Words(bytes, n, 0, 0))
                    << n << " from " << start;
            }
        }
    }
}

TEST(Checksum, PeChecksumLeavesOutItsOwnField) {
    std::vector<uint8_t> file = TestBytes(5001, 3);
    for (size_t at : {0u, 1u, 216u, 217u, 4997u}) {
        uint64_t sum = PlainLe16Words(file.data(), file.size(), at, at + 4);
        while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
        EXPECT_EQ(ComputePeChecksum(file.data(), file.size(), at), (uint32_t)sum + 5001u) << at;
    }
}

}  // namespace
