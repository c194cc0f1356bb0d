// The running program's own resources: the dialog templates and raw resources it registered
// before it ran, as the linker would have put them into its module on Windows. They belong to
// the program, not to the machine, so Boot keeps them.
#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

struct ProgramResources {
    std::vector<DialogData> dialogs;
    std::vector<ResourceEntry> raw;
};

ProgramResources& Program() {
    static ProgramResources program;
    return program;
}

}  // namespace

const DialogData* FindRegisteredDialog(const std::string& name) {
    for (const DialogData& dialog : Program().dialogs)
        if (EqualNoCase(dialog.name, name)) return &dialog;
    return nullptr;
}

const ResourceEntry* FindRegisteredResource(const std::string& name, const std::string& type) {
    for (const ResourceEntry& entry : Program().raw)
        if (EqualNoCase(entry.name, name) && EqualNoCase(entry.type, type)) return &entry;
    return nullptr;
}

bool RegisteredResourceType(const std::string& type) {
    for (const ResourceEntry& entry : Program().raw)
        if (EqualNoCase(entry.type, type)) return true;
    return false;
}

}  // namespace detail

void RegisterDialog(const DialogData& dialog) {
    std::vector<DialogData>& dialogs = detail::Program().dialogs;
    for (DialogData& existing : dialogs)
        if (detail::EqualNoCase(existing.name, dialog.name)) return void(existing = dialog);
    dialogs.push_back(dialog);
}

void RegisterResource(const std::string& name, const std::string& type, const uint8_t* bytes,
                      size_t size) {
    detail::ResourceEntry entry{name, type, std::vector<uint8_t>(bytes, bytes + size)};
    std::vector<detail::ResourceEntry>& raw = detail::Program().raw;
    for (detail::ResourceEntry& existing : raw)
        if (detail::EqualNoCase(existing.name, name) && detail::EqualNoCase(existing.type, type))
            return void(existing = entry);
    raw.push_back(entry);
}

std::vector<uint8_t> ProgramResource(const std::string& name, const std::string& type) {
    const detail::ResourceEntry* entry = detail::FindRegisteredResource(name, type);
    return entry ? entry->bytes : std::vector<uint8_t>();
}

}  // namespace sim
