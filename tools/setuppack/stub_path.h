// Where setuppack finds the installer stub: a path given with --stub, or a stub name ("win32",
// the default, or "win64") looked up beside the running executable, installed
// (<prefix>/bin/setuppack -> <prefix>/share/<project>/stubs/setup-stub-NAME.exe) or in the
// build tree (build/native/setuppack -> build/NAME/setup-stub.exe).
#pragma once

#include <string>
#include <vector>

// True for the names --stub takes instead of a path.
bool IsStubName(const std::string& given);

// The places a stub name is looked for, in order, for an executable in `exeDir`.
std::vector<std::string> StubCandidates(const std::string& exeDir, const std::string& name);

// The stub file to use for `given` ("" meaning "win32"). Throws PackError naming every place
// searched when a named stub is in none of them.
std::string ResolveStub(const std::string& given);

// The folder of the running executable ("." when it cannot be told).
std::string ExecutableDir();
