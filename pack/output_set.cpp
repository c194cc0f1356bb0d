// Staging outputs beside their final names and renaming them together.
#include "pack/output_set.h"

#include <stdio.h>

#include <chrono>
#include <filesystem>

#include "pack/file_io.h"
#include "pack/pack_error.h"

namespace fs = std::filesystem;

OutputSet::~OutputSet() {
    std::error_code ignored;
    for (const std::string& folder : privateFolders_) fs::remove_all(folder, ignored);
    if (committed_) return;
    for (const Staged& s : staged_) remove(s.temporary.c_str());
    // Only folders left empty go: a folder that gained other files since is not ours alone.
    for (auto at = madeFolders_.rbegin(); at != madeFolders_.rend(); ++at) fs::remove(*at, ignored);
}

void OutputSet::MakeFolder(const std::string& path) {
    if (path.empty() || IsFolderPath(path)) return;
    std::string parent = FolderOf(path);
    if (parent != path) MakeFolder(parent);
    MakeDirectories(path);
    madeFolders_.push_back(path);
}

std::string OutputSet::PrivateFolder(const std::string& parent) {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; attempt++) {
        fs::path candidate = fs::path(parent) / (".setuppack-" + std::to_string(stamp) + "-" +
                                                 std::to_string(attempt));
        std::error_code taken;
        if (fs::create_directory(candidate, taken)) {
            privateFolders_.push_back(candidate.string());
            fs::permissions(candidate, fs::perms::owner_all, taken);
            return candidate.string();
        }
    }
    throw PackError("cannot make a temporary folder in " + parent);
}

void OutputSet::Add(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (IsFolderPath(path)) throw PackError("cannot write " + path + ": it is a directory");
    staged_.push_back(Staged{WriteExclusiveTemporary(path, bytes.data(), bytes.size()), path});
}

void OutputSet::AddFile(const std::string& path, const std::string& madeAt) {
    if (IsFolderPath(path)) throw PackError("cannot write " + path + ": it is a directory");
    staged_.push_back(Staged{madeAt, path});
}

void OutputSet::Commit() {
    for (const Staged& s : staged_) MoveIntoPlace(s.temporary, s.path);
    committed_ = true;
}
