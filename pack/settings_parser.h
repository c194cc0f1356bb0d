// Reading the manifest's top-level keys (execution_level, icon, [version]) into the
// installer's settings, with the line of each error. Only the manifest parser includes this:
// it hands over the parsed TOML root.
#pragma once

#include <string>

#include "pack/installer_settings.h"
#include "pack/manifest_rules.h"
#include "pack/toml_text.h"

// True for the top-level keys the settings own.
bool IsSettingsKey(const std::string& key);

// The settings the root table gives (defaults for keys it lacks); throws PackError
// "NAME:LINE: message".
InstallerSettings ParseInstallerSettings(const toml::table& root, const ItemContext& context);
