// The copy-table record and DOS date/time codecs: every field at its offset, little-endian,
// text fields without a terminator, and calendar validity.
#include <gtest/gtest.h>
#include <string.h>

#include "engine/core/package.h"

namespace {

// A record with a distinct value in every field, written byte by byte as the file holds it.
std::vector<uint8_t> SampleRecord() {
    std::vector<uint8_t> r(COPY_ENTRY_SIZE, 0);
    WriteLE16(&r[0], 0x0b2e);
    WriteLE16(&r[2], 0x2B4B);
    WriteLE16(&r[4], 0x8D46);
    WriteLE16(&r[6], 0x0021);
    WriteLE32(&r[8], 0x01020304);
    memcpy(&r[12], "READ_ME.TX_", 11);
    WriteLE32(&r[32], 0xA0B0C0D0);
    memcpy(&r[36], "READ_ME.TXT", 11);
    memcpy(&r[56], "&SYS", 4);
    memcpy(&r[76], "DISK 2", 6);
    memcpy(&r[96], "/quiet /x", 9);
    WriteLE16(&r[176], 1);
    r[178] = 0xDE, r[179] = 0xAD, r[180] = 0xBE, r[181] = 0xEF;
    return r;
}

TEST(CopyTableEntry, ReadsEveryFieldAtItsOffsetLittleEndian) {
    std::vector<uint8_t> record = SampleRecord();
    EXPECT_EQ(record[8], 0x04);  // least significant byte first
    CopyTableEntry e;
    ReadCopyTableEntry(record.data(), &e);
    EXPECT_EQ(e.flags, 0x0b2e);
    EXPECT_EQ(e.fileDate, 0x2B4B);
    EXPECT_EQ(e.fileTime, 0x8D46);
    EXPECT_EQ(e.attributes, 0x21);
    EXPECT_EQ(e.storedSize, 0x01020304u);
    EXPECT_STREQ(e.sourceName, "READ_ME.TX_");
    EXPECT_EQ(e.listedSize, 0xA0B0C0D0u);
    EXPECT_STREQ(e.targetName, "READ_ME.TXT");
    EXPECT_STREQ(e.targetDirSpec, "&SYS");
    EXPECT_STREQ(e.diskLabel, "DISK 2");
    EXPECT_STREQ(e.arguments, "/quiet /x");
    EXPECT_EQ(e.showCommand, 1);
    EXPECT_EQ(e.reserved[0], 0xDE);
    EXPECT_EQ(e.reserved[3], 0xEF);
}

TEST(CopyTableEntry, WriteThenReadGivesTheSameRecordBytes) {
    std::vector<uint8_t> record = SampleRecord();
    CopyTableEntry e;
    ReadCopyTableEntry(record.data(), &e);
    std::vector<uint8_t> again(COPY_ENTRY_SIZE, 0xFF);
    WriteCopyTableEntry(e, again.data());
    EXPECT_EQ(again, record);
}

TEST(CopyTableEntry, EntriesAreFoundByIndexIn182ByteSteps) {
    std::vector<uint8_t> table(COPY_ENTRY_SIZE * 3, 0);
    for (int i = 0; i < 3; i++) WriteLE32(&table[COPY_ENTRY_SIZE * i + 8], 100u + i);
    CopyTableEntry e;
    ReadCopyTableEntryAt(table.data(), 2, &e);
    EXPECT_EQ(e.storedSize, 102u);
}

// A text field that fills its whole width has no NUL; its last byte must serve as the
// terminator so that no reader runs into the next field.

TEST(CopyTableEntry, FieldsWithoutTerminatorAreCutAtTheirLastByte) {
    const struct {
        uint32_t offset;
        size_t width;
        const char* (*field)(const CopyTableEntry&);
    } cases[] = {
        {ENTRY_SOURCE_NAME, 20,
         [](const CopyTableEntry& e) -> const char* { return e.sourceName; }},
        {ENTRY_TARGET_NAME, 20,
         [](const CopyTableEntry& e) -> const char* { return e.targetName; }},
        {ENTRY_TARGET_DIR_SPEC, 20,
         [](const CopyTableEntry& e) -> const char* { return e.targetDirSpec; }},
        {ENTRY_DISK_LABEL, 20, [](const CopyTableEntry& e) -> const char* { return e.diskLabel; }},
        {ENTRY_ARGUMENTS, 80, [](const CopyTableEntry& e) -> const char* { return e.arguments; }},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> record(COPY_ENTRY_SIZE, 'X');
        CopyTableEntry e;
        ReadCopyTableEntry(record.data(), &e);
        EXPECT_EQ(strlen(c.field(e)), c.width - 1) << "field at offset " << c.offset;
    }
}

TEST(DosDateTime, DecodesThePackedFields) {
    const struct {
        uint16_t date, time;
        DosDateTime expected;
    } cases[] = {
        {0x2B4B, 0x8D46, {2001, 10, 11, 17, 42, 12}},
        {0x0021, 0x0000, {1980, 1, 1, 0, 0, 0}},
        {0x20EF, 0x645C, {1996, 7, 15, 12, 34, 56}},
        {0x0021, 0x001D, {1980, 1, 1, 0, 0, 58}},  // seconds field 29: 58 seconds
        {0xFF9F, 0xBF7D, {2107, 12, 31, 23, 59, 58}},
    };
    for (const auto& c : cases) {
        DosDateTime d = DecodeDosDateTime(c.date, c.time);
        EXPECT_EQ(d.year, c.expected.year);
        EXPECT_EQ(d.month, c.expected.month);
        EXPECT_EQ(d.day, c.expected.day);
        EXPECT_EQ(d.hour, c.expected.hour);
        EXPECT_EQ(d.minute, c.expected.minute);
        EXPECT_EQ(d.second, c.expected.second);
        uint16_t date = 0, time = 0;
        ASSERT_TRUE(EncodeDosDateTime(d, &date, &time));
        EXPECT_EQ(date, c.date);
        EXPECT_EQ(time, c.time);
    }
}

TEST(DosDateTime, RejectsValuesThatAreNoCalendarDate) {
    const struct {
        uint16_t date, time;
        int valid;
    } cases[] = {
        {0x2B4B, 0x8D46, 1}, {0x2B40, 0x8D46, 0},  // day 0
        {0x2A0B, 0x8D46, 0},                       // month 0
        {0x2BAB, 0x8D46, 0},                       // month 13
        {0x285E, 0x0000, 0},                       // 2000-02-30 (leap year: 29 is fine, 30 is not)
        {0x283D, 0x0000, 1},                       // 2000-01-29
        {0x285D, 0x0000, 1},                       // 2000-02-29
        {0x2A5D, 0x0000, 0},                       // 2001-02-29
        {0x2B4B, 0xC000, 0},                       // hour 24
        {0x2B4B, 0x0780, 0},                       // minute 60
        {0x2B4B, 0x001E, 0},                       // seconds field 30
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidDosDateTime(c.date, c.time), c.valid)
            << std::hex << c.date << " " << c.time;
}

// Every month's last day is a date and the day after it is not, in a common and a leap year.
TEST(DosDateTime, EachMonthEndsOnItsLastDay) {
    const int lastDay[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int year : {2001, 2000}) {
        for (int month = 1; month <= 12; month++) {
            int last = lastDay[month - 1] + (month == 2 && year == 2000 ? 1 : 0);
            uint16_t date = (uint16_t)(((year - 1980) << 9) | (month << 5));
            EXPECT_TRUE(IsValidDosDateTime((uint16_t)(date | last), 0)) << year << "-" << month;
            EXPECT_FALSE(IsValidDosDateTime((uint16_t)(date | (last + 1)), 0))
                << year << "-" << month;
        }
    }
}

}  // namespace
