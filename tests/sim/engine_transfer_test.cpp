// Data transfer and LZSS decoding: per-tick bounds, the decoder's state across ticks and
// refills, damaged input, and the read and write failures.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <numeric>

#include "engine/engine.h"
#include "tests/support/engine_harness.h"
#include "tests/support/lzss_tokens.h"
#include "tests/support/sim_fixture.h"

namespace {

class EngineTransfer : public SimTest {};

TestItem Compressed(const std::string& name, const std::string& stream, uint16_t flags = 0) {
    TestItem item;
    item.stored = stream;
    item.entry = MakeEntry((uint16_t)(CF_EMBEDDED | CF_COMPRESSED | flags), name, name,
                           (uint32_t)stream.size());
    return item;
}

std::string Pattern(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; i++) text.push_back((char)('a' + (i * 7 + i / 26) % 26));
    return text;
}

// Each tick writes once, so the write sizes are the per-tick amounts.
TEST_F(EngineTransfer, EachTickMovesAtMostOneBuffer) {
    struct Case {
        const char* name;
        TestItem (*item)();
        std::vector<long long> writes;
    } cases[] = {
        {"source of 5000", [] { return ExternalItem("T", "S", Pattern(5000)); }, {5000, 0}},
        {"source of 4999", [] { return ExternalItem("T", "S", Pattern(4999)); }, {4999}},
        {"embedded 12000",
         [] { return EmbeddedItem("T", Pattern(12000), false); },
         {5000, 5000, 2000}},
        {"embedded empty", [] { return EmbeddedItem("T", "", false); }, {0}},
        {"end marker first", [] { return Compressed("T", LzssTokenWriter().End()); }, {0}},
        {"10000 literals",
         [] { return EmbeddedItem("T", Pattern(10000), true); },
         {4981, 4981, 38}},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(RunInstall({c.item()}), 1) << c.name;
        EXPECT_EQ(WriteSizes("C:\\TARGET\\T"), c.writes) << c.name;
        EXPECT_EQ(sim::GetFileInfo("C:\\TARGET\\T").size,
                  (uint64_t)std::accumulate(c.writes.begin(), c.writes.end(), 0LL))
            << c.name;
    }
}

std::string WrappingStream(std::string* expected) {
    // Byte i lies at ring position (1 + i) mod 4096; after 4200 literals a match at 4095 reads
    // bytes 4094, 4095 and 4096 through positions 4095, 0 and 1, far from the write position.
    std::string content = Pattern(4200);
    *expected = content + content[4094] + content[4095] + content[4096];
    return LzssTokenWriter().Literals(content).Match(4095, 1).End();
}

TEST_F(EngineTransfer, DecodesLiteralsMatchesAndTheEndMarker) {
    std::string wrapped;
    std::string wrapping = WrappingStream(&wrapped);
    struct Case {
        const char* name;
        std::string stream, expected;
    } cases[] = {
        {"three literals", std::string("\xb0\xd8\xac\x60\x00", 5), "abc"},
        {"overlapping match", std::string("\xb0\x80\x04\x40\x00", 5), "aaaa"},
        {"first byte at position 1", LzssTokenWriter().Literals("xyz").Match(1, 0).End(), "xyzxy"},
        {"last byte repeated five times", LzssTokenWriter().Literals("ab").Match(2, 3).End(),
         "abbbbbb"},
        {"count 15", LzssTokenWriter().Literals("q").Match(1, 15).End(), std::string(18, 'q')},
        // Six literals and a flag: the position starts at the last bit of the seventh byte.
        {"position from a byte's last bit", LzssTokenWriter().Literals("abcdef").Match(1, 2).End(),
         "abcdefabcd"},
        {"match at 4095 wraps", wrapping, wrapped},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(RunInstall({Compressed("OUT.BIN", c.stream)}), 1) << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\OUT.BIN"), c.expected) << c.name;
    }
}

// The second item's first byte goes to ring position 1 again, whatever the first left there.
TEST_F(EngineTransfer, TwoCompressedItemsDecodeAsIfAlone) {
    TestItem first = EmbeddedItem("ONE.TXT", std::string(300, 'X'), true);
    TestItem second = Compressed("TWO.TXT", LzssTokenWriter().Literal('a').Match(1, 3).End());
    ASSERT_EQ(RunInstall({first, second}), 1);
    EXPECT_EQ(FileText("C:\\TARGET\\ONE.TXT"), std::string(300, 'X'));
    EXPECT_EQ(FileText("C:\\TARGET\\TWO.TXT"), "aaaaaa");
}

unsigned pieceSize;
BOOL WINAPI PiecewiseReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got,
                              LPOVERLAPPED overlapped) {
    if (file == InstallState.sourceFile && wanted > pieceSize) wanted = pieceSize;
    return PlatformBackend.ReadFile(file, buffer, wanted, got, overlapped);
}

// Every field may have to continue in the next refill: the bit stream carries over refills
// and ticks alike.
TEST_F(EngineTransfer, CompressedSourceDeliveredInPiecesDecodesTheSame) {
    std::string content = Pattern(6000);
    LzssTokenWriter writer;
    writer.Literals(content.substr(0, 3000));
    for (int i = 0; i < 300; i++) writer.Match((uint16_t)(1 + i * 9), (uint8_t)(i % 16));
    std::string expected = content.substr(0, 3000);
    for (int i = 0; i < 300; i++)  // sources lie below the write position: plain copies
        expected += expected.substr((size_t)(i * 9), (size_t)(i % 16 + 2));
    std::string stream = writer.End();
    for (unsigned piece : {1u, 7u, 5000u}) {
        SetUp();
        pieceSize = piece;
        win.ReadFile = PiecewiseReadFile;
        TestItem item = ExternalItem("OUT.BIN", "OUT.BI_", stream, CF_COMPRESSED);
        ASSERT_EQ(RunInstall({item}), 1) << piece;
        EXPECT_EQ(FileText("C:\\TARGET\\OUT.BIN"), expected) << piece;
    }
}

struct FailureCase {
    const char* name;
    std::vector<TestItem> (*prepare)();
    std::string message;
};

TEST_F(EngineTransfer, DamagedInputAndFailedReadsAndWritesEndTheItem) {
    FailureCase cases[] = {
        // A full buffer of literal-looking bytes precedes the stream that ends too early.
        {"embedded stream without end marker",
         [] {
             return std::vector<TestItem>{
                 EmbeddedItem("FULL.BIN", std::string(5000, '\xff'), false),
                 Compressed("T", LzssTokenWriter().Literals("ab").Unterminated())};
         },
         "Install program is corrupted!"},
        {"source stream without end marker",
         [] {
             return std::vector<TestItem>{
                 ExternalItem("T", "DAMAGED.TX_", LzssTokenWriter().Literals("ab").Unterminated(),
                              CF_COMPRESSED)};
         },
         "The source file (DAMAGED.TX_) is damaged!"},
        {"package shorter than its table",
         [] {
             TestItem item = EmbeddedItem("T", "abc", false);
             item.entry.storedSize = 10;  // 3 bytes and the 4-byte trailer follow the table
             return std::vector<TestItem>{item};
         },
         "Install program is corrupted!"},
        {"write fails",
         [] {
             FailPlatformCall("WriteFile", 1, 0, ERROR_WRITE_FAULT);
             return std::vector<TestItem>{EmbeddedItem("T", "abc", true)};
         },
         "Due to unknown file error (0X1D) during file generation!"},
        {"source read fails",
         [] {
             std::vector<TestItem> items{ExternalItem("T", "S", "abc")};
             FailPlatformCall("ReadFile", 3, 0, ERROR_READ_FAULT);  // count, table, source
             return items;
         },
         "Due to unknown file error (0X1E) during read operation."},
    };
    for (const FailureCase& c : cases) {
        SetUp();
        EXPECT_EQ(RunInstall(c.prepare()), 0) << c.name;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\T"), "") << c.name;  // nothing of the item written
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

TEST_F(EngineTransfer, FailedRefillStopsTheStepAtOnce) {
    FailPlatformCall("ReadFile", 4, 0, ERROR_READ_FAULT);  // the second refill of the item
    EXPECT_EQ(RunInstall({EmbeddedItem("T", Pattern(10000), true)}), 0);
    EXPECT_EQ(MessageTexts(),
              std::vector<std::string>{"Due to unknown file error (0X1E) during file extraction!"});
    EXPECT_EQ(PlatformCallCount("ReadFile"), 4u);
    EXPECT_TRUE(WriteSizes("C:\\TARGET\\T").empty());
}

// The message names the target directory's drive even when the item goes elsewhere. A full
// drive that cuts writes short, as some systems report it.
TEST_F(EngineTransfer, ShortWriteNamesTheTargetDrive) {
    sim::MachineConfig config = sim::Config();
    for (sim::DriveConfig& drive : config.drives)
        if (drive.letter == 'C') drive.writeCapacity = 3, drive.fullIsError = false;
    sim::DriveConfig d;
    d.letter = 'D';
    config.drives.push_back(d);
    sim::Boot(config);
    sim::MakeDirectories(config.systemDir);
    TestItem item = EmbeddedItem("SYS.DLL", "12345678", false);
    strcpy(item.entry.targetDirSpec, "&SYS");
    EngineRun run;
    run.targetDir = "D:\\TARGET";
    EXPECT_EQ(RunInstall({item}, run), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Due to insufficient space on drive (D:)."});
    EXPECT_EQ(HeldResources(), "");
}

// An embedded stream must use up exactly its stored bytes: what is left would be decoded as
// the next item. Checked before the last tick writes, so the item gets nothing and no date.
TEST_F(EngineTransfer, EmbeddedStreamThatEndsBeforeItsStoredBytesIsCorrupt) {
    std::string stream = LzssTokenWriter().Literals("abc").End();
    std::string bufferStream = EncodeLiteralsOnly(Pattern(4443));  // 9 bits each, 13 to end
    struct Case {
        const char* name;
        std::string stored;
    } cases[] = {
        {"one byte left in the buffer", stream + "x"},
        {"more than a buffer left over", stream + std::string(6000, '\0')},
        {"a stream that fills its buffer, then one byte", bufferStream + "y"},
    };
    ASSERT_EQ(bufferStream.size(), 5000u);
    for (const Case& c : cases) {
        SetUp();
        TestItem damaged = Compressed("T", c.stored);
        TestItem next = EmbeddedItem("NEXT.TXT", "next", true);
        EXPECT_EQ(RunInstall({damaged, next}), 0) << c.name;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Install program is corrupted!"})
            << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\T"), "") << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\NEXT.TXT"), "<missing>") << c.name;
        EXPECT_EQ(PlatformCallCount("SetFileTime"), 0u) << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// Separate source files may be longer than the table says (the next release may ship a larger
// file on the same diskette), but never shorter.
TEST_F(EngineTransfer, SeparateSourceMustHoldItsStoredSize) {
    std::string encoded = LzssTokenWriter().Literals("abc").End();
    struct Case {
        const char* name;
        std::string content;
        uint32_t storedSize;
        uint16_t flags;
        const char* message;  // nullptr: installed whole
    } cases[] = {
        {"stored, shorter", "abc", 10, 0, "The source file (S) is damaged!"},
        {"stored, 5000 of 5001", Pattern(5000), 5001, 0, "The source file (S) is damaged!"},
        {"stored, exact", Pattern(5000), 5000, 0, nullptr},
        {"stored, longer", "abcdef", 3, 0, nullptr},
        {"compressed, longer", encoded + "tail", (uint32_t)encoded.size(), CF_COMPRESSED, nullptr},
    };
    for (const Case& c : cases) {
        SetUp();
        TestItem item = ExternalItem("T", "S", c.content, c.flags);
        item.entry.storedSize = c.storedSize;
        int result = RunInstall({item});
        EXPECT_EQ(result, c.message ? 0 : 1) << c.name;
        if (c.message) {
            EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message}) << c.name;
            EXPECT_EQ(PlatformCallCount("SetFileTime"), 0u) << c.name;
        } else {
            EXPECT_TRUE(MessageTexts().empty()) << c.name;
        }
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// Windows NT refuses a write to a full disk instead of writing short: both of its codes tell
// the user about space, naming the target directory's drive; other codes stay unknown errors.
TEST_F(EngineTransfer, FullDiskCodesShowTheSpaceMessage) {
    struct Case {
        DWORD error;
        const char* message;
    } cases[] = {
        {ERROR_DISK_FULL, "Due to insufficient space on drive (C:)."},
        {ERROR_HANDLE_DISK_FULL, "Due to insufficient space on drive (C:)."},
        {ERROR_WRITE_FAULT, "Due to unknown file error (0X1D) during file generation!"},
    };
    for (const Case& c : cases) {
        SetUp();
        FailPlatformCall("WriteFile", 1, 0, c.error);
        EXPECT_EQ(RunInstall({EmbeddedItem("T", "abc", false)}), 0) << c.error;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message}) << c.error;
    }
    // The simulated NT drive that fills up part-way.
    SetUp();
    sim::MachineConfig config = sim::Config();
    DriveOf(config, 'C').writeCapacity = 7000;
    sim::Boot(config);
    EXPECT_EQ(RunInstall({EmbeddedItem("T", Pattern(12000), false)}), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Due to insufficient space on drive (C:)."});
    EXPECT_EQ(HeldResources(), "");
}

}  // namespace
