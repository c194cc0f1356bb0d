// The installer's application manifest (resource type 24, id 1): the execution level Windows
// Vista and later start it with, in the trustInfo form Windows XP also accepts, and the
// Windows versions it knows (Vista to 11), so that the compatibility assistant leaves it
// alone. It declares no DPI awareness: the system keeps scaling the dialogs. Windows 95, 98
// and NT 4.0 ignore the resource.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

const uint16_t RT_MANIFEST_TYPE = 24;
const uint16_t APP_MANIFEST_ID = 1;

// The manifest's XML for `level` (requireAdministrator, highestAvailable or asInvoker).
std::string AppManifestXml(const std::string& level);

struct AppManifestFacts {
    std::string level;    // requestedExecutionLevel's level; "" when absent
    int supportedOs = 0;  // how many of the five Windows versions it declares
};

// Checks the XML (well-formed, the execution level in the XP-compatible trustInfo, every
// supportedOS, no DPI awareness); returns the problems, one line each, and fills `facts`.
std::vector<std::string> CheckAppManifest(const std::string& xml, AppManifestFacts* facts);

// True when `xml` is well-formed as far as an application manifest needs: one root element,
// every tag closed in order, attributes quoted, comments and the declaration closed.
bool IsWellFormedXml(const std::string& xml);
