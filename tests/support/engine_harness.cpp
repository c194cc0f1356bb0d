// Running the engine on the simulated Windows: see engine_harness.h.
#include "tests/support/engine_harness.h"

#include <string.h>

#include "engine/engine.h"

int RunInstallBlock(const std::string& block, const EngineRun& run) {
    sim::PutFile(run.installerPath, BuildInstallerFile(TEST_PACKAGE_OFFSET, block));
    sim::MakeDirectories(run.targetDir);
    ResetInstallState();
    InstallState.packageOffset = TEST_PACKAGE_OFFSET;
    strncpy(InstallState.installerPath, run.installerPath.c_str(), PATH_FIELD_SIZE - 1);
    return InstallFiles(sim::ModuleInstance(), nullptr, run.sourceDir.c_str(),
                        run.targetDir.c_str());
}

int RunInstall(const std::vector<TestItem>& items, const EngineRun& run) {
    return RunInstallBlock(BuildPackageBlock(items), run);
}

TestItem ExternalItem(const std::string& targetName, const std::string& sourceName,
                      const std::string& content, uint16_t extraFlags) {
    sim::PutFile("A:\\" + sourceName, content);
    TestItem item;
    item.entry = MakeEntry((uint16_t)(CF_EXTERNAL_SOURCE | extraFlags), targetName, sourceName,
                           (uint32_t)content.size());
    return item;
}

TestItem ProgramEntry(const std::string& targetName, uint16_t flags) {
    TestItem item;
    item.entry = MakeEntry(flags, targetName, "", 0);
    return item;
}

std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) texts.push_back(box.text);
    return texts;
}

std::vector<long long> WriteSizes(const std::string& path) {
    std::vector<long long> sizes;
    for (const sim::Event& e : sim::EventsOf("write"))
        if (e.Get("path") == path) sizes.push_back(e.Number("bytes"));
    return sizes;
}

std::vector<std::string> ControlTexts(int control) {
    std::vector<std::string> texts;
    for (const sim::Event& e : sim::EventsOf("text"))
        if (e.Number("control") == control) texts.push_back(e.Get("text"));
    return texts;
}
