// osslsigncode does the signing (keys, tokens, time-stamping); this file hands it the
// unsigned installer and its key source, keeps the password off every command line, and
// seals what it returns.
#include "tools/setuppack/signing.h"

#include <stdlib.h>

#include <fstream>

#include "pack/authenticode.h"
#include "pack/file_io.h"
#include "pack/host_system.h"
#include "pack/installer_reader.h"
#include "pack/pack_error.h"
#include "pack/source_date.h"
#include "tools/common/error_line.h"
#include "tools/common/scratch_folder.h"

namespace {

const char OSSLSIGNCODE[] = "osslsigncode";

std::string RunSigner(const std::vector<std::string>& args) {
    if (!HostRunsPrograms())
        throw PackError("this Windows build of setuppack does not run osslsigncode; sign on Linux");
    ProgramRun ran = RunProgram(args);
    if (ran.status == 127 || ran.status == -1)
        throw PackError("cannot run osslsigncode: signing needs it (apt-get install osslsigncode)");
    if (ran.status != 0) throw PackError("osslsigncode " + args[1] + " failed: " + ran.output);
    return ran.output;
}

void AddKeySource(const SignOptions& o, std::vector<std::string>* args) {
    if (!o.pkcs12.empty()) {
        args->insert(args->end(), {"-pkcs12", o.pkcs12});
    } else if (!o.pkcs11Module.empty()) {
        args->insert(args->end(),
                     {"-pkcs11module", o.pkcs11Module, "-pkcs11cert", o.pkcs11Cert, "-key", o.key});
    } else {
        args->insert(args->end(), {"-certs", o.cert, "-key", o.key});
    }
}

// The password as a file osslsigncode reads: the one given, or the environment variable's
// value written into the scratch folder (readable by its owner only).
std::string PasswordFile(const SignOptions& o, const std::string& scratch) {
    if (!o.passwordFile.empty()) return o.passwordFile;
    if (o.passwordEnv.empty()) return "";
    const char* value = getenv(o.passwordEnv.c_str());
    if (!value) throw PackError("the environment variable " + o.passwordEnv + " is not set");
    std::string path = scratch + "/password";
    std::ofstream(path, std::ios::binary) << value;
    return path;
}

std::vector<std::string> SignArguments(const SignOptions& o, const std::string& scratch) {
    std::vector<std::string> args{OSSLSIGNCODE, "sign"};
    AddKeySource(o, &args);
    std::string password = PasswordFile(o, scratch);
    if (!password.empty()) args.insert(args.end(), {"-readpass", password});
    args.insert(args.end(), {"-h", "sha256"});
    if (!o.description.empty()) args.insert(args.end(), {"-n", o.description});
    if (!o.url.empty()) args.insert(args.end(), {"-i", o.url});
    if (!o.timestampUrl.empty()) args.insert(args.end(), {"-ts", o.timestampUrl});
    long long epoch = 0;  // a fixed signing time makes the signature reproducible
    if (ReadSourceDateEpoch(&epoch)) args.insert(args.end(), {"-time", std::to_string(epoch)});
    args.insert(args.end(), {"-in", scratch + "/unsigned.exe", "-out", scratch + "/signed.exe"});
    return args;
}

// The installer without any signature; refused unless it passes verification.
std::vector<uint8_t> SoundUnsigned(const std::vector<uint8_t>& installer) {
    std::vector<uint8_t> bare = RemoveSignature(installer);
    InstallerView view = ReadInstaller(bare.data(), bare.size(), ReaderOptions{});
    std::vector<std::string> problems = VerifyInstaller(bare.data(), view);
    if (!problems.empty()) throw PackError("not signing a damaged installer: " + problems[0]);
    return bare;
}

// The first line of osslsigncode's report that says what failed, else its last line.
std::string FailureLine(const std::string& output) {
    std::string last;
    size_t from = 0;
    while (from < output.size()) {
        size_t end = output.find('\n', from);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(from, end - from);
        from = end + 1;
        if (line.find("ailed") != std::string::npos || line.find("MISMATCH") != std::string::npos)
            return line;
        if (!line.empty()) last = line;
    }
    return last;
}

}  // namespace

std::string SignOptionsProblem(const SignOptions& o) {
    int sources = !o.pkcs12.empty() + !o.cert.empty() + !o.pkcs11Module.empty();
    if (sources != 1)
        return "give one key source: --pkcs12 FILE, --cert FILE with --key FILE, or "
               "--pkcs11-module FILE with --pkcs11-cert URI and --key URI";
    if (!o.pkcs12.empty() && !o.key.empty()) return "--key goes with --cert or --pkcs11-module";
    if (!o.cert.empty() && o.key.empty()) return "--cert needs --key FILE";
    if (!o.pkcs11Module.empty() && (o.pkcs11Cert.empty() || o.key.empty()))
        return "--pkcs11-module needs --pkcs11-cert URI and --key URI";
    if (o.pkcs11Module.empty() && !o.pkcs11Cert.empty())
        return "--pkcs11-cert goes with --pkcs11-module";
    return "";
}

std::vector<uint8_t> SignInstallerBytes(const std::vector<uint8_t>& installer,
                                        const SignOptions& options) {
    std::string problem = SignOptionsProblem(options);
    if (!problem.empty()) throw PackError(problem);
    std::vector<uint8_t> bare = SoundUnsigned(installer);
    ScratchFolder scratch("setuppack-sign");
    WriteFileBytes(scratch.path() + "/unsigned.exe", bare);
    RunSigner(SignArguments(options, scratch.path()));
    std::vector<uint8_t> sealed = SealSignature(ReadFileBytes(scratch.path() + "/signed.exe"));
    InstallerView view = ReadInstaller(sealed.data(), sealed.size(), ReaderOptions{});
    std::vector<std::string> problems = VerifyInstaller(sealed.data(), view);
    if (!problems.empty())
        throw PackError("the signed installer fails verification: " + problems[0]);
    return sealed;
}

std::vector<std::string> SignatureProblems(const std::string& installerPath,
                                           const std::string& caFile) {
    ProgramRun ran = RunProgram({OSSLSIGNCODE, "verify", "-CAfile", caFile, "-in", installerPath});
    if (ran.status == 0) return {};
    if (ran.status == 127 || ran.status == -1)
        return {
            "cannot check the signature: --ca needs osslsigncode (apt-get install "
            "osslsigncode)"};
    return {"signature does not verify against " + caFile + ": " + FailureLine(ran.output)};
}

int CommandSign(const std::string& in, const std::string& outPath, const SignOptions& options,
                std::ostream& out, std::ostream& err) {
    try {
        std::vector<uint8_t> installer = ReadFileBytes(in);
        bool wasSigned = ReadSignatureFacts(installer.data(), installer.size()).isSigned;
        std::vector<uint8_t> signedFile = SignInstallerBytes(installer, options);
        std::string target = outPath.empty() ? in : outPath;
        WriteFileBytes(target, signedFile);
        SignatureFacts facts = ReadSignatureFacts(signedFile.data(), signedFile.size());
        out << target << ": signed by " << facts.subject << ", file " << signedFile.size()
            << " bytes" << (wasSigned ? " (the earlier signature replaced)" : "") << "\n";
        return 0;
    } catch (const std::exception& error) {
        err << ErrorLine("setuppack", error.what());
        return 1;
    }
}
