// Expands the dialog rows of resources/dialogs.def into template data for the simulated
// Windows, and lists the raw resources embedded at build time.
#include "resources/templates.h"

#include "engine/core/paths.h"

#define DIALOG_BEGIN(name, caption, x, y, w, h, style) \
    const DialogControlTemplate name##_controls[] = {
#define DIALOG_BEGIN_FONT(name, caption, x, y, w, h, style, points, face) \
    const DialogControlTemplate name##_controls[] = {
#define DIALOG_CONTROL(id, cls, text, x, y, w, h, style) \
    {id, cls, text, x, y, w, h, (DWORD)(WS_CHILD | WS_VISIBLE | (style))},
#define DIALOG_END(name) \
    }                    \
    ;
namespace {
#include "resources/dialogs.def"
}
#undef DIALOG_BEGIN
#undef DIALOG_BEGIN_FONT
#undef DIALOG_CONTROL
#undef DIALOG_END

#define COUNT_OF(a) (int)(sizeof(a) / sizeof((a)[0]))
#define DIALOG_BEGIN(name, caption, x, y, w, h, style) \
    {#name,                                            \
     caption,                                          \
     x,                                                \
     y,                                                \
     w,                                                \
     h,                                                \
     (DWORD)(style),                                   \
     0,                                                \
     nullptr,                                          \
     name##_controls,                                  \
     COUNT_OF(name##_controls)},
#define DIALOG_BEGIN_FONT(name, caption, x, y, w, h, style, points, face) \
    {#name,                                                               \
     caption,                                                             \
     x,                                                                   \
     y,                                                                   \
     w,                                                                   \
     h,                                                                   \
     (DWORD)(style),                                                      \
     points,                                                              \
     face,                                                                \
     name##_controls,                                                     \
     COUNT_OF(name##_controls)},
#define DIALOG_CONTROL(id, cls, text, x, y, w, h, style)
#define DIALOG_END(name)
namespace {
const DialogTemplate dialogTemplates[] = {
#include "resources/dialogs.def"
};
}
#undef DIALOG_BEGIN
#undef DIALOG_BEGIN_FONT
#undef DIALOG_CONTROL
#undef DIALOG_END

const DialogTemplate* FindDialogTemplate(const char* name) {
    for (const DialogTemplate& dialog : dialogTemplates)
        if (EqualIgnoringAsciiCase(dialog.name, name)) return &dialog;
    return nullptr;
}

// Generated at build time from resources/dirhlp.txt and resources/compfiles.bin.
extern const uint8_t qvDirHelpText[];
extern const size_t qvDirHelpTextSize;
extern const uint8_t qvPlaceholderPackage[];
extern const size_t qvPlaceholderPackageSize;

const RawResource* FindRawResource(const char* name, const char* type) {
    static const RawResource resources[] = {
        {"DIRHLP", "TEXT", qvDirHelpText, qvDirHelpTextSize},
        {"COMPFILES", "BINARY", qvPlaceholderPackage, qvPlaceholderPackageSize},
    };
    for (const RawResource& resource : resources)
        if (EqualIgnoringAsciiCase(resource.name, name) &&
            EqualIgnoringAsciiCase(resource.type, type))
            return &resource;
    return nullptr;
}
