// Damaged and hostile installer files given to setuppack verify and extract, one row per case:
// each must be reported with its message, and extract must write nothing (unless --force,
// which writes what decodes and names each damaged item).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "pack/file_io.h"
#include "pack/installer_builder.h"
#include "pack/lzss_encoder.h"
#include "tests/support/lzss_tokens.h"
#include "tests/support/packed_items.h"
#include "tests/support/scratch_test.h"
#include "tools/setuppack/commands.h"

namespace {

const uint32_t OFFSET = 64;
const size_t TABLE = OFFSET + ITEM_COUNT_SIZE;

const uint16_t PACKED = CF_EMBEDDED | CF_COMPRESSED;

std::vector<PackedItem> Sample() {
    std::string text;
    for (int i = 0; i < 200; i++) text += "line " + std::to_string(i % 23) + "\r\n";
    return {Item("READ_ME.TXT", text, PACKED), Item("PLAIN.DAT", "stored as is", CF_EMBEDDED),
            Item("LAST.TXT", "last last last item", PACKED)};
}

std::vector<uint8_t> Sealed(std::vector<uint8_t> file) {
    SealInstaller(&file, 0, 0);
    return file;
}

std::vector<uint8_t> PlainFile(const std::vector<PackedItem>& items) {
    std::vector<uint8_t> file(OFFSET, 'P');
    std::vector<uint8_t> block = BuildPackageBlock(items);
    file.insert(file.end(), block.begin(), block.end());
    return Sealed(file);
}

// The file with its trailer recomputed, so that only the structural checks can see a change.
std::vector<uint8_t> Resealed(std::vector<uint8_t> file) {
    file.resize(file.size() - TRAILER_SIZE);
    return Sealed(file);
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& file, size_t length) {
    return std::vector<uint8_t>(file.begin(), file.begin() + length);
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> file, size_t at) {
    file[at] ^= 0x10;
    return file;
}

std::vector<uint8_t> WithField(std::vector<uint8_t> file, size_t item, uint32_t field,
                               const std::string& bytes) {
    size_t at = TABLE + item * COPY_ENTRY_SIZE + field;
    memset(&file[at], 0, field == ENTRY_ARGUMENTS ? ENTRY_ARGUMENTS_SIZE : ENTRY_NAME_SIZE);
    memcpy(&file[at], bytes.data(), bytes.size());
    return Resealed(file);
}

class BadInputTest : public ScratchTest<> {
   protected:
    // Runs a command on `file` as setuppack would; returns its exit code, stderr in *err.
    int Run(const std::vector<uint8_t>& file, bool extract, bool force, std::string* err) {
        WriteFileBytes(dir_ + "/setup.bin", file);
        InspectOptions options;
        options.installerPath = dir_ + "/setup.bin";
        options.reader.haveOffset = true;
        options.reader.packageOffset = OFFSET;
        options.outputDir = dir_ + "/out";
        options.force = force;
        std::ostringstream out, errors;
        int code =
            extract ? CommandExtract(options, out, errors) : CommandVerify(options, out, errors);
        *err = errors.str();
        return code;
    }
    bool OutputExists() const {
        struct stat st;
        return stat((dir_ + "/out").c_str(), &st) == 0;
    }
};

struct Case {
    std::string why;
    std::vector<uint8_t> file;
    std::string message;  // in verify's and extract's report
};

std::vector<Case> Cases() {
    std::vector<PackedItem> items = Sample();
    std::vector<uint8_t> good = PlainFile(items);
    size_t data = TABLE + 3 * COPY_ENTRY_SIZE;
    size_t second = data + items[0].bytes.size(), third = second + items[1].bytes.size();
    size_t end = good.size() - TRAILER_SIZE;
    std::vector<Case> cases = {
        // Cut at each structural boundary (and inside each part), the trailer lost with it.
        {"cut inside the item count", Cut(good, OFFSET + 1), "trailer"},
        {"cut after the item count", Cut(good, TABLE), "trailer"},
        {"cut inside the table", Cut(good, TABLE + COPY_ENTRY_SIZE + 9), "trailer"},
        {"cut after the table", Cut(good, data), "trailer"},
        {"cut inside a stream", Cut(good, data + 7), "trailer"},
        {"cut after a stream", Cut(good, second), "trailer"},
        {"cut inside the last stream", Cut(good, third + 2), "trailer"},
        {"cut before the trailer", Cut(good, end), "trailer"},
        {"cut inside the trailer", Cut(good, end + 2), "trailer"},
        // The same cuts with a trailer that holds: the structure itself must tell.
        {"resealed cut after the count", Sealed(Cut(good, TABLE)), "needs a copy table"},
        {"resealed cut inside the table", Sealed(Cut(good, data - 1)), "needs a copy table"},
        {"resealed cut after the table", Sealed(Cut(good, data)), "runs past the end"},
        {"resealed cut inside a stream", Sealed(Cut(good, data + 7)), "runs past the end"},
        {"resealed cut inside the last stream", Sealed(Cut(good, third + 2)), "runs past the end"},
        // One flipped byte in each part: only the trailer can see most of them.
        {"flipped item count", Flipped(good, OFFSET), "trailer"},
        {"flipped table flags", Flipped(good, TABLE + ENTRY_FLAGS), "trailer"},
        {"flipped stored size", Flipped(good, TABLE + ENTRY_STORED_SIZE), "trailer"},
        {"flipped name", Flipped(good, TABLE + ENTRY_TARGET_NAME), "trailer"},
        {"flipped stream byte", Flipped(good, data + 40), "trailer"},
        {"flipped stored byte", Flipped(good, second + 3), "trailer"},
        {"flipped trailer", Flipped(good, end + 1), "trailer"},
        // Counts the table cannot hold.
        {"item count 0", {}, "no items"},  // files below
        {"item count 65535", {}, "item count 65535"},
        // Table fields building refuses, and what the installer would act on unsafely.
        {"target with a separator", WithField(good, 0, ENTRY_TARGET_NAME, "..\\EVIL.TXT"),
         "holds a path separator"},
        {"target with a drive", WithField(good, 0, ENTRY_TARGET_NAME, "C:EVIL.TXT"),
         "drive prefix"},
        {"target \"..\"", WithField(good, 0, ENTRY_TARGET_NAME, ".."), "names a folder"},
        {"empty target", WithField(good, 1, ENTRY_TARGET_NAME, ""), "is empty"},
        {"control character", WithField(good, 2, ENTRY_TARGET_NAME, "A\x07.TXT"),
         "control or non-ASCII"},
        {"unterminated target", WithField(good, 2, ENTRY_TARGET_NAME, std::string(20, 'X')),
         "target name has no terminating NUL"},
        {"dir climbing out", WithField(good, 0, ENTRY_TARGET_DIR_SPEC, "..\\..\\WINDOWS"),
         "climbs out"},
        {"dir climbing out with dots", WithField(good, 0, ENTRY_TARGET_DIR_SPEC, "A\\...\\.."),
         "climbs out"},
        {"dir with a stray ':'", WithField(good, 0, ENTRY_TARGET_DIR_SPEC, "SUB\\C:\\X"),
         "drive prefix"},
        {"two items on one file", WithField(good, 2, ENTRY_TARGET_NAME, "read_me.txt"),
         "installs to the same file as item 1"},
        // Names Windows would not create as written: verify refuses what building refuses.
        {"device target", WithField(good, 0, ENTRY_TARGET_NAME, "CON.TXT"),
         "item 1 (CON.TXT): target name 'CON.TXT' is a Windows device name"},
        {"target ending in a dot", WithField(good, 1, ENTRY_TARGET_NAME, "B."),
         "item 2 (B.): target name 'B.' ends in a dot or blank"},
        {"device folder in dir", WithField(good, 0, ENTRY_TARGET_DIR_SPEC, "SUB\\LPT1"),
         "dir 'SUB\\LPT1' has a folder name 'LPT1' that is a Windows device name"},
    };
    std::vector<uint8_t> f = good;
    WriteLE16(&f[OFFSET], 0);
    cases[21].file = Resealed(f);
    f = good;
    WriteLE16(&f[OFFSET], 0xFFFF);
    cases[22].file = Resealed(f);
    // A stream whose first token copies ring position 100, which no byte of it has written.
    std::vector<PackedItem> foreign = {Item("X.TXT", "", PACKED)};
    foreign[0].bytes = {0x03, 0x20, 0x00, 0x00};
    foreign[0].entry.storedSize = 4;
    cases.push_back({"reads unwritten ring bytes", PlainFile(foreign), "has not written"});
    // Stream end marker one byte before, and one byte after, its storedSize.
    f = good;
    WriteLE32(&f[TABLE + 2 * COPY_ENTRY_SIZE + ENTRY_STORED_SIZE],
              (uint32_t)items[2].bytes.size() + 1);
    f.insert(f.end() - TRAILER_SIZE, 0);
    cases.push_back({"stream ends before its size", Resealed(f), "before its storedSize"});
    return cases;
}

TEST_F(BadInputTest, VerifyAndExtractReportAndWriteNothing) {
    for (const Case& c : Cases()) {
        std::string err;
        EXPECT_EQ(Run(c.file, false, false, &err), 1) << c.why;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.why << ": verify said\n" << err;
        EXPECT_EQ(Run(c.file, true, false, &err), 1) << c.why;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.why << ": extract said\n" << err;
        EXPECT_NE(err.find("nothing extracted"), std::string::npos) << c.why << ": " << err;
        EXPECT_FALSE(OutputExists()) << c.why << ": extract wrote something";
    }
}

TEST_F(BadInputTest, IntactFileExtractsEveryItem) {
    std::string err;
    EXPECT_EQ(Run(PlainFile(Sample()), true, false, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(dir_ + "/out/PLAIN.DAT").size(), 12u);
}

// A byte changed inside the first stream: it still ends in place (the trailer alone sees it)
// or not; either way --force writes every item, and names the damage.
TEST_F(BadInputTest, ForceWritesWhatDecodesAndNamesTheDamage) {
    std::vector<PackedItem> items = Sample();
    std::vector<uint8_t> good = PlainFile(items);
    size_t data = TABLE + 3 * COPY_ENTRY_SIZE;
    std::vector<uint8_t> cutStream = good;  // the first stream one byte short of its end marker
    WriteLE32(&cutStream[TABLE + ENTRY_STORED_SIZE], (uint32_t)items[0].bytes.size() - 1);
    cutStream.erase(cutStream.begin() + data + items[0].bytes.size() - 1);
    std::string err;
    EXPECT_EQ(Run(Resealed(cutStream), true, true, &err), 1);
    EXPECT_NE(err.find("item 1 (READ_ME.TXT): damaged"), std::string::npos) << err;
    EXPECT_NE(err.find("written as it decodes"), std::string::npos) << err;
    EXPECT_NE(err.find("may hold wrong bytes"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(dir_ + "/out/PLAIN.DAT").size(), 12u);
    EXPECT_EQ(ReadFileBytes(dir_ + "/out/LAST.TXT").size(), 19u);
}

// A stream that reads ring positions it never wrote: --force writes what the installer would
// install, zeros from the ring it starts with, or what an earlier item left there.
TEST_F(BadInputTest, ForceWritesWhatTheInstallersRingHoldsForUnwrittenPositions) {
    auto raw = [](const std::string& target, const std::string& stream) {
        PackedItem item = Item(target, "", PACKED);
        item.bytes.assign(stream.begin(), stream.end());
        item.entry.storedSize = (uint32_t)stream.size();
        return item;
    };
    const struct {
        const char* name;
        std::vector<PackedItem> items;
        std::string written;  // the last item's file
    } cases[] = {
        {"match before any byte",
         {raw("A.TXT", LzssTokenWriter().Match(100, 1).End())},
         std::string(3, '\0')},
        {"match one past the written",
         {raw("A.TXT", LzssTokenWriter().Literals("ab").Match(3, 0).End())},
         std::string("ab\0\0", 4)},
        {"leftovers of the item before",
         {Item("X.TXT", std::string(300, 'X'), PACKED),
          raw("A.TXT", LzssTokenWriter().Literal('a').Match(200, 2).End())},
         "aXXXX"},  // count 2: four bytes
    };
    for (const auto& c : cases) {
        std::string err;
        std::filesystem::remove_all(dir_ + "/out");
        EXPECT_EQ(Run(PlainFile(c.items), true, true, &err), 1) << c.name;
        EXPECT_NE(err.find("reads ring positions it has not written"), std::string::npos)
            << c.name << ": " << err;
        std::vector<uint8_t> bytes = ReadFileBytes(dir_ + "/out/A.TXT");
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.written) << c.name;
    }
}

// list shows a table as it is, and names each rule an entry breaks, as verify would.
TEST_F(BadInputTest, ListNamesTheRulesAnEntryBreaks) {
    std::vector<uint8_t> good = PlainFile(Sample());
    std::vector<uint8_t> file = WithField(good, 1, ENTRY_TARGET_NAME, "NUL.DAT");
    WriteFileBytes(dir_ + "/setup.bin", file);
    InspectOptions options;
    options.installerPath = dir_ + "/setup.bin";
    options.reader.haveOffset = true;
    options.reader.packageOffset = OFFSET;
    std::ostringstream out, err;
    CommandList(options, out, err);
    std::string listing = out.str();
    EXPECT_NE(listing.find("[2] NUL.DAT"), std::string::npos) << listing;
    EXPECT_NE(listing.find("    breaks a table rule: target name 'NUL.DAT' is a Windows device"),
              std::string::npos)
        << listing;
    EXPECT_EQ(listing.find("breaks a table rule", listing.find("[3]")), std::string::npos)
        << listing;
}

// Files that are no installer at all are named as what they are.
TEST_F(BadInputTest, NamesDirectoriesAndUnreadableFiles) {
    InspectOptions options;
    options.installerPath = dir_;
    std::ostringstream out, err;
    EXPECT_EQ(CommandVerify(options, out, err), 1);
    EXPECT_NE(err.str().find("is a directory"), std::string::npos) << err.str();
    options.installerPath = dir_ + "/missing.exe";
    EXPECT_EQ(CommandList(options, out, err), 1);
    EXPECT_NE(err.str().find("No such file"), std::string::npos) << err.str();
    BuildOptions build{dir_, "stub.exe", dir_ + "/o.exe", ""};
    EXPECT_EQ(CommandBuild(build, out, err), 1);
    EXPECT_NE(err.str().find("manifest " + dir_ + " is a directory"), std::string::npos)
        << err.str();
}

}  // namespace
