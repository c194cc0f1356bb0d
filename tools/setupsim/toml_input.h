// Reading setupsim's TOML input files: parse errors and rejected values both name the file
// and the line, so the user can find what to mend.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>
#include <toml++/toml.h>

[[noreturn]] inline void FailAt(const std::string& file, const toml::node& node,
                                const std::string& why) {
    std::ostringstream message;
    message << file << ":" << node.source().begin.line << ": " << why;
    throw std::runtime_error(message.str());
}

inline toml::table ParseTomlFile(const std::string& path) {
    try {
        return toml::parse_file(path);
    } catch (const toml::parse_error& error) {
        std::ostringstream message;
        message << path << ":" << error.source().begin.line << ": " << error.description();
        throw std::runtime_error(message.str());
    }
}
