// What the manifest says about the installer file itself rather than its items: the
// execution level its application manifest requests, the icon Explorer shows for it and the
// version information of its Details tab. Each becomes a resource of the built installer.
#pragma once

#include <stdint.h>

#include <string>

struct VersionSettings {
    bool present = false;     // the manifest has a [version] table
    std::string productName;  // UTF-8, as the manifest gives them
    std::string version;      // "3.2" or "3.2.0.1": one to four numbers up to 65535
    std::string company;
    std::string description;
    std::string copyright;
    uint16_t numbers[4] = {0, 0, 0, 0};  // `version` as the fixed part of the resource holds it
};

struct InstallerSettings {
    std::string executionLevel = "requireAdministrator";
    std::string iconPath;  // resolved; "" for the default program icon
    VersionSettings version;
};

// The execution levels an application manifest can request.
bool IsExecutionLevel(const std::string& level);

// Parses "1", "1.2", "1.2.3" or "1.2.3.4" (each at most 65535) into four numbers; false
// for anything else.
bool ParseVersionNumbers(const std::string& text, uint16_t numbers[4]);
