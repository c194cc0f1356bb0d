// ReadBit and ReadBits on their own: bits come most significant first, a field may span
// bytes, only the delivered bytes are read, and the install record's reader fields (bitMask,
// bitByte, inPos) are left as reading bit by bit leaves them. A failed refill returns -1 with
// bitMask at 0x80.
#include <gtest/gtest.h>

#include <vector>

#include "engine/engine.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

class EngineReadBit : public SimTest {};

struct Read {
    int bits;  // 0: ReadBit, else ReadBits(bits)
    int value;
};

struct ReaderAfter {
    int bitMask;
    int bitByte;
    uint32_t inPos;
};

struct ReadCase {
    const char* name;
    std::vector<uint8_t> bytes;  // the buffer; all of it delivered
    uint8_t bitMask;             // the reader as the case starts
    int bitByte;
    uint32_t inPos;
    std::vector<Read> reads;
    ReaderAfter after;
};

int ReadOne(const Read& read) {
    return read.bits == 0 ? ReadBit() : ReadBits(read.bits);
}

TEST_F(EngineReadBit, ReadsMostSignificantFirstAndKeepsTheRecordExact) {
    const ReadCase cases[] = {
        {"one byte bit by bit",
         {0xA5},
         0x80,
         -1,
         0,
         {{0, 1}, {0, 0}, {0, 1}, {0, 0}, {0, 0}, {0, 1}, {0, 0}, {0, 1}},
         {0x80, 0xA5, 1}},
        {"into the second byte",
         {0x80, 0x01},
         0x80,
         -1,
         0,
         {{0, 1}, {7, 0}, {0, 0}},
         {0x40, 0x01, 2}},
        {"from the middle of a loaded byte",
         {0x0F, 0xFF},
         0x08,
         0x0F,
         1,
         {{0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}},
         {0x40, 0xFF, 2}},
        {"a 12-bit field, then one bit",
         {0xAB, 0xCD},
         0x80,
         -1,
         0,
         {{12, 0xABC}, {0, 1}},
         {0x04, 0xCD, 2}},
        {"fields spanning three bytes",
         {0x12, 0x34, 0x56},
         0x80,
         -1,
         0,
         {{4, 0x1}, {16, 0x2345}, {4, 0x6}},
         {0x80, 0x56, 3}},
    };
    for (const ReadCase& c : cases) {
        SetUp();
        ResetInstallState();
        std::vector<uint8_t> buffer = c.bytes;
        InstallState.inBuffer = buffer.data();
        InstallState.bufferSize = (uint32_t)buffer.size();
        InstallState.inFill = (uint32_t)buffer.size();
        InstallState.inPos = c.inPos;
        InstallState.bitMask = c.bitMask;
        InstallState.bitByte = c.bitByte;
        for (size_t i = 0; i < c.reads.size(); i++)
            EXPECT_EQ(ReadOne(c.reads[i]), c.reads[i].value) << c.name << ", read " << i;
        EXPECT_EQ(InstallState.bitMask, c.after.bitMask) << c.name;
        EXPECT_EQ(InstallState.bitByte, c.after.bitByte) << c.name;
        EXPECT_EQ(InstallState.inPos, c.after.inPos) << c.name;
        InstallState.inBuffer = nullptr;
    }
}

// The buffer is used up and the item has no stored bytes left: the installer is refused as
// corrupted, and the reader is left as a failed load leaves it.
TEST_F(EngineReadBit, FailedRefillReturnsMinusOne) {
    ResetInstallState();
    std::vector<uint8_t> buffer = {0xFF};
    std::vector<uint8_t> table(COPY_ENTRY_SIZE, 0);  // one embedded entry
    InstallState.table = table.data();
    InstallState.itemCount = 1;
    InstallState.inBuffer = buffer.data();
    InstallState.bufferSize = 1;
    InstallState.inFill = 1;
    InstallState.inPos = 1;
    InstallState.bitMask = 0x80;
    InstallState.bitByte = 0xFF;
    InstallState.embeddedLeft = 0;
    EXPECT_EQ(ReadBit(), -1);
    EXPECT_EQ(InstallState.bitMask, 0x80);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Install program is corrupted!"});
    InstallState.table = nullptr;
    InstallState.inBuffer = nullptr;
}

}  // namespace
