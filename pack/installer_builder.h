// Building an installer file: packing the manifest's items (LZSS for compressed ones), the
// package block (count, copy table, stored data in table order), the block as the data of
// resource COMPFILES/BINARY in the stub, packageOffset patched after its marker, and the
// checksum trailer appended over the finished file, with the PE header checksum kept valid
// over the same bytes.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "pack/installer_reader.h"
#include "pack/manifest.h"
#include "pack/output_set.h"

struct PackedItem {
    CopyTableEntry entry{};      // storedSize filled in
    std::vector<uint8_t> bytes;  // stored bytes (embedded) or the external file's bytes
};

// Reads and, where CF_COMPRESSED, encodes each item's source.
std::vector<PackedItem> PackItems(const std::vector<ManifestItem>& items);

// itemCount, the copy table, then the stored bytes of the CF_EMBEDDED entries.
std::vector<uint8_t> BuildPackageBlock(const std::vector<PackedItem>& items);

// Finds the one occurrence of the package offset marker in [from, to); throws PackError
// when there is none or more than one.
size_t FindOffsetMarker(const uint8_t* data, size_t from, size_t to);

// The stub with `block` as COMPFILES, the resources `settings` asks for (the application
// manifest always), packageOffset patched and the trailer appended.
std::vector<uint8_t> BuildInstallerImage(const std::vector<uint8_t>& stub,
                                         const std::vector<uint8_t>& block,
                                         const InstallerSettings& settings = InstallerSettings{});

// Appends the trailer to `file`. With `checksumOffset` non-zero, also sets the PE header
// checksum there so that it holds over the file with its trailer, using the two bytes at
// `balanceOffset` (even; free padding) to make both sums agree.
void SealInstaller(std::vector<uint8_t>* file, size_t checksumOffset, size_t balanceOffset);

// The same for a file whose last four bytes are already the trailer's place (a signed
// installer, where they end the signature): sets the checksum at `checksumOffset`, the two
// bytes at `balanceOffset` (even, before the trailer) and the trailer so that both hold.
void SolveChecksumAndTrailer(std::vector<uint8_t>* file, size_t checksumOffset,
                             size_t balanceOffset);

struct BuildOptions {
    std::string manifestPath;
    std::string stubPath;
    std::string outputPath;
    std::string externalDir;  // where external items are written; needed when there are any
    // When set, turns the built installer into the one written (signing); what it returns
    // must pass the same verification.
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> finish = nullptr;
};

struct BuildSummary {
    size_t itemCount = 0;
    size_t externalFiles = 0;
    uint32_t packageOffset = 0;
    size_t blockSize = 0;
    size_t fileSize = 0;
};

// An installer made in memory: the file, the packed items (the external ones' bytes for
// their files) and the summary.
struct BuiltInstaller {
    std::vector<uint8_t> file;
    std::vector<PackedItem> packed;
    BuildSummary summary;
    InstallerView view;  // of `file`, as verified
};
BuiltInstaller MakeInstaller(const BuildOptions& options);

// Stages the installer at options.outputPath and each external item's file in
// options.externalDir/<disk label>/<packed name>; sets summary.externalFiles.
void StageInstaller(BuiltInstaller* built, const BuildOptions& options, OutputSet* outputs);

// The whole build; writes nothing unless every check passed, and every output or none.
BuildSummary BuildInstaller(const BuildOptions& options);
