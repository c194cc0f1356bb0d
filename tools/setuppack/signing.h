// Signing installers with Debian's osslsigncode, then sealing the signature so that the
// installer's trailer still holds; and checking a signature against a CA through it.
#pragma once

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

struct SignOptions {
    std::string pkcs12;                    // a PKCS#12 file with key and certificates, or
    std::string cert, key;                 // a certificate file and a key file, or
    std::string pkcs11Module, pkcs11Cert;  // a PKCS#11 module and certificate (key: `key`)
    std::string passwordFile;      // the password (of the PKCS#12, key or token) in a file, or
    std::string passwordEnv;       // in this environment variable
    std::string timestampUrl;      // an RFC 3161 time-stamping server
    std::string description, url;  // the program name and link Windows shows
};

// What is wrong with the choice of key source ("" when exactly one is complete).
std::string SignOptionsProblem(const SignOptions& options);

// The installer signed and sealed; a signature it had is replaced. Throws PackError when the
// installer (without its signature) is not sound, osslsigncode is missing or fails.
std::vector<uint8_t> SignInstallerBytes(const std::vector<uint8_t>& installer,
                                        const SignOptions& options);

// Why the signature of `installerPath` does not verify against the certificates in `caFile`
// (osslsigncode verify), one line; empty when it verifies.
std::vector<std::string> SignatureProblems(const std::string& installerPath,
                                           const std::string& caFile);

// setuppack sign: signs `in` into `outPath` (in place when empty). Exit code 0 or 1.
int CommandSign(const std::string& in, const std::string& outPath, const SignOptions& options,
                std::ostream& out, std::ostream& err);
