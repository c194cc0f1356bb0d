// What `setuppack init --update` needs of an existing manifest without building it: each
// item's line, source (as written) and installed place. Sources may be gone, so nothing is
// checked beyond the TOML itself.
#pragma once

#include <string>
#include <vector>

struct ManifestEntryRef {
    int line = 0;
    std::string source;  // "" for a program-only entry
    std::string dir, target;
};

// Throws PackError "NAME:LINE: message" when the text is not TOML or [[item]] is not a list
// of tables.
std::vector<ManifestEntryRef> ReadManifestEntries(const std::string& text,
                                                  const std::string& displayName);
