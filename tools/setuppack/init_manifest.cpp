// Writing a first manifest from a folder.
#include "tools/setuppack/init_manifest.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "engine/core/package.h"
#include "pack/copy_table_rules.h"
#include "pack/file_io.h"
#include "pack/manifest.h"
#include "pack/manifest_rules.h"
#include "pack/manifest_sources.h"
#include "pack/pack_error.h"
#include "pack/quoted_string.h"
#include "tools/common/ascii.h"
#include "tools/common/error_line.h"

namespace fs = std::filesystem;

namespace {

// The copy table's name rule, with what to do about it. A folder becomes a `dir` value,
// where "&WIN" and "&SYS" are keywords.
std::string NameOrDirProblem(const std::string& name, bool isDir) {
    std::string rule = FileNameProblem(name);
    if (name.size() >= ENTRY_NAME_SIZE) return rule + "; rename it (8.3 names are safest)";
    if (!rule.empty()) return rule + "; rename it";
    if (isDir && (name == "&WIN" || name == "&SYS"))
        return "would name the Windows or system directory, not a sub-directory; rename it";
    return "";
}

}  // namespace

std::string NameProblem(const std::string& name, bool isDir) {
    std::string problem = NameOrDirProblem(name, isDir);
    return problem.empty() ? "" : (isDir ? "folder name " : "name ") + problem;
}

namespace {

InitFile DescribeFile(const fs::path& relative, const FileFacts& facts) {
    InitFile file;
    file.path = relative.generic_string();
    file.target = relative.filename().string();
    file.modified = facts.modified;
    std::vector<std::string> folders;
    for (const fs::path& part : relative.parent_path()) folders.push_back(part.string());
    if (folders.size() > 1) {
        file.problem =
            "lies more than one folder deep; the installer makes one level of "
            "sub-directories: move it up or add its folders by hand";
        return file;
    }
    if (!folders.empty()) {
        file.dir = folders[0];
        file.problem = NameProblem(file.dir, true);
    }
    if (file.problem.empty()) file.problem = NameProblem(file.target, false);
    return file;
}

// The second of two names that are one file on Windows is left out.
void MarkWindowsDuplicates(std::vector<InitFile>* files) {
    std::map<std::string, std::string> seen;
    for (InitFile& file : *files) {
        if (!file.problem.empty()) continue;
        std::string key = AsciiUpperCopy(file.dir + "/" + file.target);
        auto [at, fresh] = seen.emplace(key, file.path);
        if (!fresh)
            file.problem = "is the same file as " + at->second +
                           " on Windows, where case is ignored; rename one of them";
    }
}

}  // namespace

std::vector<InitFile> ScanFolder(const std::string& folder) {
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, error), end;
    if (error) throw PackError("cannot read folder " + folder + ": " + error.message());
    std::vector<InitFile> files;
    for (; walk != end; walk.increment(error)) {
        if (error) throw PackError("cannot read folder " + folder + ": " + error.message());
        if (!walk->is_regular_file()) continue;
        fs::path relative = walk->path().lexically_relative(folder);
        FileFacts facts;
        if (!ReadFileFacts(walk->path().string(), &facts)) continue;  // gone or unreadable
        files.push_back(DescribeFile(relative, facts));
        if (files.back().problem.empty() && facts.size > 0xFFFFFFFFull)
            files.back().problem = "is 4 GB or larger, more than an item holds; split it";
    }
    std::sort(files.begin(), files.end(),
              [](const InitFile& a, const InitFile& b) { return a.path < b.path; });
    MarkWindowsDuplicates(&files);
    return files;
}

namespace {

// A path or message on one line of the terminal: control characters shown as '?'.
std::string LineSafe(std::string text) {
    for (char& c : text) c = ((unsigned char)c < 0x20 || c == 0x7F) ? '?' : c;
    return text;
}

// A path or message on one comment line, in ASCII: the manifest reader refuses characters
// that the TOML parser cannot read safely, comments included.
std::string CommentSafe(std::string text) {
    for (char& c : text) c = ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7F) ? '?' : c;
    return text;
}

// A packed name the derived rule gives, cut so that it fits its field.
std::string PackedName(const std::string& target) {
    std::string name = DefaultPackedName(target, true);
    if (name.size() < ENTRY_NAME_SIZE) return name;
    return target.substr(0, ENTRY_NAME_SIZE - 2) + "_";
}

// "from-file" while the file's time fits a DOS date; otherwise the nearest that does, fixed.
std::string DateLine(const DosDateTime& modified) {
    if (modified.year >= 1980 && modified.year <= 2107) return "date = \"from-file\"\n";
    const char* nearest = modified.year < 1980 ? "1980-01-01T00:00:00" : "2107-12-31T23:59:58";
    return std::string("date = ") + nearest + "  # the file's own date does not fit 1980..2107\n";
}

void WriteItem(std::ostream& text, const InitFile& file, const std::string& sourcePrefix) {
    text << "\n[[item]]\n"
         << "source = " << TomlString(sourcePrefix + file.path) << "\n"
         << "target = " << TomlString(file.target) << "\n"
         << "packed_name = " << TomlString(PackedName(file.target)) << "\n";
    if (!file.dir.empty()) text << "dir = " << TomlString(file.dir) << "\n";
    // No "compressed": the default compress = "auto" stores a file that would not shrink.
    text << "flags = [\"embedded\", \"overwrite\"]\n" << DateLine(file.modified);
}

const char kHeader[] =
    "# Written by setuppack init: one item per file, in installation order. Each is embedded in\n"
    "# the installer, compressed where that makes it smaller (add \"compressed\" to force it),\n"
    "# and replaces an existing file (drop \"overwrite\" for files\n"
    "# the user changes, such as data); files in a sub-folder go to a sub-directory of the\n"
    "# same name. \"from-file\" dates are read when building (SOURCE_DATE_EPOCH caps them).\n"
    "# Add \"launch_after_copy\" to run a program during the copy, \"external\" with disk = "
    "\"LABEL\"\n"
    "# to ship an item on a diskette. The manifest documentation lists every key.\n"
    "\n"
    "# What Windows Vista and later ask before the installer runs: \"requireAdministrator\"\n"
    "# (the default folder is under Program Files), \"highestAvailable\" or \"asInvoker\".\n"
    "execution_level = \"requireAdministrator\"\n";

}  // namespace

std::string ManifestText(const std::vector<InitFile>& files, const std::string& sourcePrefix) {
    std::ostringstream text;
    text << kHeader;
    for (const InitFile& file : files) {
        if (file.problem.empty()) WriteItem(text, file, sourcePrefix);
    }
    bool first = true;
    for (const InitFile& file : files) {
        if (file.problem.empty()) continue;
        if (first) text << "\n# Left out: names the installer cannot hold.\n";
        first = false;
        text << "#   " << CommentSafe(file.path) << ": " << CommentSafe(file.problem) << "\n";
    }
    return text.str();
}

namespace {

// The folder as a path from the manifest's folder, ending in '/' ("" for the same folder).
std::string SourcePrefix(const std::string& folder, const std::string& manifestPath) {
    fs::path from = fs::weakly_canonical(fs::absolute(manifestPath)).parent_path();
    fs::path to = fs::weakly_canonical(fs::absolute(folder));
    std::string prefix = to.lexically_relative(from).generic_string();
    if (prefix.empty()) prefix = to.generic_string();  // no relative way (another root)
    return prefix == "." ? "" : prefix + "/";
}

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// The folder's files, but not the manifest itself when it lies inside.
std::vector<InitFile> ScanWithout(const std::string& folder, const std::string& manifestPath) {
    std::vector<InitFile> files = ScanFolder(folder);
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const InitFile& f) {
                                   return SamePath(fs::path(folder) / f.path, manifestPath);
                               }),
                files.end());
    return files;
}

std::string PathKey(const std::string& path) {
    return fs::weakly_canonical(fs::absolute(path)).generic_string();
}

std::string PlaceKey(const std::string& dir, const std::string& target) {
    return AsciiUpperCopy(dir + "/" + target);
}

struct UpdatePlan {
    std::vector<const InitFile*> added;
    std::vector<std::string> leftOut;  // "path: why" of files that cannot be added
    std::vector<std::string> gone;     // one message per item whose source is gone
};

UpdatePlan PlanUpdate(const std::vector<InitFile>& files,
                      const std::vector<ManifestEntryRef>& entries, const InitOptions& options) {
    UpdatePlan plan;
    std::set<std::string> sources, places;
    std::string base = FolderOf(options.updatePath);
    for (const ManifestEntryRef& e : entries) {
        places.insert(PlaceKey(e.dir, e.target));
        if (e.source.empty()) continue;
        std::string path = ResolvePath(base, e.source);
        sources.insert(PathKey(path));
        FileFacts facts;
        if (!ReadFileFacts(path, &facts))
            plan.gone.push_back(options.updatePath + ":" + std::to_string(e.line) + ": source '" +
                                LineSafe(e.source) +
                                "' is gone: remove the item or restore the file");
    }
    for (const InitFile& file : files) {
        if (sources.count(PathKey((fs::path(options.folder) / file.path).string()))) continue;
        std::string why = file.problem;
        if (why.empty() && !places.insert(PlaceKey(file.dir, file.target)).second)
            why = "installs where an item of the manifest already does; add it by hand";
        if (why.empty())
            plan.added.push_back(&file);
        else
            plan.leftOut.push_back(LineSafe(file.path) + ": left out: " + LineSafe(why));
    }
    return plan;
}

std::string UpdatedText(std::string text, const UpdatePlan& plan, const std::string& prefix) {
    if (plan.added.empty()) return text;
    if (!text.empty() && text.back() != '\n') text += "\n";
    std::ostringstream added;
    for (const InitFile* file : plan.added) WriteItem(added, *file, prefix);
    return text + added.str();
}

}  // namespace

int CommandInit(const InitOptions& options, std::ostream& out, std::ostream& err) {
    if (!options.updatePath.empty()) return CommandInitUpdate(options, out, err);
    try {
        if (!options.force && fs::exists(options.outputPath))
            throw PackError(options.outputPath + " exists; give --force to replace it");
        std::vector<InitFile> files = ScanWithout(options.folder, options.outputPath);
        size_t usable = std::count_if(files.begin(), files.end(),
                                      [](const InitFile& f) { return f.problem.empty(); });
        for (const InitFile& file : files)
            if (!file.problem.empty())
                err << options.folder << "/" << LineSafe(file.path)
                    << ": left out: " << LineSafe(file.problem) << "\n";
        if (usable == 0) throw PackError("no file in " + options.folder + " can be an item");
        std::string text = ManifestText(files, SourcePrefix(options.folder, options.outputPath));
        MakeDirectories(FolderOf(options.outputPath));
        WriteFileBytes(options.outputPath, (const uint8_t*)text.data(), text.size());
        out << options.outputPath << ": " << usable << " items, " << files.size() - usable
            << " files left out\n";
        return 0;
    } catch (const std::exception& error) {
        err << ErrorLine("setuppack", error.what());
        return 1;
    }
}

int CommandInitUpdate(const InitOptions& options, std::ostream& out, std::ostream& err) {
    try {
        std::vector<uint8_t> bytes = ReadFileBytes(options.updatePath);
        std::string text(bytes.begin(), bytes.end());
        std::vector<ManifestEntryRef> entries = ReadManifestEntries(text, options.updatePath);
        std::vector<InitFile> files = ScanWithout(options.folder, options.updatePath);
        UpdatePlan plan = PlanUpdate(files, entries, options);
        for (const std::string& line : plan.leftOut) err << options.folder << "/" << line << "\n";
        for (const std::string& line : plan.gone) err << line << "\n";
        std::string updated =
            UpdatedText(text, plan, SourcePrefix(options.folder, options.updatePath));
        if (updated != text)
            WriteFileBytes(options.updatePath, (const uint8_t*)updated.data(), updated.size());
        out << options.updatePath << ": " << plan.added.size() << " items added, "
            << plan.gone.size() << " sources gone, " << plan.leftOut.size() << " files left out\n";
        return plan.gone.empty() ? 0 : 1;
    } catch (const std::exception& error) {
        err << ErrorLine("setuppack", error.what());
        return 1;
    }
}
