// The manifest's text and its check. The check reads only what this manifest uses of XML
// (elements, quoted attributes, comments, the declaration), which is enough to refuse a cut
// or hand-broken manifest that Windows would reject with "side-by-side configuration".
#include "pack/app_manifest.h"

#include <vector>

namespace {

const char* const SUPPORTED_OS[5][2] = {
    {"Windows Vista", "{e2011457-1546-43c5-a5fe-008deee3d3f0}"},
    {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
    {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
    {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
    {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}};

const char TRUST_INFO_V2[] = "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\">";

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.';
}

// Skips the attributes of a tag from `at`; the index of its '>' or '/>' or npos.
size_t SkipAttributes(const std::string& xml, size_t at) {
    while (at < xml.size()) {
        char c = xml[at];
        if (c == '>' || c == '/') return at;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            at++;
        } else if (IsNameChar(c)) {
            while (at < xml.size() && IsNameChar(xml[at])) at++;
            if (at + 1 >= xml.size() || xml[at] != '=' ||
                (xml[at + 1] != '"' && xml[at + 1] != '\''))
                return std::string::npos;
            size_t close = xml.find(xml[at + 1], at + 2);
            if (close == std::string::npos) return close;
            at = close + 1;
        } else {
            return std::string::npos;
        }
    }
    return std::string::npos;
}

// Reads the tag at xml[at] == '<'; updates the open-element stack. npos on malformed text.
size_t ReadTag(const std::string& xml, size_t at, std::vector<std::string>* open, int* roots) {
    if (xml.compare(at, 4, "<!--") == 0) {
        size_t end = xml.find("-->", at + 4);
        return end == std::string::npos ? end : end + 3;
    }
    if (xml.compare(at, 2, "<?") == 0) {
        size_t end = xml.find("?>", at + 2);
        return end == std::string::npos ? end : end + 2;
    }
    bool closing = xml.compare(at, 2, "</") == 0;
    size_t name = at + (closing ? 2 : 1), end = name;
    while (end < xml.size() && IsNameChar(xml[end])) end++;
    if (end == name) return std::string::npos;
    std::string tag = xml.substr(name, end - name);
    if (closing) {
        if (open->empty() || open->back() != tag) return std::string::npos;
        open->pop_back();
        size_t gt = xml.find_first_not_of(" \t\r\n", end);
        return gt != std::string::npos && xml[gt] == '>' ? gt + 1 : std::string::npos;
    }
    if (open->empty()) (*roots)++;
    end = SkipAttributes(xml, end);
    if (end == std::string::npos) return end;
    if (xml[end] == '>') return open->push_back(tag), end + 1;
    return xml.compare(end, 2, "/>") == 0 ? end + 2 : std::string::npos;
}

std::string AttributeOf(const std::string& xml, const std::string& element,
                        const std::string& attribute) {
    size_t at = xml.find("<" + element);
    if (at == std::string::npos) return "";
    size_t end = xml.find('>', at);
    size_t key = xml.find(" " + attribute + "=\"", at);
    if (key == std::string::npos || key > end) return "";
    size_t value = key + attribute.size() + 3;
    size_t close = xml.find('"', value);
    return close == std::string::npos ? "" : xml.substr(value, close - value);
}

}  // namespace

std::string AppManifestXml(const std::string& level) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "  <assemblyIdentity type=\"win32\" name=\"Setup\" version=\"1.0.0.0\"/>\r\n"
        "  " +
        std::string(TRUST_INFO_V2) +
        "\r\n"
        "    <security>\r\n"
        "      <requestedPrivileges>\r\n"
        "        <requestedExecutionLevel level=\"" +
        level +
        "\" uiAccess=\"false\"/>\r\n"
        "      </requestedPrivileges>\r\n"
        "    </security>\r\n"
        "  </trustInfo>\r\n"
        "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\r\n"
        "    <application>\r\n";
    for (const auto& os : SUPPORTED_OS)
        xml += "      <!-- " + std::string(os[0]) + " -->\r\n      <supportedOS Id=\"" + os[1] +
               "\"/>\r\n";
    return xml + "    </application>\r\n  </compatibility>\r\n</assembly>\r\n";
}

bool IsWellFormedXml(const std::string& xml) {
    std::vector<std::string> open;
    int roots = 0;
    size_t at = 0;
    while (at < xml.size()) {
        size_t lt = xml.find('<', at);
        if (lt == std::string::npos) break;
        if (open.empty() && xml.find_first_not_of(" \t\r\n", at) < lt) return false;
        at = ReadTag(xml, lt, &open, &roots);
        if (at == std::string::npos) return false;
    }
    bool trailing = xml.find_first_not_of(" \t\r\n", at) != std::string::npos;
    return open.empty() && roots == 1 && !trailing;
}

std::vector<std::string> CheckAppManifest(const std::string& xml, AppManifestFacts* facts) {
    std::vector<std::string> problems;
    if (!IsWellFormedXml(xml)) return {"application manifest is not well-formed XML"};
    facts->level = AttributeOf(xml, "requestedExecutionLevel", "level");
    if (facts->level.empty())
        problems.push_back("application manifest requests no execution level");
    else if (facts->level != "requireAdministrator" && facts->level != "highestAvailable" &&
             facts->level != "asInvoker")
        problems.push_back("application manifest requests unknown level '" + facts->level + "'");
    if (xml.find(TRUST_INFO_V2) == std::string::npos)
        problems.push_back(
            "application manifest's trustInfo is not in the asm.v2 form Windows XP accepts");
    facts->supportedOs = 0;
    for (const auto& os : SUPPORTED_OS) {
        if (xml.find(os[1]) != std::string::npos)
            facts->supportedOs++;
        else
            problems.push_back("application manifest does not declare " + std::string(os[0]));
    }
    if (xml.find("dpiAware") != std::string::npos)
        problems.push_back("application manifest declares DPI awareness");
    return problems;
}
