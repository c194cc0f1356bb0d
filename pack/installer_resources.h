// The resources the build adds to the stub beside COMPFILES (the application manifest, the
// icon, the version information) and the same resources read back from an installer, as
// facts and problems for list and verify.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack/app_manifest.h"
#include "pack/icon_resource.h"
#include "pack/installer_settings.h"
#include "pack/pe_resources.h"
#include "pack/version_resource.h"

// The resources for `settings`, with ids free in `stubTree` and texts in `language`.
std::vector<AddedResource> SettingsResources(const InstallerSettings& settings,
                                             const ResourceDir& stubTree, uint16_t language);

struct ResourceFacts {
    bool read = false;  // the image's resource tree was read
    bool hasManifest = false;
    AppManifestFacts manifest;
    bool hasIcon = false;
    uint16_t groupId = 0;  // the first numeric RT_GROUP_ICON, the one Explorer shows
    std::vector<IconImage> icons;
    bool hasVersion = false;
    VersionFacts version;
    std::vector<std::string> problems;  // what verify reports, one line each
};

ResourceFacts ReadResourceFacts(const ResourceDir& tree);
