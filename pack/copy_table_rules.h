// The copy table's rules, one set for every tool that writes, checks or reads a table (init,
// build, verify, list, extract, the diskette maker and setupsim's diskette drive): which names
// Windows creates as they are written (target names, external files, the disk-label folders
// beside the installer, sub-directories), which `dir` values stay where they say, where an
// external item's file lies, and the order in which the installer asks for diskettes.
// A problem is a short rule text ("is a Windows device name ..."); the caller puts the field
// and the place it was found (manifest line, table entry) in front.
#pragma once

#include <string>
#include <vector>

#include "engine/core/package.h"

// Why `name` cannot be one file or folder name that Windows creates exactly as written, or "".
// Refused: empty, 20 characters or more (a table name field holds 19), control or non-ASCII
// characters, separators, ':', "." and "..", the characters * ? " < > |, a trailing dot or
// blank (Windows drops it, so another name would be made), and device names (CON, PRN, AUX,
// NUL, COM1-COM9, LPT1-LPT9, also with an extension: CON.TXT is the console).
std::string FileNameProblem(const std::string& name);

// True for a name that is one plain file or folder name on both Windows and the host.
bool IsPlainFileName(const std::string& name);

// Why a `dir` value would not name the folder it seems to, or "". "", "&WIN", "&SYS" and
// "D:..." are the installer's own forms; anything else is a sub-directory of the target
// directory. No ':' but a drive prefix, no climbing out with "..", and every folder name in
// it one that Windows creates as written.
std::string DirSpecProblem(const std::string& spec);

// The folder names of a dir value: after its drive prefix, split at separators, empty ones left
// out.
std::vector<std::string> FolderNames(const std::string& spec);

// `text` fit for a message: bytes outside printable ASCII shown as \xNN.
std::string ShownText(const std::string& text);

// Every problem of the entry's text fields, one message each ("target name 'A\B' holds a path
// separator"). Empty when the entry is sound.
std::vector<std::string> EntryFieldProblems(const CopyTableEntry& entry);

// The path an entry installs its file to, as Windows compares it (a-z folded, '/' as '\'),
// for finding two items that install to the same file; "" for an entry that installs no file.
std::string InstalledPathKey(const CopyTableEntry& entry);

// An external item with a file of its own beside the installer.
bool HasExternalFile(const CopyTableEntry& entry);

// Where an external item's file lies, relative to the folder of the installer's diskettes:
// "LABEL/NAME" (its disk label is the folder), or "NAME" for an item without a label.
std::string ExternalFilePath(const CopyTableEntry& entry);

// The external file's path as Windows compares it, for finding two items sharing one file.
std::string ExternalFileKey(const CopyTableEntry& entry);

// The label of the diskette the installer takes to be in the drive when it reaches each entry:
// the first entry's label at the start, changed by every entry with data and a label.
std::vector<std::string> DisketteInDrive(const std::vector<CopyTableEntry>& entries);

// The labels the installer asks for, in order: each change of the diskette in the drive.
std::vector<std::string> DisketteRequests(const std::vector<CopyTableEntry>& entries);
