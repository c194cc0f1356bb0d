// ErrorLine: recognising a message that starts its own "NAME:LINE:".
#include "tools/common/error_line.h"

#include <ctype.h>

namespace {

bool NamesFileLine(const std::string& message) {
    size_t colon = message.find(':');
    while (colon != std::string::npos) {
        size_t digits = colon + 1;
        while (digits < message.size() && isdigit((unsigned char)message[digits])) digits++;
        if (digits > colon + 1 && digits < message.size() && message[digits] == ':') return true;
        colon = message.find(':', colon + 1);
    }
    return false;
}

}  // namespace

std::string ErrorLine(const std::string& tool, const std::string& message) {
    return (NamesFileLine(message) ? "" : tool + ": ") + message + "\n";
}
