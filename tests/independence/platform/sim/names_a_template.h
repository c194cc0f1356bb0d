// A source of the simulated Windows as it must not be, for the test of
// platform/sim/check_independence.cmake: it knows a template of the product by name.
#pragma once

inline const char* DirectoryDialogName() {
    return "DIRDLG";
}
