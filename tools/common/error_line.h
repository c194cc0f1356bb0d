// How both tools print an error on stderr: a message that already names a file and line
// ("NAME:LINE: message") stands as it is, so that editors can jump to the line; any other
// message follows "TOOL: ".
#pragma once

#include <string>

// One error line for stderr, ending in a newline.
std::string ErrorLine(const std::string& tool, const std::string& message);
