// The --json summaries of build and verify.
#include "tools/setuppack/json_reports.h"

#include <stdio.h>

#include <sstream>

#include "pack/quoted_string.h"

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

}  // namespace

std::string BuildJson(const std::string& output, const BuildSummary& s, const InstallerView& view) {
    Totals t = TotalsOf(view);
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

std::string VerifyJson(const std::string& installerPath, size_t items,
                       const std::vector<std::string>& problems) {
    std::ostringstream json;
    json << "{\"installer\": " << JsonString(installerPath)
         << ", \"ok\": " << (problems.empty() ? "true" : "false") << ", \"items\": " << items
         << ", \"problems\": [";
    for (size_t i = 0; i < problems.size(); i++) json << (i ? ", " : "") << JsonString(problems[i]);
    json << "]}\n";
    return json.str();
}
