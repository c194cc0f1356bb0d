// Reading and writing copy-table records and DOS dates by byte offset, independent of the
// compiler's struct layout and of the host's byte order.
#include "engine/core/package.h"

#include <string.h>

uint16_t ReadLE16(const uint8_t* bytes) {
    return (uint16_t)(bytes[0] | (bytes[1] << 8));
}

uint32_t ReadLE32(const uint8_t* bytes) {
    return (uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) | ((uint32_t)bytes[2] << 16) |
           ((uint32_t)bytes[3] << 24);
}

void WriteLE16(uint8_t* bytes, uint16_t value) {
    bytes[0] = (uint8_t)value;
    bytes[1] = (uint8_t)(value >> 8);
}

void WriteLE32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[i] = (uint8_t)(value >> (8 * i));
}

namespace {

// Copies a stored text field; its last byte always becomes the terminator.
void ReadTextField(const uint8_t* from, char* to, size_t size) {
    memcpy(to, from, size);
    to[size - 1] = '\0';
}

void WriteTextField(uint8_t* to, const char* from, size_t size) {
    memset(to, 0, size);
    size_t length = strnlen(from, size - 1);
    memcpy(to, from, length);
}

}  // namespace

void ReadCopyTableEntry(const uint8_t* record, CopyTableEntry* entry) {
    entry->flags = ReadLE16(record + ENTRY_FLAGS);
    entry->fileDate = ReadLE16(record + ENTRY_FILE_DATE);
    entry->fileTime = ReadLE16(record + ENTRY_FILE_TIME);
    entry->attributes = ReadLE16(record + ENTRY_ATTRIBUTES);
    entry->storedSize = ReadLE32(record + ENTRY_STORED_SIZE);
    ReadTextField(record + ENTRY_SOURCE_NAME, entry->sourceName, ENTRY_NAME_SIZE);
    entry->listedSize = ReadLE32(record + ENTRY_LISTED_SIZE);
    ReadTextField(record + ENTRY_TARGET_NAME, entry->targetName, ENTRY_NAME_SIZE);
    ReadTextField(record + ENTRY_TARGET_DIR_SPEC, entry->targetDirSpec, ENTRY_NAME_SIZE);
    ReadTextField(record + ENTRY_DISK_LABEL, entry->diskLabel, ENTRY_NAME_SIZE);
    ReadTextField(record + ENTRY_ARGUMENTS, entry->arguments, ENTRY_ARGUMENTS_SIZE);
    entry->showCommand = ReadLE16(record + ENTRY_SHOW_COMMAND);
    memcpy(entry->reserved, record + ENTRY_RESERVED, sizeof entry->reserved);
}

void ReadCopyTableEntryAt(const uint8_t* table, uint32_t index, CopyTableEntry* entry) {
    ReadCopyTableEntry(table + (size_t)index * COPY_ENTRY_SIZE, entry);
}

void WriteCopyTableEntry(const CopyTableEntry& entry, uint8_t* record) {
    WriteLE16(record + ENTRY_FLAGS, entry.flags);
    WriteLE16(record + ENTRY_FILE_DATE, entry.fileDate);
    WriteLE16(record + ENTRY_FILE_TIME, entry.fileTime);
    WriteLE16(record + ENTRY_ATTRIBUTES, entry.attributes);
    WriteLE32(record + ENTRY_STORED_SIZE, entry.storedSize);
    WriteTextField(record + ENTRY_SOURCE_NAME, entry.sourceName, ENTRY_NAME_SIZE);
    WriteLE32(record + ENTRY_LISTED_SIZE, entry.listedSize);
    WriteTextField(record + ENTRY_TARGET_NAME, entry.targetName, ENTRY_NAME_SIZE);
    WriteTextField(record + ENTRY_TARGET_DIR_SPEC, entry.targetDirSpec, ENTRY_NAME_SIZE);
    WriteTextField(record + ENTRY_DISK_LABEL, entry.diskLabel, ENTRY_NAME_SIZE);
    WriteTextField(record + ENTRY_ARGUMENTS, entry.arguments, ENTRY_ARGUMENTS_SIZE);
    WriteLE16(record + ENTRY_SHOW_COMMAND, entry.showCommand);
    memcpy(record + ENTRY_RESERVED, entry.reserved, sizeof entry.reserved);
}

DosDateTime DecodeDosDateTime(uint16_t fileDate, uint16_t fileTime) {
    DosDateTime when;
    when.year = ((fileDate >> 9) & 0x7F) + 1980;
    when.month = (fileDate >> 5) & 0x0F;
    when.day = fileDate & 0x1F;
    when.hour = (fileTime >> 11) & 0x1F;
    when.minute = (fileTime >> 5) & 0x3F;
    when.second = (fileTime & 0x1F) * 2;
    return when;
}

namespace {

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

int IsValidCalendar(const DosDateTime& when) {
    if (when.year < 1980 || when.year > 2107) return 0;
    if (when.month < 1 || when.month > 12) return 0;
    if (when.day < 1 || when.day > DaysInMonth(when.year, when.month)) return 0;
    if (when.hour < 0 || when.hour > 23) return 0;
    if (when.minute < 0 || when.minute > 59) return 0;
    return when.second >= 0 && when.second <= 59;
}

}  // namespace

int EncodeDosDateTime(const DosDateTime& when, uint16_t* fileDate, uint16_t* fileTime) {
    if (!IsValidCalendar(when)) return 0;
    *fileDate = (uint16_t)(((when.year - 1980) << 9) | (when.month << 5) | when.day);
    *fileTime = (uint16_t)((when.hour << 11) | (when.minute << 5) | (when.second / 2));
    return 1;
}

int IsValidDosDateTime(uint16_t fileDate, uint16_t fileTime) {
    return IsValidCalendar(DecodeDosDateTime(fileDate, fileTime));
}
