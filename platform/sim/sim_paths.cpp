// Paths of the simulated Windows and their place on the host: parsing (drive-absolute, rooted,
// relative to the current directory; '\' and '/' separators, doubled separators, "." and
// ".."), case-insensitive lookup of host directory entries with the case kept as stored, and
// the deterministic 8.3 aliases that GetShortPathNameA reports and every path accepts.
//
// Alias rule: a valid 8.3 name is its own short name (case included). Any other name gets the
// first six valid characters of its base upper-cased (blanks, dots and characters invalid in
// 8.3 names dropped), "~N", and the first three valid characters of its extension. N is the
// smallest number not used by another alias or 8.3 name of the same directory, at the time
// the alias is assigned: when the sim creates the entry, or, for entries put on the host
// from outside, when the directory is first looked at (in name order). A drive configured
// without short names has no aliases at all.
#include <string.h>

#include <algorithm>
#include <filesystem>

#include "platform/sim/sim_internal.h"

namespace fs = std::filesystem;

namespace sim {
namespace detail {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsInvalidNameChar(unsigned char c) {
    return c < 32 || strchr("<>:\"|?*", c) != nullptr;
}

bool IsInvalidShortChar(unsigned char c) {
    return c <= 32 || c == '.' || strchr("\"*+,/:;<=>?[\\]|", c) != nullptr;
}

std::vector<std::string> SplitCurrentDir(char* drive) {
    const std::string& current = M().currentDir;
    *drive = current.empty() ? 0 : current[0];
    std::vector<std::string> parts;
    std::string piece;
    for (size_t i = 3; i <= current.size(); i++) {
        if (i == current.size() || current[i] == '\\') {
            if (!piece.empty()) parts.push_back(piece);
            piece.clear();
        } else {
            piece += current[i];
        }
    }
    return parts;
}

// Windows drops trailing dots and blanks of a component.
std::string TrimComponent(std::string piece) {
    while (!piece.empty() && (piece.back() == '.' || piece.back() == ' ')) piece.pop_back();
    return piece;
}

int AppendComponents(const std::string& text, size_t start, std::vector<std::string>* parts,
                     DWORD* error) {
    std::string piece;
    for (size_t i = start; i <= text.size(); i++) {
        if (i < text.size() && !IsSeparator(text[i])) {
            if (IsInvalidNameChar((unsigned char)text[i])) {
                *error = ERROR_INVALID_NAME;
                return 0;
            }
            piece += text[i];
            continue;
        }
        if (piece == "..") {
            if (!parts->empty()) parts->pop_back();
        } else if (piece != ".") {
            piece = TrimComponent(piece);
            if (!piece.empty()) parts->push_back(piece);
        }
        piece.clear();
    }
    return 1;
}

using Listing = Machine::Listing;

void AddToListing(Listing& listing, const std::string& name) {
    listing.names.insert(name);
    listing.byUpper[UpperAscii(name)].insert(name);
}

// The host folder's entries: read on first use, then kept by the sim's own changes.
Listing& ListingOf(const std::string& dirHost) {
    auto found = M().listings.find(dirHost);
    if (found != M().listings.end()) return found->second;
    Listing& listing = M().listings[dirHost];
    std::error_code ec;
    for (fs::directory_iterator it(dirHost, ec), end; !ec && it != end; it.increment(ec))
        AddToListing(listing, it->path().filename().string());
    return listing;
}

void RemoveFromListing(Listing& listing, const std::string& name) {
    listing.names.erase(name);
    auto same = listing.byUpper.find(UpperAscii(name));
    if (same == listing.byUpper.end()) return;
    same->second.erase(name);
    if (same->second.empty()) listing.byUpper.erase(same);
}

std::string MakeAlias(const std::string& name, int number) {
    size_t start = name.find_first_not_of('.');
    size_t dot = name.rfind('.');
    if (start == std::string::npos) start = 0;
    if (dot == std::string::npos || dot < start) dot = name.size();
    std::string base, ext;
    for (size_t i = start; i < dot && base.size() < 6; i++)
        if (!IsInvalidShortChar((unsigned char)name[i])) base += UpperChar(name[i]);
    for (size_t i = dot + 1; i < name.size() && ext.size() < 3; i++)
        if (!IsInvalidShortChar((unsigned char)name[i])) ext += UpperChar(name[i]);
    if (base.empty()) base = "_";
    std::string suffix = "~" + std::to_string(number);
    if (base.size() + suffix.size() > 8) base.resize(8 - suffix.size());
    return base + suffix + (ext.empty() ? "" : "." + ext);
}

// The smallest N whose alias no other alias and no entry of the folder uses. The search for
// names sharing a first alias starts after the N last given to one of them (aliases are
// forgotten only with a deletion, which starts the searches afresh).
void AssignAlias(const std::string& dirKey, const Listing& listing, const std::string& name) {
    Machine::Aliases& dir = M().aliases[dirKey];
    std::string first = UpperAscii(MakeAlias(name, 1));
    int& next = dir.nextNumber[first];
    for (int number = std::max(next, 1);; number++) {
        std::string alias = UpperAscii(MakeAlias(name, number));
        if (dir.byAlias.count(alias) || listing.byUpper.count(alias)) continue;
        dir.byName[UpperAscii(name)] = MakeAlias(name, number);
        dir.byAlias[alias] = UpperAscii(name);
        next = number + 1;
        return;
    }
}

// Gives every entry of the directory that needs an alias one, in name order, the first time
// the directory is looked at; later entries get theirs as they are created.
Listing& EnsureAliases(const std::string& dirKey, const std::string& dirHost) {
    Listing& listing = ListingOf(dirHost);
    Machine::Aliases& dir = M().aliases[dirKey];
    if (dir.complete) return listing;
    for (const std::string& entry : listing.names) {
        if (IsValidShortName(entry)) continue;
        if (dir.byName.count(UpperAscii(entry))) continue;
        AssignAlias(dirKey, listing, entry);
    }
    dir.complete = true;
    return listing;
}

// Whether the drive of a directory key keeps 8.3 names.
bool HasShortNames(const std::string& dirKey) {
    const DriveConfig* drive = dirKey.empty() ? nullptr : FindDrive(dirKey[0]);
    return !drive || drive->shortNames;
}

// The stored name of the entry that `name` designates by its long name: the same name, else
// the first in name order that differs only in case; "" when there is none.
std::string EntryNamed(const Listing& listing, const std::string& name) {
    if (listing.names.count(name)) return name;
    auto same = listing.byUpper.find(UpperAscii(name));
    return same == listing.byUpper.end() ? "" : *same->second.begin();
}

// The stored name of the entry that `name` designates (by long name or alias), or "".
std::string ListedEntry(const std::string& dirKey, const std::string& dirHost,
                        const std::string& name) {
    std::string entry = EntryNamed(ListingOf(dirHost), name);
    if (!entry.empty() || name.find('~') == std::string::npos || !HasShortNames(dirKey))
        return entry;
    const Listing& listing = EnsureAliases(dirKey, dirHost);
    const Machine::Aliases& dir = M().aliases[dirKey];
    auto owner = dir.byAlias.find(UpperAscii(name));
    return owner == dir.byAlias.end() ? "" : EntryNamed(listing, owner->second);
}

// The same, checked against the host: an entry that has gone from it (removed from outside,
// or a creation that failed after it was registered) is forgotten and not found.
std::string LookupEntry(const std::string& dirKey, const std::string& dirHost,
                        const std::string& name) {
    std::string entry = ListedEntry(dirKey, dirHost, name);
    std::error_code ec;
    if (entry.empty() || fs::exists(fs::symlink_status(dirHost + "/" + entry, ec))) return entry;
    ForgetName(dirKey, dirHost, entry);
    return "";
}

}  // namespace

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

char LowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) c = UpperChar(c);
    return text;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerChar(c);
    return text;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

const DriveConfig* FindDrive(char letter) {
    for (const DriveConfig& drive : M().config.drives)
        if (drive.letter == UpperChar(letter)) return &drive;
    return nullptr;
}

std::string DriveHostDir(const DriveConfig& drive) {
    return drive.hostDir;
}

std::string JoinSimPath(char drive, const std::vector<std::string>& parts) {
    std::string path(1, drive);
    path += ":\\";
    for (size_t i = 0; i < parts.size(); i++) path += (i ? "\\" : "") + parts[i];
    return path;
}

int ParsePath(const char* text, SimPath* out, DWORD* error) {
    *out = SimPath{};
    if (!text || !*text) {
        *error = ERROR_PATH_NOT_FOUND;
        return 0;
    }
    std::string s(text);
    char currentDrive = 0;
    std::vector<std::string> currentParts = SplitCurrentDir(&currentDrive);
    size_t start = 0;
    if (s.size() >= 2 && s[1] == ':') {
        if (!isalpha((unsigned char)s[0])) return *error = ERROR_INVALID_NAME, 0;
        // The letter keeps the case typed, as Windows keeps it; drives match regardless.
        out->drive = s[0];
        start = 2;
        if (!(s.size() > 2 && IsSeparator(s[2])) &&
            UpperChar(out->drive) == UpperChar(currentDrive)) {
            out->drive = currentDrive;  // "c:name" continues the current directory as stored
            out->parts = currentParts;
        }
    } else if (IsSeparator(s[0])) {
        if (s.size() > 1 && IsSeparator(s[1])) return *error = ERROR_PATH_NOT_FOUND, 0;
        out->drive = currentDrive;
    } else {
        out->drive = currentDrive;
        out->parts = currentParts;
    }
    if (!out->drive || !FindDrive(out->drive)) return *error = ERROR_PATH_NOT_FOUND, 0;
    if (!AppendComponents(s, start, &out->parts, error)) return 0;
    out->trailingSeparator = IsSeparator(s.back());
    if (JoinSimPath(out->drive, out->parts).size() >= MAX_PATH)
        return *error = ERROR_FILENAME_EXCED_RANGE, 0;
    return 1;
}

int ResolvePath(const char* text, Resolved* out, DWORD* error) {
    *out = Resolved{};
    if (!ParsePath(text, &out->path, error)) return 0;
    out->drive = FindDrive(out->path.drive);
    std::string host = DriveHostDir(*out->drive);
    std::vector<std::string> found;
    bool isDir = true;
    for (const std::string& part : out->path.parts) {
        if (!isDir) break;
        std::string dirKey = UpperAscii(JoinSimPath(out->path.drive, found));
        std::string entry = LookupEntry(dirKey, host, part);
        if (entry.empty()) break;
        host += "/" + entry;
        found.push_back(entry);
        std::error_code ec;
        isDir = fs::is_directory(host, ec);
    }
    size_t count = out->path.parts.size();
    out->existingParts = found.size();
    out->exists = found.size() == count;
    out->isDirectory = out->exists && isDir;
    // The folder of the last component: an entry found inside it makes it one; otherwise it
    // is the last entry found, which must be a directory (the root is one).
    out->parentExists = found.size() == count || (found.size() + 1 == count && isDir);
    out->names = found;
    for (size_t i = found.size(); i < count; i++) {
        out->names.push_back(out->path.parts[i]);
        host += "/" + out->path.parts[i];
    }
    out->hostPath = host;
    out->simPath = JoinSimPath(out->path.drive, out->names);
    out->key = UpperAscii(out->simPath);
    return 1;
}

DWORD MissingError(const Resolved& r) {
    return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::string ParentKey(const Resolved& r) {
    std::vector<std::string> parent(r.names.begin(), r.names.end() - (r.names.empty() ? 0 : 1));
    return UpperAscii(JoinSimPath(r.path.drive, parent));
}

std::string ParentHostPath(const Resolved& r) {
    std::string host = DriveHostDir(*r.drive);
    for (size_t i = 0; i + 1 < r.names.size(); i++) host += "/" + r.names[i];
    return host;
}

bool IsValidShortName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    size_t dot = name.find('.');
    if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) return false;
    std::string base = name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string::npos && ext.empty()) return false;
    for (char c : base + ext)
        if (IsInvalidShortChar((unsigned char)c)) return false;
    return true;
}

std::string ShortNameOf(const std::string& dirKey, const std::string& dirHostPath,
                        const std::string& name) {
    if (IsValidShortName(name)) return name;
    const Listing& listing = EnsureAliases(dirKey, dirHostPath);
    Machine::Aliases& dir = M().aliases[dirKey];
    auto alias = dir.byName.find(UpperAscii(name));
    if (alias != dir.byName.end()) return alias->second;
    AssignAlias(dirKey, listing, name);
    return dir.byName[UpperAscii(name)];
}

void RegisterCreatedName(const std::string& dirKey, const std::string& dirHostPath,
                         const std::string& name) {
    if (!HasShortNames(dirKey)) {
        AddToListing(ListingOf(dirHostPath), name);
        return;
    }
    Listing& listing = EnsureAliases(dirKey, dirHostPath);
    AddToListing(listing, name);
    if (IsValidShortName(name) || M().aliases[dirKey].byName.count(UpperAscii(name))) return;
    AssignAlias(dirKey, listing, name);
}

void ForgetName(const std::string& dirKey, const std::string& dirHostPath,
                const std::string& name) {
    RemoveFromListing(ListingOf(dirHostPath), name);
    Machine::Aliases& dir = M().aliases[dirKey];
    auto alias = dir.byName.find(UpperAscii(name));
    if (alias == dir.byName.end()) return;
    dir.byAlias.erase(UpperAscii(alias->second));
    dir.byName.erase(alias);
    dir.nextNumber.clear();  // a number is free again: the searches start from 1
}

}  // namespace detail
}  // namespace sim
