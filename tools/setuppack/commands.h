// The setuppack commands over pack/'s library (build, list, verify, extract, compress,
// decompress; init, sign and the diskettes have their own files): each takes its parsed
// options, reports on `out` and `err` in text or JSON, and returns the process exit code
// (0 success, 1 failure).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "pack/installer_builder.h"
#include "pack/installer_reader.h"

struct InspectOptions {
    std::string installerPath;
    ReaderOptions reader;
    bool json = false;
    std::string outputDir;  // extract only
    bool force = false;     // extract only: write what decodes despite problems
};

int CommandBuild(const BuildOptions& options, std::ostream& out, std::ostream& err);
// Builds like CommandBuild; on success prints {output, items, external_files, listed_bytes,
// stored_bytes, ratio, package_offset, block_size, file_size}, built from the installer as
// written, so that it describes what ships.
int CommandBuildJson(const BuildOptions& options, std::ostream& out, std::ostream& err);
int CommandList(const InspectOptions& options, std::ostream& out, std::ostream& err);
int CommandVerify(const InspectOptions& options, std::ostream& out, std::ostream& err);
// Verifies like CommandVerify; prints {installer, ok, items, problems}, also when the
// installer cannot be read (the error then is a problem). "ok" is true exactly when the exit
// code is 0. `extraProblems` (the external items', or why they could not be checked) join
// the file's own.
int CommandVerifyJson(const std::string& installerPath, const ReaderOptions& reader,
                      const std::vector<std::string>& extraProblems, std::ostream& out,
                      std::ostream& err);
int CommandExtract(const InspectOptions& options, std::ostream& out, std::ostream& err);
int CommandCompress(const std::string& in, const std::string& outPath, std::ostream& out,
                    std::ostream& err);
int CommandDecompress(const std::string& in, const std::string& outPath, std::ostream& out,
                      std::ostream& err);
