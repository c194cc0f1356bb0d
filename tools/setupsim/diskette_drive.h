// The diskettes of a preview: the machine file's [[diskette]] sets read from host folders or
// images, the first put in the installer's drive at start, and the scripted user swapping
// them when the installer asks: each "Change Diskettes" or "Error locating file" box that
// names a label is answered OK with that diskette put in (or, as the answers file says, a
// wrong one or none first, to preview the missing-file prompt).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"

struct DisketteContents {
    std::string label;
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
};

// Reads every diskette of the machine; throws std::runtime_error naming the machine file's
// line of a diskette that cannot be read.
std::vector<DisketteContents> LoadDiskettes(const MachineFile& machine,
                                            const std::string& machinePath);

// The labels the installer will ask for, in order: each change of a non-empty label along
// the copy table, the first entry's label being in the drive at start.
std::vector<std::string> LabelsAskedFor(const std::string& installerImage, uint32_t packageOffset);

// Takes the diskette out of the installer's drive and puts `diskette` in (nullptr: none).
// The installer file goes out with the first diskette, as on a real drive: an installer that
// reads its embedded items while another diskette is in fails to read them. The first
// diskette should therefore hold the installer (build --diskettes puts it there).
void InsertDiskette(const std::string& installerPath, const DisketteContents* diskette);

// The diskette changes since the last ClearDisketteChanges, for the storyboard: how many
// transcript events had been recorded when it happened, and the label put in ("" for none).
struct DisketteChange {
    size_t transcriptLength = 0;
    std::string label;
};
const std::vector<DisketteChange>& DisketteChanges();
void ClearDisketteChanges();

// The words by which both of the installer's diskette prompts ("Change Diskettes" and "Error
// locating file") name the diskette they want, "diskette labeled (LABEL)", cut from the
// prompt's text so that they follow it.
std::string DisketteWanted(const std::string& label);

// Queues the message-box answers that swap the diskettes for `asked`.
void ScriptDisketteSwaps(const std::vector<DisketteContents>& diskettes,
                         const std::vector<std::string>& asked, const AnswersFile& answers,
                         const std::string& installerPath);
