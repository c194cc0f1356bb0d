// setuppack's --json reports for build and verify (list has its own in pack/): one JSON object
// on stdout, built from the installer as written, so that it describes what ships.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "pack/installer_builder.h"
#include "pack/installer_reader.h"
#include "pack/quoted_string.h"

// Builds like CommandBuild; on success prints {output, items, external_files, listed_bytes,
// stored_bytes, ratio, package_offset, block_size, file_size}. Exit code 0 or 1.
int CommandBuildJson(const BuildOptions& options, std::ostream& out, std::ostream& err);

// Verifies like CommandVerify; prints {installer, ok, items, problems}, also when the
// installer cannot be read (the error then is a problem). Exit code 0 or 1, and "ok" is true
// exactly when the exit code is 0. `extraProblems` (the external items', or why they could
// not be checked) join the file's own.
int CommandVerifyJson(const std::string& installerPath, const ReaderOptions& reader,
                      const std::vector<std::string>& extraProblems, std::ostream& out,
                      std::ostream& err);
