// The installer file and its package block, drawn once and used by the installer engine and
// the packaging tool alike. Portable: no platform header.
//
//   installer file
//   +--------------------------------------+ 0
//   | executable image (code, data, ...)   |   initialised data holds packageOffset (u32)
//   +--------------------------------------+ packageOffset (52084 in the shipped build)
//   | package block = resource "COMPFILES" |
//   |   u16 itemCount                      |
//   |   itemCount x CopyTableEntry (182 B) |   in installation order
//   |   stored data of CF_EMBEDDED entries |   concatenated in table order, storedSize each
//   +--------------------------------------+
//   | rest of the image                    |
//   +--------------------------------------+ file size - 4
//   | trailer: u32 sum of all bytes before |   little-endian, modulo 2^32
//   +--------------------------------------+
//
//   CopyTableEntry, little-endian, read and written by offset (never by struct layout):
//     0 u16 flags          2 u16 fileDate (DOS)   4 u16 fileTime (DOS)   6 u16 attributes
//     8 u32 storedSize    12 char[20] sourceName  32 u32 listedSize     36 char[20] targetName
//    56 char[20] targetDirSpec  76 char[20] diskLabel  96 char[80] arguments
//   176 u16 showCommand  178 u8[4] reserved (never read)
//
//   DOS date: bits 0-4 day, 5-8 month, 9-15 year - 1980.
//   DOS time: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours. Local time.
//
//   LZSS stream (compressed items): bits most significant first; ring of 4096 bytes, write
//   position 1 at the start of each item, ring never cleared between items. Token: flag 1 +
//   8-bit literal, or flag 0 + 12-bit absolute ring position P (P = 0 ends the stream) + 4-bit
//   count C, copying C + 2 bytes from ring[P + j].
#pragma once

#include <stddef.h>
#include <stdint.h>

// Where the package block starts in the shipped build.
const uint32_t DEFAULT_PACKAGE_OFFSET = 52084;
const uint32_t COPY_ENTRY_SIZE = 182;
const uint32_t ITEM_COUNT_SIZE = 2;
const uint32_t TRAILER_SIZE = 4;

// Marks InstallState.packageOffset in the linked installer image so that the packaging tool
// can find and patch it: the 16 marker bytes (15 characters and the NUL) are followed directly
// by the little-endian offset.
#define PACKAGE_OFFSET_MARKER "QVPKGOFFSET~3.2"
const uint32_t PACKAGE_OFFSET_MARKER_SIZE = 16;

// Flag bits of CopyTableEntry.flags.
enum : uint16_t {
    CF_EXTERNAL_SOURCE = 0x0001,      // data from the separate file sourceName in the start dir
    CF_EMBEDDED = 0x0002,             // data is storedSize bytes of the package's stored data
    CF_COMPRESSED = 0x0004,           // data is an LZSS stream, decoded while written
    CF_OVERWRITE = 0x0008,            // install even when the target exists
    CF_CRITICAL = 0x0010,             // a missing source the user gives up on stops the install
    CF_LAUNCH_AFTER_COPY = 0x0020,    // run the target after the item (or when passed over)
    CF_LAUNCH_BEFORE = 0x0040,        // run the target before the copy phase
    CF_LAUNCH_AT_END = 0x0080,        // run the target after a completed copy phase
    CF_DELETE_AFTER_LAUNCH = 0x0100,  // delete the program file after the attempt to run it
    CF_LAUNCH_REQUIRED = 0x0200,      // a failed start stops the installation
    CF_HIDE_NAME = 0x0800,            // the name is not shown in the progress dialog
};

// Field sizes, terminator included.
const size_t ENTRY_NAME_SIZE = 20;
const size_t ENTRY_ARGUMENTS_SIZE = 80;

// Field offsets inside a 182-byte record.
enum CopyEntryOffset : uint32_t {
    ENTRY_FLAGS = 0,
    ENTRY_FILE_DATE = 2,
    ENTRY_FILE_TIME = 4,
    ENTRY_ATTRIBUTES = 6,
    ENTRY_STORED_SIZE = 8,
    ENTRY_SOURCE_NAME = 12,
    ENTRY_LISTED_SIZE = 32,
    ENTRY_TARGET_NAME = 36,
    ENTRY_TARGET_DIR_SPEC = 56,
    ENTRY_DISK_LABEL = 76,
    ENTRY_ARGUMENTS = 96,
    ENTRY_SHOW_COMMAND = 176,
    ENTRY_RESERVED = 178,
};

// One entry of the copy table, decoded. Every text field is terminated inside its array: a
// stored field without a NUL has its last byte taken as the terminator, so no reader ever runs
// past the field.
struct CopyTableEntry {
    uint16_t flags;
    uint16_t fileDate;
    uint16_t fileTime;
    uint16_t attributes;
    uint32_t storedSize;
    char sourceName[ENTRY_NAME_SIZE];
    uint32_t listedSize;
    char targetName[ENTRY_NAME_SIZE];
    char targetDirSpec[ENTRY_NAME_SIZE];
    char diskLabel[ENTRY_NAME_SIZE];
    char arguments[ENTRY_ARGUMENTS_SIZE];
    uint16_t showCommand;
    uint8_t reserved[4];
};

uint16_t ReadLE16(const uint8_t* bytes);
uint32_t ReadLE32(const uint8_t* bytes);
void WriteLE16(uint8_t* bytes, uint16_t value);
void WriteLE32(uint8_t* bytes, uint32_t value);

// Decodes the 182-byte record at `record`.
void ReadCopyTableEntry(const uint8_t* record, CopyTableEntry* entry);
// Decodes entry `index` of a table of raw records.
void ReadCopyTableEntryAt(const uint8_t* table, uint32_t index, CopyTableEntry* entry);
// Encodes an entry into 182 bytes; text fields are written NUL-padded to their size.
void WriteCopyTableEntry(const CopyTableEntry& entry, uint8_t* record);

// Calendar fields of the DOS date and time (seconds = 2 x the stored field).
struct DosDateTime {
    int year, month, day, hour, minute, second;
};
DosDateTime DecodeDosDateTime(uint16_t fileDate, uint16_t fileTime);
// Packs calendar fields; returns 0 when they cannot be held (year outside 1980-2107, month,
// day, hour, minute or second out of range, odd seconds are rounded down).
int EncodeDosDateTime(const DosDateTime& when, uint16_t* fileDate, uint16_t* fileTime);
// 1 when the date and time are a valid calendar value (days per month and leap years kept).
int IsValidDosDateTime(uint16_t fileDate, uint16_t fileTime);
