// The user's machine for a preview, read from a TOML file: drives, system directories,
// registry values, WIN.INI sections, files already present, running product windows, the
// start directory, the UTC offset and program launch results. machine_file.cpp reads it;
// machine_boot.cpp boots the simulated Windows with it.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "tools/setupsim/table_keys.h"

struct MachineFile {
    sim::MachineConfig config;
    struct RegistryValue {
        std::string key, name, value;
    };
    std::vector<RegistryValue> registry;
    std::vector<std::string> registryKeys;  // created, with or without values
    std::vector<std::string> deniedKeys;    // opened for full access: refused
    struct ProfileValue {
        std::string section, key, value;
    };
    std::vector<ProfileValue> winIni;
    struct PresentFile {
        std::string path;      // simulated path
        std::string hostFrom;  // host file to copy, or
        std::string content;   // literal content
        unsigned attributes = FILE_ATTRIBUTE_ARCHIVE;
        bool hasWritten = false;  // else the time of the machine's boot
        FILETIME written{};       // UTC
    };
    std::vector<PresentFile> files;
    struct PresentFolder {
        std::string hostFrom, to;  // every file of a host folder copied into a simulated folder
    };
    std::vector<PresentFolder> folders;
    std::vector<std::string> emptyFolders;  // simulated paths of folders created empty
    std::vector<std::string> runningWindows;
    struct LaunchResult {
        std::string program;
        unsigned result;
    };
    std::vector<LaunchResult> launchResults;
    struct Diskette {
        std::string label;    // the disk label the installer asks for
        std::string hostDir;  // its files: a host folder, or
        std::string image;    // a FAT diskette image (read with mtools)
        int line = 0;
    };
    // In the installer's drive: the first at start, the others when the user is asked for them.
    std::vector<Diskette> diskettes;
};

// The default machine: fixed C: with ample space, the installer started from removable A:,
// ProgramFilesDir "C:\Program Files", C:\WINDOWS and C:\WINDOWS\SYSTEM present.
MachineFile DefaultMachine();

// Every key a machine file may hold, per table ("" for the top level).
const std::vector<TableKeys>& MachineFileKeys();

// Reads a machine file over the default machine; throws std::runtime_error with the file
// name and line on anything it cannot take.
MachineFile ReadMachineFile(const std::string& path);

// The bytes of a file on the host; throws std::runtime_error when it cannot be read.
std::string ReadHostFile(const std::string& path);

// Simulated paths of the machine's [[file]] entries, for the report of what stayed untouched.
std::vector<std::string> PresentFilePaths(const MachineFile& machine);

// Boots the simulated Windows with this machine under `root` and puts its registry, WIN.INI,
// windows, launch results and files in place.
void BootMachine(const MachineFile& machine, const std::string& root);
