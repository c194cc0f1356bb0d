// Optimal-parse LZSS encoder. Every match costs the same 17 bits wherever its source lies,
// so the smallest stream only needs, for each input position, the longest usable match: all
// shorter lengths reach from the same source. Hash chains over exact 2-byte keys enumerate
// the sources inside the window; a backward shortest-path pass then picks the tokens.
#include "pack/lzss_encoder.h"

#include <stdexcept>

#include "engine/core/lzss.h"

namespace {

const uint32_t LITERAL_BITS = 9;
const uint32_t MATCH_BITS = 17;
const uint32_t NO_POSITION = 0xFFFFFFFFu;
// A source may lie up to a whole ring back: ring[w] still holds the byte of 4096 steps ago
// when the decoder reads it, just before it stores the new byte there.
const uint32_t MAX_DISTANCE = LZSS_RING_SIZE;
const uint32_t CHAIN_SIZE = 2 * LZSS_RING_SIZE;  // chain links outlive the window
const size_t COST_RING = 32;                     // > LZSS_MAX_MATCH

// Input byte k lands at ring position (k + 1) mod 4096. A match cannot start at position 0,
// which is the end marker.
bool IsUsableSource(uint32_t k) {
    return ((k + LZSS_START_POSITION) & LZSS_RING_MASK) != 0;
}

struct Match {
    uint32_t length;
    uint32_t source;
};

class MatchFinder {
   public:
    MatchFinder(const uint8_t* data, uint32_t size)
        : data_(data), size_(size), head_(65536, NO_POSITION), prev_(CHAIN_SIZE, NO_POSITION) {}

    // The longest match for position i among the usable sources inside the window; only
    // bytes before i are sources, so the decoder has written each one when it reads it.
    Match Longest(uint32_t i) const {
        Match best{1, 0};
        uint32_t limit = size_ - i < LZSS_MAX_MATCH ? size_ - i : LZSS_MAX_MATCH;
        if (limit < LZSS_MIN_MATCH) return Match{0, 0};
        uint32_t candidate = head_[Key(i)];
        while (candidate != NO_POSITION && i - candidate <= MAX_DISTANCE) {
            if (data_[candidate + best.length] == data_[i + best.length]) {
                uint32_t length = LZSS_MIN_MATCH;
                while (length < limit && data_[candidate + length] == data_[i + length]) length++;
                if (length > best.length) best = Match{length, candidate};
                if (best.length == limit) break;
            }
            uint32_t next = prev_[candidate % CHAIN_SIZE];
            if (next >= candidate) break;
            candidate = next;
        }
        return best.length >= LZSS_MIN_MATCH ? best : Match{0, 0};
    }

    void Insert(uint32_t i) {
        if (i + 1 >= size_ || !IsUsableSource(i)) return;
        uint32_t key = Key(i);
        prev_[i % CHAIN_SIZE] = head_[key];
        head_[key] = i;
    }

   private:
    uint32_t Key(uint32_t i) const { return (uint32_t)data_[i] << 8 | data_[i + 1]; }

    const uint8_t* data_;
    uint32_t size_;
    std::vector<uint32_t> head_;
    std::vector<uint32_t> prev_;
};

class BitWriter {
   public:
    void Put(uint32_t value, int bits) {
        for (int b = bits - 1; b >= 0; b--) {
            current_ = (uint8_t)(current_ << 1 | ((value >> b) & 1));
            if (++used_ == 8) Flush();
        }
    }
    std::vector<uint8_t> Finish() {
        if (used_ > 0) {
            current_ = (uint8_t)(current_ << (8 - used_));
            Flush();
        }
        return std::move(out_);
    }

   private:
    void Flush() {
        out_.push_back(current_);
        current_ = 0;
        used_ = 0;
    }
    std::vector<uint8_t> out_;
    uint8_t current_ = 0;
    int used_ = 0;
};

// Chooses the token at every position: choice[i] is 1 for a literal, else the match length.
// On input, choice[i] holds the longest match length at i (0 or 1 for none).
void ChooseTokens(std::vector<uint8_t>& choice) {
    uint64_t cost[COST_RING];  // cost[j % COST_RING]: fewest bits to encode from j to the end
    size_t n = choice.size();
    cost[n % COST_RING] = 0;
    for (size_t i = n; i-- > 0;) {
        uint64_t best = LITERAL_BITS + cost[(i + 1) % COST_RING];
        uint8_t pick = 1;
        for (uint32_t length = LZSS_MIN_MATCH; length <= choice[i]; length++) {
            uint64_t viaMatch = MATCH_BITS + cost[(i + length) % COST_RING];
            if (viaMatch <= best) best = viaMatch, pick = (uint8_t)length;
        }
        cost[i % COST_RING] = best;
        choice[i] = pick;
    }
}

}  // namespace

std::vector<uint8_t> EncodeLzss(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFF0u) throw std::length_error("input too large for one LZSS stream");
    uint32_t n = (uint32_t)size;
    std::vector<uint8_t> choice(n);
    std::vector<uint32_t> source(n);
    MatchFinder finder(data, n);
    for (uint32_t i = 0; i < n; i++) {
        Match m = finder.Longest(i);
        choice[i] = (uint8_t)m.length;
        source[i] = m.source;
        finder.Insert(i);
    }
    ChooseTokens(choice);

    BitWriter bits;
    for (uint32_t i = 0; i < n; i += choice[i]) {
        if (choice[i] == 1) {
            bits.Put(1, 1);
            bits.Put(data[i], 8);
        } else {
            bits.Put(0, 1);
            bits.Put((source[i] + LZSS_START_POSITION) & LZSS_RING_MASK, LZSS_POSITION_BITS);
            bits.Put(choice[i] - LZSS_MIN_MATCH, LZSS_COUNT_BITS);
        }
    }
    bits.Put(0, 1 + LZSS_POSITION_BITS);  // the end marker: flag 0, position 0
    return bits.Finish();
}
