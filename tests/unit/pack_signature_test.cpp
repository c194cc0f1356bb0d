// Signed installers without a signing tool: a PKCS#7 signature of the right shape is made
// here from DER pieces and appended as a signing tool would (zero bytes aligning the table,
// padding inside the entry). Sealing must keep every signed byte, make the trailer and the PE
// checksum hold, leave no padding, and be undone exactly by RemoveSignature; the reader must
// name the signer and survive damaged tables. The DER reader refuses malformed lengths.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "engine/core/checksum.h"
#include "tests/support/pack_test_stubs.h"
#include "pack/authenticode.h"
#include "pack/der.h"
#include "pack/file_io.h"
#include "pack/installer_builder.h"
#include "pack/installer_reader.h"
#include "pack/pack_error.h"
#include "pack/pe_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Wrap(uint8_t tag, std::initializer_list<Bytes> parts) {
    return DerWrap(tag, Cat(parts));
}

Bytes Oid(const char* dotted) {
    return DerWrap(DER_OID, DerOidContent(dotted));
}

Bytes Integer(uint8_t value) {
    return DerWrap(DER_INTEGER, {value});
}

Bytes Name(const std::string& cn, const std::string& o) {
    auto pair = [](const char* oid, const std::string& text) {
        return Wrap(DER_SET, {Wrap(DER_SEQUENCE,
                                   {Oid(oid), DerWrap(0x0C, Bytes(text.begin(), text.end()))})});
    };
    return Wrap(DER_SEQUENCE, {pair("2.5.4.3", cn), pair("2.5.4.10", o)});
}

Bytes Algorithm() {
    return Wrap(DER_SEQUENCE, {Oid("1.2.840.113549.1.1.11")});
}

Bytes Certificate(uint8_t serial, const Bytes& issuer, const Bytes& subject) {
    Bytes tbs =
        Wrap(DER_SEQUENCE, {Wrap(DER_CONTEXT_0, {Integer(2)}), Integer(serial), Algorithm(), issuer,
                            Wrap(DER_SEQUENCE, {}), subject, Wrap(DER_SEQUENCE, {Algorithm()})});
    return Wrap(DER_SEQUENCE, {tbs, Algorithm(), DerWrap(0x03, {0, 1, 2, 3})});
}

// A one-signer PKCS#7 signature whose signer (serial 7) follows a decoy CA certificate;
// `signatureSize` varies the length, `unauthenticated` the signer's last field.
Bytes Signature(size_t signatureSize, const Bytes& unauthenticated) {
    Bytes ca = Name("Test CA", "Test"), signer = Name("Signer", "Test Org");
    Bytes certificates = Wrap(DER_CONTEXT_0, {Certificate(1, ca, ca), Certificate(7, ca, signer)});
    Bytes signerInfo =
        Wrap(DER_SEQUENCE,
             {Integer(1), Wrap(DER_SEQUENCE, {ca, Integer(7)}), Algorithm(),
              Wrap(DER_CONTEXT_0, {Wrap(DER_SEQUENCE, {Oid("1.2.840.113549.1.9.3")})}), Algorithm(),
              DerWrap(DER_OCTET_STRING, Bytes(signatureSize, 0x5A)), unauthenticated});
    Bytes signedData = Wrap(DER_SEQUENCE, {Integer(1), Wrap(DER_SET, {Algorithm()}),
                                           Wrap(DER_SEQUENCE, {Oid("1.3.6.1.4.1.311.2.1.4")}),
                                           certificates, Wrap(DER_SET, {signerInfo})});
    return Wrap(DER_SEQUENCE, {Oid("1.2.840.113549.1.7.2"), Wrap(DER_CONTEXT_0, {signedData})});
}

// What a signing tool does: zero bytes up to an 8-byte boundary, then the entry, its length
// rounded up with zero bytes inside it, and the security directory pointing at it.
Bytes AppendSignature(Bytes file, const Bytes& der) {
    file.resize((file.size() + 7) / 8 * 8, 0);
    uint32_t offset = (uint32_t)file.size();
    uint32_t length = (uint32_t)((WIN_CERT_HEADER_SIZE + der.size() + 7) / 8 * 8);
    file.resize(file.size() + WIN_CERT_HEADER_SIZE);
    WriteLE32(&file[offset], length);
    WriteLE16(&file[offset + 4], WIN_CERT_REVISION_2);
    WriteLE16(&file[offset + 6], WIN_CERT_TYPE_PKCS_SIGNED_DATA);
    file.insert(file.end(), der.begin(), der.end());
    file.resize(offset + length, 0);
    PeImage image = ParsePeImage(file.data(), file.size());
    WriteLE32(&file[image.dataDirectoryOffset + 8 * PE_DIR_SECURITY], offset);
    WriteLE32(&file[image.dataDirectoryOffset + 8 * PE_DIR_SECURITY + 4], length);
    return file;
}

Bytes Unauthenticated(std::initializer_list<Bytes> attributes) {
    return DerWrap(DER_CONTEXT_1, Cat(attributes));
}

// A stand-in for a time-stamp countersignature: another attribute the seal must keep.
Bytes Countersignature() {
    return Wrap(DER_SEQUENCE, {Oid("1.3.6.1.4.1.311.3.3.1"),
                               Wrap(DER_SET, {DerWrap(DER_OCTET_STRING, Bytes(300, 0x33))})});
}

class SealTest : public ::testing::TestWithParam<const char*> {
   protected:
    void SetUp() override {
        std::string stub = PackTestStubPath(GetParam());
        if (stub.empty()) GTEST_SKIP() << "test stub for " << GetParam() << " not built";
        Bytes block(ITEM_COUNT_SIZE + COPY_ENTRY_SIZE, 0);
        WriteLE16(block.data(), 1);
        CopyTableEntry entry{};
        strcpy(entry.targetName, "EMPTY.TXT");
        entry.fileDate = (21 << 9) | (10 << 5) | 11;  // 2001-10-11
        WriteCopyTableEntry(entry, &block[ITEM_COUNT_SIZE]);
        installer_ = BuildInstallerImage(ReadFileBytes(stub), block);
    }
    Bytes installer_;
};

uint32_t SecurityField(const Bytes& file, int which) {
    PeImage image = ParsePeImage(file.data(), file.size());
    return ReadLE32(&file[image.dataDirectoryOffset + 8 * PE_DIR_SECURITY + 4 * which]);
}

// Every byte the signature covers is the same in both files.
void ExpectSignedBytesKept(const Bytes& before, const Bytes& after, uint32_t tableOffset) {
    PeImage image = ParsePeImage(before.data(), before.size());
    size_t directory = image.dataDirectoryOffset + 8 * PE_DIR_SECURITY;
    for (size_t i = 0; i < tableOffset; i++) {
        bool excluded = (i >= image.checksumOffset && i < image.checksumOffset + 4) ||
                        (i >= directory && i < directory + 8);
        if (excluded) continue;
        ASSERT_EQ(before[i], after[i]) << "signed byte " << i << " changed";
    }
}

TEST_P(SealTest, KeepsSignedBytesAndMakesTrailerAndChecksumHoldWithoutPadding) {
    const struct {
        const char* why;
        Bytes unauthenticated;
    } cases[] = {{"no unauthenticated attributes", {}},
                 {"a countersignature", Unauthenticated({Countersignature()})},
                 {"empty unauthenticated attributes", Unauthenticated({})}};
    for (const auto& c : cases) {
        for (size_t size = 120; size < 136; size++) {  // every alignment, and the 128 step
            SCOPED_TRACE(std::string(c.why) + ", signature of " + std::to_string(size));
            Bytes signedFile = AppendSignature(installer_, Signature(size, c.unauthenticated));
            uint32_t offset = SecurityField(signedFile, 0);
            Bytes sealed = SealSignature(signedFile);
            ExpectSignedBytesKept(signedFile, sealed, offset);
            EXPECT_EQ(SecurityField(sealed, 0), offset);
            EXPECT_EQ(SecurityField(sealed, 1), sealed.size() - offset);
            EXPECT_EQ(ReadLE32(&sealed[offset]), sealed.size() - offset);  // dwLength
            EXPECT_EQ(sealed.size() % 8, 0u);
            SignatureFacts facts = ReadSignatureFacts(sealed.data(), sealed.size());
            EXPECT_TRUE(facts.isSigned && facts.sealed);
            EXPECT_EQ(facts.subject, "CN=Signer, O=Test Org");
            InstallerView view = ReadInstaller(sealed.data(), sealed.size(), ReaderOptions{});
            std::vector<std::string> problems = VerifyInstaller(sealed.data(), view);
            EXPECT_TRUE(problems.empty()) << problems[0];
            EXPECT_EQ(view.peChecksumStored, view.peChecksumComputed);
            EXPECT_EQ(SealSignature(sealed), sealed) << "sealing again replaces the seal";
            EXPECT_EQ(RemoveSignature(sealed), installer_);
            EXPECT_EQ(RemoveSignature(signedFile), installer_);
        }
    }
}

TEST_P(SealTest, KeepsOtherUnauthenticatedAttributesBeforeTheSeal) {
    Bytes counter = Countersignature();
    Bytes sealed =
        SealSignature(AppendSignature(installer_, Signature(128, Unauthenticated({counter}))));
    auto at = std::search(sealed.begin(), sealed.end(), counter.begin(), counter.end());
    ASSERT_NE(at, sealed.end());
    EXPECT_GT(sealed.end() - at, (long)counter.size() + 40) << "the seal follows it";
}

// The reader on tables that break the rules: each is reported, none is taken as sealed.
TEST_P(SealTest, ReportsTablesThatBreakTheRules) {
    Bytes handSigned = AppendSignature(installer_, Signature(129, {}));
    Bytes sealed = SealSignature(handSigned);
    uint32_t offset = SecurityField(sealed, 0);
    auto withDirectory = [&](uint32_t at, uint32_t size) {
        Bytes copy = sealed;
        PeImage image = ParsePeImage(copy.data(), copy.size());
        WriteLE32(&copy[image.dataDirectoryOffset + 8 * PE_DIR_SECURITY], at);
        WriteLE32(&copy[image.dataDirectoryOffset + 8 * PE_DIR_SECURITY + 4], size);
        return copy;
    };
    uint32_t size = (uint32_t)sealed.size() - offset;
    Bytes appended = sealed;
    appended.push_back(0);
    Bytes cut = sealed;
    cut.resize(cut.size() - 100);
    const struct {
        const char* why;
        Bytes file;
        const char* problem;
    } cases[] = {
        {"signed by hand", handSigned, "bytes after the signature"},
        {"a byte after the table", appended, "not at the end of the file"},
        {"table moved off its boundary", withDirectory(offset + 4, size - 4), "8-byte boundary"},
        {"directory past the file", withDirectory((uint32_t)sealed.size(), size), "outside"},
        {"file cut short", cut, "outside"},
    };
    for (const auto& c : cases) {
        SignatureFacts facts = ReadSignatureFacts(c.file.data(), c.file.size());
        EXPECT_TRUE(facts.isSigned) << c.why;
        EXPECT_FALSE(facts.sealed) << c.why;
        bool found = false;
        for (const std::string& p : facts.problems) found |= p.find(c.problem) != std::string::npos;
        EXPECT_TRUE(found) << c.why << ": " << (facts.problems.empty() ? "" : facts.problems[0]);
    }
    InstallerView view = ReadInstaller(handSigned.data(), handSigned.size(), ReaderOptions{});
    std::vector<std::string> problems = VerifyInstaller(handSigned.data(), view);
    bool told = false;
    for (const std::string& p : problems) told |= p.find("setuppack sign") != std::string::npos;
    EXPECT_TRUE(told) << "a hand-signed installer is told how to sign";
}

TEST_P(SealTest, SurvivesDamagedSignatures) {
    Bytes sealed = SealSignature(AppendSignature(installer_, Signature(128, {})));
    uint32_t offset = SecurityField(sealed, 0);
    std::mt19937 rng(11);
    for (int round = 0; round < 1000; round++) {
        Bytes damaged = sealed;
        for (int flips = 1 + rng() % 3; flips > 0; flips--)
            damaged[offset + rng() % (damaged.size() - offset)] ^= (uint8_t)(1 + rng() % 255);
        SignatureFacts facts = ReadSignatureFacts(damaged.data(), damaged.size());
        EXPECT_TRUE(facts.isSigned);
        if (round % 20) continue;  // sealing solves the checksum: slow, so now and then
        try {
            SealSignature(damaged);
        } catch (const PackError&) {
        }
    }
}

TEST_P(SealTest, UnsignedFilesAreLeftAlone) {
    EXPECT_EQ(RemoveSignature(installer_), installer_);
    EXPECT_FALSE(ReadSignatureFacts(installer_.data(), installer_.size()).isSigned);
    EXPECT_THROW(SealSignature(installer_), PackError);
}

INSTANTIATE_TEST_SUITE_P(Stubs, SealTest, ::testing::Values("i686", "x86_64"));

TEST(Der, RefusesMalformedValues) {
    const struct {
        const char* why;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"tag without length", {0x30}},
        {"indefinite length", {0x30, 0x80, 0x00, 0x00}},
        {"five length octets", {0x04, 0x85, 0, 0, 0, 0, 1, 0}},
        {"long form for a short length", {0x04, 0x81, 0x05, 1, 2, 3, 4, 5}},
        {"leading zero length octet", {0x04, 0x82, 0x00, 0x80}},
        {"content past the end", {0x04, 0x05, 1, 2}},
        {"length octets past the end", {0x04, 0x82, 0x01}},
        {"multi-byte tag", {0x1F, 0x81, 0x01, 0x00}},
    };
    for (const auto& c : cases)
        EXPECT_THROW(ReadDer(c.bytes.data(), 0, c.bytes.size()), PackError) << c.why;
    Bytes overfull = {0x30, 0x03, 0x04, 0x05, 0x00};  // a child longer than its parent
    DerValue parent = ReadDer(overfull.data(), 0, 2 + 3);
    EXPECT_THROW(DerChildren(overfull.data(), parent), PackError);
}

TEST(Der, LengthsRoundTripAtEveryFormBoundary) {
    for (size_t length : {0, 1, 127, 128, 255, 256, 65535, 65536, 70000}) {
        Bytes encoded = DerWrap(DER_OCTET_STRING, Bytes(length, 0xAB));
        DerValue value = ReadDer(encoded.data(), 0, encoded.size());
        EXPECT_EQ(value.length, length);
        EXPECT_EQ(value.End(), encoded.size());
    }
}

TEST(Der, ObjectIdentifiers) {
    for (const char* oid : {"1.2.840.113549.1.7.2", "2.5.4.3", "0.9.2342", "2.999.1"}) {
        Bytes content = DerOidContent(oid);
        EXPECT_EQ(DerOidText(content.data(), content.size()), oid);
    }
    Bytes unfinished = {0x2A, 0x86};  // the last arc's high bit says more follows
    EXPECT_EQ(DerOidText(unfinished.data(), unfinished.size()), "");
}

}  // namespace
