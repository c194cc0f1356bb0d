// Expands the dialog rows of resources/dialogs.def into template data and registers it, with
// the raw resources embedded at build time, with the simulated Windows.
#include "resources/templates.h"

#include <stddef.h>
#include <stdint.h>
#include <strings.h>

#include "platform/sim/sim.h"
#include "resources/ui_table.h"

// Generated at build time from resources/dirhlp.txt and resources/compfiles.bin.
extern const uint8_t qvDirHelpText[];
extern const size_t qvDirHelpTextSize;
extern const uint8_t qvPlaceholderPackage[];
extern const size_t qvPlaceholderPackageSize;

namespace {

sim::DialogData DialogHead(const char* name, const char* caption, int x, int y, int width,
                           int height, DWORD style, int pointSize, const char* faceName) {
    sim::DialogData dialog;
    dialog.name = name;
    dialog.windowName = DialogWindowName(name);
    dialog.caption = caption;
    dialog.x = x, dialog.y = y, dialog.width = width, dialog.height = height;
    dialog.style = style;
    dialog.pointSize = pointSize;
    dialog.faceName = faceName ? faceName : "";
    return dialog;
}

// Controls are created as children and visible, as the resource compiler adds to each row.
sim::DialogControlData Control(int id, const char* className, const char* text, int x, int y,
                               int width, int height, DWORD style) {
    sim::DialogControlData control;
    control.id = id;
    control.className = className;
    control.text = text;
    control.x = x, control.y = y, control.width = width, control.height = height;
    control.style = WS_CHILD | WS_VISIBLE | style;
    return control;
}

void RegisterDialogs() {
#define DIALOG_BEGIN(name, caption, x, y, w, h, style) \
    {                                                  \
        sim::DialogData dialog = DialogHead(#name, caption, x, y, w, h, (DWORD)(style), 0, nullptr);
#define DIALOG_BEGIN_FONT(name, caption, x, y, w, h, style, points, face) \
    {                                                                     \
        sim::DialogData dialog =                                          \
            DialogHead(#name, caption, x, y, w, h, (DWORD)(style), points, face);
#define DIALOG_CONTROL(id, cls, text, x, y, w, h, style) \
    dialog.controls.push_back(Control(id, cls, text, x, y, w, h, (DWORD)(style)));
#define DIALOG_END(name)         \
    sim::RegisterDialog(dialog); \
    }
#include "resources/dialogs.def"
#undef DIALOG_BEGIN
#undef DIALOG_BEGIN_FONT
#undef DIALOG_CONTROL
#undef DIALOG_END
}

}  // namespace

// The simulated Windows knows neither dialog: the names come from here.
const char* DialogWindowName(const char* templateName) {
    if (strcasecmp(templateName, TEMPLATE_DIRDLG) == 0) return WINDOW_DIRDLG;
    if (strcasecmp(templateName, TEMPLATE_PROGRESSDLG) == 0) return WINDOW_PROGRESSDLG;
    return "";
}

void RegisterInstallerResources() {
    RegisterDialogs();
    sim::RegisterResource(RES_HELP_TEXT, RES_TYPE_TEXT, qvDirHelpText, qvDirHelpTextSize);
    sim::RegisterResource(RES_PACKAGE, RES_TYPE_BINARY, qvPlaceholderPackage,
                          qvPlaceholderPackageSize);
}
