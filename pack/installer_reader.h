// Reading an installer file held in memory, treated as untrusted: the trailer, the PE
// resource COMPFILES, packageOffset (from its marker, or given for a plain file), the copy
// table and where each item's stored bytes lie. Nothing is read past the buffer whatever the
// count, sizes or text fields say; what cannot be read becomes a problem message. Shaped as
// functions over bytes so that a fuzz target can call them directly.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "engine/core/package.h"
#include "pack/installer_resources.h"
#include "pack/authenticode.h"

struct ReaderOptions {
    bool haveOffset = false;  // packageOffset given (plain files; also overrides the marker)
    uint32_t packageOffset = 0;
};

struct InstallerItem {
    CopyTableEntry entry{};
    uint8_t record[COPY_ENTRY_SIZE] = {};  // the raw record, for checks of the text fields
    size_t dataOffset = 0;                 // CF_EMBEDDED: file offset of the stored bytes
    bool dataInFile = false;               // CF_EMBEDDED: all storedSize bytes lie in the file
};

struct InstallerView {
    bool trailerPresent = false;
    uint32_t trailerStored = 0, trailerComputed = 0;

    bool isPe = false;
    bool resourceFound = false;  // COMPFILES of type BINARY
    size_t resourceOffset = 0, resourceSize = 0;
    uint32_t peChecksumStored = 0, peChecksumComputed = 0;
    ResourceFacts resources;   // the application manifest, icon and version information
    SignatureFacts signature;  // isSigned false for an unsigned or non-PE file

    bool offsetKnown = false;
    uint32_t packageOffset = 0;
    bool tableRead = false;
    uint16_t itemCount = 0;
    std::vector<InstallerItem> items;
    size_t blockEnd = 0;  // file offset after the last stored byte that lies in the file

    std::vector<std::string> problems;  // what could not be read, one line each
};

InstallerView ReadInstaller(const uint8_t* data, size_t size, const ReaderOptions& options);

// The copy table's entries of `view`, in order (what the diskette rules take).
std::vector<CopyTableEntry> CopyTableEntries(const InstallerView& view);

// The one search for the package-offset marker, shared by every tool: the offsets of each
// occurrence of its bytes in data[from, to), leaving out any that overlap the range
// [skipFrom, skipTo) (the package block: an item may hold the marker's bytes).
std::vector<size_t> FindOffsetMarkers(const uint8_t* data, size_t from, size_t to,
                                      size_t skipFrom = 0, size_t skipTo = 0);

// Every check of the file: the trailer, COMPFILES at packageOffset, the PE checksum when set,
// the package rules the installer relies on, and every compressed stream ending with its end
// marker exactly at storedSize without reading ring positions it has not written. One line
// per problem; empty when the file is sound. `data`: the bytes ReadInstaller read `view`
// from (the view says which of them lie in the file).
std::vector<std::string> VerifyInstaller(const uint8_t* data, const InstallerView& view);

// "item 3 (READ_ME.TXT)": how messages name an entry.
std::string ItemLabel(const InstallerView& view, size_t index);
