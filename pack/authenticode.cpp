// The certificate table and its PKCS#7 signature, read with every length checked, and the
// seal that keeps the installer's trailer at the end of a signed file.
#include "pack/authenticode.h"

#include <string.h>

#include <algorithm>

#include "engine/core/checksum.h"
#include "engine/core/package.h"
#include "pack/der.h"
#include "pack/installer_builder.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"

namespace {

// The seal attribute's type: an OID of the UUID arc (2.25), which needs no registration.
const uint8_t SEAL_OID[] = {0x69, 0x83, 0xA8, 0x94, 0xC7, 0xDD, 0x96, 0xAF, 0x92, 0x96,
                            0xBB, 0x8A, 0xAB, 0xCB, 0xE3, 0xAC, 0x82, 0xE5, 0xF7, 0x52};
// Its value starts with this text, so that a person dumping the signature sees what it is.
const char SEAL_TEXT[] = "Quorvane installer trailer";
const size_t BALANCE_BYTES = 2;  // before the trailer: they let the PE checksum hold too
const char* const PKCS7_SIGNED_DATA = "1.2.840.113549.1.7.2";
const uint32_t CERT_TABLE_ALIGNMENT = 8;

// The values from the ContentInfo down to the one SignerInfo, and what the seal needs of them.
struct SignatureTree {
    std::vector<DerValue> chain;  // ContentInfo, [0], SignedData, signerInfos, SignerInfo
    DerValue contentInfo;
    bool haveCertificates = false;
    DerValue certificates;
    std::vector<DerValue> signerFields;
};

std::string OidOf(const uint8_t* data, const DerValue& value) {
    return value.tag == DER_OID ? DerOidText(data + value.ContentStart(), value.length) : "";
}

std::vector<DerValue> ChildrenTagged(const uint8_t* data, const DerValue& parent, uint8_t tag,
                                     const char* what) {
    if (parent.tag != tag) throw PackError(std::string("signature: ") + what + " is malformed");
    return DerChildren(data, parent);
}

// The signed data inside a ContentInfo, or throws.
DerValue SignedDataOf(const uint8_t* data, const DerValue& info, DerValue* wrapper) {
    std::vector<DerValue> top = ChildrenTagged(data, info, DER_SEQUENCE, "the ContentInfo");
    if (top.size() != 2 || OidOf(data, top[0]) != PKCS7_SIGNED_DATA)
        throw PackError("signature is not PKCS#7 signed data");
    std::vector<DerValue> inner = ChildrenTagged(data, top[1], DER_CONTEXT_0, "the content");
    if (inner.size() != 1) throw PackError("signature: the content is malformed");
    *wrapper = top[1];
    return inner[0];
}

SignatureTree ReadSignatureTree(const uint8_t* data, size_t start, size_t end) {
    SignatureTree tree;
    tree.contentInfo = ReadDer(data, start, end);
    DerValue wrapper;
    DerValue signedData = SignedDataOf(data, tree.contentInfo, &wrapper);
    std::vector<DerValue> fields = ChildrenTagged(data, signedData, DER_SEQUENCE, "signed data");
    if (fields.empty() || fields.back().tag != DER_SET)
        throw PackError("signature has no signer infos");
    for (const DerValue& field : fields) {
        if (field.tag != DER_CONTEXT_0) continue;
        tree.haveCertificates = true;
        tree.certificates = field;
    }
    std::vector<DerValue> signers = DerChildren(data, fields.back());
    if (signers.size() != 1)
        throw PackError("signature has " + std::to_string(signers.size()) +
                        " signers; one is expected");
    tree.signerFields = ChildrenTagged(data, signers[0], DER_SEQUENCE, "the signer info");
    if (tree.signerFields.size() < 5 || tree.signerFields[1].tag != DER_SEQUENCE)
        throw PackError("signature: the signer info is malformed");
    tree.chain = {tree.contentInfo, wrapper, signedData, fields.back(), signers[0]};
    return tree;
}

bool SameBytes(const uint8_t* data, const DerValue& a, const DerValue& b) {
    return a.End() - a.start == b.End() - b.start &&
           memcmp(data + a.start, data + b.start, a.End() - a.start) == 0;
}

std::string AttributeName(const std::string& oid) {
    static const struct {
        const char* oid;
        const char* name;
    } names[] = {{"2.5.4.3", "CN"},
                 {"2.5.4.6", "C"},
                 {"2.5.4.7", "L"},
                 {"2.5.4.8", "ST"},
                 {"2.5.4.10", "O"},
                 {"2.5.4.11", "OU"},
                 {"1.2.840.113549.1.9.1", "emailAddress"}};
    for (const auto& known : names)
        if (oid == known.oid) return known.name;
    return oid;
}

// The text of a directory string; BMPString's high bytes dropped, anything not printable
// ASCII shown as '?' (the text comes from an untrusted file and ends up on a terminal).
std::string PrintableValue(const uint8_t* data, const DerValue& value) {
    std::string text;
    bool wide = value.tag == 0x1E;
    for (size_t i = value.ContentStart(); i < value.End(); i += wide ? 2 : 1) {
        uint8_t c = wide ? (i + 1 < value.End() && data[i] == 0 ? data[i + 1] : '?') : data[i];
        text += (c >= 0x20 && c < 0x7F) ? (char)c : '?';
    }
    return text;
}

std::string NameText(const uint8_t* data, const DerValue& name) {
    std::string text;
    for (const DerValue& rdn : ChildrenTagged(data, name, DER_SEQUENCE, "a name")) {
        for (const DerValue& pair : ChildrenTagged(data, rdn, DER_SET, "a name")) {
            std::vector<DerValue> parts = ChildrenTagged(data, pair, DER_SEQUENCE, "a name");
            if (parts.size() != 2) throw PackError("signature: a name is malformed");
            text += (text.empty() ? "" : ", ") + AttributeName(OidOf(data, parts[0])) + "=" +
                    PrintableValue(data, parts[1]);
        }
    }
    return text;
}

// The subject of the certificate whose issuer and serial number the signer info names.
std::string SignerSubject(const uint8_t* data, const SignatureTree& tree) {
    if (!tree.haveCertificates) return "";
    std::vector<DerValue> id = DerChildren(data, tree.signerFields[1]);
    if (id.size() != 2) throw PackError("signature: the signer's identifier is malformed");
    for (const DerValue& cert : DerChildren(data, tree.certificates)) {
        if (cert.tag != DER_SEQUENCE) continue;  // other certificate choices
        std::vector<DerValue> parts = DerChildren(data, cert);
        if (parts.empty() || parts[0].tag != DER_SEQUENCE) continue;
        std::vector<DerValue> tbs = DerChildren(data, parts[0]);
        size_t at = !tbs.empty() && tbs[0].tag == DER_CONTEXT_0 ? 1 : 0;  // skip the version
        if (tbs.size() < at + 6) continue;
        if (SameBytes(data, tbs[at], id[1]) && SameBytes(data, tbs[at + 2], id[0]))
            return NameText(data, tbs[at + 4]);
    }
    return "";
}

bool IsSealAttribute(const uint8_t* data, const DerValue& attribute) {
    if (attribute.tag != DER_SEQUENCE) return false;
    std::vector<DerValue> parts = DerChildren(data, attribute);
    return !parts.empty() && parts[0].tag == DER_OID && parts[0].length == sizeof SEAL_OID &&
           memcmp(data + parts[0].ContentStart(), SEAL_OID, sizeof SEAL_OID) == 0;
}

// The signer's unauthenticated attributes, or an empty list when it has none.
std::vector<DerValue> UnauthenticatedAttributes(const uint8_t* data, const SignatureTree& tree) {
    const DerValue& last = tree.signerFields.back();
    return last.tag == DER_CONTEXT_1 ? DerChildren(data, last) : std::vector<DerValue>{};
}

// Whether the seal is the signature's last attribute and its value ends the signature.
bool EndsWithSeal(const uint8_t* data, const SignatureTree& tree) {
    std::vector<DerValue> attributes = UnauthenticatedAttributes(data, tree);
    if (attributes.empty() || !IsSealAttribute(data, attributes.back())) return false;
    std::vector<DerValue> parts = DerChildren(data, attributes.back());
    if (parts.size() != 2 || parts[1].tag != DER_SET) return false;
    std::vector<DerValue> values = DerChildren(data, parts[1]);
    return values.size() == 1 && values[0].tag == DER_OCTET_STRING &&
           values[0].length >= BALANCE_BYTES + TRAILER_SIZE &&
           values[0].End() == tree.contentInfo.End();
}

}  // namespace

CertificateTable ReadCertificateTable(const uint8_t* data, size_t size) {
    CertificateTable table;
    if (!LooksLikePe(data, size)) return table;
    PeImage image = ParsePeImage(data, size);
    if (image.dataDirectoryCount <= PE_DIR_SECURITY) return table;
    table.directoryField = image.dataDirectoryOffset + 8 * PE_DIR_SECURITY;
    table.offset = image.DirectoryRva(data, PE_DIR_SECURITY);
    table.size = image.DirectorySize(data, PE_DIR_SECURITY);
    table.present = table.offset != 0 || table.size != 0;
    if (!table.present || table.offset > size || size - table.offset < WIN_CERT_HEADER_SIZE)
        return table;
    table.dwLength = ReadLE32(data + table.offset);
    table.revision = ReadLE16(data + table.offset + 4);
    table.certificateType = ReadLE16(data + table.offset + 6);
    return table;
}

namespace {

uint64_t AlignedLength(uint32_t length) {
    return ((uint64_t)length + CERT_TABLE_ALIGNMENT - 1) / CERT_TABLE_ALIGNMENT *
           CERT_TABLE_ALIGNMENT;
}

// The rules Windows applies to the table's place and its one entry; empty when it keeps them.
// `padded`: zero bytes aligning the entry's end are accepted (as signing tools leave them).
std::vector<std::string> TableProblems(const CertificateTable& t, size_t size,
                                       bool padded = false) {
    std::vector<std::string> problems;
    if (t.offset > size || t.size > size - t.offset || t.size < WIN_CERT_HEADER_SIZE)
        return {"certificate table lies outside the file"};
    if (t.offset % CERT_TABLE_ALIGNMENT != 0)
        problems.push_back("certificate table does not start on an 8-byte boundary");
    if ((uint64_t)t.offset + t.size != size)
        problems.push_back("certificate table is not at the end of the file");
    if (t.dwLength < WIN_CERT_HEADER_SIZE || t.dwLength > t.size)
        problems.push_back("certificate entry's length does not fit the table");
    else if (t.dwLength != t.size && !(padded && AlignedLength(t.dwLength) == t.size))
        problems.push_back("certificate table holds " + std::to_string(t.size - t.dwLength) +
                           " bytes after its entry (padding or more entries)");
    if (t.revision != WIN_CERT_REVISION_2 || t.certificateType != WIN_CERT_TYPE_PKCS_SIGNED_DATA)
        problems.push_back("certificate entry is not a revision 2 PKCS#7 signature");
    return problems;
}

void ReadSignatureInto(const uint8_t* data, size_t size, const CertificateTable& table,
                       SignatureFacts* facts) {
    size_t start = table.offset + WIN_CERT_HEADER_SIZE;
    size_t end = table.offset + (size_t)std::min(table.dwLength, table.size);
    SignatureTree tree = ReadSignatureTree(data, start, end);
    facts->subject = SignerSubject(data, tree);
    if (tree.contentInfo.End() != end)
        facts->problems.push_back("certificate entry holds " +
                                  std::to_string(end - tree.contentInfo.End()) +
                                  " bytes after the signature");
    facts->sealed = facts->problems.empty() && EndsWithSeal(data, tree) && end == size;
}

}  // namespace

SignatureFacts ReadSignatureFacts(const uint8_t* data, size_t size) {
    SignatureFacts facts;
    try {
        CertificateTable table = ReadCertificateTable(data, size);
        facts.isSigned = table.present;
        if (!table.present) return facts;
        facts.problems = TableProblems(table, size);
        if (table.offset <= size && table.size <= size - table.offset &&
            table.dwLength >= WIN_CERT_HEADER_SIZE)
            ReadSignatureInto(data, size, table, &facts);
    } catch (const PackError& error) {
        facts.problems.push_back(error.what());
        facts.sealed = false;
    }
    return facts;
}

namespace {

std::vector<uint8_t> Slice(const uint8_t* data, size_t from, size_t to) {
    return std::vector<uint8_t>(data + from, data + to);
}

void Append(std::vector<uint8_t>* out, const std::vector<uint8_t>& more) {
    out->insert(out->end(), more.begin(), more.end());
}

// The seal attribute with `filler` zero bytes between its text and its balance and trailer.
std::vector<uint8_t> SealAttribute(size_t filler) {
    std::vector<uint8_t> value(SEAL_TEXT, SEAL_TEXT + sizeof SEAL_TEXT - 1);
    value.resize(value.size() + filler + BALANCE_BYTES + TRAILER_SIZE, 0);
    std::vector<uint8_t> attribute =
        DerWrap(DER_OID, std::vector<uint8_t>(SEAL_OID, SEAL_OID + sizeof SEAL_OID));
    Append(&attribute, DerWrap(DER_SET, DerWrap(DER_OCTET_STRING, value)));
    return DerWrap(DER_SEQUENCE, attribute);
}

// The signer info's content with its unauthenticated attributes set to the ones it had (any
// seal left out) followed by `seal`.
std::vector<uint8_t> SignerContentWithSeal(const uint8_t* data, const SignatureTree& tree,
                                           const std::vector<uint8_t>& seal) {
    const DerValue& signer = tree.chain.back();
    const DerValue& last = tree.signerFields.back();
    bool hasUnauthenticated = last.tag == DER_CONTEXT_1;
    std::vector<uint8_t> content =
        Slice(data, signer.ContentStart(), hasUnauthenticated ? last.start : signer.End());
    std::vector<uint8_t> attributes;
    for (const DerValue& attribute : UnauthenticatedAttributes(data, tree))
        if (!IsSealAttribute(data, attribute)) Append(&attributes, DerBytes(data, attribute));
    Append(&attributes, seal);
    Append(&content, DerWrap(DER_CONTEXT_1, attributes));
    return content;
}

// The ContentInfo rebuilt around new content of the innermost value of the chain: every
// enclosing value keeps its other bytes and gets its new length.
std::vector<uint8_t> RebuildChain(const uint8_t* data, const std::vector<DerValue>& chain,
                                  std::vector<uint8_t> content) {
    for (size_t i = chain.size() - 1;; i--) {
        std::vector<uint8_t> wrapped = DerWrap(chain[i].tag, content);
        if (i == 0) return wrapped;
        const DerValue& parent = chain[i - 1];
        content = Slice(data, parent.ContentStart(), chain[i].start);
        Append(&content, wrapped);
        Append(&content, Slice(data, chain[i].End(), parent.End()));
    }
}

// The signature with the seal, at the smallest filler that makes the entry's length
// (header and signature) a multiple of 8, so that no padding follows it.
std::vector<uint8_t> SealedSignature(const uint8_t* data, const SignatureTree& tree) {
    for (size_t filler = 0; filler < 64; filler++) {
        std::vector<uint8_t> der = RebuildChain(
            data, tree.chain, SignerContentWithSeal(data, tree, SealAttribute(filler)));
        if ((WIN_CERT_HEADER_SIZE + der.size()) % CERT_TABLE_ALIGNMENT == 0) return der;
    }
    throw PackError("no seal size aligns the certificate table");  // lengths grow by 1 or 2
}

void CheckSealable(const CertificateTable& table, size_t size) {
    if (!table.present) throw PackError("the file is not signed");
    std::vector<std::string> problems = TableProblems(table, size, true);
    if (!problems.empty()) throw PackError("cannot seal the signature: " + problems[0]);
}

}  // namespace

std::vector<uint8_t> SealSignature(const std::vector<uint8_t>& file) {
    const uint8_t* data = file.data();
    CertificateTable table = ReadCertificateTable(data, file.size());
    CheckSealable(table, file.size());
    size_t start = table.offset + WIN_CERT_HEADER_SIZE;
    SignatureTree tree = ReadSignatureTree(data, start, table.offset + (size_t)table.dwLength);
    std::vector<uint8_t> der = SealedSignature(data, tree);

    std::vector<uint8_t> out = Slice(data, 0, table.offset);
    uint32_t dwLength = (uint32_t)(WIN_CERT_HEADER_SIZE + der.size());
    out.resize(out.size() + WIN_CERT_HEADER_SIZE);
    WriteLE32(&out[table.offset], dwLength);
    WriteLE16(&out[table.offset + 4], WIN_CERT_REVISION_2);
    WriteLE16(&out[table.offset + 6], WIN_CERT_TYPE_PKCS_SIGNED_DATA);
    Append(&out, der);
    WriteLE32(&out[table.directoryField + 4], dwLength);
    PeImage image = ParsePeImage(out.data(), out.size());
    SolveChecksumAndTrailer(&out, image.checksumOffset, out.size() - TRAILER_SIZE - BALANCE_BYTES);
    return out;
}

namespace {

bool TrailerHolds(const std::vector<uint8_t>& file) {
    if (file.size() < TRAILER_SIZE) return false;
    size_t n = file.size() - TRAILER_SIZE;
    return ReadLE32(&file[n]) == AddToChecksum(0, file.data(), n);
}

// The file cut at `length` with the PE checksum it had before signing: the one that holds,
// or 0 for a file built without one. Empty when neither makes its trailer hold.
std::vector<uint8_t> UnsignedCandidate(const std::vector<uint8_t>& file, size_t length,
                                       size_t checksumOffset) {
    std::vector<uint8_t> candidate(file.begin(), file.begin() + length);
    if (checksumOffset + 4 > length) return {};
    uint32_t checksum = ComputePeChecksum(candidate.data(), length, checksumOffset);
    for (uint32_t value : {checksum, 0u}) {
        WriteLE32(&candidate[checksumOffset], value);
        if (TrailerHolds(candidate)) return candidate;
    }
    return {};
}

}  // namespace

std::vector<uint8_t> RemoveSignature(const std::vector<uint8_t>& file) {
    CertificateTable table = ReadCertificateTable(file.data(), file.size());
    if (!table.present) return file;
    if (table.offset > file.size() || (uint64_t)table.offset + table.size != file.size())
        throw PackError("the certificate table is not at the end of the file; cannot remove it");
    std::vector<uint8_t> bare(file);
    memset(&bare[table.directoryField], 0, 8);
    size_t checksumOffset = ParsePeImage(bare.data(), bare.size()).checksumOffset;
    // Signing tools align the table with zero bytes after the unsigned file's trailer.
    for (size_t pad = 0; pad < CERT_TABLE_ALIGNMENT && pad + TRAILER_SIZE <= table.offset; pad++) {
        if (pad > 0 && bare[table.offset - pad] != 0) break;
        std::vector<uint8_t> candidate =
            UnsignedCandidate(bare, table.offset - pad, checksumOffset);
        if (!candidate.empty()) return candidate;
    }
    throw PackError("the file without its signature is not an installer whose trailer holds");
}
