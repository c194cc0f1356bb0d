// Diskette sets: the installer and its external items laid out one FAT12 image per disk
// label, and the external items found again in such a set (or in a folder) to be checked.
// The first diskette is the one the installer starts from: it holds the installer, the
// external items without a label and those of the first entry's label (the installer takes
// that diskette to be in the drive already). Every further label gets its own diskette, in
// the order the copy table first names it.
#pragma once

#include <stdint.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "pack/installer_builder.h"
#include "pack/installer_reader.h"

struct DisketteSize {
    int kilobytes = 1440;
    uint32_t clusterBytes = 512;
    uint64_t capacity = 1457664;  // bytes of data the formatted diskette holds
    int rootEntries = 224;
};

// "1440K", "1440", "720K", "2880K" (case ignored); false for any other size.
bool ParseDisketteSize(const std::string& text, DisketteSize* size);

// A disk label as a FAT volume label: upper-cased, cut to 11 characters; "SETUP" when empty.
std::string VolumeLabelOf(const std::string& diskLabel);

struct DisketteFile {
    std::string hostPath;
    std::string name;  // on the diskette
    uint64_t size = 0;
};

struct Diskette {
    std::string label;  // the disk label ("" for a first diskette without one)
    std::vector<DisketteFile> files;
};

// Bytes the files take on the diskette: whole clusters each.
uint64_t BytesOnDiskette(const Diskette& diskette, uint32_t clusterBytes);

// Lays out the installer (`installerPath`, shown as `installerName`) and the external items
// of `view`, whose files lie in `externalDir` as the build writes them.
std::vector<Diskette> PlanDiskettes(const InstallerView& view, const std::string& installerPath,
                                    const std::string& installerName,
                                    const std::string& externalDir);

// Why `label` cannot be a diskette's volume label as it is (the image would carry another
// one: cut to 11 characters, '.' or '+' replaced, blanks dropped), or "".
std::string DiskLabelProblem(const std::string& label);
// Throws PackError naming the first diskette whose label DiskLabelProblem refuses.
void CheckDisketteLabels(const std::vector<Diskette>& diskettes);

// Throws PackError when a diskette's files do not fit, naming the label and both sizes, or
// two of its files share a name.
void CheckDiskettesFit(const std::vector<Diskette>& diskettes, const DisketteSize& size);

struct DisketteOptions {
    std::string dir;  // where disk1.img, disk2.img, ... are written
    std::string sizeText = "1440K";
};

// build --diskettes: the installer as `build` makes it, and its diskette images. Nothing is
// written unless every diskette is made: the images are made in a private folder and renamed
// into place with the installer at the end. Exit code 0 or 1.
int CommandBuildDiskettes(const BuildOptions& build, const DisketteOptions& diskettes,
                          std::ostream& out, std::ostream& err);

// Where each external item's file is: in a folder as build --external-dir writes it, or in a
// set of diskette images (copied out into `scratch`). Returns "" for an item not found.
using ExternalLocator = std::function<std::string(const CopyTableEntry&)>;
ExternalLocator LocateInFolder(const std::string& dir);
ExternalLocator LocateInDiskettes(const std::string& dir, const std::string& scratch);

// Every external item present, as long as its storedSize, and a compressed one's stream
// ending exactly there. One line per problem.
std::vector<std::string> CheckExternalItems(const InstallerView& view,
                                            const ExternalLocator& locate);

// The external-item problems of the installer at `installerPath`, its files looked for in
// `externalDir` or, when that is empty, in the images in `diskettesDir`. Throws PackError
// when the installer or an image cannot be read.
std::vector<std::string> ExternalItemProblems(const std::string& installerPath,
                                              const ReaderOptions& reader,
                                              const std::string& externalDir,
                                              const std::string& diskettesDir);
