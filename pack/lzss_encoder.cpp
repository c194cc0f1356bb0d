// Optimal-parse LZSS encoder. Every match costs the same 17 bits wherever its source lies,
// so the smallest stream only needs, for each input position, the longest usable match: all
// shorter lengths reach from the same source. A binary tree of the window's positions, keyed
// by their next 17 bytes, finds that longest match along one root-to-leaf path and stops at
// the first full-length match; a backward shortest-path pass then picks the tokens.
#include "pack/lzss_encoder.h"

#include <string.h>

#include <stdexcept>

#include "engine/core/lzss.h"

namespace {

const uint32_t LITERAL_BITS = 9;
const uint32_t MATCH_BITS = 17;
const uint32_t NO_POSITION = 0xFFFFFFFFu;
// A source may lie up to a whole ring back: ring[w] still holds the byte of 4096 steps ago
// when the decoder reads it, just before it stores the new byte there.
const uint32_t MAX_DISTANCE = LZSS_RING_SIZE;
// Tree nodes are kept per position modulo NODE_SLOTS; more slots than the window holds
// positions, so the position being inserted never takes the slot of a source it may use.
const uint32_t NODE_SLOTS = 2 * LZSS_RING_SIZE;

// Input byte k lands at ring position (k + 1) mod 4096. A match cannot start at position 0,
// which is the end marker.
bool IsUsableSource(uint32_t k) {
    return ((k + LZSS_START_POSITION) & LZSS_RING_MASK) != 0;
}

// Length of the common prefix of a and b, known to be at least `from`, at most `limit`.
// Eight bytes at a time while both stay inside the limit.
inline __attribute__((always_inline)) uint32_t CommonLength(const uint8_t* a, const uint8_t* b,
                                                            uint32_t from, uint32_t limit) {
    uint32_t length = from;
    while (length + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + length, 8);
        memcpy(&y, b + length, 8);
        if (x != y) return length + (uint32_t)__builtin_ctzll(x ^ y) / 8;
        length += 8;
    }
    while (length < limit && a[length] == b[length]) length++;
    return length;
}

struct Match {
    uint32_t length;
    uint32_t source;
};

// The window's usable source positions in one binary search tree per 2-byte prefix, ordered
// by the next LZSS_MAX_MATCH bytes, newest at the root: every node's subtree is older than
// the node, so the first node outside the window ends the walk. A new position that equals a
// node in all 17 bytes replaces it (the newer copy serves every later match as well).
class MatchFinder {
   public:
    MatchFinder(const uint8_t* data, uint32_t size)
        : data_(data),
          size_(size),
          tailStart_(size > LZSS_MAX_MATCH ? size - LZSS_MAX_MATCH + 1 : 0),
          head_(65536, NO_POSITION),
          smaller_(NODE_SLOTS, NO_POSITION),
          larger_(NODE_SLOTS, NO_POSITION) {}

    // The longest usable match for position i, then i joins the window as a source. Only
    // positions before i are sources, so the decoder has written each one when it reads it.
    Match Next(uint32_t i) {
        if (i >= tailStart_) return TailMatch(i);
        if (!IsUsableSource(i)) return Search(i, LZSS_MAX_MATCH);
        return SearchAndInsert(i);
    }

   private:
    uint32_t Key(uint32_t i) const { return (uint32_t)data_[i] << 8 | data_[i + 1]; }
    bool InWindow(uint32_t node, uint32_t i) const {
        return node != NO_POSITION && i - node <= MAX_DISTANCE;
    }
    static uint32_t Slot(uint32_t node) { return node % NODE_SLOTS; }

    // Walks i's path down the tree, hanging the nodes it passes under i by their order
    // relative to i's bytes, so that i becomes the root.
    Match SearchAndInsert(uint32_t i) {
        const uint8_t* current = data_ + i;
        uint32_t* head = &head_[Key(i)];
        uint32_t node = *head;
        *head = i;
        uint32_t* smallerLink = &smaller_[Slot(i)];
        uint32_t* largerLink = &larger_[Slot(i)];
        uint32_t smallerLength = 2, largerLength = 2;  // common prefixes with the two sides
        Match best{0, 0};
        while (InWindow(node, i)) {
            const uint8_t* candidate = data_ + node;
            uint32_t known = smallerLength < largerLength ? smallerLength : largerLength;
            uint32_t length = CommonLength(candidate, current, known, LZSS_MAX_MATCH);
            if (length > best.length) best = Match{length, node};
            if (length == LZSS_MAX_MATCH) {
                *smallerLink = smaller_[Slot(node)];
                *largerLink = larger_[Slot(node)];
                return best;
            }
            if (candidate[length] < current[length]) {
                *smallerLink = node;
                smallerLink = &larger_[Slot(node)];
                node = *smallerLink;
                smallerLength = length;
            } else {
                *largerLink = node;
                largerLink = &smaller_[Slot(node)];
                node = *largerLink;
                largerLength = length;
            }
        }
        *smallerLink = NO_POSITION;
        *largerLink = NO_POSITION;
        return best;
    }

    // The same walk without changing the tree, comparing at most `limit` bytes.
    Match Search(uint32_t i, uint32_t limit) const {
        const uint8_t* current = data_ + i;
        uint32_t node = head_[Key(i)];
        uint32_t smallerLength = 2, largerLength = 2;
        Match best{0, 0};
        while (InWindow(node, i)) {
            const uint8_t* candidate = data_ + node;
            uint32_t known = smallerLength < largerLength ? smallerLength : largerLength;
            uint32_t length = CommonLength(candidate, current, known, limit);
            if (length > best.length) best = Match{length, node};
            if (length == limit) break;
            if (candidate[length] < current[length]) {
                node = larger_[Slot(node)];
                smallerLength = length;
            } else {
                node = smaller_[Slot(node)];
                largerLength = length;
            }
        }
        return best;
    }

    // The last positions cannot hold a full-length key, so they stay out of the tree: their
    // matches come from the tree and, directly, from the earlier positions of the tail.
    Match TailMatch(uint32_t i) const {
        uint32_t limit = size_ - i;
        if (limit < LZSS_MIN_MATCH) return Match{0, 0};
        Match best = Search(i, limit);
        uint32_t from =
            i > MAX_DISTANCE && i - MAX_DISTANCE > tailStart_ ? i - MAX_DISTANCE : tailStart_;
        for (uint32_t s = from; s < i && best.length < limit; s++) {
            if (!IsUsableSource(s)) continue;
            uint32_t length = CommonLength(data_ + s, data_ + i, 0, limit);
            if (length > best.length) best = Match{length, s};
        }
        return best;
    }

    const uint8_t* data_;
    uint32_t size_;
    uint32_t tailStart_;
    std::vector<uint32_t> head_;
    std::vector<uint32_t> smaller_;
    std::vector<uint32_t> larger_;
};

// Bits most significant first, gathered in a 64-bit word and written out a byte at a time.
class BitWriter {
   public:
    explicit BitWriter(size_t expectedBytes) { out_.reserve(expectedBytes); }
    void Put(uint32_t value, int bits) {
        pending_ = pending_ << bits | value;
        used_ += bits;
        while (used_ >= 8) {
            used_ -= 8;
            out_.push_back((uint8_t)(pending_ >> used_));
        }
    }
    std::vector<uint8_t> Finish() {
        if (used_ > 0) Put(0, 8 - used_);
        return std::move(out_);
    }

   private:
    std::vector<uint8_t> out_;
    uint64_t pending_ = 0;
    int used_ = 0;
};

// Chooses the token at every position: choice[i] is 1 for a literal, else the match length.
// On input, choice[i] holds the longest match length at i (0 or 1 for none). Lengths are
// tried longest first and a shorter one only wins when strictly cheaper; the fewest bits to
// the end rarely grow with the position, so the longest match is nearly always the pick.
void ChooseTokens(std::vector<uint8_t>& choice) {
    size_t n = choice.size();
    // cost[j]: fewest bits to encode from j to the end
    std::vector<uint32_t> cost(n + 1, 0);
    uint8_t* pick = choice.data();
    uint32_t* costs = cost.data();
    for (size_t i = n; i-- > 0;) {
        uint32_t longest = pick[i];
        uint32_t best = LITERAL_BITS + costs[i + 1];
        uint32_t chosen = 1;
        if (longest >= LZSS_MIN_MATCH) {
            uint32_t cheapest = costs[i + longest], at = longest;
            for (uint32_t length = longest - 1; length >= LZSS_MIN_MATCH; length--) {
                if (costs[i + length] < cheapest) cheapest = costs[i + length], at = length;
            }
            if (MATCH_BITS + cheapest <= best) best = MATCH_BITS + cheapest, chosen = at;
        }
        costs[i] = best;
        pick[i] = (uint8_t)chosen;
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
        Match m = finder.Next(i);
        choice[i] = (uint8_t)m.length;
        source[i] = m.source;
    }
    ChooseTokens(choice);

    BitWriter bits(size / 2 + 16);
    for (uint32_t i = 0; i < n; i += choice[i]) {
        if (choice[i] == 1) {
            bits.Put(0x100 | data[i], 1 + 8);
        } else {
            uint32_t position = (source[i] + LZSS_START_POSITION) & LZSS_RING_MASK;
            bits.Put(position << LZSS_COUNT_BITS | (choice[i] - LZSS_MIN_MATCH),
                     1 + LZSS_POSITION_BITS + LZSS_COUNT_BITS);
        }
    }
    bits.Put(0, 1 + LZSS_POSITION_BITS);  // the end marker: flag 0, position 0
    return bits.Finish();
}
