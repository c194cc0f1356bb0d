// The commands: each reads its files, calls the library, prints its report and turns
// PackError into a message and exit code 1.
#include "tools/setuppack/commands.h"

#include <functional>

#include "pack/file_io.h"
#include "pack/installer_extract.h"
#include "pack/lzss_encoder.h"
#include "pack/lzss_stream.h"
#include "pack/pack_error.h"
#include "tools/common/error_line.h"
#include "tools/setuppack/json_reports.h"
#include "tools/setuppack/listing.h"

namespace {

int Guarded(std::ostream& err, const std::function<int()>& command) {
    try {
        return command();
    } catch (const PackError& error) {
        err << ErrorLine("setuppack", error.what());
    } catch (const std::bad_alloc&) {
        err << "setuppack: out of memory\n";
    } catch (const std::exception& error) {
        err << "setuppack: " << error.what() << "\n";
    }
    return 1;
}

}  // namespace

int CommandBuild(const BuildOptions& options, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        BuildSummary s = BuildInstaller(options);
        out << options.outputPath << ": " << s.itemCount << " items, package block of "
            << s.blockSize << " bytes at offset " << s.packageOffset << ", file " << s.fileSize
            << " bytes";
        if (s.externalFiles)
            out << ", " << s.externalFiles << " external files in " << options.externalDir;
        out << "\n";
        return 0;
    });
}

int CommandBuildJson(const BuildOptions& options, std::ostream& out, std::ostream& err) {
    try {
        BuildSummary summary = BuildInstaller(options);
        std::vector<uint8_t> file = ReadFileBytes(options.outputPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), ReaderOptions{});
        out << BuildJson(options.outputPath, summary, view);
        return 0;
    } catch (const std::exception& error) {
        err << ErrorLine("setuppack", error.what());
        return 1;
    }
}

int CommandList(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        std::vector<uint8_t> file = ReadFileBytes(options.installerPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), options.reader);
        out << (options.json ? ListInstallerJson(file.data(), file.size(), view)
                             : ListInstallerText(file.data(), file.size(), view));
        return view.tableRead ? 0 : 1;
    });
}

int CommandVerify(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        std::vector<uint8_t> file = ReadFileBytes(options.installerPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), options.reader);
        std::vector<std::string> problems = VerifyInstaller(file.data(), view);
        for (const std::string& problem : problems)
            err << options.installerPath << ": " << problem << "\n";
        if (problems.empty())
            out << options.installerPath << ": ok, " << view.items.size() << " items\n";
        return problems.empty() ? 0 : 1;
    });
}

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
        err << ErrorLine("setuppack", error.what());
        problems.push_back(error.what());
    }
    problems.insert(problems.end(), extraProblems.begin(), extraProblems.end());
    out << VerifyJson(installerPath, items, problems);
    return problems.empty() ? 0 : 1;
}

int CommandExtract(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        std::vector<uint8_t> file = ReadFileBytes(options.installerPath);
        InstallerView view = ReadInstaller(file.data(), file.size(), options.reader);
        ExtractResult result =
            ExtractInstaller(file.data(), view, options.outputDir, options.force);
        for (const std::string& problem : result.problems)
            err << options.installerPath << ": " << problem << "\n";
        if (!result.problems.empty() && !options.force) {
            err << options.installerPath << ": nothing extracted (--force extracts what decodes)\n";
            return 1;
        }
        out << result.written << " files written to " << options.outputDir << "\n";
        if (result.problems.empty()) return 0;
        // A trailer that does not hold cannot say which item changed: none is vouched for.
        err << options.installerPath << ": the file is damaged; the files written may hold "
            << "wrong bytes\n";
        return 1;
    });
}

int CommandCompress(const std::string& in, const std::string& outPath, std::ostream& out,
                    std::ostream& err) {
    return Guarded(err, [&] {
        std::vector<uint8_t> data = ReadFileBytes(in);
        std::vector<uint8_t> stream = EncodeLzss(data);
        WriteFileBytes(outPath, stream);
        out << in << ": " << data.size() << " -> " << stream.size() << " bytes\n";
        return 0;
    });
}

int CommandDecompress(const std::string& in, const std::string& outPath, std::ostream& out,
                      std::ostream& err) {
    return Guarded(err, [&] {
        std::vector<uint8_t> stream = ReadFileBytes(in);
        std::vector<uint8_t> data;
        try {
            data = DecodeLzssComplete(stream.data(), stream.size());
        } catch (const std::runtime_error& error) {
            throw PackError(in + ": " + error.what());
        }
        WriteFileBytes(outPath, data);
        out << in << ": " << stream.size() << " -> " << data.size() << " bytes\n";
        return 0;
    });
}
