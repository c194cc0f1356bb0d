#!/usr/bin/python3
"""setuppack sign and build --sign with osslsigncode, on the demo packed on a test stub, with a
throw-away CA and code-signing certificate made here by openssl (nothing secret is kept).

The signed installer must verify with osslsigncode and with setuppack verify --ca, keep its
trailer (the last four bytes sum the bytes before them), end without padding after a certificate
table that keeps Windows' rules, and carry a PE checksum that holds. One flipped byte in the
package block is refused by both; a hand-signed installer is refused with a pointer to
setuppack sign; signing again replaces the signature; with SOURCE_DATE_EPOCH signing is
reproducible; the password travels in a file or the environment.

usage: signing_check.py BUILD_DIR STUB_DIR SOURCE_DIR
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import SKIPPED, require, run  # noqa: E402

EPOCH = {"SOURCE_DATE_EPOCH": "1700000000"}
SUBJECT = "CN=Quorvane Test Signer, O=Throw-away"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_certificates(work):
    """ca.pem (a CA), signer.pem/signer.key (a code-signing certificate it issued) and
    signer.p12 (both, with the CA, under the password in password.txt)."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
            "ca.pem", "-days", "2", "-subj", "/CN=Quorvane Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign", cwd=work)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/CN=Quorvane Test Signer/O=Throw-away", cwd=work)
    with open(os.path.join(work, "ext"), "w") as ext:
        ext.write("extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "signer.pem", "-days", "2", "-extfile", "ext", cwd=work)
    with open(os.path.join(work, "password.txt"), "w") as password:
        password.write("correct horse\n")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile",
            "ca.pem", "-out", "signer.p12", "-passout", "pass:correct horse", cwd=work)
    # A second CA that issued nothing here: the signature must not verify against it.
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "other.key", "-out",
            "other.pem", "-days", "2", "-subj", "/CN=Unrelated CA", cwd=work)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_layout(path):
    """The trailer, the certificate table under Windows' rules, and the PE checksum."""
    data = read(path)
    require(struct.unpack("<I", data[-4:])[0] == sum(data[:-4]) & 0xFFFFFFFF,
            f"{path}: the trailer does not hold")
    pe = pefile.PE(path, fast_load=True)
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]
    offset, size = security.VirtualAddress, security.Size
    require(offset % 8 == 0, f"{path}: certificate table not 8-byte aligned")
    require(offset + size == len(data), f"{path}: certificate table not at the end of the file")
    length, revision, kind = struct.unpack("<IHH", data[offset:offset + 8])
    require(length == size and length % 8 == 0,
            f"{path}: dwLength {length} against a table of {size}: padding or another entry")
    require((revision, kind) == (0x200, 2), f"{path}: not a revision 2 PKCS#7 entry")
    der_length = der_total_length(data[offset + 8:])
    require(der_length == length - 8, f"{path}: {length - 8 - der_length} bytes after the PKCS#7")
    require(pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum(), f"{path}: PE checksum wrong")


def der_total_length(der):
    """Length of the DER value at the start of `der`, header included."""
    first = der[1]
    if first < 0x80:
        return 2 + first
    count = first & 0x7F
    return 2 + count + int.from_bytes(der[2:2 + count], "big")


def signature_facts(tools, path):
    return json.loads(run([tools.setuppack, "list", "--json", path]).stdout)["signature"]


class Tools:
    def __init__(self, build, work):
        self.setuppack = os.path.join(build, "setuppack")
        self.work = work

    def sign(self, source, target, *options, env=None, code=0):
        keys = options or ("--cert", "signer.pem", "--key", "signer.key")
        return run([self.setuppack, "sign", source, "-o", target, *keys], code=code,
                   cwd=self.work, env=dict(os.environ, **(env or {})))

    def osslsigncode_verifies(self, path, ca="ca.pem"):
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path],
                                cwd=self.work, capture_output=True, text=True)
        return result.returncode == 0


def check_signed(tools, w):
    tools.sign("setup.exe", "signed.exe")
    require(tools.osslsigncode_verifies("signed.exe"), "osslsigncode does not verify the signature")
    run([tools.setuppack, "verify", "--ca", "ca.pem", "signed.exe"], cwd=w)
    run([tools.setuppack, "verify", "--ca", "other.pem", "signed.exe"], code=1, cwd=w)
    check_layout(os.path.join(w, "signed.exe"))
    facts = signature_facts(tools, os.path.join(w, "signed.exe"))
    require(facts == {"signed": True, "subject": SUBJECT, "sealed": True}, f"list says {facts}")
    unsigned = signature_facts(tools, os.path.join(w, "setup.exe"))
    require(unsigned["signed"] is False, f"list calls the unsigned installer {unsigned}")
    text = run([tools.setuppack, "list", "signed.exe"], cwd=w).stdout
    require("signature: signed by " + SUBJECT in text, "list's text names no signer:\n" + text)


def check_flipped_byte(tools, w):
    data = bytearray(read(os.path.join(w, "signed.exe")))
    listing = json.loads(run([tools.setuppack, "list", "--json", "setup.exe"], cwd=w).stdout)
    data[listing["compfiles"]["offset"] + listing["compfiles"]["size"] // 2] ^= 0x01
    with open(os.path.join(w, "flipped.exe"), "wb") as f:
        f.write(data)
    require(not tools.osslsigncode_verifies("flipped.exe"), "osslsigncode accepts a flipped byte")
    result = run([tools.setuppack, "verify", "flipped.exe"], code=1, cwd=w)
    require("trailer holds" in result.stderr, "verify misses the flipped byte:\n" + result.stderr)


def check_hand_signed(tools, w):
    run(["osslsigncode", "sign", "-certs", "signer.pem", "-key", "signer.key",
         "-in", "setup.exe", "-out", "hand.exe"], cwd=w)
    result = run([tools.setuppack, "verify", "hand.exe"], code=1, cwd=w)
    require("setuppack sign" in result.stderr, "no pointer to setuppack sign:\n" + result.stderr)
    require(signature_facts(tools, os.path.join(w, "hand.exe"))["sealed"] is False,
            "list calls a hand-signed installer sealed")


def check_reproducible_and_replacing(tools, w):
    tools.sign("setup.exe", "a.exe", env=EPOCH)
    tools.sign("setup.exe", "b.exe", env=EPOCH)
    require(read(os.path.join(w, "a.exe")) == read(os.path.join(w, "b.exe")),
            "two signings with SOURCE_DATE_EPOCH differ")
    for earlier in ("a.exe", "hand.exe"):
        replaced = tools.sign(earlier, "again.exe", env=EPOCH).stdout
        require("replaced" in replaced, "signing again does not say it replaced: " + replaced)
        require(read(os.path.join(w, "again.exe")) == read(os.path.join(w, "a.exe")),
                f"re-signing {earlier} differs from signing the unsigned installer")


def check_key_sources(tools, w, manifest, stub):
    p12 = ("--pkcs12", "signer.p12")
    tools.sign("setup.exe", "p12-file.exe", *p12, "--password-file", "password.txt", env=EPOCH)
    tools.sign("setup.exe", "p12-env.exe", *p12, "--password-env", "QV_SIGN_PASSWORD",
               env=dict(EPOCH, QV_SIGN_PASSWORD="correct horse"))
    require(read(os.path.join(w, "p12-file.exe")) == read(os.path.join(w, "p12-env.exe")),
            "the password file and the environment variable sign differently")
    require(tools.osslsigncode_verifies("p12-env.exe"), "the PKCS#12 signature does not verify")
    tools.sign("setup.exe", "bad.exe", *p12, "--password-env", "QV_UNSET_VARIABLE", code=1)
    run([tools.setuppack, "build", manifest, "--stub", stub, "-o", "built.exe", "--sign",
         "--cert", "signer.pem", "--key", "signer.key"], cwd=w, env=dict(os.environ, **EPOCH))
    require(read(os.path.join(w, "built.exe")) == read(os.path.join(w, "a.exe")),
            "build --sign differs from build, then sign")
    no_tool = dict(os.environ, PATH=os.path.join(w, "empty"))
    os.makedirs(os.path.join(w, "empty"))
    result = run([tools.setuppack, "sign", "setup.exe", "-o", "x.exe", "--cert", "signer.pem",
                  "--key", "signer.key"], code=1, cwd=w, env=no_tool)
    require("apt-get install osslsigncode" in result.stderr, "no package named:\n" + result.stderr)


def main():
    build, stubs, source = (os.path.abspath(arg) for arg in sys.argv[1:4])
    stub = os.path.join(stubs, "stub_x86_64.exe")
    if not os.path.exists(stub):
        print("skipped: the mingw test stubs are not built")
        return SKIPPED
    for tool in ("osslsigncode", "openssl"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed")
            return SKIPPED
    with tempfile.TemporaryDirectory(prefix="qv-signing-") as w:
        make_certificates(w)
        shutil.copytree(os.path.join(source, "demo", "files"), os.path.join(w, "files"))
        tools = Tools(build, w)
        run([tools.setuppack, "init", "files", "-o", "manifest.toml"], cwd=w)
        run([tools.setuppack, "build", "manifest.toml", "--stub", stub, "-o", "setup.exe"], cwd=w,
            env=dict(os.environ, **EPOCH))
        check_signed(tools, w)
        check_flipped_byte(tools, w)
        check_hand_signed(tools, w)
        check_reproducible_and_replacing(tools, w)
        check_key_sources(tools, w, "manifest.toml", stub)
    print("signed installers verify, keep their trailer and checksum, and re-sign exactly")
    return 0


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
