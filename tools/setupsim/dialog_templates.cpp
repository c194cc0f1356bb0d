// Reading an installer's own resources: see dialog_templates.h. The template layouts are
// Windows' DLGTEMPLATE and DLGTEMPLATEEX: a header, then menu, class and title (each a
// string or an ordinal), an optional font, and the items, each starting on a 4-byte boundary.
#include "tools/setupsim/dialog_templates.h"

#include "pack/pe_image.h"
#include "pack/pe_resources.h"
#include "resources/templates.h"

namespace {

const uint16_t kDialogType = 5;    // RT_DIALOG
const uint16_t kShellFont = 0x48;  // DS_SETFONT | DS_FIXEDSYS: a font follows in EX templates

// A cursor over the template's bytes; any read past the end sets `bad` and yields zeros.
// Take composes at most 4 bytes; Skip passes over more.
struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool bad = false;

    uint32_t Take(size_t count) {
        if (bad || at > bytes.size() || bytes.size() - at < count) return bad = true, 0;
        uint32_t value = 0;
        for (size_t i = 0; i < count; i++) value |= (uint32_t)bytes[at + i] << (8 * i);
        at += count;
        return value;
    }
    void Skip(size_t count) {
        if (bad || at > bytes.size() || bytes.size() - at < count)
            bad = true;
        else
            at += count;
    }
    uint16_t Word() { return (uint16_t)Take(2); }
    uint32_t Dword() { return Take(4); }
    int Short() { return (int16_t)Word(); }
    void AlignDword() { at = (at + 3) & ~(size_t)3; }
};

// UTF-16 up to its terminator, as ANSI text: characters past 255 cannot be shown and become '?'.
std::string Utf16Text(Reader& in) {
    std::string text;
    for (uint16_t c = in.Word(); c && !in.bad; c = in.Word()) text += c < 256 ? (char)c : '?';
    return text;
}

// A string, or an ordinal (0xFFFF then a number), or nothing (0). Ordinals are returned as
// "#number".
std::string StringOrOrdinal(Reader& in) {
    uint16_t first = in.Word();
    if (first == 0) return "";
    if (first == 0xFFFF) return "#" + std::to_string(in.Word());
    in.at -= 2;
    return Utf16Text(in);
}

// The predefined control classes that templates name by ordinal.
std::string ClassName(const std::string& named) {
    static const char* const kClasses[] = {"BUTTON",  "EDIT",      "STATIC",
                                           "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    if (named.empty() || named[0] != '#') return named;
    int ordinal = std::stoi(named.substr(1));
    return ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80] : named;
}

void ReadRect(Reader& in, int* x, int* y, int* width, int* height) {
    *x = in.Short(), *y = in.Short(), *width = in.Short(), *height = in.Short();
}

sim::DialogControlData ReadItem(Reader& in, bool extended) {
    sim::DialogControlData control;
    in.AlignDword();
    if (extended) in.Dword();  // help id
    uint32_t first = in.Dword(), second = in.Dword();
    control.style = extended ? second : first;  // the other is the extended style
    ReadRect(in, &control.x, &control.y, &control.width, &control.height);
    control.id = extended ? (int)(int32_t)in.Dword() : in.Short();
    control.className = ClassName(StringOrOrdinal(in));
    std::string title = StringOrOrdinal(in);
    control.text = title.size() && title[0] == '#' ? "" : title;  // an ordinal names an image
    uint16_t extra = in.Word();
    in.at += extra;
    return control;
}

void ReadFont(Reader& in, bool extended, sim::DialogData* dialog) {
    dialog->pointSize = in.Word();
    if (extended) in.Skip(4);  // weight, italic, character set
    dialog->faceName = Utf16Text(in);
}

bool ReadHeader(Reader& in, bool extended, sim::DialogData* dialog, int* count) {
    if (extended) in.Skip(8);  // version, signature, help id
    uint32_t first = in.Dword(), second = in.Dword();
    dialog->style = extended ? second : first;
    *count = in.Word();
    ReadRect(in, &dialog->x, &dialog->y, &dialog->width, &dialog->height);
    StringOrOrdinal(in);  // menu: none is taken
    StringOrOrdinal(in);  // window class: the dialog class
    dialog->caption = Utf16Text(in);
    if (dialog->style & (extended ? kShellFont : DS_SETFONT)) ReadFont(in, extended, dialog);
    return !in.bad;
}

std::string NarrowName(const ResourceName& name) {
    std::string text;
    for (char16_t c : name.text) text += c < 256 ? (char)c : '?';
    return text;
}

void CollectDialogs(const ResourceEntry& type, InstallerResources* out) {
    for (const ResourceEntry& name : type.subdir[0].entries) {
        if (name.name.isId || !name.isDir || name.subdir[0].entries.empty()) continue;
        sim::DialogData dialog;
        if (!ParseDialogTemplate(name.subdir[0].entries[0].data, &dialog)) continue;
        dialog.name = NarrowName(name.name);
        dialog.windowName = DialogWindowName(dialog.name.c_str());
        out->dialogs.push_back(dialog);
    }
}

void CollectRaw(const ResourceEntry& type, InstallerResources* out) {
    for (const ResourceEntry& name : type.subdir[0].entries) {
        if (name.name.isId || !name.isDir || name.subdir[0].entries.empty()) continue;
        out->raw.push_back(
            {NarrowName(name.name), NarrowName(type.name), name.subdir[0].entries[0].data});
    }
}

}  // namespace

bool ParseDialogTemplate(const std::vector<uint8_t>& bytes, sim::DialogData* dialog) {
    Reader in{bytes};
    bool extended =
        bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    int count = 0;
    if (!ReadHeader(in, extended, dialog, &count)) return false;
    dialog->controls.clear();
    for (int i = 0; i < count && !in.bad; i++) dialog->controls.push_back(ReadItem(in, extended));
    return !in.bad;
}

InstallerResources ReadInstallerResources(const std::string& image) {
    InstallerResources found;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
    if (!LooksLikePe(bytes, image.size())) return found;
    try {
        ResourceDir root = ReadResourceTree(bytes, image.size(), ParsePeImage(bytes, image.size()));
        for (const ResourceEntry& type : root.entries) {
            if (!type.isDir) continue;
            if (type.name.isId && type.name.id == kDialogType) CollectDialogs(type, &found);
            if (!type.name.isId) CollectRaw(type, &found);
        }
    } catch (const std::exception&) {
        return InstallerResources{};  // a malformed tree: the program's own resources stand
    }
    return found;
}

int RegisterInstallerFileResources(const std::string& image) {
    InstallerResources found = ReadInstallerResources(image);
    for (const sim::DialogData& dialog : found.dialogs) sim::RegisterDialog(dialog);
    for (const InstallerResources::Raw& raw : found.raw)
        sim::RegisterResource(raw.name, raw.type, raw.bytes.data(), raw.bytes.size());
    return (int)found.dialogs.size();
}
