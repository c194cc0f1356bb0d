// The process entry of setup-stub.exe (Windows builds only): the C runtime passes the module's
// instance handle, a null previous instance, the command line after the program name and the
// show command; InstallerMain runs the installation and its result, always 0, is the exit code.
#include <windows.h>

#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    return InstallerMain(instance, previous, commandLine, showCommand);
}
