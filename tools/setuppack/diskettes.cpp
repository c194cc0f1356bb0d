// Diskette sets: layout, the fit check, writing the images and finding external items again.
#include "tools/setuppack/diskettes.h"

#include <string.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "pack/copy_table_rules.h"
#include "pack/file_io.h"
#include "pack/host_system.h"
#include "pack/lzss_stream.h"
#include "pack/output_set.h"
#include "pack/pack_error.h"
#include "tools/common/ascii.h"
#include "tools/common/error_line.h"
#include "tools/common/mtools.h"
#include "tools/common/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::string ExternalPath(const std::string& dir, const CopyTableEntry& e) {
    return dir + "/" + ExternalFilePath(e);
}

DisketteFile FileAt(const std::string& hostPath, const std::string& name) {
    FileFacts facts;
    if (!ReadFileFacts(hostPath, &facts)) throw PackError("cannot read " + hostPath);
    return DisketteFile{hostPath, name, facts.size};
}

// The diskette an item goes on: its label's, or the first one's when it has none.
Diskette& DisketteFor(std::vector<Diskette>* set, const std::string& label) {
    if (label.empty()) return set->front();
    for (Diskette& d : *set)
        if (d.label == label) return d;
    set->push_back(Diskette{label, {}});
    return set->back();
}

}  // namespace

bool ParseDisketteSize(const std::string& text, DisketteSize* size) {
    std::string t = AsciiUpperCopy(text);
    if (!t.empty() && t.back() == 'K') t.pop_back();
    if (t == "720") return *size = DisketteSize{720, 1024, 730112, 112}, true;
    if (t == "1440") return *size = DisketteSize{}, true;
    if (t == "2880") return *size = DisketteSize{2880, 1024, 2930688, 240}, true;
    return false;
}

std::string VolumeLabelOf(const std::string& diskLabel) {
    std::string label = AsciiUpperCopy(diskLabel.substr(0, 11));
    while (!label.empty() && label.back() == ' ') label.pop_back();
    return label.empty() ? "SETUP" : label;
}

uint64_t BytesOnDiskette(const Diskette& diskette, uint32_t clusterBytes) {
    uint64_t bytes = 0;
    for (const DisketteFile& f : diskette.files)
        bytes += (f.size + clusterBytes - 1) / clusterBytes * clusterBytes;
    return bytes;
}

std::vector<Diskette> PlanDiskettes(const InstallerView& view, const std::string& installerPath,
                                    const std::string& installerName,
                                    const std::string& externalDir) {
    std::string first = view.items.empty() ? "" : view.items[0].entry.diskLabel;
    std::vector<Diskette> set{Diskette{first, {FileAt(installerPath, installerName)}}};
    for (const InstallerItem& item : view.items) {
        const CopyTableEntry& e = item.entry;
        if (!HasExternalFile(e)) continue;
        DisketteFor(&set, e.diskLabel)
            .files.push_back(FileAt(ExternalPath(externalDir, e), e.sourceName));
    }
    return set;
}

std::string DiskLabelProblem(const std::string& label) {
    if (label.size() > 11) return "has more than the 11 characters a diskette's label holds";
    if (label.find_first_not_of(' ') == std::string::npos) return "is only blanks";
    if (label.front() == ' ') return "starts with a blank, which the diskette's label drops";
    for (unsigned char c : label) {
        if (c < 0x20 || c > 0x7E) return "holds a control or non-ASCII character";
        if (strchr("\"*+,./:;<=>?[\\]|", c))
            return std::string("holds '") + (char)c + "', which a diskette's label cannot hold";
    }
    return "";
}

void CheckDisketteLabels(const std::vector<Diskette>& diskettes) {
    for (const Diskette& d : diskettes) {
        if (d.label.empty()) continue;
        std::string problem = DiskLabelProblem(d.label);
        if (!problem.empty())
            throw PackError("disk label '" + d.label + "' " + problem +
                            "; the image's label would differ and the installer would not find "
                            "the diskette");
    }
}

void CheckDiskettesFit(const std::vector<Diskette>& diskettes, const DisketteSize& size) {
    for (const Diskette& d : diskettes) {
        std::string shown = d.label.empty() ? "the first diskette" : "diskette '" + d.label + "'";
        uint64_t needed = BytesOnDiskette(d, size.clusterBytes);
        if (needed > size.capacity)
            throw PackError(shown + " needs " + std::to_string(needed) + " bytes; a " +
                            std::to_string(size.kilobytes) + "K diskette holds " +
                            std::to_string(size.capacity) + " bytes");
        if ((int)d.files.size() * 2 > size.rootEntries)
            throw PackError(shown + " holds " + std::to_string(d.files.size()) +
                            " files, more than its root folder takes");
        std::set<std::string> names;
        for (const DisketteFile& f : d.files)
            if (!names.insert(AsciiUpperCopy(f.name)).second)
                throw PackError(shown + " would hold two files named " + f.name);
    }
}

namespace {

// Makes each image in `staging` and stages it as options.dir/diskN.img; the report lines go
// to `report`, shown once everything is in place.
void MakeDiskettes(const std::vector<Diskette>& set, const DisketteOptions& options,
                   const DisketteSize& size, long long stamp, const std::string& staging,
                   OutputSet* outputs, std::ostream& report) {
    for (size_t i = 0; i < set.size(); i++) {
        std::string name = "disk" + std::to_string(i + 1) + ".img";
        std::string image = options.dir + "/" + name, made = staging + "/" + name;
        std::string volume = VolumeLabelOf(set[i].label);
        FormatDisketteImage(made, size.kilobytes, volume, stamp);
        for (const DisketteFile& f : set[i].files) CopyIntoImage(made, f.hostPath, f.name);
        outputs->AddFile(image, made);
        report << image << ": " << volume << ", " << set[i].files.size() << " files, "
               << BytesOnDiskette(set[i], size.clusterBytes) << " of " << size.capacity
               << " bytes\n";
    }
}

// An embedded item read after the installer asked for another diskette comes from the
// installer's own file, on the first diskette, which is then out of the drive.
void WarnEmbeddedAfterSwap(const InstallerView& view, std::ostream& err) {
    std::vector<std::string> inDrive = DisketteInDrive(CopyTableEntries(view));
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        if ((e.flags & CF_EMBEDDED) && e.storedSize && inDrive[i] != inDrive[0])
            err << "setuppack: warning: " << ItemLabel(view, i)
                << " is embedded but comes after the change to diskette '" << inDrive[i]
                << "': the installer reads it from its own file on the first diskette, no "
                   "longer in the drive; move it before the first change\n";
    }
}

// The files go onto the diskettes with their items' dates, and the installer with the latest
// of them, so that the same inputs give the same images whenever they are built.
DosDateTime DateStagedFiles(const InstallerView& view, const std::string& installer,
                            const std::string& externalDir) {
    DosDateTime latest{1980, 1, 1, 0, 0, 0};
    for (const InstallerItem& item : view.items) {
        const CopyTableEntry& e = item.entry;
        DosDateTime when = DecodeDosDateTime(e.fileDate, e.fileTime);
        if (IsEarlier(latest, when)) latest = when;
        if (HasExternalFile(e)) SetFileTimeUtc(ExternalPath(externalDir, e), when);
    }
    SetFileTimeUtc(installer, latest);
    return latest;
}

// The installer and its external files as plain files in `staging`, for the images.
BuiltInstaller MakeInStaging(const BuildOptions& build, const std::string& staging,
                             BuildOptions* inStaging) {
    *inStaging = build;
    inStaging->outputPath = staging + "/" + fs::path(build.outputPath).filename().string();
    inStaging->externalDir = staging + "/external";
    BuiltInstaller built = MakeInstaller(*inStaging);
    OutputSet files;
    StageInstaller(&built, *inStaging, &files);
    files.Commit();
    return built;
}

int BuildDiskettes(const BuildOptions& build, const DisketteOptions& options,
                   const DisketteSize& size, std::ostream& out, std::ostream& err) {
    OutputSet outputs;
    outputs.MakeFolder(options.dir);
    std::string staging = outputs.PrivateFolder(options.dir);
    BuildOptions inStaging;
    BuiltInstaller built = MakeInStaging(build, staging, &inStaging);
    const InstallerView& view = built.view;
    std::vector<Diskette> set =
        PlanDiskettes(view, inStaging.outputPath, fs::path(build.outputPath).filename().string(),
                      inStaging.externalDir);
    CheckDisketteLabels(set);
    CheckDiskettesFit(set, size);
    WarnEmbeddedAfterSwap(view, err);
    DosDateTime latest = DateStagedFiles(view, inStaging.outputPath, inStaging.externalDir);
    std::ostringstream report;
    MakeDiskettes(set, options, size, SecondsSince1970(latest), staging, &outputs, report);
    if (build.externalDir.empty())
        outputs.Add(build.outputPath, built.file);
    else
        StageInstaller(&built, build, &outputs);
    outputs.Commit();
    out << report.str() << build.outputPath << ": " << view.items.size() << " items on "
        << set.size() << " diskettes in " << options.dir << "\n";
    return 0;
}

}  // namespace

int CommandBuildDiskettes(const BuildOptions& build, const DisketteOptions& options,
                          std::ostream& out, std::ostream& err) {
    DisketteSize size;
    try {
        if (!ParseDisketteSize(options.sizeText, &size))
            throw PackError("--diskette-size takes 720K, 1440K or 2880K, not " + options.sizeText);
        return BuildDiskettes(build, options, size, out, err);
    } catch (const std::exception& error) {
        err << ErrorLine("setuppack", error.what());
        return 1;
    }
}

ExternalLocator LocateInFolder(const std::string& dir) {
    return [dir](const CopyTableEntry& e) { return ExternalPath(dir, e); };
}

ExternalLocator LocateInDiskettes(const std::string& dir, const std::string& scratch) {
    std::map<std::string, std::string> folders;  // volume label -> copied-out files
    std::vector<std::string> images;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".img") images.push_back(entry.path().string());
    std::sort(images.begin(), images.end());
    for (size_t i = 0; i < images.size(); i++) {
        std::string folder = scratch + "/" + std::to_string(i + 1);
        MakeDirectories(folder);
        CopyOutOfImage(images[i], folder);
        folders.emplace(ImageVolumeLabel(images[i]), folder);
        if (i == 0) folders.emplace("", folder);  // items without a label: the first diskette
    }
    return [folders](const CopyTableEntry& e) -> std::string {
        auto at = folders.find(e.diskLabel[0] ? VolumeLabelOf(e.diskLabel) : "");
        return at == folders.end() ? "" : at->second + "/" + e.sourceName;
    };
}

std::vector<std::string> CheckExternalItems(const InstallerView& view,
                                            const ExternalLocator& locate) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < view.items.size(); i++) {
        const CopyTableEntry& e = view.items[i].entry;
        if (!HasExternalFile(e)) continue;
        std::string path = locate(e);
        std::string label = ItemLabel(view, i);
        FileFacts facts;
        if (path.empty() || !ReadFileFacts(path, &facts)) {
            problems.push_back(label + ": external file " + e.sourceName + " on disk '" +
                               e.diskLabel + "' is missing");
            continue;
        }
        if (facts.size != e.storedSize) {
            problems.push_back(label + ": external file " + path + " has " +
                               std::to_string(facts.size) + " bytes; storedSize is " +
                               std::to_string(e.storedSize));
            continue;
        }
        if (!(e.flags & CF_COMPRESSED)) continue;
        std::vector<uint8_t> stream = ReadFileBytes(path);
        try {
            DecodeLzssComplete(stream.data(), stream.size());
        } catch (const std::exception&) {
            problems.push_back(label + ": external file " + path +
                               ": its compressed stream does not end at its storedSize");
        }
    }
    return problems;
}

std::vector<std::string> ExternalItemProblems(const std::string& installerPath,
                                              const ReaderOptions& reader,
                                              const std::string& externalDir,
                                              const std::string& diskettesDir) {
    std::vector<uint8_t> file = ReadFileBytes(installerPath);
    InstallerView view = ReadInstaller(file.data(), file.size(), reader);
    if (!externalDir.empty()) return CheckExternalItems(view, LocateInFolder(externalDir));
    ScratchFolder scratch("setuppack-diskettes");
    return CheckExternalItems(view, LocateInDiskettes(diskettesDir, scratch.path()));
}
