// What the setupsim tests share: a small installer built from test items, written with its
// machine and answers files into the test's folder, as the options of one preview.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/package_builder.h"
#include "tests/support/sim_fixture.h"
#include "tools/setupsim/preview.h"

class SetupsimTest : public SimTest {
   protected:
    static constexpr uint32_t kPackageOffset = 64;

    // Writes `text` to `name` below the test's folder (making its folders); returns the path.
    std::string Write(const std::string& name, const std::string& text) {
        std::filesystem::path path = std::filesystem::path(root_) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    // A preview of a package of `items`; an empty machine or answers text leaves the default.
    PreviewOptions OptionsFor(const std::vector<TestItem>& items, const std::string& machine,
                              const std::string& answers) {
        PreviewOptions options;
        options.installer =
            Write("setup.bin", BuildInstallerFile(kPackageOffset, BuildPackageBlock(items)));
        options.packageOffset = kPackageOffset;
        options.root = root_ + "/run";
        if (!machine.empty()) options.machine = Write("machine.toml", machine);
        if (!answers.empty()) options.answers = Write("answers.toml", answers);
        return options;
    }
};
