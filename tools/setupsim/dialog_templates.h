// The dialog templates (and the named raw resources beside them) of an installer file's own
// PE resource section, handed to the simulated Windows so that a preview runs with what the
// installer really carries: a stub built from changed templates shows its changes. Bytes are
// untrusted: every read is bounds-checked, and what cannot be read is left out.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/sim.h"

// A binary dialog template (DLGTEMPLATE or DLGTEMPLATEEX) as the simulated Windows takes it.
// False when the bytes are not a whole template.
bool ParseDialogTemplate(const std::vector<uint8_t>& bytes, sim::DialogData* dialog);

struct InstallerResources {
    std::vector<sim::DialogData> dialogs;  // RT_DIALOG resources with string names
    struct Raw {
        std::string name, type;
        std::vector<uint8_t> bytes;
    };
    std::vector<Raw> raw;  // resources whose type and name are strings ("DIRHLP"/"TEXT")
};

// What the image carries; empty when it is no PE image or its resource tree is malformed.
InstallerResources ReadInstallerResources(const std::string& image);

// Registers them with the simulated Windows, replacing the program's own of the same names.
// Returns the number of dialog templates taken from the file.
int RegisterInstallerFileResources(const std::string& image);
