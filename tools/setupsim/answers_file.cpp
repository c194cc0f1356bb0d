// Reading an answers file (TOML) and scripting the simulated user with it. Every key is listed
// here; any other key is an error naming its line.
//
//   directory = "D:\\APPS\\QRVNE32"   typed into the directory field; leave it out to accept
//                                     the proposed directory
//   press_ok = true                   press Ok in the directory dialog after typing (or at
//                                     once). Default: true, unless an [[action]] names
//                                     DIRDLG: then the script says what happens there, and
//                                     press_ok = true presses Ok after those actions
//   [[action]] dialog = "PROGRESSDLG" (omit: whichever dialog runs), when: at = 500 (virtual
//              ms since boot) or after = 500 (virtual ms since that dialog started); omit
//              both: as soon as the dialog waits. And one of: press = 1 | key = "enter" |
//              "escape" | destroy = true | type = "text", control = 101
//   [[messagebox]] answer = "ok" | "cancel" | number, text_contains = "diskette",
//              caption_contains = "Aborting"; a box takes the next answer only when it
//              contains both texts given
//   [[diskette]] asked_for = "Disk 2", insert = "Disk 1" (or "" for none): the first time the
//              installer asks for that diskette, the user inserts the wrong one (or leaves
//              the drive empty) and the right one at the next prompt
#include "tools/setupsim/answers_file.h"

#include "resources/ui_table.h"
#include "tools/common/ascii.h"
#include "tools/setupsim/toml_input.h"

namespace {

const int kDirectoryField = DIRDLG_EDIT;
const int kOkButton = DIRDLG_OK;
const char kDirectoryDialog[] = TEMPLATE_DIRDLG;

const std::vector<TableKeys> kAnswersKeys = {
    {"", {"directory", "press_ok", "action", "messagebox", "diskette"}},
    {"action", {"dialog", "at", "after", "press", "key", "destroy", "type", "control"}},
    {"messagebox", {"answer", "text_contains", "caption_contains"}},
    {"diskette", {"asked_for", "insert"}},
};

const std::vector<std::string>& Keys(const std::string& table) {
    return KeysOf(kAnswersKeys, table);
}

const int64_t kMsInADay = 24 * 60 * 60 * 1000;
const int64_t kLargestControlId = 65535;

void ReadActionTime(const std::string& file, const toml::table& table, sim::UserAction& action) {
    if (table.get("at") && table.get("after"))
        FailAt(file, table, "an action takes at (since boot) or after (since its dialog started)");
    action.at = ReadInRange(file, table, "at", 0, kMsInADay, -1);
    action.after = ReadInRange(file, table, "after", 0, kMsInADay, -1);
}

void ReadActionKind(const std::string& file, const toml::table& table, sim::UserAction& action) {
    if (table.get("press")) {
        action.kind = sim::ActionKind::Press;
        action.control = (int)ReadInRange(file, table, "press", 0, kLargestControlId, 0);
    } else if (auto key = OptionalString(file, table, "key")) {
        if (*key == "enter")
            action.kind = sim::ActionKind::Enter;
        else if (*key == "escape")
            action.kind = sim::ActionKind::Escape;
        else
            FailAt(file, *table.get("key"), "key is \"enter\" or \"escape\"");
    } else if (OptionalBool(file, table, "destroy").value_or(false)) {
        action.kind = sim::ActionKind::Destroy;
    } else if (auto text = OptionalString(file, table, "type")) {
        action.kind = sim::ActionKind::Type;
        action.text = *text;
        action.control =
            (int)ReadInRange(file, table, "control", 0, kLargestControlId, kDirectoryField);
    } else {
        FailAt(file, table, "an action needs press, key, destroy or type");
    }
}

sim::UserAction ReadAction(const std::string& file, const toml::table& table) {
    RejectUnknownKeys(file, table, "[[action]]", Keys("action"));
    sim::UserAction action;
    action.dialog = OptionalString(file, table, "dialog").value_or("");
    ReadActionTime(file, table, action);
    ReadActionKind(file, table, action);
    return action;
}

int ReadAnswer(const std::string& file, const toml::table& table) {
    const toml::node* node = table.get("answer");
    if (!node) return IDOK;
    if (node->value_exact<int64_t>())
        return (int)ReadInRange(file, table, "answer", IDOK, 11, IDOK);
    std::string name = node->value_exact<std::string>().value_or("");
    if (name == "ok") return IDOK;
    if (name == "cancel") return IDCANCEL;
    FailAt(file, *node, "answer is \"ok\", \"cancel\" or a number");
}

AnswersFile::Answer ReadMessageBox(const std::string& file, const toml::table& table) {
    RejectUnknownKeys(file, table, "[[messagebox]]", Keys("messagebox"));
    return {ReadAnswer(file, table), OptionalString(file, table, "text_contains").value_or(""),
            OptionalString(file, table, "caption_contains").value_or("")};
}

bool IsForDirectoryDialog(const sim::UserAction& action) {
    return AsciiUpperCopy(action.dialog) == kDirectoryDialog;
}

}  // namespace

const std::vector<TableKeys>& AnswersFileKeys() {
    return kAnswersKeys;
}

AnswersFile DefaultAnswers() {
    return AnswersFile();
}

AnswersFile ReadAnswersFile(const std::string& path) {
    toml::table root = ParseTomlFile(path);
    RejectUnknownKeys(path, root, "the answers file", Keys(""));
    AnswersFile answers;
    if (auto directory = OptionalString(path, root, "directory")) {
        answers.typeDirectory = true;
        answers.directory = *directory;
    }
    ForEachTable(path, root, "action", [&](const toml::table& table) {
        answers.actions.push_back(ReadAction(path, table));
    });
    ForEachTable(path, root, "messagebox", [&](const toml::table& table) {
        answers.messageBoxes.push_back(ReadMessageBox(path, table));
    });
    ForEachTable(path, root, "diskette", [&](const toml::table& table) {
        RejectUnknownKeys(path, table, "[[diskette]]", Keys("diskette"));
        answers.wrongDiskettes.push_back(
            {RequireString(path, table, "asked_for"), RequireString(path, table, "insert")});
    });
    bool scriptsDirectoryDialog = false;
    for (const sim::UserAction& action : answers.actions)
        scriptsDirectoryDialog = scriptsDirectoryDialog || IsForDirectoryDialog(action);
    answers.pressOk = OptionalBool(path, root, "press_ok").value_or(!scriptsDirectoryDialog);
    return answers;
}

// The directory typed first, then the directory dialog's own actions, then Ok when asked for,
// then every other action: actions are taken in order, and one for a dialog that is not
// running waits at the head of the queue.
void ScriptUser(const AnswersFile& answers) {
    if (answers.typeDirectory) sim::Type(kDirectoryField, answers.directory, kDirectoryDialog);
    for (const sim::UserAction& action : answers.actions)
        if (IsForDirectoryDialog(action)) sim::QueueAction(action);
    if (answers.pressOk) sim::Press(kOkButton, kDirectoryDialog);
    for (const sim::UserAction& action : answers.actions)
        if (!IsForDirectoryDialog(action)) sim::QueueAction(action);
    for (const AnswersFile::Answer& answer : answers.messageBoxes)
        sim::AnswerMessageBox(answer.answer, answer.textContains, answer.captionContains);
}
