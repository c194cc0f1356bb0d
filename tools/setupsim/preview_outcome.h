// How a preview ended, read from the simulated Windows' transcript, so that a CI job can tell
// a complete installation from one that was aborted, stopped on an error, refused before the
// directory dialog or left a scripted user with nothing to do. The installer itself exits 0 on
// every path, so its exit code cannot say this.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "tools/setupsim/preview_report.h"

enum class Outcome {
    Completed,  // the copy ran to its end
    Aborted,    // the user chose to abort
    Stopped,    // an error ended the installation after the directory dialog
    Refused,    // the installer ended before the directory dialog was shown
    Stuck,      // a dialog or box waited for an answer the script did not give
};

struct PreviewOutcome {
    Outcome outcome = Outcome::Completed;
    std::string message;  // the text of the box that ended the run ("" when none did)
};

PreviewOutcome OutcomeOf(const std::vector<sim::Event>& transcript);

const char* OutcomeName(Outcome outcome);
std::optional<Outcome> OutcomeNamed(const std::string& name);
// The names --expect accepts: every outcome but stuck, which is never a success.
std::vector<std::string> ExpectableOutcomes();

// The report's last event: {"event": "outcome", "outcome": NAME[, "message": TEXT]}.
ReportEvent OutcomeEvent(const PreviewOutcome& outcome, uint64_t t);
// The outcome named by the report's outcome event (Stuck when the report has none).
Outcome ReportedOutcome(const std::vector<ReportEvent>& report);

// 0 when the preview did what was expected: the outcome named by `expected`, or, with no
// expectation, anything but stuck. 1 otherwise.
int PreviewExitCode(Outcome outcome, const std::string& expected);
