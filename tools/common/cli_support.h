// What both tools' command lines share (CLI11): the exit codes, the footer that documents
// them, the version flag, and running a parse so that help and --version exit 0 and every
// usage error prints the message and the usage of the command it concerns on stderr and
// exits 2.
#pragma once

#include <CLI/CLI.hpp>

#include <errno.h>
#include <stdint.h>
#include <stdlib.h>

#include <functional>
#include <iostream>
#include <memory>
#include <string>

#ifndef QV_VERSION  // the build gives each tool the project's version
#define QV_VERSION "unknown"
#endif

namespace cli {

enum ExitCode { kOk = 0, kProblems = 1, kUsage = 2 };

inline const char kExitCodes[] =
    "Exit status: 0 success; 1 the installer, manifest or another input file has problems;\n"
    "2 usage error.";

// The deepest command the parse reached: its usage is the one to show after an error.
inline const CLI::App* DeepestCommand(const CLI::App& app) {
    for (const CLI::App* sub : app.get_subcommands()) return DeepestCommand(*sub);
    return &app;
}

inline std::string CommandPath(const CLI::App& app) {
    const CLI::App* parent = app.get_parent();
    return parent ? CommandPath(*parent) + " " + app.get_name() : app.get_name();
}

inline int ReportUsageError(const CLI::App& app, const CLI::ParseError& error) {
    const CLI::App* command = DeepestCommand(app);
    std::string path = CommandPath(*command);
    auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(command->get_formatter());
    std::cerr << app.get_name() << ": " << error.what() << "\n";
    if (formatter) std::cerr << formatter->make_usage(command, path);
    std::cerr << "Run '" << path << " --help' for more.\n";
    return kUsage;
}

// Parses argv; returns -1 when the command should run, else the exit code to end with.
inline int Parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return -1;
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return ReportUsageError(app, e);
    }
}

inline void AddCommonFlags(CLI::App& app, const std::string& version) {
    app.set_version_flag("--version", app.get_name() + " " + version);
    app.footer(kExitCodes);
}

// A tool's main: its command line with the common flags and what `define` adds, parsed; then,
// unless the parse has ended the run (help, version, usage error), `run`, whose result is the
// exit code.
inline int RunTool(int argc, char** argv, const std::string& name, const std::string& description,
                   const std::function<void(CLI::App&)>& define,
                   const std::function<int(const CLI::App&)>& run) {
    CLI::App app(description, name);
    AddCommonFlags(app, QV_VERSION);
    define(app);
    int parsed = Parse(app, argc, argv);
    return parsed >= 0 ? parsed : run(app);
}

// A file offset on a command line: decimal (a leading 0 is no octal prefix) or 0x
// hexadecimal, below 4 GB.
inline bool ParseFileOffset(const std::string& text, uint32_t* offset) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) return false;
    errno = 0;
    unsigned long long parsed = strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || parsed > 0xFFFFFFFFull) return false;
    *offset = (uint32_t)parsed;
    return true;
}

}  // namespace cli
