// The setuppack commands behind the command line: each takes its parsed options, reports on
// `out` and `err`, and returns the process exit code (0 success, 1 failure).
#pragma once

#include <ostream>
#include <string>

#include "pack/installer_builder.h"
#include "pack/installer_reader.h"

struct InspectOptions {
    std::string installerPath;
    ReaderOptions reader;
    bool json = false;
    std::string outputDir;  // extract only
    bool force = false;     // extract only: write what decodes despite problems
};

// One error line for stderr: "NAME:LINE: message" as it is, so that editors can jump to the
// line; any other message after "TOOL: ".
std::string ErrorLine(const std::string& tool, const std::string& message);

int CommandBuild(const BuildOptions& options, std::ostream& out, std::ostream& err);
int CommandList(const InspectOptions& options, std::ostream& out, std::ostream& err);
int CommandVerify(const InspectOptions& options, std::ostream& out, std::ostream& err);
int CommandExtract(const InspectOptions& options, std::ostream& out, std::ostream& err);
int CommandCompress(const std::string& in, const std::string& outPath, std::ostream& out,
                    std::ostream& err);
int CommandDecompress(const std::string& in, const std::string& outPath, std::ostream& out,
                      std::ostream& err);
