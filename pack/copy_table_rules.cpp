// The copy table's rules: names, dir values, external files and the diskette order.
#include "pack/copy_table_rules.h"

#include "engine/core/paths.h"

namespace {

// A component of only dots (two or more) and spaces: Windows drops trailing dots and spaces
// from a component, so "..." and ".. " climb a level as ".." does.
bool ClimbsUp(const std::string& component) {
    size_t dots = 0;
    for (char c : component) {
        if (c != '.' && c != ' ') return false;
        dots += c == '.';
    }
    return dots >= 2;
}

// Windows opens a device for these whatever follows the first dot, and ignores blanks before
// it: "CON.TXT" and "nul .dat" are devices, and the item's bytes would never become a file.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = AsciiUpper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (stem == device) return true;
    bool numbered = stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0;
    return stem.size() == 4 && numbered && stem[3] >= '1' && stem[3] <= '9';
}

size_t FirstUnprintable(const std::string& text) {
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c > 0x7E) return i;
    }
    return std::string::npos;
}

// Names the first byte outside printable ASCII, so the user finds it in a name that shows
// nothing unusual on a terminal.
std::string UnprintableProblem(const std::string& text) {
    size_t at = FirstUnprintable(text);
    if (at == std::string::npos) return "";
    return "holds a control or non-ASCII character (" + ShownText(text.substr(at, 1)) + ")";
}

std::string FoldedPath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : AsciiUpper(c);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

void AddProblem(std::vector<std::string>* problems, const std::string& field,
                const std::string& value, const std::string& problem) {
    if (!problem.empty()) problems->push_back(field + " '" + ShownText(value) + "' " + problem);
}

}  // namespace

// The folder names of a dir value: after its drive prefix, split at separators; empty ones
// (a doubled or trailing separator) are left out, as Windows passes over them.
std::vector<std::string> FolderNames(const std::string& spec) {
    std::vector<std::string> names;
    size_t start = spec.size() >= 2 && spec[1] == ':' ? 2 : 0;
    while (start <= spec.size()) {
        size_t end = spec.find_first_of("/\\", start);
        if (end == std::string::npos) end = spec.size();
        if (end > start) names.push_back(spec.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string ShownText(const std::string& text) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 0x20 && c <= 0x7E) {
            shown += (char)c;
        } else {
            shown += "\\x";
            shown += HEX[c >> 4];
            shown += HEX[c & 15];
        }
    }
    return shown;
}

std::string FileNameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name.size() >= ENTRY_NAME_SIZE) return "is longer than 19 characters";
    std::string unprintable = UnprintableProblem(name);
    if (!unprintable.empty()) return unprintable;
    if (name.find_first_of("/\\") != std::string::npos) return "holds a path separator";
    if (name.find(':') != std::string::npos) return "holds a drive prefix or ':'";
    if (name == "." || ClimbsUp(name)) return "names a folder (\".\" or \"..\")";
    if (name.find_first_of("*?\"<>|") != std::string::npos)
        return "holds a character Windows refuses in names (* ? \" < > |)";
    if (name.back() == '.' || name.back() == ' ')
        return "ends in a dot or blank, which Windows drops, so another name would be made";
    if (IsDeviceName(name))
        return "is a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an "
               "extension), which makes no file";
    return "";
}

bool IsPlainFileName(const std::string& name) {
    return FileNameProblem(name).empty();
}

std::string DirSpecProblem(const std::string& spec) {
    std::string unprintable = UnprintableProblem(spec);
    if (!unprintable.empty()) return unprintable;
    size_t colon = spec.find(':');
    if (colon != std::string::npos && (colon != 1 || spec.find(':', 2) != std::string::npos))
        return "holds a ':' that is not a drive prefix";
    std::vector<std::string> names = FolderNames(spec);
    for (const std::string& name : names)
        if (ClimbsUp(name)) return "climbs out with \"..\"";
    for (const std::string& name : names) {
        std::string problem = FileNameProblem(name);
        if (!problem.empty()) return "has a folder name '" + name + "' that " + problem;
    }
    return "";
}

std::vector<std::string> EntryFieldProblems(const CopyTableEntry& e) {
    std::vector<std::string> problems;
    bool external = e.flags & CF_EXTERNAL_SOURCE;
    AddProblem(&problems, "target name", e.targetName, FileNameProblem(e.targetName));
    if (external) {
        AddProblem(&problems, "packed name of an external item", e.sourceName,
                   FileNameProblem(e.sourceName));
    } else {
        AddProblem(&problems, "packed name", e.sourceName, UnprintableProblem(e.sourceName));
    }
    if (external && e.diskLabel[0]) {
        AddProblem(&problems, "disk label of an external item (its folder)", e.diskLabel,
                   FileNameProblem(e.diskLabel));
    } else {
        AddProblem(&problems, "disk label", e.diskLabel, UnprintableProblem(e.diskLabel));
    }
    AddProblem(&problems, "dir", e.targetDirSpec, DirSpecProblem(e.targetDirSpec));
    AddProblem(&problems, "args", e.arguments, UnprintableProblem(e.arguments));
    return problems;
}

std::string InstalledPathKey(const CopyTableEntry& e) {
    if (!(e.flags & (CF_EMBEDDED | CF_EXTERNAL_SOURCE))) return "";
    return FoldedPath(e.targetDirSpec) + "\\" + FoldedPath(e.targetName);
}

bool HasExternalFile(const CopyTableEntry& e) {
    return (e.flags & CF_EXTERNAL_SOURCE) && e.sourceName[0];
}

std::string ExternalFilePath(const CopyTableEntry& e) {
    return e.diskLabel[0] ? std::string(e.diskLabel) + "/" + e.sourceName : e.sourceName;
}

std::string ExternalFileKey(const CopyTableEntry& e) {
    return FoldedPath(ExternalFilePath(e));
}

std::vector<std::string> DisketteInDrive(const std::vector<CopyTableEntry>& entries) {
    std::vector<std::string> inDrive;
    std::string current = entries.empty() ? "" : entries[0].diskLabel;
    for (const CopyTableEntry& e : entries) {
        bool hasData = e.flags & (CF_EXTERNAL_SOURCE | CF_EMBEDDED);
        if (hasData && e.diskLabel[0]) current = e.diskLabel;
        inDrive.push_back(current);
    }
    return inDrive;
}

std::vector<std::string> DisketteRequests(const std::vector<CopyTableEntry>& entries) {
    std::vector<std::string> asked;
    std::string current = entries.empty() ? "" : entries[0].diskLabel;
    for (const std::string& label : DisketteInDrive(entries)) {
        if (label == current) continue;
        asked.push_back(label);
        current = label;
    }
    return asked;
}
