// Reading an answers file (TOML) and scripting the simulated user with it.
//
//   directory = "D:\\APPS\\QRVNE32"   typed into the directory field, then Ok; leave it out
//                                     to accept the proposed directory
//   press_ok = true                   false: type the directory but press nothing there
//   [[action]] dialog = "PROGRESSDLG", at = 500 (virtual ms; omit: as soon as the dialog
//              waits), and one of: press = 1 | key = "enter" | "escape" | destroy = true |
//              type = "text", control = 101
//   [[messagebox]] answer = "ok" | "cancel" | number, text_contains = "diskette"
#include "tools/setupsim/answers_file.h"

#include "tools/setupsim/toml_input.h"

namespace {

const int kDirectoryField = 101;
const int kOkButton = 102;

sim::UserAction ReadAction(const std::string& file, const toml::table& table) {
    sim::UserAction action;
    action.dialog = table["dialog"].value_or(std::string());
    action.at = table["at"].value_or((int64_t)-1);
    if (auto press = table["press"].value<int64_t>()) {
        action.kind = sim::ActionKind::Press;
        action.control = (int)*press;
    } else if (auto key = table["key"].value<std::string>()) {
        if (*key == "enter")
            action.kind = sim::ActionKind::Enter;
        else if (*key == "escape")
            action.kind = sim::ActionKind::Escape;
        else
            FailAt(file, table, "key is \"enter\" or \"escape\"");
    } else if (table["destroy"].value_or(false)) {
        action.kind = sim::ActionKind::Destroy;
    } else if (auto text = table["type"].value<std::string>()) {
        action.kind = sim::ActionKind::Type;
        action.text = *text;
        action.control = table["control"].value_or(kDirectoryField);
    } else {
        FailAt(file, table, "an action needs press, key, destroy or type");
    }
    return action;
}

int ReadAnswer(const std::string& file, const toml::table& table) {
    const toml::node* node = table.get("answer");
    if (!node) return IDOK;
    if (auto number = node->value<int64_t>()) return (int)*number;
    std::string name = node->value_or(std::string());
    if (name == "ok") return IDOK;
    if (name == "cancel") return IDCANCEL;
    FailAt(file, *node, "answer is \"ok\", \"cancel\" or a number");
}

}  // namespace

AnswersFile DefaultAnswers() {
    return AnswersFile();
}

AnswersFile ReadAnswersFile(const std::string& path) {
    toml::table root = ParseTomlFile(path);
    AnswersFile answers;
    if (auto directory = root["directory"].value<std::string>()) {
        answers.typeDirectory = true;
        answers.directory = *directory;
    }
    answers.pressOk = root["press_ok"].value_or(true);
    for (const char* key : {"action", "messagebox"}) {
        const toml::node* node = root.get(key);
        if (node && !node->is_array_of_tables())
            FailAt(path, *node, std::string("write [[") + key + "]] tables");
    }
    if (const toml::array* actions = root["action"].as_array())
        for (const toml::node& node : *actions)
            answers.actions.push_back(ReadAction(path, *node.as_table()));
    if (const toml::array* boxes = root["messagebox"].as_array())
        for (const toml::node& node : *boxes) {
            const toml::table& table = *node.as_table();
            answers.messageBoxes.push_back(
                {ReadAnswer(path, table), table["text_contains"].value_or(std::string())});
        }
    return answers;
}

void ScriptUser(const AnswersFile& answers) {
    if (answers.typeDirectory) sim::Type(kDirectoryField, answers.directory, "DIRDLG");
    if (answers.pressOk) sim::Press(kOkButton, "DIRDLG");
    for (const sim::UserAction& action : answers.actions) sim::QueueAction(action);
    for (const AnswersFile::Answer& answer : answers.messageBoxes)
        sim::AnswerMessageBox(answer.answer, answer.textContains);
}
