// Running another program as setuppack's helper (never through a shell), its output captured.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    int status = -1;     // exit code; 127 when the program was not found; -1 when it could not run
    std::string output;  // stdout and stderr together
};

// Environment variables set for the program only (name, value).
using ProgramEnvironment = std::vector<std::pair<std::string, std::string>>;

// Runs args[0] (looked up on PATH) with the rest as its arguments, and `environment` added to
// its environment. The Windows build runs nothing and returns status -1.
ProgramRun RunProgram(const std::vector<std::string>& args,
                      const ProgramEnvironment& environment = {});
