// Whole builds on the mingw test stubs (skipped when they were not built): manifest to
// installer to verify to extract gives back the inputs with their dates; the rebuilt image
// keeps its other resources and a consistent section layout; unsuitable stubs are refused.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "pack/file_io.h"
#include "pack/installer_builder.h"
#include "pack/installer_extract.h"
#include "pack/installer_reader.h"
#include "pack/lzss_stream.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "pack/pe_resources.h"
#include "tests/support/pack_test_stubs.h"
#include "tests/support/scratch_test.h"

namespace {

class BuildTest : public ScratchTest<::testing::TestWithParam<const char*>> {
   protected:
    void SetUp() override {
        stub_ = PackTestStubPath(GetParam());
        if (stub_.empty()) GTEST_SKIP() << "test stub for " << GetParam() << " not built";
    }
    void WriteInput(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteFileBytes(dir_ + "/" + name, bytes);
    }
    std::string stub_;
};

std::vector<uint8_t> Text(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Random(size_t n) {
    std::mt19937 rng((uint32_t)n);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = (uint8_t)rng();
    return v;
}

TEST_P(BuildTest, ManifestToInstallerToExtractGivesTheInputsBack) {
    std::string readme;
    for (int i = 0; i < 500; i++) readme += "Quorvane line " + std::to_string(i % 37) + "\r\n";
    WriteInput("readme.txt", Text(readme));
    WriteInput("data.bin", Random(70000));
    WriteInput("empty.txt", {});
    WriteInput("tool.exe", Random(5000));
    std::ofstream(dir_ + "/m.toml") << R"(
[[item]]
source = "readme.txt"
target = "READ_ME.TXT"
flags = ["embedded", "compressed", "overwrite"]
date = 2001-10-11T17:42:12
[[item]]
target = "PRE.EXE"
flags = ["launch_before"]
[[item]]
source = "data.bin"
target = "DATA.BIN"
flags = ["embedded"]
date = "1999-12-31T23:59:58"
[[item]]
source = "empty.txt"
target = "EMPTY.TXT"
flags = ["embedded", "compressed"]
date = 1980-01-01T00:00:00
[[item]]
source = "tool.exe"
target = "TOOL.EXE"
flags = ["external", "compressed"]
disk = "Disk 2"
)";
    BuildOptions options{dir_ + "/m.toml", stub_, dir_ + "/setup.exe", dir_ + "/ext"};
    BuildSummary summary = BuildInstaller(options);
    EXPECT_EQ(summary.itemCount, 5u);
    EXPECT_EQ(summary.externalFiles, 1u);

    std::vector<uint8_t> file = ReadFileBytes(options.outputPath);
    InstallerView view = ReadInstaller(file.data(), file.size(), ReaderOptions{});
    EXPECT_EQ(VerifyInstaller(file.data(), view), std::vector<std::string>{});
    EXPECT_EQ(view.packageOffset, view.resourceOffset);
    ExtractResult result = ExtractInstaller(file.data(), view, dir_ + "/out");
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(result.written, 3u);
    struct {
        const char* extracted;
        const char* input;
        time_t mtime;
    } expected[] = {{"READ_ME.TXT", "readme.txt", 1002822132},
                    {"DATA.BIN", "data.bin", 946684798},
                    {"EMPTY.TXT", "empty.txt", 315532800}};
    for (const auto& e : expected) {
        EXPECT_EQ(ReadFileBytes(dir_ + "/out/" + e.extracted), ReadFileBytes(dir_ + "/" + e.input))
            << e.extracted;
        struct stat st;
        ASSERT_EQ(stat((dir_ + "/out/" + e.extracted).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, e.mtime) << e.extracted;
    }
    std::vector<uint8_t> external = ReadFileBytes(dir_ + "/ext/Disk 2/TOOL.EX_");
    EXPECT_EQ(DecodeLzssComplete(external.data(), external.size()),
              ReadFileBytes(dir_ + "/tool.exe"));
}

TEST_P(BuildTest, RebuiltImageKeepsOtherResourcesAndAConsistentLayout) {
    std::vector<uint8_t> stub = ReadFileBytes(stub_);
    std::vector<uint8_t> block = Random(100000);
    std::vector<uint8_t> file = BuildInstallerImage(stub, block);
    PeImage before = ParsePeImage(stub.data(), stub.size());
    PeImage after = ParsePeImage(file.data(), file.size() - 4);
    ResourceDir oldTree = ReadResourceTree(stub.data(), stub.size(), before);
    ResourceDir newTree = ReadResourceTree(file.data(), file.size(), after);
    const ResourceEntry* help = FindNamedResource(newTree, "TEXT", "DIRHLP");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->data, FindNamedResource(oldTree, "TEXT", "DIRHLP")->data);
    const ResourceEntry* package = FindNamedResource(newTree, "BINARY", "COMPFILES");
    EXPECT_EQ(package->data, block);
    EXPECT_EQ(package->name.id, 0x409);  // the language kept
    ASSERT_EQ(before.sections.size(), after.sections.size());
    for (size_t i = 1; i < after.sections.size(); i++) {
        const PeSection& prev = after.sections[i - 1];
        const PeSection& s = after.sections[i];
        EXPECT_EQ(s.virtualAddress % after.sectionAlignment, 0u) << s.name;
        EXPECT_GE(s.virtualAddress, prev.virtualAddress + prev.Extent()) << s.name;
        if (s.rawSize) {
            EXPECT_EQ(s.rawPointer % after.fileAlignment, 0u) << s.name;
        }
    }
    const PeSection& reloc = after.sections.back();
    EXPECT_EQ(reloc.name, ".reloc");
    EXPECT_EQ(
        after.DirectoryRva(file.data(), PE_DIR_BASERELOC) - reloc.virtualAddress,
        before.DirectoryRva(stub.data(), PE_DIR_BASERELOC) - before.sections.back().virtualAddress);
}

TEST_P(BuildTest, RefusesUnsuitableStubs) {
    std::vector<uint8_t> stub = ReadFileBytes(stub_);
    std::vector<uint8_t> block = {1, 0};
    std::vector<uint8_t> appended = stub;
    appended.insert(appended.end(), {1, 2, 3, 4});
    std::vector<uint8_t> noMarker = stub;
    size_t marker = FindOffsetMarker(stub.data(), 0, stub.size());
    noMarker[marker] = 'X';
    std::vector<uint8_t> notPe = stub;
    notPe[0] = 'X';
    struct {
        const char* why;
        std::vector<uint8_t> stub;
        const char* message;
    } cases[] = {{"an installer already", appended, "outside its sections"},
                 {"no marker", noMarker, "marker"},
                 {"not a PE file", notPe, "not a PE"}};
    for (const auto& c : cases) {
        try {
            BuildInstallerImage(c.stub, block);
            ADD_FAILURE() << c.why << ": accepted";
        } catch (const PackError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.why << ": " << error.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Stubs, BuildTest, ::testing::Values("i686", "x86_64"));

}  // namespace
