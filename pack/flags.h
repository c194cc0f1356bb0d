// Names of the copy-table flag bits, shared by the manifest (names to bits) and the listing
// (bits to names).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// The bit of a flag name ("embedded", "launch_after_copy", ...), or 0 when unknown.
uint16_t FlagBit(const std::string& name);
// All names, comma-separated, for error messages.
std::string KnownFlagNames();
// The names of the set bits; unused bits appear as hexadecimal values.
std::vector<std::string> FlagNames(uint16_t flags);
