// setuppack's command line (CLI11): one sub-command per job, each with its own --help, and
// the exit codes of tools/common/cli_support.h. The commands themselves live in commands.cpp
// and the files of their own (init, sign, diskettes); this file only turns arguments into
// their options.
#include <errno.h>
#include <stdlib.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/setuppack/commands.h"
#include "tools/common/cli_support.h"
#include "tools/setuppack/diskettes.h"
#include "tools/setuppack/init_manifest.h"
#include "tools/setuppack/signing.h"
#include "tools/setuppack/stub_path.h"

namespace {

struct Arguments {
    BuildOptions build;
    InspectOptions inspect;
    std::string offsetText;
    bool json = false;
    std::string in, out;  // compress, decompress
    InitOptions init;
    DisketteOptions diskettes;
    std::string externalDir;  // list, verify: where external items are
    std::string diskettesDir;
    SignOptions sign;
    bool buildSigned = false;  // build --sign
    std::string signOutput;    // sign -o
    std::string caFile;        // verify --ca
};

std::string CheckOffset(const std::string& text) {
    uint32_t offset = 0;
    return cli::ParseFileOffset(text, &offset) ? "" : "not a file offset below 4 GB: " + text;
}

std::string CheckDisketteSize(const std::string& text) {
    DisketteSize size;
    return ParseDisketteSize(text, &size) ? "" : "720K, 1440K or 2880K, not " + text;
}

void AddOffsetOption(CLI::App* command, Arguments* args) {
    command
        ->add_option("--package-offset", args->offsetText,
                     "Where the package block starts, for a plain package file or to override "
                     "the offset in the image (decimal or 0x...)")
        ->check(CLI::Validator(CheckOffset, "OFFSET", "offset"));
}

// The key source and what the signature carries; the password never on the command line.
void AddSigningOptions(CLI::App* command, SignOptions* o) {
    std::string group = "Signing";
    command->add_option("--pkcs12", o->pkcs12, "PKCS#12 file with the key and certificates")
        ->group(group);
    command->add_option("--cert", o->cert, "Certificate file (PEM or DER), with --key")
        ->group(group);
    command->add_option("--key", o->key, "Key file with --cert; key URI with --pkcs11-module")
        ->group(group);
    command->add_option("--pkcs11-module", o->pkcs11Module, "PKCS#11 module of a hardware token")
        ->group(group);
    command->add_option("--pkcs11-cert", o->pkcs11Cert, "The token's certificate (PKCS#11 URI)")
        ->group(group);
    CLI::Option* file =
        command->add_option("--password-file", o->passwordFile, "File holding the password or PIN")
            ->group(group);
    command
        ->add_option("--password-env", o->passwordEnv,
                     "Environment variable holding the password or PIN")
        ->excludes(file)
        ->group(group);
    command->add_option("--timestamp", o->timestampUrl, "RFC 3161 time-stamping server URL")
        ->group(group);
    command->add_option("--description", o->description, "Program name Windows shows")
        ->group(group);
    command->add_option("--url", o->url, "Link Windows shows with the name")->group(group);
}

void AddSign(CLI::App& app, Arguments* args) {
    CLI::App* sign = app.add_subcommand(
        "sign", "Sign an installer with osslsigncode, keeping its trailer (replaces a signature)");
    sign->add_option("INSTALLER", args->inspect.installerPath, "The installer file")->required();
    sign->add_option("-o,--output", args->signOutput, "Write here instead of in place");
    AddSigningOptions(sign, &args->sign);
}

void AddBuild(CLI::App& app, Arguments* args) {
    CLI::App* build = app.add_subcommand("build", "Build an installer from a manifest");
    build->add_option("MANIFEST", args->build.manifestPath, "The TOML manifest")->required();
    build->add_option("--stub", args->build.stubPath,
                      "Stub to build on: a path, or win32 (the default, PE32) or win64, looked "
                      "up beside setuppack");
    build->add_option("-o,--output", args->build.outputPath, "The installer to write")->required();
    build->add_option("--external-dir", args->build.externalDir,
                      "Where external items are written, one folder per disk label");
    CLI::Option* json = build->add_flag("--json", args->json, "Print a JSON summary");
    CLI::Option* diskettes =
        build
            ->add_option("--diskettes", args->diskettes.dir,
                         "Also write one FAT12 image per disk label here (disk1.img holds the "
                         "installer), with mtools")
            ->excludes(json);
    build->add_option("--diskette-size", args->diskettes.sizeText, "720K, 1440K or 2880K")
        ->capture_default_str()
        ->check(CLI::Validator(CheckDisketteSize, "SIZE", "diskette size"))
        ->needs(diskettes);
    build->add_flag("--sign", args->buildSigned, "Sign the installer (see the Signing options)");
    AddSigningOptions(build, &args->sign);
}

CLI::App* AddInspect(CLI::App& app, const std::string& name, const std::string& what,
                     Arguments* args) {
    CLI::App* command = app.add_subcommand(name, what);
    command->add_option("INSTALLER", args->inspect.installerPath, "The installer file")->required();
    AddOffsetOption(command, args);
    if (name == "list" || name == "verify") {
        CLI::Option* dir = command->add_option(
            "--external-dir", args->externalDir,
            "Also check the external items in this folder (as build --external-dir writes it)");
        command
            ->add_option("--diskettes", args->diskettesDir,
                         "Also check the external items on the diskette images in this folder")
            ->excludes(dir);
    }
    return command;
}

void AddCoding(CLI::App& app, const std::string& name, const std::string& what, Arguments* args) {
    CLI::App* command = app.add_subcommand(name, what);
    command->add_option("IN", args->in, "File to read")->required();
    command->add_option("OUT", args->out, "File to write")->required();
}

void AddInit(CLI::App& app, Arguments* args) {
    CLI::App* init = app.add_subcommand(
        "init", "Write a first manifest for a folder: one embedded, compressed item per file");
    init->add_option("FOLDER", args->init.folder, "The product's files")
        ->required()
        ->check(CLI::ExistingDirectory);
    init->add_option("-o,--output", args->init.outputPath, "The manifest to write")
        ->capture_default_str();
    CLI::Option* force =
        init->add_flag("--force", args->init.force, "Replace an existing manifest");
    init->add_option("--update", args->init.updatePath,
                     "Bring this manifest up to date with FOLDER instead: add items for new "
                     "files, name items whose source is gone, keep everything else as it is")
        ->excludes(force)
        ->check(CLI::ExistingFile);
}

void AddCommands(CLI::App& app, Arguments* args) {
    AddInit(app, args);
    AddBuild(app, args);
    AddSign(app, args);
    AddInspect(app, "list", "List an installer's items and facts", args)
        ->add_flag("--json", args->inspect.json, "Print the listing as JSON");
    CLI::App* verify =
        AddInspect(app, "verify", "Check every fact of an installer the installer relies on", args);
    verify->add_flag("--json", args->json, "Print the result as JSON");
    verify->add_option("--ca", args->caFile,
                       "Also verify the signature against these CA certificates (osslsigncode)");
    CLI::App* extract =
        AddInspect(app, "extract",
                   "Write an installer's embedded items into a folder (nothing when any "
                   "check fails)",
                   args);
    extract->add_option("DIR", args->inspect.outputDir, "Folder to write into")->required();
    extract->add_flag("--force", args->inspect.force,
                      "Write what decodes despite problems, naming each damaged item (exit 1)");
    AddCoding(app, "compress", "LZSS-encode a file as a compressed item would be", args);
    AddCoding(app, "decompress", "Decode an LZSS stream", args);
}

bool SigningOptionsGiven(const SignOptions& o) {
    return !(o.pkcs12 + o.cert + o.key + o.pkcs11Module + o.pkcs11Cert + o.passwordFile +
             o.passwordEnv + o.timestampUrl + o.description + o.url)
                .empty();
}

// build --sign: the key source must be complete before anything is built.
std::string SigningProblem(const Arguments& args) {
    if (!args.buildSigned)
        return SigningOptionsGiven(args.sign) ? "the signing options need --sign" : "";
    return SignOptionsProblem(args.sign);
}

int RunBuild(Arguments& args) {
    std::string signing = SigningProblem(args);
    if (!signing.empty()) {
        std::cerr << "setuppack: " << signing << "\n";
        return cli::kUsage;
    }
    try {
        args.build.stubPath = ResolveStub(args.build.stubPath);
    } catch (const std::exception& error) {
        std::cerr << "setuppack: " << error.what() << "\n";
        return cli::kProblems;
    }
    if (args.buildSigned) {
        const SignOptions& sign = args.sign;
        args.build.finish = [&sign](const std::vector<uint8_t>& file) {
            return SignInstallerBytes(file, sign);
        };
    }
    if (!args.diskettes.dir.empty())
        return CommandBuildDiskettes(args.build, args.diskettes, std::cout, std::cerr);
    return args.json ? CommandBuildJson(args.build, std::cout, std::cerr)
                     : CommandBuild(args.build, std::cout, std::cerr);
}

// list and verify with --external-dir or --diskettes: the external items' problems, each on
// stderr; exit code 1 when there are any. When they cannot be checked at all (no such folder,
// no mtools), the reason is the one problem.
int CheckExternals(const Arguments& args, std::vector<std::string>* problems) {
    if (args.externalDir.empty() && args.diskettesDir.empty()) return 0;
    try {
        *problems = ExternalItemProblems(args.inspect.installerPath, args.inspect.reader,
                                         args.externalDir, args.diskettesDir);
    } catch (const std::exception& error) {
        *problems = {std::string("external items not checked: ") + error.what()};
        return 1;
    }
    return problems->empty() ? 0 : 1;
}

void ReportExternals(const Arguments& args, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems)
        std::cerr << args.inspect.installerPath << ": " << problem << "\n";
}

int RunInspect(const std::string& command, const Arguments& args) {
    std::vector<std::string> external;
    int externalCode = CheckExternals(args, &external);
    if (!args.caFile.empty()) {
        std::vector<std::string> signature =
            SignatureProblems(args.inspect.installerPath, args.caFile);
        external.insert(external.end(), signature.begin(), signature.end());
        if (!signature.empty()) externalCode = 1;
    }
    int code = 0;
    if (command == "verify" && args.json) {
        code = CommandVerifyJson(args.inspect.installerPath, args.inspect.reader, external,
                                 std::cout, std::cerr);
    } else if (command == "list") {
        code = CommandList(args.inspect, std::cout, std::cerr);
        ReportExternals(args, external);
    } else {
        // verify's "ok" line stands only when the external items are sound too.
        std::ostringstream verdict;
        code = CommandVerify(args.inspect, verdict, std::cerr);
        ReportExternals(args, external);
        if (external.empty()) std::cout << verdict.str();
    }
    return std::max(code, externalCode);
}

int Run(const std::string& command, Arguments& args) {
    if (!args.offsetText.empty()) {
        cli::ParseFileOffset(args.offsetText, &args.inspect.reader.packageOffset);
        args.inspect.reader.haveOffset = true;
    }
    if (command == "init") return CommandInit(args.init, std::cout, std::cerr);
    if (command == "build") return RunBuild(args);
    if (command == "sign") {
        std::string problem = SignOptionsProblem(args.sign);
        if (!problem.empty()) {
            std::cerr << "setuppack: " << problem << "\n";
            return cli::kUsage;
        }
        return CommandSign(args.inspect.installerPath, args.signOutput, args.sign, std::cout,
                           std::cerr);
    }
    if (command == "list" || command == "verify") return RunInspect(command, args);
    if (command == "extract") return CommandExtract(args.inspect, std::cout, std::cerr);
    if (command == "compress") return CommandCompress(args.in, args.out, std::cout, std::cerr);
    return CommandDecompress(args.in, args.out, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    return cli::RunTool(
        argc, argv, "setuppack",
        "Builds installer files from a manifest and a stub, signs them, and lists, verifies "
        "and extracts them.",
        [&](CLI::App& app) {
            app.require_subcommand(1);
            AddCommands(app, &args);
        },
        [&](const CLI::App& app) { return Run(app.get_subcommands().front()->get_name(), args); });
}
