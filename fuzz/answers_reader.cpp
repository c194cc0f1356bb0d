// Claim: any answers file text is either read into a script of the simulated user or refused
// with one error that names the file and a line; a script that was read can be given to the
// simulated Windows.
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_sandbox.h"
#include "tools/setupsim/answers_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string sandbox = FuzzSandbox("answers");
    const std::string path = sandbox + "/answers.toml";
    AnswersFile answers;
    if (!ReadAsToolInput(data, size, path, ReadAnswersFile, &answers)) return 0;
    sim::MachineConfig machine;
    machine.root = sandbox + "/root";
    sim::Boot(machine);
    ScriptUser(answers);
    return 0;
}
