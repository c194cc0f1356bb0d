// One preview run: reads the installer, the machine and the answers, runs the real installer
// (InstallerMain) on a fresh simulated Windows and returns what setupsim reports.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/setupsim/preview_report.h"

struct PreviewOptions {
    std::string installer;         // host path of the installer file
    std::string machine;           // machine file; "" for the default machine
    std::string answers;           // answers file; "" for the default answers
    std::string root;              // sandbox for the drive folders; "" for a temporary one
    long long packageOffset = -1;  // -1: read from the installer's PE image
};

// The offset the installer image would load with: the value after its marker, found by the
// packaging tool's own reader (never inside the package block). `given` (>= 0) wins. Throws
// std::runtime_error naming what the reader could not find.
uint32_t PackageOffsetOf(const std::string& image, long long given);

// Throws std::runtime_error on an input it cannot use (naming the file, and its line for
// machine and answers files).
std::vector<ReportEvent> RunPreview(const PreviewOptions& options);
