// The one exception type of the packaging library: a message fit to show the user as is
// (what is wrong and where), raised by the manifest, the PE code, the builder and the reader.
#pragma once

#include <stdexcept>
#include <string>

struct PackError : std::runtime_error {
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};
