// Running mtools.
#include "tools/common/mtools.h"

#include <stdio.h>
#include <stdlib.h>

#include "pack/pack_error.h"
#include "pack/host_system.h"

namespace {

// mtools' settings for every run: images have no matching drive geometry entry, and names
// keep their case. mformat dates the volume label with SOURCE_DATE_EPOCH when it is set; a
// stamp given here stands in for it only where the environment has none.
ProgramEnvironment MtoolsEnvironment(long long stamp) {
    ProgramEnvironment environment = {{"MTOOLS_SKIP_CHECK", "1"}, {"MTOOLS_LOWER_CASE", "0"}};
    if (stamp >= 0 && !getenv("SOURCE_DATE_EPOCH"))
        environment.push_back({"SOURCE_DATE_EPOCH", std::to_string(stamp)});
    return environment;
}

// The output of a run of mtools; throws naming the image when it could not run or failed.
std::string Checked(const ProgramRun& ran, const std::vector<std::string>& args,
                    const std::string& image) {
    if (ran.status == 127 || ran.status == -1)
        throw PackError("cannot run " + args[0] + " for " + image +
                        ": diskette images need mtools (apt-get install mtools)");
    if (ran.status != 0) throw PackError(image + ": " + args[0] + " failed: " + ran.output);
    return ran.output;
}

std::string Run(const std::vector<std::string>& args, const std::string& image,
                long long stamp = -1) {
    return Checked(RunProgram(args, MtoolsEnvironment(stamp)), args, image);
}

std::string Serial(const std::string& label) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : label) hash = (hash ^ c) * 16777619u;
    char text[16];
    snprintf(text, sizeof text, "%08X", hash);
    return text;
}

}  // namespace

void FormatDisketteImage(const std::string& image, int kilobytes, const std::string& volumeLabel,
                         long long stamp) {
    remove(image.c_str());
    Run({"mformat", "-C", "-i", image, "-f", std::to_string(kilobytes), "-N", Serial(volumeLabel),
         "-v", volumeLabel, "::"},
        image, stamp);
}

void CopyIntoImage(const std::string& image, const std::string& hostPath, const std::string& name) {
    Run({"mcopy", "-m", "-i", image, hostPath, "::" + name}, image);
}

std::string ImageVolumeLabel(const std::string& image) {
    std::string output = Run({"mlabel", "-s", "-i", image, "::"}, image);
    const std::string lead = "Volume label is ";
    size_t at = output.find(lead);
    if (at == std::string::npos) return "";
    std::string label = output.substr(at + lead.size());
    while (!label.empty() && (label.back() == '\n' || label.back() == ' ')) label.pop_back();
    return label;
}

void CopyOutOfImage(const std::string& image, const std::string& folder) {
    std::vector<std::string> listing = {"mdir", "-b", "-i", image, "::"};
    ProgramRun ran = RunProgram(listing, MtoolsEnvironment(-1));
    // An empty image: some versions of mdir fail with "File not found", others list nothing
    // (and mcopy would fail on it). Any other failure (no mtools, no FAT image) is an error,
    // never an empty diskette.
    if (ran.status != 0 && ran.output.find("File not found") != std::string::npos) return;
    if (Checked(ran, listing, image).find_first_not_of(" \r\n") == std::string::npos) return;
    Run({"mcopy", "-n", "-m", "-i", image, "::*", folder + "/"}, image);
}
