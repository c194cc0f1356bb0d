// The fault sweep: every platform call of every scenario fails in turn, once (transient) and
// from then on (persistent), and each run must still end well. A run ends well when it
//   - ends: no dialog is left waiting with nothing pending (no "stuck" event);
//   - completes, or tells the user: a message box that the clean run did not show, with one
//     of the installer's captions; or ends silently where that is the installer's own choice
//     (SilentReason lists those); after an "Aborting Install" message nothing more happens;
//   - holds nothing afterwards (files, memory blocks, GDI objects, drawing contexts, registry
//     keys), unless the failed call was the release itself;
//   - loses nothing: the user's files and everything outside the target folders stay as they
//     were, a kept file stays kept, and at most one installed file (the one being written)
//     differs from what the clean run installed.
//
//   fault_sweep [--depth N] [--scenario NAME] [--verbose] [--transcripts]
//               [--break-clean OPERATION]
// --depth N fails call indexes 1..N of each operation (0, the default: every index).
// --break-clean fails OPERATION from its first call on in the clean runs too: the sweep's
// check of itself, as a broken clean run must fail the sweep. Prints a table by operation and
// outcome; exits 1 when any run broke a rule (a clean run included), 2 on a bad command line.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "resources/ui_table.h"
#include "tests/sweep/sweep_scenarios.h"
#include "tools/common/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    unsigned depth = 0;
    std::string scenario;
    bool verbose = false;
    bool transcripts = false;  // the transcript of every broken run
    std::string breakClean;    // an operation failed in the clean runs as well
    bool valid = true;
};

typedef std::map<std::string, std::string> Snapshot;  // simulated path -> bytes, attributes, date

struct CleanRun {
    bool broken = false;  // a clean run that ends badly judges nothing
    Snapshot files;
    std::set<std::string> boxes;   // "caption|text"
    std::vector<unsigned> counts;  // calls per operation
};

enum Outcome { NOT_REACHED, COMPLETE, TOLD, SILENT, BROKEN, OUTCOME_COUNT };
const char* const OUTCOME_NAMES[] = {"not reached", "complete", "told", "silent", "broken"};

struct Tally {
    unsigned runs[OUTCOME_COUNT] = {};
};

// Failures the installer reports to no one, on purpose (docs/RELIABILITY.md gives the reasons).
const char* SilentReason(const std::string& operation) {
    static const std::map<std::string, const char*> reasons = {
        {"FindResourceA", "help text that cannot be loaded shows nothing; the dialog stays"},
        {"LoadResource", "help text that cannot be loaded shows nothing; the dialog stays"},
        {"LockResource", "help text that cannot be loaded shows nothing; the dialog stays"},
        {"SizeofResource", "help text that cannot be loaded shows nothing; the dialog stays"},
        {"RegisterClassA", "no main window class: the installer ends before anything is shown"},
        {"WinExec", "a program not marked required may fail to start without a word"},
        {"DeleteFileA", "a launched program that cannot be deleted stays, as a running one does"},
    };
    auto found = reasons.find(operation);
    return found == reasons.end() ? nullptr : found->second;
}

const std::set<std::string>& ReleaseCalls() {
    static const std::set<std::string> calls = {
        "CloseHandle",  "GlobalFree", "GlobalUnlock", "LocalFree", "LocalUnlock",
        "DeleteObject", "ReleaseDC",  "RegCloseKey",  "KillTimer", "FreeResource"};
    return calls;
}

// A code that the failing operation could really give.
DWORD RealisticError(const std::string& operation) {
    static const std::map<std::string, DWORD> codes = {
        {"ReadFile", ERROR_READ_FAULT},
        {"WriteFile", ERROR_WRITE_FAULT},
        {"CreateFileA", ERROR_ACCESS_DENIED},
        {"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY},
        {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
        {"CreatePen", ERROR_NOT_ENOUGH_MEMORY},
        {"CreateSolidBrush", ERROR_NOT_ENOUGH_MEMORY},
        {"SetTimer", ERROR_NOT_ENOUGH_MEMORY},
        {"RegOpenKeyExA", ERROR_FILE_NOT_FOUND},
        {"RegQueryValueExA", ERROR_FILE_NOT_FOUND},
    };
    auto found = codes.find(operation);
    return found == codes.end() ? (DWORD)ERROR_ACCESS_DENIED : found->second;
}

std::string SimPathOf(const fs::path& root, const fs::path& host) {
    std::string relative = fs::relative(host, root).generic_string();
    std::string path = relative.substr(0, 1) + ":\\" + relative.substr(2);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

Snapshot TakeSnapshot(const std::string& root) {
    Snapshot files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::string path = SimPathOf(root, entry.path());
        std::string bytes;
        sim::ReadWholeFile(path, &bytes);
        sim::FileInfo info = sim::GetFileInfo(path);
        files[path] = bytes + "|" + std::to_string(info.attributes) + "|" +
                      sim::FormatFileTime(info.lastWriteTime);
    }
    return files;
}

bool Under(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders)
        if (path.size() > folder.size() &&
            strncasecmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
            path[folder.size()] == '\\')
            return true;
    return false;
}

std::vector<std::string> NewBoxes(const CleanRun& clean) {
    std::vector<std::string> boxes;
    for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
        std::string key = box.caption + "|" + box.text;
        if (!clean.boxes.count(key)) boxes.push_back(key);
    }
    return boxes;
}

bool InstallerCaption(const std::string& box) {
    std::string missingFile = CAPTION_MISSING_FILE;
    missingFile.erase(missingFile.find("%s"));  // the caption goes on with the file's name
    for (const std::string& caption :
         {std::string(CAPTION_ABORT "|"), std::string(CAPTION_ERROR "|"),
          std::string(CAPTION_DISKETTES "|"), missingFile})
        if (box.rfind(caption, 0) == 0) return true;
    return false;
}

// What the run lost: user files changed, files outside the targets touched, installed files
// that differ from the clean run beyond the one being written.
std::string LostData(const SweepScenario& scenario, const Snapshot& before, const Snapshot& after,
                     const CleanRun& clean) {
    std::string lost;
    for (const auto& [path, signature] : before) {
        bool kept = false;
        for (const std::string& k : scenario.keptFiles) kept = kept || k == path;
        if ((kept || !Under(path, scenario.targetFolders)) &&
            (!after.count(path) || after.at(path) != signature))
            lost += "changed " + path + "; ";
    }
    int differing = 0;
    for (const auto& [path, signature] : after) {
        if (!Under(path, scenario.targetFolders)) {
            if (!before.count(path)) lost += "created outside the targets " + path + "; ";
            continue;
        }
        // Not yet installed (as before the run) is fine; installed differently is not.
        bool asBefore = before.count(path) && before.at(path) == signature;
        if (clean.files.count(path) && clean.files.at(path) != signature && !asBefore) differing++;
    }
    if (differing > 1) lost += std::to_string(differing) + " installed files differ; ";
    return lost;
}

bool SameInstalledFiles(const SweepScenario& scenario, const Snapshot& after,
                        const CleanRun& clean) {
    for (const auto& [path, signature] : clean.files)
        if (Under(path, scenario.targetFolders) &&
            (!after.count(path) || after.at(path) != signature))
            return false;
    return true;
}

std::string FreshRoot(const std::string& root) {
    fs::remove_all(root);
    fs::create_directories(root);
    return root;
}

CleanRun RunClean(const SweepScenario& scenario, const std::string& root, const Options& options) {
    scenario.arrange(FreshRoot(root));
    if (!options.breakClean.empty())
        FailPlatformCall(options.breakClean.c_str(), 1, 1, RealisticError(options.breakClean));
    RunArrangedInstaller();
    CleanRun clean;
    clean.files = TakeSnapshot(root);
    for (const sim::MessageBoxRecord& box : sim::MessageBoxes())
        clean.boxes.insert(box.caption + "|" + box.text);
    for (int id = 0; id < PLATFORM_CALL_COUNT; id++)
        clean.counts.push_back(PlatformCallCount(PlatformCallName(id)));
    clean.broken = sim::EventsOf("stuck").size() || !sim::HeldResources().empty();
    if (clean.broken) printf("%s: the clean run itself is broken\n", scenario.name);
    return clean;
}

struct Injection {
    std::string operation;
    unsigned nth;
    int persistent;
};

// A message with the caption "Aborting Install" ends the installation: nothing is written,
// created, dated or launched after the first one.
std::string WorkAfterAbortMessage() {
    bool told = false;
    for (const sim::Event& event : sim::Transcript()) {
        if (event.kind == "messagebox" && event.Get("caption") == CAPTION_ABORT) told = true;
        if (told && (event.kind == "write" || event.kind == "mkdir" || event.kind == "launch" ||
                     event.kind == "filetime" || event.kind == "attributes"))
            return "went on after " CAPTION_ABORT " (" + event.kind + " " + event.Get("path") +
                   event.Get("command") + "); ";
    }
    return "";
}

Outcome Judge(const SweepScenario& scenario, const CleanRun& clean, const Injection& fault,
              const Snapshot& before, std::string* why) {
    if (PlatformFaultsFired() == 0) return NOT_REACHED;
    // A retry prompt answered Ok a hundred times is the scripted user's patience running out,
    // not a dialog left waiting.
    for (const sim::Event& stuck : sim::EventsOf("stuck"))
        if (stuck.Get("reason") != "repeated message box") *why += "left waiting; ";
    std::string held = sim::HeldResources();
    if (!held.empty() && !ReleaseCalls().count(fault.operation)) *why += "holds " + held + "; ";
    Snapshot after = TakeSnapshot(sim::Config().root);
    *why += LostData(scenario, before, after, clean);
    *why += WorkAfterAbortMessage();
    std::vector<std::string> boxes = NewBoxes(clean);
    // A failed formatting leaves a caption built with wsprintfA empty.
    bool formattingFailed = fault.operation == "wvsprintfA";
    for (const std::string& box : boxes)
        if (!InstallerCaption(box) && !(formattingFailed && box[0] == '|'))
            *why += "unexpected box " + box + "; ";
    if (!why->empty()) return BROKEN;
    if (!boxes.empty()) return TOLD;
    if (SameInstalledFiles(scenario, after, clean)) return COMPLETE;
    if (SilentReason(fault.operation)) return SILENT;
    *why += "ended silently; ";
    return BROKEN;
}

Outcome RunInjected(const SweepScenario& scenario, const CleanRun& clean, const std::string& root,
                    const Injection& fault, std::string* why) {
    scenario.arrange(FreshRoot(root));
    Snapshot before = TakeSnapshot(root);
    FailPlatformCall(fault.operation.c_str(), fault.nth, fault.persistent,
                     RealisticError(fault.operation));
    RunArrangedInstaller();
    return Judge(scenario, clean, fault, before, why);
}

bool Skipped(const std::string& operation) {
    // Failing these says nothing: they have no failure (SetLastError) or only report one.
    return operation == "SetLastError" || operation == "GetLastError";
}

int SweepOne(const SweepScenario& scenario, const Options& options, const std::string& root,
             std::map<std::string, Tally>* tallies) {
    CleanRun clean = RunClean(scenario, root, options);
    if (clean.broken) return 1;
    unsigned calls = 0;
    for (unsigned count : clean.counts) calls += count;
    printf("%s: %u platform calls in the clean run\n", scenario.name, calls);
    int broken = 0;
    for (int id = 0; id < PLATFORM_CALL_COUNT; id++) {
        std::string operation = PlatformCallName(id);
        if (Skipped(operation) || clean.counts[id] == 0) continue;
        unsigned last =
            options.depth ? std::min(options.depth, clean.counts[id]) : clean.counts[id];
        for (unsigned nth = 1; nth <= last; nth++) {
            for (int persistent = 0; persistent < 2; persistent++) {
                std::string why;
                Outcome outcome =
                    RunInjected(scenario, clean, root, {operation, nth, persistent}, &why);
                (*tallies)[operation].runs[outcome]++;
                if (outcome == BROKEN) broken++;
                if (outcome == BROKEN || options.verbose)
                    printf("%s: %s #%u%s: %s %s\n", scenario.name, operation.c_str(), nth,
                           persistent ? " and after" : "", OUTCOME_NAMES[outcome], why.c_str());
                if (outcome == BROKEN && options.transcripts)
                    printf("%s\n", sim::TranscriptText().c_str());
            }
        }
    }
    return broken;
}

void PrintTable(const std::map<std::string, Tally>& tallies) {
    printf("\n%-24s", "operation");
    for (const char* name : OUTCOME_NAMES) printf(" %11s", name);
    printf("\n");
    Tally total;
    for (const auto& [operation, tally] : tallies) {
        printf("%-24s", operation.c_str());
        for (int o = 0; o < OUTCOME_COUNT; o++) {
            printf(" %11u", tally.runs[o]);
            total.runs[o] += tally.runs[o];
        }
        printf("\n");
    }
    printf("%-24s", "all");
    for (int o = 0; o < OUTCOME_COUNT; o++) printf(" %11u", total.runs[o]);
    printf("\n%zu operations swept; not called by any scenario:", tallies.size());
    for (int id = 0; id < PLATFORM_CALL_COUNT; id++)
        if (!tallies.count(PlatformCallName(id))) printf(" %s", PlatformCallName(id));
    printf("\n");
}

// A whole decimal number, nothing else.
bool ParseCount(const char* text, unsigned* count) {
    char* end = nullptr;
    unsigned long value = strtoul(text, &end, 10);
    if (!isdigit((unsigned char)text[0]) || *end != '\0' || value > 0xFFFFFFFFul) return false;
    *count = (unsigned)value;
    return true;
}

bool KnownOperation(const std::string& name) {
    return PlatformCallIdByName(name.c_str()) >= 0;
}

bool KnownScenario(const std::string& name) {
    for (const SweepScenario& scenario : SweepScenarios())
        if (name == scenario.name) return true;
    return false;
}

// An option the sweep does not know, or a value it cannot use, is refused: a misspelt option
// must not turn into a sweep of something else that passes.
bool TakeOption(int argc, char** argv, int* i, Options* options) {
    std::string arg = argv[*i];
    bool hasValue = *i + 1 < argc;
    if (arg == "--verbose") return options->verbose = true;
    if (arg == "--transcripts") return options->transcripts = true;
    if (!hasValue) return false;
    const char* value = argv[++*i];
    if (arg == "--depth") return ParseCount(value, &options->depth);
    if (arg == "--scenario") return KnownScenario(options->scenario = value);
    if (arg == "--break-clean") return KnownOperation(options->breakClean = value);
    return false;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc && options.valid; i++) {
        int at = i;
        if (!TakeOption(argc, argv, &i, &options)) {
            fprintf(stderr, "fault_sweep: cannot use \"%s\"\n", argv[at]);
            options.valid = false;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    if (!options.valid) {
        fprintf(stderr,
                "usage: fault_sweep [--depth N] [--scenario NAME] [--verbose] [--transcripts] "
                "[--break-clean OPERATION]\n");
        return 2;
    }
    std::optional<ScratchFolder> scratch;
    try {
        scratch.emplace("qv-sweep");
    } catch (const std::exception& error) {
        fprintf(stderr, "fault_sweep: %s\n", error.what());
        return 2;
    }
    std::string root = scratch->path();
    std::map<std::string, Tally> tallies;
    int broken = 0;
    for (const SweepScenario& scenario : SweepScenarios()) {
        if (!options.scenario.empty() && options.scenario != scenario.name) continue;
        broken += SweepOne(scenario, options, root + "/run", &tallies);
    }
    PrintTable(tallies);
    printf("%d broken runs\n", broken);
    return broken ? 1 : 0;
}
