// Whole LZSS streams in memory, decoded by the engine's one decoding core (ReadLzssToken and
// StoreLzssToken, as the installer's DecodeLzssToken uses them) over the wide bit reader
// LzssWideBits: the packaging tool's decompress, verify and extract all go through here, so
// they decode exactly as the installer does.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <vector>

#include "engine/core/lzss.h"

struct LzssStreamResult {
    bool endMarker = false;  // the end marker was read
    size_t consumed = 0;     // input bytes up to the one holding the marker's last bit
    uint64_t produced = 0;   // decoded bytes
    // Some match read a ring position the stream had not written itself: the stream would
    // decode differently depending on the item before it.
    bool readsUnwritten = false;
};

using LzssSink = std::function<void(const uint8_t* bytes, size_t count)>;

// Decodes one stream from `data` until its end marker or the end of the input, with the
// write position starting at 1 in `ring` (4096 bytes, used as found and left as the stream
// leaves it). Decoded bytes go to `sink` in chunks.
LzssStreamResult DecodeLzssStream(const uint8_t* data, size_t size, uint8_t* ring,
                                  const LzssSink& sink);

// Decodes with a zeroed ring; throws std::runtime_error unless the stream ends with its end
// marker in its last byte.
std::vector<uint8_t> DecodeLzssComplete(const uint8_t* data, size_t size);

// True when some match of the stream reads a ring position the stream has not written
// itself (DecodeLzssStream's readsUnwritten, from one decoding).
bool LzssReadsUnwrittenRing(const uint8_t* data, size_t size);
