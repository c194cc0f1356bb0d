// Checks of manifest items and copy-table entries against the package invariants and the
// file system.
#include "pack/manifest_rules.h"

#include <map>

#include "pack/pack_error.h"

namespace {

bool IsPrintableAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

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

// Why `name` cannot be one file name, or "".
std::string NameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (!IsPrintableAscii(name)) return "holds a control or non-ASCII character";
    if (name.find_first_of("/\\") != std::string::npos) return "holds a path separator";
    if (name.find(':') != std::string::npos) return "holds a drive prefix or ':'";
    if (name == "." || ClimbsUp(name)) return "names a folder (\".\" or \"..\")";
    if (name.find_first_of("*?\"<>|") != std::string::npos)
        return "holds a character Windows refuses in names (* ? \" < > |)";
    return "";
}

// Why a folder spec would leave the folder it names, or "". "", "&WIN", "&SYS" and "D:\..."
// are the installer's own forms; anything else is a sub-directory of the target directory.
std::string DirSpecProblem(const std::string& spec) {
    if (!IsPrintableAscii(spec)) return "holds a control or non-ASCII character";
    size_t colon = spec.find(':');
    if (colon != std::string::npos && (colon != 1 || spec.find(':', 2) != std::string::npos))
        return "holds a ':' that is not a drive prefix";
    size_t start = 0;
    while (start <= spec.size()) {
        size_t end = spec.find_first_of("/\\", start);
        if (end == std::string::npos) end = spec.size();
        if (ClimbsUp(spec.substr(start, end - start))) return "climbs out with \"..\"";
        start = end + 1;
    }
    return "";
}

void AddProblem(std::vector<std::string>* problems, const std::string& field,
                const std::string& value, const std::string& problem) {
    if (!problem.empty()) problems->push_back(field + " '" + ShownText(value) + "' " + problem);
}

std::string FoldedPath(std::string path) {
    for (char& c : path) {
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        if (c == '/') c = '\\';
    }
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace

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

void FailAt(const ItemContext& context, int line, const std::string& message) {
    throw PackError(context.displayName + ":" + std::to_string(line) + ": " + message);
}

bool IsPlainFileName(const std::string& name) {
    return NameProblem(name).empty();
}

std::vector<std::string> EntryFieldProblems(const CopyTableEntry& e) {
    std::vector<std::string> problems;
    bool external = e.flags & CF_EXTERNAL_SOURCE;
    AddProblem(&problems, "target name", e.targetName, NameProblem(e.targetName));
    if (external) {
        AddProblem(&problems, "packed name of an external item", e.sourceName,
                   NameProblem(e.sourceName));
    } else if (!IsPrintableAscii(e.sourceName)) {
        AddProblem(&problems, "packed name", e.sourceName,
                   "holds a control or non-ASCII character");
    }
    if (external && e.diskLabel[0]) {
        AddProblem(&problems, "disk label of an external item (its folder)", e.diskLabel,
                   NameProblem(e.diskLabel));
    } else if (!IsPrintableAscii(e.diskLabel)) {
        AddProblem(&problems, "disk label", e.diskLabel, "holds a control or non-ASCII character");
    }
    AddProblem(&problems, "dir", e.targetDirSpec, DirSpecProblem(e.targetDirSpec));
    if (!IsPrintableAscii(e.arguments))
        AddProblem(&problems, "args", e.arguments, "holds a control or non-ASCII character");
    return problems;
}

std::string InstalledPathKey(const CopyTableEntry& e) {
    if (!(e.flags & (CF_EMBEDDED | CF_EXTERNAL_SOURCE))) return "";
    return FoldedPath(e.targetDirSpec) + "\\" + FoldedPath(e.targetName);
}

void CheckItemRules(const ManifestItem& item, const ItemContext& context) {
    const CopyTableEntry& e = item.entry;
    bool embedded = e.flags & CF_EMBEDDED, external = e.flags & CF_EXTERNAL_SOURCE;
    if (!item.sourcePath.empty()) {
        if (embedded == external) {
            FailAt(
                context, item.line,
                "an item with a source needs exactly one of the flags 'embedded' and 'external'");
        }
        if (item.sourceSize > 0xFFFFFFFFu)
            FailAt(context, item.line, "source file is 4 GB or larger");
    } else if (embedded || external || (e.flags & CF_COMPRESSED)) {
        FailAt(context, item.line,
               "an entry without 'source' stores nothing: it cannot be 'embedded', 'external' or "
               "'compressed'");
    }
    std::vector<std::string> problems = EntryFieldProblems(e);
    if (problems.empty()) return;
    std::string hint = problems[0].rfind("target name", 0) == 0
                           ? " (it must be a plain file name; use 'dir' for a directory)"
                           : "";
    FailAt(context, item.line, problems[0] + hint);
}

namespace {

// Two items that install to the same file: the later one would silently replace (or, without
// 'overwrite', skip) the earlier.
void CheckUniqueTargets(const std::vector<ManifestItem>& items, const ItemContext& context) {
    std::map<std::string, int> seen;
    for (const ManifestItem& item : items) {
        std::string key = InstalledPathKey(item.entry);
        if (key.empty()) continue;
        auto [at, fresh] = seen.emplace(key, item.line);
        if (!fresh) {
            FailAt(context, item.line,
                   "target '" + std::string(item.entry.targetName) + "' in dir '" +
                       item.entry.targetDirSpec +
                       "' installs to the same file as the item at line " +
                       std::to_string(at->second) + " (case is ignored, as on Windows)");
        }
    }
}

// External files land in one folder per diskette; two of the same name would collide.
void CheckUniqueExternalFiles(const std::vector<ManifestItem>& items, const ItemContext& context) {
    std::map<std::string, int> seen;
    for (const ManifestItem& item : items) {
        if (!(item.entry.flags & CF_EXTERNAL_SOURCE)) continue;
        std::string key =
            FoldedPath(std::string(item.entry.diskLabel) + "/" + item.entry.sourceName);
        auto [at, fresh] = seen.emplace(key, item.line);
        if (!fresh) {
            FailAt(context, item.line,
                   "external file '" + std::string(item.entry.sourceName) + "' on disk '" +
                       item.entry.diskLabel + "' is already used by the item at line " +
                       std::to_string(at->second));
        }
    }
}

}  // namespace

void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context) {
    if (items.size() > 0xFFFF) FailAt(context, items.back().line, "more than 65535 items");
    CheckUniqueTargets(items, context);
    CheckUniqueExternalFiles(items, context);
}
