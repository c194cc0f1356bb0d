// A build's outputs written all or nothing. Each output is first written to a temporary file
// created exclusively beside its final name (never opened through an existing name, so a
// planted link is refused, not followed); only when every output is staged are they renamed
// into place. Whatever goes wrong before that, the temporaries and the folders this set
// created are removed on the way out, so a failed build leaves nothing half-made.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

class OutputSet {
   public:
    OutputSet() = default;
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Creates `path` and its missing parents, remembering each one made for the rollback.
    void MakeFolder(const std::string& path);
    // A new, empty folder of this set's own beside `parent` (which must exist), owner-only;
    // removed with its contents when the set goes. For tools that write files themselves.
    std::string PrivateFolder(const std::string& parent);
    // Stages `bytes` as the content of `path`.
    void Add(const std::string& path, const std::vector<uint8_t>& bytes);
    // Stages the file at `madeAt` (in a PrivateFolder beside `path`) as `path`.
    void AddFile(const std::string& path, const std::string& madeAt);
    // Renames every staged file into place.
    void Commit();

   private:
    struct Staged {
        std::string temporary, path;
    };
    std::vector<Staged> staged_;
    std::vector<std::string> madeFolders_, privateFolders_;
    bool committed_ = false;
};
