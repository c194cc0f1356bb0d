// The installer's own resources (application manifest, version information, icon) and the
// manifest keys that ask for them; extraction into the items' folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pack/app_manifest.h"
#include "pack/icon_resource.h"
#include "pack/installer_extract.h"
#include "pack/manifest.h"
#include "pack/pack_error.h"
#include "pack/version_resource.h"
#include "tests/support/packed_items.h"
#include "tests/support/scratch_test.h"

namespace {

TEST(VersionNumbers, AcceptOneToFourNumbersUpTo65535) {
    const struct {
        const char* text;
        bool ok;
        uint16_t n[4];
    } rows[] = {{"3", true, {3, 0, 0, 0}},
                {"3.2", true, {3, 2, 0, 0}},
                {"3.2.1.65535", true, {3, 2, 1, 65535}},
                {"007.1", true, {7, 1, 0, 0}},
                {"", false, {}},
                {"3.", false, {}},
                {".3", false, {}},
                {"3..2", false, {}},
                {"1.2.3.4.5", false, {}},
                {"65536", false, {}},
                {"3.2b", false, {}},
                {"-1", false, {}},
                {"99999999999999999999", false, {}}};
    for (const auto& row : rows) {
        uint16_t n[4] = {9, 9, 9, 9};
        EXPECT_EQ(ParseVersionNumbers(row.text, n), row.ok) << row.text;
        for (int i = 0; row.ok && i < 4; i++) EXPECT_EQ(n[i], row.n[i]) << row.text;
    }
}

TEST(AppManifest, EveryLevelGivesWellFormedXmlThatChecksClean) {
    for (const char* level : {"requireAdministrator", "highestAvailable", "asInvoker"}) {
        std::string xml = AppManifestXml(level);
        AppManifestFacts facts;
        EXPECT_TRUE(CheckAppManifest(xml, &facts).empty()) << level;
        EXPECT_EQ(facts.level, level);
        EXPECT_EQ(facts.supportedOs, 5);
    }
}

TEST(AppManifest, WellFormedCheckRefusesBrokenXml) {
    std::string good = AppManifestXml("asInvoker");
    const struct {
        std::string xml;
        bool ok;
    } rows[] = {{good, true},
                {good.substr(0, good.size() / 2), false},
                {"<a><b></a></b>", false},
                {"<a/><b/>", false},
                {"<a x=1/>", false},
                {"<a x=\"1/>", false},
                {"<!-- open <a/>", false},
                {"text<a/>", false},
                {"<a/>text", false},
                {"<?xml version=\"1.0\"?><!-- c --><a x='1'><b/></a>", true}};
    for (const auto& row : rows) EXPECT_EQ(IsWellFormedXml(row.xml), row.ok) << row.xml;
}

TEST(AppManifest, CheckNamesWhatWindowsWouldMind) {
    std::string good = AppManifestXml("requireAdministrator");
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string xml = good;
        xml.replace(xml.find(from), from.size(), to);
        return xml;
    };
    const struct {
        std::string xml;
        const char* problem;
    } rows[] = {
        {replaced("asm.v2", "asm.v3"), "asm.v2"},
        {replaced("level=\"requireAdministrator\"", "level=\"root\""), "unknown level 'root'"},
        {replaced("{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{0}"), "Windows 8.1"},
        {replaced("<application>", "<application><dpiAware>true</dpiAware>"), "DPI"},
        {good.substr(0, 200), "not well-formed"},
    };
    for (const auto& row : rows) {
        AppManifestFacts facts;
        std::vector<std::string> problems = CheckAppManifest(row.xml, &facts);
        ASSERT_EQ(problems.size(), 1u) << row.problem;
        EXPECT_NE(problems[0].find(row.problem), std::string::npos) << problems[0];
    }
}

VersionSettings SampleVersion() {
    VersionSettings v;
    v.present = true;
    v.productName = "Quorvane 3.2";
    v.version = "3.2.0.7";
    v.company = "Varnook Software";
    v.description = "Quorvane 3.2 Setup \xE2\x80\x94 \xF0\x9F\x93\xA6";  // an em dash, U+1F4E6
    v.copyright = "\xC2\xA9 2001";
    ParseVersionNumbers(v.version, v.numbers);
    return v;
}

TEST(VersionResource, ReadsBackWhatItWrites) {
    VersionSettings v = SampleVersion();
    std::vector<uint8_t> data = VersionResourceData(v, 0x0409);
    VersionFacts facts;
    std::string problem;
    ASSERT_TRUE(ParseVersionResource(data, &facts, &problem)) << problem;
    EXPECT_EQ(facts.numbers[0], 3);
    EXPECT_EQ(facts.numbers[3], 7);
    EXPECT_EQ(facts.texts["ProductName"], v.productName);
    EXPECT_EQ(facts.texts["FileDescription"], v.description);
    EXPECT_EQ(facts.texts["LegalCopyright"], v.copyright);
    EXPECT_EQ(facts.texts["FileVersion"], "3.2.0.7");
    EXPECT_EQ(data.size() % 4, 0u);
}

TEST(VersionResource, CutOrDamagedDataIsRefusedNotOverread) {
    std::vector<uint8_t> data = VersionResourceData(SampleVersion(), 0x0409);
    for (size_t cut = 0; cut < data.size(); cut++) {
        std::vector<uint8_t> part(data.begin(), data.begin() + cut);
        VersionFacts facts;
        std::string problem;
        EXPECT_FALSE(ParseVersionResource(part, &facts, &problem)) << cut;
    }
    for (size_t at = 0; at < data.size(); at += 3) {
        std::vector<uint8_t> damaged = data;
        damaged[at] ^= 0xFF;
        VersionFacts facts;
        std::string problem;
        ParseVersionResource(damaged, &facts, &problem);  // must not read outside
    }
}

// An icon file of `count` entries whose images are the given bytes.
std::vector<uint8_t> IconFile(const std::vector<std::vector<uint8_t>>& images) {
    std::vector<uint8_t> file(6 + 16 * images.size(), 0);
    WriteLE16(&file[2], 1);
    WriteLE16(&file[4], (uint16_t)images.size());
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* e = &file[6 + 16 * i];
        e[0] = e[1] = (uint8_t)(16 << i);
        WriteLE16(e + 4, 1);
        WriteLE16(e + 6, 8);
        WriteLE32(e + 8, (uint32_t)images[i].size());
        WriteLE32(e + 12, (uint32_t)file.size());
        file.insert(file.end(), images[i].begin(), images[i].end());
    }
    return file;
}

std::vector<uint8_t> Bitmap() {
    std::vector<uint8_t> image(60, 0);
    WriteLE32(image.data(), 40);
    return image;
}

TEST(IconFile, RefusesWhatIsNoIcon) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0};
    std::vector<uint8_t> good = IconFile({Bitmap(), png});
    auto with = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> file = good;
        WriteLE32(&file[at], value);
        return file;
    };
    const struct {
        std::vector<uint8_t> file;
        const char* problem;  // "" when sound
    } rows[] = {{good, ""},
                {{}, "too short"},
                {IconFile({}), "no image"},
                {with(2, 2), "not an icon"},
                {std::vector<uint8_t>(good.begin(), good.begin() + 20), "cut off"},
                {with(6 + 8, 100000), "past the end"},
                {with(6 + 12, 2), "overlaps"},
                {with(6 + 8, 0), "empty"},
                {IconFile({std::vector<uint8_t>(60, 7)}), "neither a bitmap nor PNG"}};
    for (const auto& row : rows) {
        std::string problem = IconFileProblem(row.file);
        if (!*row.problem) {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
        }
    }
}

TEST(IconFile, GroupNamesEachImageByIdWithItsSize) {
    std::vector<IconImage> images = ReadIconFile(IconFile({Bitmap(), Bitmap()}));
    std::vector<uint8_t> group = GroupIconData(images, 7);
    std::vector<IconImage> read;
    std::string problem;
    ASSERT_TRUE(ParseGroupIcon(group, &read, &problem)) << problem;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].id, 7);
    EXPECT_EQ(read[1].id, 8);
    EXPECT_EQ(read[1].bytes, 60u);
    EXPECT_EQ(IconImageText(read[1]), "32x32 8-bit");
}

class SettingsTest : public ScratchTest<> {
   protected:
    void SetUp() override {
        std::ofstream(dir_ + "/a.txt") << "hello";
        std::vector<uint8_t> icon = IconFile({Bitmap()});
        std::ofstream(dir_ + "/good.ico", std::ios::binary)
            .write((const char*)icon.data(), (std::streamsize)icon.size());
        std::ofstream(dir_ + "/bad.ico") << "not an icon";
    }
    ParsedManifest Parse(const std::string& head) {
        return ParseManifestFile(head +
                                     "\n[[item]]\nsource = \"a.txt\"\ntarget = \"A.TXT\"\n"
                                     "flags = [\"embedded\"]\n",
                                 "m.toml", dir_);
    }
};

const char VERSION[] =
    "[version]\nproduct_name = \"Q\"\nversion = \"3.2\"\ncompany = \"V\"\n"
    "description = \"D\"\ncopyright = \"C\"\n";

TEST_F(SettingsTest, DefaultsAndEveryKey) {
    ParsedManifest plain = Parse("");
    EXPECT_EQ(plain.settings.executionLevel, "requireAdministrator");
    EXPECT_EQ(plain.settings.iconPath, "");
    EXPECT_FALSE(plain.settings.version.present);
    ParsedManifest full =
        Parse("execution_level = \"asInvoker\"\nicon = \"good.ico\"\n" + std::string(VERSION));
    EXPECT_EQ(full.settings.executionLevel, "asInvoker");
    EXPECT_EQ(full.settings.iconPath, dir_ + "/good.ico");
    EXPECT_TRUE(full.settings.version.present);
    EXPECT_EQ(full.settings.version.numbers[1], 2);
    EXPECT_EQ(full.items.size(), 1u);
}

TEST_F(SettingsTest, EachBadValueNamesItsLine) {
    std::string version = VERSION;
    auto versionWith = [&](const std::string& from, const std::string& to) {
        std::string text = version;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        std::string head;
        const char* where;
    } rows[] = {
        {"execution_level = \"admin\"", "m.toml:1: 'execution_level' must be"},
        {"execution_level = 3", "m.toml:1: 'execution_level' must be a string"},
        {"icon = \"none.ico\"", "m.toml:1: icon file 'none.ico' not found"},
        {"icon = \"bad.ico\"", "m.toml:1: icon file 'bad.ico': "},
        {"icon = \".\"", "m.toml:1: icon file '.' is a directory"},
        {"\n" + versionWith("\"3.2\"", "\"3.x\""), "m.toml:4: 'version' must be one to four"},
        {versionWith("company = \"V\"\n", ""), "m.toml:1: [version] needs 'company'"},
        {versionWith("\"D\"", "\"\""), "m.toml:5: 'description' must not be empty"},
        {version + "homepage = \"x\"\n", "m.toml:7: unknown key 'homepage' in [version]"},
        {"version = \"3.2\"", "m.toml:1: 'version' must be a table"},
        {"title = \"x\"", "m.toml:1: unknown key 'title'"},
    };
    for (const auto& row : rows) {
        try {
            Parse(row.head);
            ADD_FAILURE() << "accepted: " << row.head;
        } catch (const PackError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(row.where, 0), 0u) << error.what();
        }
    }
}

class ExtractFoldersTest : public ScratchTest<> {
   protected:
    static PackedItem InDir(const std::string& name, const std::string& dir,
                            const std::string& content) {
        PackedItem item = Item(name, content, CF_EMBEDDED | CF_COMPRESSED);
        strcpy(item.entry.targetDirSpec, dir.c_str());
        return item;
    }
    ExtractResult Extract(const std::vector<PackedItem>& items, bool force) {
        file_ = BuildPackageBlock(items);
        SealInstaller(&file_, 0, 0);
        ReaderOptions options;
        options.haveOffset = true;
        InstallerView view = ReadInstaller(file_.data(), file_.size(), options);
        return ExtractInstaller(file_.data(), view, dir_ + "/out", force);
    }
    std::string Read(const std::string& path) {
        std::ifstream in(dir_ + "/out/" + path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<uint8_t> file_;
};

TEST_F(ExtractFoldersTest, EachItemLandsInItsFolder) {
    ExtractResult result =
        Extract({InDir("README.TXT", "", "top"), InDir("README.TXT", "SAMPLES", "sample"),
                 InDir("WIN.DLL", "&WIN", "win"), InDir("S.DLL", "&SYS", "sys"),
                 InDir("ABS.DAT", "C:\\DATA\\SUB", "abs")},
                false);
    EXPECT_TRUE(result.problems.empty()) << result.problems[0];
    EXPECT_EQ(result.written, 5u);
    EXPECT_EQ(Read("README.TXT"), "top");
    EXPECT_EQ(Read("SAMPLES/README.TXT"), "sample");
    EXPECT_EQ(Read("&WIN/WIN.DLL"), "win");
    EXPECT_EQ(Read("&SYS/S.DLL"), "sys");
    EXPECT_EQ(Read("C/DATA/SUB/ABS.DAT"), "abs");
}

TEST_F(ExtractFoldersTest, NothingLandsOutsideTheOutputFolder) {
    std::filesystem::create_directories(dir_ + "/out");
    std::filesystem::create_directory_symlink(dir_, dir_ + "/out/LINKED");
    ExtractResult result =
        Extract({InDir("A.TXT", "..\\..", "up"), InDir("B.TXT", "/..", "up"),
                 InDir("C.TXT", "LINKED", "through a link"), InDir("D.TXT", "OK", "fine")},
                true);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/A.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/B.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/C.TXT"));
    EXPECT_EQ(Read("OK/D.TXT"), "fine");
}

TEST_F(ExtractFoldersTest, OneNameInOneFolderTwiceIsRefused) {
    ExtractResult result = Extract(
        {InDir("A.TXT", "SUB", "1"), InDir("a.txt", "sub", "2"), InDir("SUB", "", "file")}, false);
    ASSERT_FALSE(result.problems.empty());
    EXPECT_EQ(result.written, 0u);
}

}  // namespace
