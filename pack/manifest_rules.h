// The rules a copy-table entry must keep beyond its field formats: the flag combinations the
// installer relies on (exactly one data source for an item with a source, none for a
// program-only entry), names usable as files, folder specs that stay where they say, and
// installed paths and external files unique. The field rules are shared by the manifest
// (which refuses to build) and by verify (which reports the same fields in a finished file).
#pragma once

#include <string>
#include <vector>

#include "pack/manifest.h"

struct ItemContext {
    std::string displayName;  // the manifest's name in messages
    std::string baseDir;      // folder that relative sources are resolved against
};

// Throws PackError "NAME:LINE: message".
[[noreturn]] void FailAt(const ItemContext& context, int line, const std::string& message);

void CheckItemRules(const ManifestItem& item, const ItemContext& context);
void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context);

// True for a name that is one plain file or folder name on both Windows and the host.
bool IsPlainFileName(const std::string& name);

// `text` fit for a message: bytes outside printable ASCII shown as \xNN.
std::string ShownText(const std::string& text);

// Every problem of the entry's text fields that building refuses, one message each ("target
// name 'A\B' holds a path separator"). Empty when the entry is sound.
std::vector<std::string> EntryFieldProblems(const CopyTableEntry& entry);

// The path an entry installs its file to, as Windows compares it (a-z folded, '/' as '\'),
// for finding two items that install to the same file; "" for an entry that installs no file.
std::string InstalledPathKey(const CopyTableEntry& entry);
