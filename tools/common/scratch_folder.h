// A folder of the program's own under the system's temporary folder (or under `parent`),
// removed with everything in it when the object goes, also when an exception passes on the
// way out. The one way the tools, tests, fuzz targets and benchmarks make a temporary folder.
// The name is made
// from a prefix, the clock and an attempt count, and taken only when no such entry exists yet
// (creating a folder fails on any existing name, a link included); portable, as setuppack
// also builds for Windows, which has no mkdtemp.
#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

class ScratchFolder {
   public:
    explicit ScratchFolder(const std::string& prefix,
                           const std::filesystem::path& parent = std::filesystem::path()) {
        namespace fs = std::filesystem;
        fs::path under = parent.empty() ? fs::temp_directory_path() : parent;
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0; attempt < 100; attempt++) {
            fs::path candidate =
                under / (prefix + "-" + std::to_string(stamp) + "-" + std::to_string(attempt));
            std::error_code taken;
            if (fs::create_directory(candidate, taken)) {
                fs::permissions(candidate, fs::perms::owner_all, taken);
                path_ = candidate.string();
                return;
            }
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

   private:
    std::string path_;
};
