// The installer's resources for the simulated Windows: the dialog templates of
// resources/dialogs.def and the raw resources (help text, placeholder package block) that the
// Windows builds link into setup-stub.exe from resources/setup.rc. One source for both, so
// they cannot drift. Native builds only.
#pragma once

// Hands every template and raw resource to the simulated Windows as data, as the linker puts
// them into the module on Windows. A program that runs installer code on the simulated Windows
// calls it once before (setupsim, the test fixture); calling it again changes nothing.
void RegisterInstallerResources();

// The name the simulated Windows' transcript gives a dialog of this template ("" for the
// template's name in lower case): also for the templates of an installer file, which setupsim
// registers in place of these.
const char* DialogWindowName(const char* templateName);
