// The transcript: every effect the installer has on the simulated machine and everything the
// user would see, in order, stamped with the virtual time. Read as events (tests), as text
// (one readable line per event) or as JSON lines (tools). JSON strings escape quotes,
// backslashes and control characters, and bytes from 0x80 as \u00XX, so any byte string of
// the installer survives the trip.
#include <stdio.h>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

FieldValue F(const std::string& name, const std::string& text) {
    FieldValue field;
    field.name = name;
    field.text = text;
    return field;
}

FieldValue F(const std::string& name, const char* text) {
    return F(name, std::string(text ? text : ""));
}

FieldValue N(const std::string& name, long long number) {
    FieldValue field;
    field.name = name;
    field.number = number;
    field.numeric = true;
    field.text = std::to_string(number);
    return field;
}

void Record(const std::string& kind, std::initializer_list<FieldValue> fields) {
    Event event;
    event.t = M().now;
    event.kind = kind;
    for (const FieldValue& field : fields)
        event.fields.push_back({field.name, field.text, field.numeric});
    M().transcript.push_back(std::move(event));
}

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

// Text form of a string field: quoted, with the same escapes as JSON.
std::string TextString(const std::string& text) {
    return JsonString(text);
}

}  // namespace
}  // namespace detail

using namespace detail;

std::string Event::Get(const std::string& name) const {
    for (const Field& field : fields)
        if (field.name == name) return field.value;
    return "";
}

long long Event::Number(const std::string& name) const {
    for (const Field& field : fields)
        if (field.name == name) return field.numeric ? std::stoll(field.value) : 0;
    return 0;
}

const std::vector<Event>& Transcript() {
    return M().transcript;
}

std::vector<Event> EventsOf(const std::string& kind) {
    std::vector<Event> events;
    for (const Event& event : M().transcript)
        if (event.kind == kind) events.push_back(event);
    return events;
}

std::string TranscriptText() {
    std::string text;
    for (const Event& event : M().transcript) {
        text += std::to_string(event.t) + " " + event.kind;
        for (const Field& field : event.fields)
            text +=
                " " + field.name + "=" + (field.numeric ? field.value : TextString(field.value));
        text += "\n";
    }
    return text;
}

std::string JsonQuote(const std::string& text) {
    return JsonString(text);
}

std::string TranscriptJsonLines() {
    std::string text;
    for (const Event& event : M().transcript) {
        text += "{\"t\":" + std::to_string(event.t) + ",\"event\":" + JsonString(event.kind);
        for (const Field& field : event.fields)
            text += "," + JsonString(field.name) + ":" +
                    (field.numeric ? field.value : JsonString(field.value));
        text += "}\n";
    }
    return text;
}

std::vector<MessageBoxRecord> MessageBoxes() {
    std::vector<MessageBoxRecord> boxes;
    for (const Event& event : M().transcript) {
        if (event.kind != "messagebox") continue;
        boxes.push_back({event.t, event.Get("owner"), event.Get("caption"), event.Get("text"),
                         (UINT)event.Number("style"), (int)event.Number("answer")});
    }
    return boxes;
}

}  // namespace sim
