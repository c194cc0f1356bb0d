// What `setuppack list` prints for a read installer: one line per fact and one block per
// entry as text; the same as one JSON object.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "pack/installer_reader.h"

// `data`, `size`: the bytes ReadInstaller read `view` from.
std::string ListInstallerText(const uint8_t* data, size_t size, const InstallerView& view);
std::string ListInstallerJson(const uint8_t* data, size_t size, const InstallerView& view);
