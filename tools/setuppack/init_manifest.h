// setuppack init: a first manifest for a folder of files. Every regular file becomes one
// embedded item, compressed where that makes it smaller (files in a sub-folder install into a
// sub-directory of that name), sorted by path, its date taken from the file at build time. Files
// whose names the installer cannot hold are left out, each with the reason and what to do, on
// stderr and as a comment in the manifest, so that the manifest written always builds as it is.
#pragma once

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/core/package.h"

struct InitFile {
    std::string path;        // relative to the folder, '/'-separated
    std::string dir;         // "" or the sub-folder the file installs into
    std::string target;      // the file's name
    DosDateTime modified{};  // UTC calendar time
    std::string problem;     // why it cannot be an item, and what to do; "" when it can
};

// Why `name` cannot be a target file or sub-directory name in the package, with what to do;
// "" when it can. `isDir` adds the rules of directory specs ("&WIN", "&SYS").
std::string NameProblem(const std::string& name, bool isDir);

// Scans `folder` (recursively) and sorts the files by path; flags every problem, including
// two names that are the same file on Windows (case ignored). Throws PackError on a folder
// that cannot be read.
std::vector<InitFile> ScanFolder(const std::string& folder);

// The manifest text for the scanned files, with sources at `sourcePrefix` + path.
std::string ManifestText(const std::vector<InitFile>& files, const std::string& sourcePrefix);

struct InitOptions {
    std::string folder;
    std::string outputPath = "manifest.toml";
    bool force = false;      // replace an existing output file
    std::string updatePath;  // --update: the manifest to bring up to date with the folder
};

// Exit code 0 (manifest written, maybe with files left out) or 1 (nothing written).
int CommandInit(const InitOptions& options, std::ostream& out, std::ostream& err);

// init --update: appends one item (as init writes them) for every file of the folder that no
// item has as its source, and names on stderr each item whose source is gone. The text
// before is kept byte for byte (order, flags, comments). Exit code 0, or 1 when a source is
// gone (the additions are still written) or nothing could be written.
int CommandInitUpdate(const InitOptions& options, std::ostream& out, std::ostream& err);
