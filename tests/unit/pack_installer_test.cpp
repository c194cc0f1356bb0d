// Installer files built and read by the packaging tool: package block layout, verification
// catching damaged files, the sealing of trailer and PE checksum, reading untrusted bytes,
// and whole builds from a manifest through verify and extract when test stubs are present.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "engine/core/checksum.h"
#include "engine/installstate.h"
#include "pack/file_io.h"
#include "pack/installer_builder.h"
#include "pack/installer_extract.h"
#include "pack/installer_reader.h"
#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"
#include "tests/support/packed_items.h"

namespace {

const uint32_t PLAIN_OFFSET = 100;

std::vector<PackedItem> SampleItems() {
    return {Item("READ_ME.TXT", std::string(3000, 'r') + "the end", CF_EMBEDDED | CF_COMPRESSED),
            Item("PLAIN.DAT", "stored as is", CF_EMBEDDED),
            Item("LAST.TXT", "last last last last item", CF_EMBEDDED | CF_COMPRESSED)};
}

// A plain package file: PLAIN_OFFSET bytes of padding, the block, the trailer.
std::vector<uint8_t> PlainFile(const std::vector<PackedItem>& items) {
    std::vector<uint8_t> file(PLAIN_OFFSET, 'P');
    std::vector<uint8_t> block = BuildPackageBlock(items);
    file.insert(file.end(), block.begin(), block.end());
    SealInstaller(&file, 0, 0);
    return file;
}

std::vector<std::string> Verify(const std::vector<uint8_t>& file) {
    ReaderOptions options;
    options.haveOffset = true;
    options.packageOffset = PLAIN_OFFSET;
    InstallerView view = ReadInstaller(file.data(), file.size(), options);
    return VerifyInstaller(file.data(), view);
}

std::vector<uint8_t> Resealed(std::vector<uint8_t> file) {
    file.resize(file.size() - TRAILER_SIZE);
    SealInstaller(&file, 0, 0);
    return file;
}

TEST(PackageBlock, HoldsCountTableThenEmbeddedDataInTableOrder) {
    std::vector<PackedItem> items = SampleItems();
    items.insert(items.begin() + 1, Item("RUN.EXE", "", CF_LAUNCH_AT_END));
    std::vector<uint8_t> block = BuildPackageBlock(items);
    ASSERT_EQ(ReadLE16(block.data()), 4);
    size_t at = ITEM_COUNT_SIZE + 4 * COPY_ENTRY_SIZE;
    for (const PackedItem& item : items) {
        if (!(item.entry.flags & CF_EMBEDDED)) continue;
        EXPECT_TRUE(std::equal(item.bytes.begin(), item.bytes.end(), block.begin() + at))
            << item.entry.targetName;
        at += item.bytes.size();
    }
    EXPECT_EQ(at, block.size());
}

TEST(VerifyInstaller, CatchesDamage) {
    std::vector<PackedItem> items = SampleItems();
    std::vector<uint8_t> good = PlainFile(items);
    size_t table = PLAIN_OFFSET + ITEM_COUNT_SIZE;
    size_t lastEntry = table + 2 * COPY_ENTRY_SIZE;
    uint32_t lastSize = items[2].entry.storedSize;
    struct Case {
        const char* why;
        std::vector<uint8_t> file;
        const char* expected;  // in one of the messages; "" = no problem at all
    };
    std::vector<Case> cases;
    cases.push_back({"intact", good, ""});
    std::vector<uint8_t> f = good;
    f[good.size() - 10] ^= 0x01;
    cases.push_back({"a changed byte", f, "trailer"});
    f = good;  // the last stream claims one byte more than its end marker needs
    WriteLE32(&f[lastEntry + ENTRY_STORED_SIZE], lastSize + 1);
    f.insert(f.end() - TRAILER_SIZE, 0);
    cases.push_back({"end marker short of storedSize", Resealed(f), "before its storedSize"});
    f = good;  // ... and one byte less
    WriteLE32(&f[lastEntry + ENTRY_STORED_SIZE], lastSize - 1);
    f.erase(f.end() - TRAILER_SIZE - 1);
    cases.push_back({"end marker beyond storedSize", Resealed(f), "no end marker"});
    f = good;
    WriteLE16(&f[PLAIN_OFFSET], 0xFFFF);
    cases.push_back({"item count past the file", Resealed(f), "item count 65535"});
    f = good;
    WriteLE32(&f[lastEntry + ENTRY_STORED_SIZE], 0x7FFFFFFF);
    cases.push_back({"stored size past the file", Resealed(f), "runs past the end"});
    f = good;
    WriteLE16(&f[table + ENTRY_FILE_DATE], 0x2B40);  // day 0
    cases.push_back({"invalid date", Resealed(f), "date"});
    f = good;
    WriteLE16(&f[table + ENTRY_FLAGS], CF_EMBEDDED | CF_EXTERNAL_SOURCE | CF_COMPRESSED);
    cases.push_back({"two data sources", Resealed(f), "exactly one"});
    f = good;
    memset(&f[table + ENTRY_TARGET_NAME], 'X', ENTRY_NAME_SIZE);
    cases.push_back({"unterminated name", Resealed(f), "NUL"});
    f = good;
    WriteLE16(&f[PLAIN_OFFSET], 0);
    cases.push_back({"no items", Resealed(f), "no items"});

    // A stream whose first token copies from ring position 100, which it never wrote.
    std::vector<PackedItem> foreign = {Item("X", "", CF_EMBEDDED | CF_COMPRESSED)};
    foreign[0].bytes = {0x03, 0x20, 0x00, 0x00};
    foreign[0].entry.storedSize = 4;
    cases.push_back({"reads an unwritten ring position", PlainFile(foreign), "has not written"});

    for (const Case& c : cases) {
        std::vector<std::string> problems = Verify(c.file);
        if (!*c.expected) {
            EXPECT_TRUE(problems.empty()) << c.why << ": " << (problems.empty() ? "" : problems[0]);
            continue;
        }
        bool found = false;
        for (const std::string& p : problems) found |= p.find(c.expected) != std::string::npos;
        EXPECT_TRUE(found) << c.why << ": "
                           << (problems.empty() ? "no problem reported" : problems[0]);
    }
}

TEST(SealInstaller, TrailerAndPeChecksumBothHoldOverTheFinishedFile) {
    for (uint32_t seed = 1; seed <= 12; seed++) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> file(1000 + rng() % 3000);
        for (auto& b : file) b = (uint8_t)rng();
        size_t checksumAt = 64 + 2 * (rng() % 100);
        size_t balanceAt = file.size() - 2 - (file.size() % 2);
        SealInstaller(&file, checksumAt, balanceAt);
        EXPECT_EQ(ReadLE32(&file[file.size() - 4]), AddToChecksum(0, file.data(), file.size() - 4))
            << seed;
        EXPECT_EQ(ReadLE32(&file[checksumAt]),
                  ComputePeChecksum(file.data(), file.size(), checksumAt))
            << seed;
    }
}

TEST(OffsetMarker, MustOccurExactlyOnce) {
    std::string marker(PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE);
    struct {
        std::string bytes;
        bool found;
    } cases[] = {
        {"abc" + marker + "1234", true}, {"abc", false}, {marker + marker + "1234", false}};
    for (const auto& c : cases) {
        const uint8_t* data = (const uint8_t*)c.bytes.data();
        if (c.found) {
            EXPECT_EQ(FindOffsetMarker(data, 0, c.bytes.size()), 3u);
        } else {
            EXPECT_THROW(FindOffsetMarker(data, 0, c.bytes.size()), PackError);
        }
    }
}

// Every prefix and many single-byte changes of a valid file: the reader and the verifier
// must report, never read outside the buffer (run under the sanitizer build to see it).
TEST(ReadInstaller, SurvivesTruncatedAndCorruptedInput) {
    std::vector<uint8_t> good = PlainFile(SampleItems());
    for (size_t length = 0; length <= good.size(); length += 7) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + length);
        EXPECT_FALSE(Verify(cut).empty() && length < good.size()) << length;
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> bad = good;
        bad[PLAIN_OFFSET + rng() % (bad.size() - PLAIN_OFFSET)] = (uint8_t)rng();
        Verify(bad);
    }
}

}  // namespace
