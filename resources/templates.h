// The installer's resources as data for the simulated Windows: the dialog templates expanded
// from resources/dialogs.def and the raw resources (help text, placeholder package block) the
// Windows builds link from resources/setup.rc. One source for both, so they cannot drift.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/win32api.h"

struct DialogControlTemplate {
    int id;
    const char* className;  // "STATIC", "EDIT", "BUTTON"
    const char* text;
    int x, y, width, height;  // dialog units
    DWORD style;              // WS_CHILD | WS_VISIBLE included
};

struct DialogTemplate {
    const char* name;  // "DIRDLG", "PROGRESSDLG"
    const char* caption;
    int x, y, width, height;  // dialog units
    DWORD style;
    int pointSize;         // 0: the system font
    const char* faceName;  // null for the system font
    const DialogControlTemplate* controls;
    int controlCount;
};

// The template of that name (names match regardless of case), or null.
const DialogTemplate* FindDialogTemplate(const char* name);

struct RawResource {
    const char* name;  // "DIRHLP", "COMPFILES"
    const char* type;  // "TEXT", "BINARY"
    const uint8_t* bytes;
    size_t size;
};

// The raw resource of that name and type (both regardless of case), or null.
const RawResource* FindRawResource(const char* name, const char* type);
