// setupsim: runs the real installer against the simulated Windows and shows what it does on
// a user's machine: every window, dialog, message box, progress update, timer and program
// launch in virtual time, then every file it created, changed or deleted.
//
//   setupsim INSTALLER [--machine MACHINE.toml] [--answers ANSWERS.toml] [--root DIR]
//                      [--package-offset N] [--json]
#include <stdio.h>
#include <string.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tools/setupsim/preview.h"

namespace {

struct Options {
    PreviewOptions preview;
    bool json = false;
};

const char kUsage[] =
    "usage: setupsim INSTALLER [--machine MACHINE.toml] [--answers ANSWERS.toml]\n"
    "                [--root DIR] [--package-offset N] [--json]\n";

Options ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--machine")
            options.preview.machine = value();
        else if (arg == "--answers")
            options.preview.answers = value();
        else if (arg == "--root")
            options.preview.root = value();
        else if (arg == "--json")
            options.json = true;
        else if (arg == "--package-offset") {
            std::string text = value();
            char* end = nullptr;
            options.preview.packageOffset = strtoll(text.c_str(), &end, 0);
            if (*end || options.preview.packageOffset < 0 ||
                options.preview.packageOffset > 0xFFFFFFFFll)
                throw std::runtime_error("--package-offset takes a file offset, not '" + text +
                                         "'");
        } else if (arg == "-h" || arg == "--help") {
            fputs(kUsage, stdout);
            exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            throw std::runtime_error("unknown option " + arg);
        } else if (options.preview.installer.empty()) {
            options.preview.installer = arg;
        } else {
            throw std::runtime_error("only one installer at a time");
        }
    }
    if (options.preview.installer.empty()) throw std::runtime_error("no installer given");
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options = ParseArguments(argc, argv);
        std::vector<ReportEvent> report = RunPreview(options.preview);
        fputs((options.json ? ReportAsJsonLines(report) : ReportAsText(report)).c_str(), stdout);
        return 0;
    } catch (const std::exception& error) {
        fprintf(stderr, "setupsim: %s\n%s", error.what(), kUsage);
        return 2;
    }
}
