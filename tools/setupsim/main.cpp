// setupsim: runs the real installer against the simulated Windows and shows what it does on
// a user's machine: every window, dialog, message box, progress update, timer and program
// launch in virtual time, then every file it created, changed or deleted.
//
//   setupsim INSTALLER [--machine MACHINE.toml] [--answers ANSWERS.toml] [--root DIR]
//                      [--package-offset N] [--json]
#include <stdio.h>
#include <string.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

#include "engine/installstate.h"
#include "shell/shell.h"
#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"
#include "tools/setupsim/preview_report.h"

namespace {

struct Options {
    std::string installer, machine, answers, root;
    long long packageOffset = -1;
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
            options.machine = value();
        else if (arg == "--answers")
            options.answers = value();
        else if (arg == "--root")
            options.root = value();
        else if (arg == "--json")
            options.json = true;
        else if (arg == "--package-offset") {
            std::string text = value();
            char* end = nullptr;
            options.packageOffset = strtoll(text.c_str(), &end, 0);
            if (*end || options.packageOffset < 0 || options.packageOffset > 0xFFFFFFFFll)
                throw std::runtime_error("--package-offset takes a file offset, not '" + text +
                                         "'");
        } else if (arg == "-h" || arg == "--help") {
            fputs(kUsage, stdout);
            exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            throw std::runtime_error("unknown option " + arg);
        } else if (options.installer.empty()) {
            options.installer = arg;
        } else {
            throw std::runtime_error("only one installer at a time");
        }
    }
    if (options.installer.empty()) throw std::runtime_error("no installer given");
    return options;
}

// The offset the installer image would load with: the value right after its marker.
uint32_t PackageOffsetOf(const std::string& image, long long given) {
    if (given >= 0) return (uint32_t)given;
    bool isPe = image.size() > 0x40 && image[0] == 'M' && image[1] == 'Z';
    std::string marker(PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE);
    size_t at = image.find(marker);
    if (!isPe || at == std::string::npos || image.find(marker, at + 1) != std::string::npos ||
        at + PACKAGE_OFFSET_MARKER_SIZE + 4 > image.size())
        throw std::runtime_error(
            "cannot find the package offset in this file; give it with --package-offset");
    return ReadLE32(reinterpret_cast<const uint8_t*>(image.data()) + at +
                    PACKAGE_OFFSET_MARKER_SIZE);
}

// Every run starts on a fresh machine: the drive folders of an earlier run under the same
// root (one single-letter folder per drive) are removed; nothing else there is touched.
void ClearDriveFolders(const std::string& root) {
    for (const auto& item : std::filesystem::directory_iterator(root)) {
        std::string name = item.path().filename().string();
        if (item.is_directory() && name.size() == 1 && isalpha((unsigned char)name[0]))
            std::filesystem::remove_all(item.path());
    }
}

int Preview(const Options& options) {
    std::string image = ReadHostFile(options.installer);
    uint32_t packageOffset = PackageOffsetOf(image, options.packageOffset);
    MachineFile machine =
        options.machine.empty() ? DefaultMachine() : ReadMachineFile(options.machine);
    AnswersFile answers =
        options.answers.empty() ? DefaultAnswers() : ReadAnswersFile(options.answers);

    bool temporaryRoot = options.root.empty();
    std::string root = options.root;
    if (temporaryRoot) {
        char pattern[] = "/tmp/setupsim.XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
        root = pattern;
    }
    std::filesystem::create_directories(root);
    ClearDriveFolders(root);
    BootMachine(machine, std::filesystem::absolute(root).string());
    sim::PutFile(machine.config.modulePath, image);
    ScriptUser(answers);

    ResetInstallState();
    InstallState.packageOffset = packageOffset;
    char commandLine[] = "";
    int exitCode = InstallerMain(sim::ModuleInstance(), nullptr, commandLine, SW_SHOWNORMAL);

    std::vector<ReportEvent> report = BuildReport(sim::Transcript(), exitCode);
    fputs((options.json ? ReportAsJsonLines(report) : ReportAsText(report)).c_str(), stdout);
    if (temporaryRoot) std::filesystem::remove_all(root);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Preview(ParseArguments(argc, argv));
    } catch (const std::exception& error) {
        fprintf(stderr, "setupsim: %s\n%s", error.what(), kUsage);
        return 2;
    }
}
