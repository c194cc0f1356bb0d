// What the user does during a preview, read from a TOML file: the directory to type (or
// accept the default), button presses and keys at virtual times or when a dialog appears,
// and answers to message boxes, optionally matched by their text.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "tools/setupsim/table_keys.h"

struct AnswersFile {
    bool typeDirectory = false;
    std::string directory;  // typed into the directory field before Ok
    // Press Ok in the directory dialog after typing (or at once) and after the actions for
    // that dialog.
    bool pressOk = true;
    std::vector<sim::UserAction> actions;
    struct Answer {
        int answer;
        std::string textContains;
        std::string captionContains;
    };
    std::vector<Answer> messageBoxes;
    struct WrongDiskette {
        std::string askedFor;  // the first time this label is asked for,
        std::string insert;    // the user puts in this diskette instead ("" for none)
    };
    std::vector<WrongDiskette> wrongDiskettes;
};

// Every key an answers file may hold, per table ("" for the top level).
const std::vector<TableKeys>& AnswersFileKeys();

// Without a file: accept the default directory, OK to every message box.
AnswersFile DefaultAnswers();
AnswersFile ReadAnswersFile(const std::string& path);

// Queues the user's actions and answers in the simulation.
void ScriptUser(const AnswersFile& answers);
