// setupsim's output: see preview_report.h.
#include "tools/setupsim/preview_report.h"

#include <stdio.h>

#include <set>
#include <sstream>

#include "resources/ui_table.h"
#include "tools/common/ascii.h"
#include "tools/setupsim/preview_outcome.h"

namespace {

sim::Field Text(const std::string& name, const std::string& value) {
    return {name, value, false};
}
sim::Field Number(const std::string& name, long long value) {
    return {name, std::to_string(value), true};
}

// Copies the named fields of a transcript event, in the order given.
ReportEvent Pick(const sim::Event& from, const std::string& event,
                 std::initializer_list<const char*> names) {
    ReportEvent out{from.t, event, {}};
    for (const char* name : names)
        for (const sim::Field& field : from.fields)
            if (field.name == name) out.fields.push_back(field);
    return out;
}

void AddFileState(ReportEvent& file, const sim::FileInfo& info) {
    file.fields.push_back(Number("size", (long long)info.size));
    file.fields.push_back(Number("attributes", info.attributes));
    file.fields.push_back(Text("written", sim::FormatFileTime(info.lastWriteTime)));
}

void AddFileEvents(std::vector<ReportEvent>& report, uint64_t t) {
    for (const std::string& path : sim::TouchedFiles()) {
        sim::FileInfo info = sim::GetFileInfo(path);
        ReportEvent file{t, "file", {Text("path", path)}};
        if (!info.exists)
            file.fields.push_back({"deleted", "true", true});
        else if (info.isDirectory)
            continue;
        else
            AddFileState(file, info);
        report.push_back(file);
    }
}

// The machine's own files that the run left alone, with what they hold now, so that a
// preview shows a kept file as kept (its date and attributes included).
void AddUnchangedFiles(std::vector<ReportEvent>& report, uint64_t t,
                       const std::vector<std::string>& presentPaths) {
    std::set<std::string> touched;
    for (const std::string& path : sim::TouchedFiles()) touched.insert(AsciiUpperCopy(path));
    for (const std::string& path : presentPaths) {
        sim::FileInfo info = sim::GetFileInfo(path);
        if (touched.count(AsciiUpperCopy(path)) || !info.exists || info.isDirectory) continue;
        ReportEvent file{t, "file", {Text("path", path), {"unchanged", "true", true}}};
        AddFileState(file, info);
        report.push_back(file);
    }
}

}  // namespace

std::vector<ReportEvent> BuildReport(const std::vector<sim::Event>& transcript, int exitCode,
                                     const std::vector<std::string>& presentPaths) {
    std::vector<ReportEvent> report;
    long long barFill = 0;
    uint64_t last = 0;
    for (const sim::Event& e : transcript) {
        last = e.t;
        if (e.kind == "window" && e.Get("action") == "create") {
            report.push_back(Pick(e, "window", {"window", "class", "title", "style"}));
        } else if (e.kind == "window" && e.Get("action") == "show") {
            report.push_back(Pick(e, "show", {"window", "show"}));
        } else if (e.kind == "messagebox") {
            report.push_back(
                Pick(e, "messagebox", {"owner", "caption", "text", "style", "answer"}));
        } else if (e.kind == "dialog") {
            report.push_back(Pick(e, "dialog-start", {"template", "owner", "caption"}));
        } else if (e.kind == "dialog-end") {
            report.push_back(Pick(e, "dialog", {"template", "result"}));
        } else if (e.kind == "rectangle" && e.Number("brushColor") == PROGRESS_BAR_COLOR) {
            barFill = e.Number("right") - e.Number("left");
        } else if (e.kind == "text" && e.Get("dialog") == WINDOW_PROGRESSDLG &&
                   e.Number("control") == PROGRESSDLG_PERCENT) {
            report.push_back(
                {e.t, "progress", {Text("percent", e.Get("text")), Number("fill", barFill)}});
        } else if (e.kind == "text") {
            report.push_back(Pick(e, "text", {"dialog", "control", "text"}));
        } else if (e.kind == "timer-set") {
            report.push_back(Pick(e, "timer", {"id", "ms"}));
        } else if (e.kind == "launch") {
            report.push_back(Pick(e, "launch", {"command", "program", "show", "cwd", "result"}));
        } else if (e.kind == "stuck") {
            report.push_back(Pick(e, "stuck", {"dialog"}));
        }
    }
    report.push_back({last, "exit", {Number("code", exitCode)}});
    AddFileEvents(report, last);
    AddUnchangedFiles(report, last, presentPaths);
    report.push_back(OutcomeEvent(OutcomeOf(transcript), last));
    return report;
}

std::string ReportAsJsonLines(const std::vector<ReportEvent>& report) {
    std::ostringstream out;
    for (const ReportEvent& e : report) {
        out << "{\"t\": " << e.t << ", \"event\": " << sim::JsonQuote(e.event);
        for (const sim::Field& f : e.fields)
            out << ", " << sim::JsonQuote(f.name) << ": "
                << (f.numeric ? f.value : sim::JsonQuote(f.value));
        out << "}\n";
    }
    return out.str();
}

std::string ReportAsText(const std::vector<ReportEvent>& report) {
    std::ostringstream out;
    for (const ReportEvent& e : report) {
        char time[32];
        snprintf(time, sizeof time, "%8llu ms  ", (unsigned long long)e.t);
        out << time << e.event;
        for (const sim::Field& f : e.fields) {
            out << "  " << f.name << "=";
            if (f.numeric)
                out << f.value;
            else
                out << sim::JsonQuote(f.value);
        }
        out << "\n";
    }
    return out.str();
}
