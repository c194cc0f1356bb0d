// setupsim's run of the installer: see preview.h.
#include "tools/setupsim/preview.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "pack/installer_reader.h"
#include "tools/common/scratch_folder.h"
#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/diskette_drive.h"
#include "tools/setupsim/dialog_templates.h"
#include "tools/setupsim/machine_file.h"
#include "tools/setupsim/run_installer.h"

uint32_t PackageOffsetOf(const std::string& image, long long given) {
    if (given >= 0) return (uint32_t)given;
    InstallerView view =
        ReadInstaller(reinterpret_cast<const uint8_t*>(image.data()), image.size(), {});
    if (view.offsetKnown) return view.packageOffset;
    std::string why;
    for (const std::string& problem : view.problems) why += (why.empty() ? "" : "; ") + problem;
    throw std::runtime_error("cannot find the package offset in this file (" + why +
                             "); give it with --package-offset");
}

namespace {

// Every run starts on a fresh machine: the folders of this machine's drives left under the
// same root by an earlier run are removed; nothing else there is touched, not even another
// single-letter folder.
void ClearDriveFolders(const std::string& root, const MachineFile& machine) {
    for (const sim::DriveConfig& drive : machine.config.drives) {
        std::filesystem::path folder = std::filesystem::path(root) / std::string(1, drive.letter);
        if (std::filesystem::is_symlink(folder))
            throw std::runtime_error(folder.string() +
                                     " is a link; the drives are not written through links");
        if (std::filesystem::is_directory(folder)) std::filesystem::remove_all(folder);
    }
}

std::vector<ReportEvent> RunInstaller(const std::string& image, uint32_t packageOffset,
                                      const MachineFile& machine, const AnswersFile& answers,
                                      const std::vector<DisketteContents>& diskettes,
                                      const std::string& root) {
    const std::string& modulePath = machine.config.modulePath;
    auto bootMachine = [&] {
        RegisterInstallerFileResources(image);  // the file's own templates win where it has them
        BootMachine(machine, std::filesystem::absolute(root).string());
        ClearDisketteChanges();
        if (!diskettes.empty()) InsertDiskette(modulePath, &diskettes.front());
    };
    auto scriptUser = [&] {
        ScriptUser(answers);
        if (!diskettes.empty())
            ScriptDisketteSwaps(diskettes, LabelsAskedFor(image, packageOffset), answers,
                                modulePath);
    };
    SimRun run = RunInstallerOnSim(image, packageOffset, bootMachine, scriptUser);
    return BuildReport(sim::Transcript(), run.exitCode, PresentFilePaths(machine));
}

}  // namespace

std::vector<ReportEvent> RunPreview(const PreviewOptions& options) {
    std::string image = ReadHostFile(options.installer);
    uint32_t packageOffset = PackageOffsetOf(image, options.packageOffset);
    MachineFile machine =
        options.machine.empty() ? DefaultMachine() : ReadMachineFile(options.machine);
    AnswersFile answers =
        options.answers.empty() ? DefaultAnswers() : ReadAnswersFile(options.answers);
    std::vector<DisketteContents> diskettes = LoadDiskettes(machine, options.machine);
    // Without --root the drives live in a scratch folder, removed however the run ends.
    std::optional<ScratchFolder> scratch;
    if (options.root.empty()) scratch.emplace("setupsim");
    std::string root = scratch ? scratch->path() : options.root;
    std::filesystem::create_directories(root);
    ClearDriveFolders(root, machine);
    return RunInstaller(image, packageOffset, machine, answers, diskettes, root);
}
