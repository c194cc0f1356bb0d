// setupsim's outcome of a preview: see preview_outcome.h.
#include "tools/setupsim/preview_outcome.h"

#include "resources/ui_table.h"
#include "tools/common/ascii.h"

namespace {

const char kAbortCaption[] = CAPTION_ABORT;
const char kUserAbortText[] = MSG_USER_ABORT;
const char kDirectoryDialog[] = TEMPLATE_DIRDLG;

const std::pair<Outcome, const char*> kNames[] = {{Outcome::Completed, "completed"},
                                                  {Outcome::Aborted, "aborted"},
                                                  {Outcome::Stopped, "stopped"},
                                                  {Outcome::Refused, "refused"},
                                                  {Outcome::Stuck, "stuck"}};

bool StartsDirectoryDialog(const sim::Event& e) {
    return e.kind == "dialog" && AsciiUpperCopy(e.Get("template")) == kDirectoryDialog;
}

bool IsAbortBox(const sim::Event& e) {
    return e.kind == "messagebox" && e.Get("caption") == kAbortCaption;
}

}  // namespace

PreviewOutcome OutcomeOf(const std::vector<sim::Event>& transcript) {
    bool directoryDialogShown = false;
    const sim::Event* endingBox = nullptr;
    for (const sim::Event& e : transcript) {
        if (e.kind == "stuck") return {Outcome::Stuck, ""};
        directoryDialogShown = directoryDialogShown || StartsDirectoryDialog(e);
        if (IsAbortBox(e)) endingBox = &e;
    }
    std::string message = endingBox ? endingBox->Get("text") : "";
    if (!directoryDialogShown) return {Outcome::Refused, message};
    if (!endingBox) return {Outcome::Completed, ""};
    return {message == kUserAbortText ? Outcome::Aborted : Outcome::Stopped, message};
}

const char* OutcomeName(Outcome outcome) {
    for (const auto& [value, name] : kNames)
        if (value == outcome) return name;
    return "stuck";
}

std::optional<Outcome> OutcomeNamed(const std::string& name) {
    for (const auto& [value, known] : kNames)
        if (name == known) return value;
    return std::nullopt;
}

std::vector<std::string> ExpectableOutcomes() {
    std::vector<std::string> names;
    for (const auto& [value, name] : kNames)
        if (value != Outcome::Stuck) names.push_back(name);
    return names;
}

ReportEvent OutcomeEvent(const PreviewOutcome& outcome, uint64_t t) {
    ReportEvent event{t, "outcome", {{"outcome", OutcomeName(outcome.outcome), false}}};
    if (!outcome.message.empty()) event.fields.push_back({"message", outcome.message, false});
    return event;
}

Outcome ReportedOutcome(const std::vector<ReportEvent>& report) {
    for (auto e = report.rbegin(); e != report.rend(); ++e)
        if (e->event == "outcome" && !e->fields.empty())
            return OutcomeNamed(e->fields.front().value).value_or(Outcome::Stuck);
    return Outcome::Stuck;
}

int PreviewExitCode(Outcome outcome, const std::string& expected) {
    if (outcome == Outcome::Stuck) return 1;
    if (expected.empty()) return 0;
    return OutcomeNamed(expected) == outcome ? 0 : 1;
}
