// The --json summaries of build and verify.
#include "tools/setuppack/json_reports.h"

#include <stdio.h>

#include <sstream>
#include <vector>

#include "pack/commands.h"
#include "pack/file_io.h"
#include "pack/pack_error.h"

namespace {

struct Totals {
    uint64_t listed = 0, stored = 0;
};

// Bytes the items hold once installed against the bytes they take in the shipment.
Totals TotalsOf(const InstallerView& view) {
    Totals totals;
    for (const InstallerItem& item : view.items) {
        if (!item.entry.sourceName[0]) continue;  // program-only entries ship nothing
        totals.listed += item.entry.listedSize;
        totals.stored += item.entry.storedSize;
    }
    return totals;
}

std::string BuildJson(const std::string& output, const BuildSummary& s, const Totals& t) {
    char ratio[32];
    snprintf(ratio, sizeof ratio, "%.4f", t.listed ? (double)t.stored / (double)t.listed : 1.0);
    std::ostringstream json;
    json << "{\"output\": " << JsonString(output) << ", \"items\": " << s.itemCount
         << ", \"external_files\": " << s.externalFiles << ", \"listed_bytes\": " << t.listed
         << ", \"stored_bytes\": " << t.stored << ", \"ratio\": " << ratio
         << ", \"package_offset\": " << s.packageOffset << ", \"block_size\": " << s.blockSize
         << ", \"file_size\": " << s.fileSize << "}\n";
    return json.str();
}

int ReportFailure(std::ostream& err, const std::exception& error) {
    err << ErrorLine("setuppack", error.what());
    return 1;
}

}  // namespace

int CommandBuildJson(const BuildOptions& options, std::ostream& out, std::ostream& err) {
    try {
        BuildSummary summary = BuildInstaller(options);
        std::vector<uint8_t> file = ReadFileBytes(options.outputPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), ReaderOptions{});
        out << BuildJson(options.outputPath, summary, TotalsOf(view));
        return 0;
    } catch (const std::exception& error) {
        return ReportFailure(err, error);
    }
}

namespace {

void PrintVerifyJson(const std::string& installerPath, size_t items,
                     const std::vector<std::string>& problems, std::ostream& out) {
    out << "{\"installer\": " << JsonString(installerPath)
        << ", \"ok\": " << (problems.empty() ? "true" : "false") << ", \"items\": " << items
        << ", \"problems\": [";
    for (size_t i = 0; i < problems.size(); i++) out << (i ? ", " : "") << JsonString(problems[i]);
    out << "]}\n";
}

}  // namespace

int CommandVerifyJson(const std::string& installerPath, const ReaderOptions& reader,
                      const std::vector<std::string>& extraProblems, std::ostream& out,
                      std::ostream& err) {
    std::vector<std::string> problems;
    size_t items = 0;
    try {
        std::vector<uint8_t> file = ReadFileBytes(installerPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), reader);
        problems = VerifyInstaller(file.data(), view);
        items = view.items.size();
    } catch (const std::exception& error) {
        ReportFailure(err, error);
        problems.push_back(error.what());
    }
    problems.insert(problems.end(), extraProblems.begin(), extraProblems.end());
    PrintVerifyJson(installerPath, items, problems, out);
    return problems.empty() ? 0 : 1;
}
