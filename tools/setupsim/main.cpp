// setupsim: runs the real installer against the simulated Windows and shows what it does on
// a user's machine: every window, dialog, message box, progress update, timer and program
// launch in virtual time, then every file it created, changed or deleted. The command line is
// CLI11's, with the exit codes of tools/common/cli_support.h.
#include <stdio.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>

#include "tools/common/cli_support.h"
#include "tools/common/error_line.h"
#include "tools/setupsim/preview.h"
#include "tools/setupsim/preview_outcome.h"
#include "tools/setupsim/storyboard.h"

namespace {

struct Options {
    PreviewOptions preview;
    std::string offsetText;
    bool json = false;
    std::string expect;
    std::string storyboard;  // "" for none
};

std::string CheckOffset(const std::string& text) {
    uint32_t offset = 0;
    return cli::ParseFileOffset(text, &offset)
               ? ""
               : "--package-offset takes a file offset, not '" + text + "'";
}

void AddOptions(CLI::App& app, Options* options) {
    app.add_option("INSTALLER", options->preview.installer, "The installer to preview")->required();
    app.add_option("--machine", options->preview.machine,
                   "Machine file: drives, files, Windows version, diskettes (default: the "
                   "installer on A:, a fixed C:)");
    app.add_option("--answers", options->preview.answers,
                   "Answers file: what the scripted user answers (default: OK to everything)");
    app.add_option("--root", options->preview.root,
                   "Folder for the simulated drives, kept after the run (default: a temporary "
                   "one)");
    app.add_option("--package-offset", options->offsetText,
                   "Where the package block starts, for a plain package file")
        ->check(CLI::Validator(CheckOffset, "OFFSET", "offset"));
    app.add_flag("--json", options->json, "One JSON object per event instead of text");
    app.add_option("--storyboard", options->storyboard,
                   "Also write every screen the user sees, frame by frame, as one HTML page");
    app.add_option("--expect", options->expect,
                   "Exit 0 only when the preview ends so (a stuck preview never exits 0)")
        ->check(CLI::IsMember(ExpectableOutcomes()));
    app.footer(
        "Exit status: 0 the preview ran and was not stuck (with --expect: it ended as expected);\n"
        "1 it was stuck or ended otherwise, or the installer, machine or answers file has\n"
        "problems; 2 usage error. Machine and answers file keys: machine-files.md.");
}

// The preview's exit code, with a line on stderr saying why when it is not 0.
int ExitCodeFor(Outcome outcome, const std::string& expected) {
    int code = PreviewExitCode(outcome, expected);
    if (code != cli::kOk)
        fprintf(stderr, "setupsim: the preview ended %s%s\n", OutcomeName(outcome),
                expected.empty() ? "" : (", not " + expected).c_str());
    return code;
}

int Preview(Options& options) {
    uint32_t offset = 0;
    if (cli::ParseFileOffset(options.offsetText, &offset)) options.preview.packageOffset = offset;
    try {
        std::vector<ReportEvent> report = RunPreview(options.preview);
        fputs((options.json ? ReportAsJsonLines(report) : ReportAsText(report)).c_str(), stdout);
        if (!options.storyboard.empty())
            WriteStoryboard(options.storyboard, options.preview.installer, report);
        return ExitCodeFor(ReportedOutcome(report), options.expect);
    } catch (const std::exception& error) {
        fputs(ErrorLine("setupsim", error.what()).c_str(), stderr);
        return cli::kProblems;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    return cli::RunTool(
        argc, argv, "setupsim",
        "Previews an installer on a simulated Windows machine: every window, prompt and file it "
        "touches.",
        [&](CLI::App& app) { AddOptions(app, &options); },
        [&](const CLI::App&) { return Preview(options); });
}
