// Signed installers: the certificate table a code signature adds at the end of a PE file, the
// PKCS#7 signature inside it, and the seal that keeps the installer's trailer true after
// signing. Signing appends the table behind the trailer; the seal puts an attribute into the
// signer's unauthenticated attributes (outside what the signature covers), last in the
// signature, ending with the four trailer bytes and sized so that the table needs no padding.
// The PE checksum is solved together with the trailer through two balance bytes before it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

const uint32_t WIN_CERT_HEADER_SIZE = 8;
const uint16_t WIN_CERT_REVISION_2 = 0x0200;
const uint16_t WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002;

// What a file's security directory says and what its one certificate entry holds.
struct CertificateTable {
    bool present = false;       // the security directory is set
    size_t directoryField = 0;  // file offset of its 8-byte entry
    uint32_t offset = 0, size = 0;
    uint32_t dwLength = 0;
    uint16_t revision = 0, certificateType = 0;
};

struct SignatureFacts {
    bool isSigned = false;
    std::string subject;  // the signer's certificate's subject ("CN=..., O=..."), when found
    bool sealed = false;  // the trailer is kept inside the signature, as `sign` leaves it
    std::vector<std::string> problems;  // how the table or the signature breaks the rules
};

// The certificate table of a PE file (present = false when unsigned or not a PE file).
CertificateTable ReadCertificateTable(const uint8_t* data, size_t size);

// Everything the listing and the verification say about a signature. Never throws: what
// cannot be read becomes a problem.
SignatureFacts ReadSignatureFacts(const uint8_t* data, size_t size);

// A file just signed by a tool that appended its certificate table, made whole again: the
// seal attribute put last into the signature (any earlier seal replaced), the entry's
// dwLength and the security directory's size set, and the PE checksum and the trailer both
// made to hold. No signed byte changes. Throws PackError when the file is not one the seal
// can keep (no signature, several entries or signers, a table not at the end).
std::vector<uint8_t> SealSignature(const std::vector<uint8_t>& file);

// The unsigned installer inside a signed one: the certificate table and the zero bytes that
// aligned it removed, the security directory cleared and the PE checksum as the unsigned
// file had it. An unsigned file comes back as it is. Throws PackError when what remains is
// not an installer whose trailer holds.
std::vector<uint8_t> RemoveSignature(const std::vector<uint8_t>& file);
