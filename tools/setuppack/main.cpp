// setuppack's command line: parses the arguments into the options of one command and runs
// it. The commands themselves live in pack/commands.cpp.
#include <stdlib.h>

#include <iostream>
#include <string>
#include <vector>

#include "pack/commands.h"

namespace {

const char USAGE[] =
    "usage: setuppack build MANIFEST --stub STUB.exe -o OUT.exe [--external-dir DIR]\n"
    "       setuppack list INSTALLER [--json] [--package-offset N]\n"
    "       setuppack verify INSTALLER [--package-offset N]\n"
    "       setuppack extract INSTALLER DIR [--package-offset N] [--force]\n"
    "       setuppack compress IN OUT\n"
    "       setuppack decompress IN OUT\n";

int Usage(const std::string& problem) {
    std::cerr << "setuppack: " << problem << "\n" << USAGE;
    return 2;
}

// Splits arguments into positional ones and the values of known options; false on an
// unknown option or a missing value.
bool SplitArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                    const std::vector<std::string>& flags, std::vector<std::string>* positional,
                    std::vector<std::pair<std::string, std::string>>* options,
                    std::string* problem) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        bool isValued = false, isFlag = false;
        for (const std::string& v : valued) isValued |= a == v;
        for (const std::string& f : flags) isFlag |= a == f;
        if (isFlag) {
            options->push_back({a, ""});
        } else if (isValued) {
            if (i + 1 >= args.size()) return *problem = a + " needs a value", false;
            options->push_back({a, args[++i]});
        } else if (a.size() > 1 && a[0] == '-') {
            return *problem = "unknown option " + a, false;
        } else {
            positional->push_back(a);
        }
    }
    return true;
}

bool ParseOffset(const std::string& text, uint32_t* value) {
    char* end = nullptr;
    unsigned long long parsed = strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || text[0] == '-' || parsed > 0xFFFFFFFFull) return false;
    *value = (uint32_t)parsed;
    return true;
}

int RunBuild(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    std::string problem;
    if (!SplitArguments(args, {"--stub", "-o", "--external-dir"}, {}, &positional, &options,
                        &problem))
        return Usage(problem);
    BuildOptions build;
    for (auto& [name, value] : options) {
        (name == "--stub" ? build.stubPath
         : name == "-o"   ? build.outputPath
                          : build.externalDir) = value;
    }
    if (positional.size() != 1) return Usage("build takes one MANIFEST");
    if (build.stubPath.empty() || build.outputPath.empty())
        return Usage("build needs --stub and -o");
    build.manifestPath = positional[0];
    return CommandBuild(build, std::cout, std::cerr);
}

int RunInspect(const std::string& command, const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    std::string problem;
    std::vector<std::string> flags;
    if (command == "list") flags.push_back("--json");
    if (command == "extract") flags.push_back("--force");
    if (!SplitArguments(args, {"--package-offset"}, flags, &positional, &options, &problem))
        return Usage(problem);
    InspectOptions inspect;
    for (auto& [name, value] : options) {
        if (name == "--json") inspect.json = true;
        if (name == "--force") inspect.force = true;
        if (name == "--package-offset") {
            if (!ParseOffset(value, &inspect.reader.packageOffset))
                return Usage("bad --package-offset " + value);
            inspect.reader.haveOffset = true;
        }
    }
    size_t wanted = command == "extract" ? 2 : 1;
    if (positional.size() != wanted)
        return Usage(command + (wanted == 2 ? " takes INSTALLER DIR" : " takes one INSTALLER"));
    inspect.installerPath = positional[0];
    if (command == "extract") inspect.outputDir = positional[1];
    if (command == "list") return CommandList(inspect, std::cout, std::cerr);
    if (command == "verify") return CommandVerify(inspect, std::cout, std::cerr);
    return CommandExtract(inspect, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "build") return RunBuild(args);
    if (command == "list" || command == "verify" || command == "extract")
        return RunInspect(command, args);
    if (command == "compress" || command == "decompress") {
        if (args.size() != 2) return Usage(command + " takes IN OUT");
        return command == "compress" ? CommandCompress(args[0], args[1], std::cout, std::cerr)
                                     : CommandDecompress(args[0], args[1], std::cout, std::cerr);
    }
    if (command == "--help" || command == "-h" || command == "help") return std::cout << USAGE, 0;
    return Usage("unknown command " + command);
}
