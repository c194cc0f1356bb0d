// Diskettes in the simulated installer drive.
#include "tools/setupsim/diskette_drive.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "pack/copy_table_rules.h"
#include "pack/installer_reader.h"
#include "platform/sim/sim.h"
#include "resources/ui_table.h"
#include "tools/common/scratch_folder.h"
#include "tools/common/mtools.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::pair<std::string, std::string>> FilesIn(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const fs::directory_entry& item : fs::directory_iterator(folder))
        if (item.is_regular_file())
            files.emplace_back(item.path().filename().string(), ReadHostFile(item.path().string()));
    return files;
}

std::vector<std::pair<std::string, std::string>> FilesOnImage(const std::string& image) {
    ScratchFolder scratch("setupsim-diskette");
    CopyOutOfImage(image, scratch.path());
    return FilesIn(scratch.path());
}

const DisketteContents* Find(const std::vector<DisketteContents>& diskettes,
                             const std::string& label) {
    for (const DisketteContents& d : diskettes)
        if (d.label == label) return &d;
    return nullptr;
}

std::string Folder(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

}  // namespace

std::vector<DisketteContents> LoadDiskettes(const MachineFile& machine,
                                            const std::string& machinePath) {
    std::vector<DisketteContents> loaded;
    for (const MachineFile::Diskette& d : machine.diskettes) {
        try {
            loaded.push_back(
                {d.label, d.image.empty() ? FilesIn(d.hostDir) : FilesOnImage(d.image)});
        } catch (const std::exception& error) {
            throw std::runtime_error(machinePath + ":" + std::to_string(d.line) + ": diskette '" +
                                     d.label + "': " + error.what());
        }
    }
    return loaded;
}

std::vector<std::string> LabelsAskedFor(const std::string& installerImage, uint32_t packageOffset) {
    ReaderOptions options;
    options.haveOffset = true;
    options.packageOffset = packageOffset;
    InstallerView view = ReadInstaller(reinterpret_cast<const uint8_t*>(installerImage.data()),
                                       installerImage.size(), options);
    return DisketteRequests(CopyTableEntries(view));
}

static std::vector<DisketteChange>& Changes() {
    static std::vector<DisketteChange> changes;
    return changes;
}

const std::vector<DisketteChange>& DisketteChanges() {
    return Changes();
}

void ClearDisketteChanges() {
    Changes().clear();
}

void InsertDiskette(const std::string& installerPath, const DisketteContents* diskette) {
    Changes().push_back({sim::Transcript().size(), diskette ? diskette->label : ""});
    std::string drive = Folder(installerPath);
    std::vector<std::string> present;
    for (const fs::directory_entry& item : fs::directory_iterator(sim::HostPath(drive)))
        if (item.is_regular_file()) present.push_back(item.path().filename().string());
    for (const std::string& name : present) sim::RemoveFile(drive + name);
    if (!diskette) return;
    for (const auto& [name, bytes] : diskette->files) sim::PutFile(drive + name, bytes);
}

std::string DisketteWanted(const std::string& label) {
    const std::string prompt = MSG_INSERT_DISKETTE;
    size_t hole = prompt.find("%s");
    size_t from = prompt.rfind("the ", hole) + 4;
    return prompt.substr(from, hole - from) + label + prompt.substr(hole + 2, 1);
}

void ScriptDisketteSwaps(const std::vector<DisketteContents>& diskettes,
                         const std::vector<std::string>& asked, const AnswersFile& answers,
                         const std::string& installerPath) {
    std::vector<AnswersFile::WrongDiskette> wrong = answers.wrongDiskettes;
    for (const std::string& label : asked) {
        std::string named = DisketteWanted(label);
        for (auto at = wrong.begin(); at != wrong.end(); ++at) {
            if (at->askedFor != label) continue;
            const DisketteContents* instead = Find(diskettes, at->insert);
            sim::AnswerMessageBoxThen(IDOK, named, [=] { InsertDiskette(installerPath, instead); });
            wrong.erase(at);
            break;
        }
        const DisketteContents* right = Find(diskettes, label);
        sim::AnswerMessageBoxThen(IDOK, named, [=] { InsertDiskette(installerPath, right); });
    }
}
