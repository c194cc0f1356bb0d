// Turns the simulated Windows' transcript into what setupsim shows: readable lines or one JSON
// object per line, with the progress bar and percentage folded into "progress" events and,
// after the exit, one "file" event per file the run created, changed or deleted, then one per
// file the machine file put there that the run left alone (unchanged = true), and last the
// outcome (preview_outcome.h).
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim.h"

struct ReportEvent {
    uint64_t t = 0;
    std::string event;
    std::vector<sim::Field> fields;
};

// The run's events from the transcript, the exit and the files, in order.
// `presentPaths`: the machine's own files, reported when the run left them alone.
std::vector<ReportEvent> BuildReport(const std::vector<sim::Event>& transcript, int exitCode,
                                     const std::vector<std::string>& presentPaths = {});

std::string ReportAsText(const std::vector<ReportEvent>& report);
std::string ReportAsJsonLines(const std::vector<ReportEvent>& report);
