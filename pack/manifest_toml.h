// The manifest's text parsed as TOML, for the pack sources that read manifests (toml++ is
// private to the pack library: its headers stay out of manifest_rules.h).
#pragma once

#include <string>

#include "pack/manifest_rules.h"
#include "pack/toml_text.h"

// The manifest's text as a TOML table, or a PackError naming the line the parser, or the
// text check before it, refuses.
toml::table ParseManifestToml(const std::string& text, const ItemContext& context);
