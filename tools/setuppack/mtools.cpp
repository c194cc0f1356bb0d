// Running mtools.
#include "tools/setuppack/mtools.h"

#include <stdio.h>
#include <stdlib.h>

#include "pack/pack_error.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct Ran {
    int status = -1;  // exit code; -1 when the program could not be run
    std::string output;
};

#ifdef _WIN32
// The Windows build of setuppack makes no diskette images: mtools is a Linux tool.
Ran RunProgram(const std::vector<std::string>&, long long = -1) {
    return Ran{};
}
#else
// Runs `args` with stdout and stderr captured together.
Ran RunProgram(const std::vector<std::string>& args, long long stamp = -1) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return Ran{};
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        setenv("MTOOLS_SKIP_CHECK", "1", 1);  // images have no matching drive geometry entry
        setenv("MTOOLS_LOWER_CASE", "0", 1);
        // mformat dates the volume label with SOURCE_DATE_EPOCH when it is set.
        if (stamp >= 0) setenv("SOURCE_DATE_EPOCH", std::to_string(stamp).c_str(), 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    Ran ran;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) ran.output.append(buffer, got);
    close(pipeFds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) return Ran{};
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}
#endif

// The output of a run of mtools; throws naming the image when it could not run or failed.
std::string Checked(const Ran& ran, const std::vector<std::string>& args,
                    const std::string& image) {
    if (ran.status == 127 || ran.status == -1)
        throw PackError("cannot run " + args[0] + " for " + image +
                        ": diskette images need mtools (apt-get install mtools)");
    if (ran.status != 0) throw PackError(image + ": " + args[0] + " failed: " + ran.output);
    return ran.output;
}

std::string Run(const std::vector<std::string>& args, const std::string& image,
                long long stamp = -1) {
    return Checked(RunProgram(args, stamp), args, image);
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
    Ran ran = RunProgram(listing);
    // An empty image: some versions of mdir fail with "File not found", others list nothing
    // (and mcopy would fail on it). Any other failure (no mtools, no FAT image) is an error,
    // never an empty diskette.
    if (ran.status != 0 && ran.output.find("File not found") != std::string::npos) return;
    if (Checked(ran, listing, image).find_first_not_of(" \r\n") == std::string::npos) return;
    Run({"mcopy", "-n", "-m", "-i", image, "::*", folder + "/"}, image);
}
