#!/usr/bin/python3
"""Builds an installer from each stub given that exists and checks it with pefile.

usage: pefile_check.py SETUPPACK STUB...   (missing stubs are passed over; exit 77 when none
exists). Checks: pefile parses the image without warnings, finds COMPFILES of type BINARY,
its data's file offset equals the value after the package offset marker, the trailer sum
and the PE header checksum hold, and setuppack verify accepts the file.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import pefile
except ImportError:
    print("python3-pefile is not installed")
    sys.exit(77)

MARKER = b"QVPKGOFFSET~3.2\0"
MANIFEST = """
[[item]]
source = "readme.txt"
target = "READ_ME.TXT"
flags = ["embedded", "compressed", "overwrite"]
date = 2001-10-11T17:42:12

[[item]]
source = "data.bin"
target = "DATA.BIN"
flags = ["embedded"]
date = 2001-10-11T17:42:12
"""


def compfiles(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.name is None or str(kind.name) != "BINARY":
            continue
        for name in kind.directory.entries:
            if name.name is not None and str(name.name) == "COMPFILES":
                leaf = name.directory.entries[0]
                return leaf.id, pe.get_offset_from_rva(leaf.data.struct.OffsetToData), leaf.data.struct.Size
    return None


def check(setuppack, stub, work):
    out = os.path.join(work, os.path.basename(stub) + ".installer.exe")
    subprocess.run([setuppack, "build", os.path.join(work, "m.toml"), "--stub", stub, "-o", out], check=True)
    data = open(out, "rb").read()
    pe = pefile.PE(out)
    problems = ["pefile: " + w for w in pe.get_warnings()]
    found = compfiles(pe)
    if found is None:
        return problems + ["COMPFILES/BINARY not found"]
    language, offset, size = found
    if data.count(MARKER) != 1:
        problems.append("marker occurs %d times" % data.count(MARKER))
    patched = struct.unpack_from("<I", data, data.find(MARKER) + len(MARKER))[0]
    if patched != offset:
        problems.append("packageOffset %d, COMPFILES data at %d" % (patched, offset))
    if struct.unpack_from("<I", data, len(data) - 4)[0] != sum(data[:-4]) & 0xFFFFFFFF:
        problems.append("trailer does not hold")
    if not pe.verify_checksum():
        problems.append("PE header checksum does not hold")
    if subprocess.run([setuppack, "verify", out]).returncode != 0:
        problems.append("setuppack verify failed")
    return problems


def main():
    setuppack, stubs = sys.argv[1], [s for s in sys.argv[2:] if os.path.exists(s)]
    if not stubs:
        print("no stub built; nothing to check")
        return 77
    failed = False
    with tempfile.TemporaryDirectory() as work:
        open(os.path.join(work, "m.toml"), "w").write(MANIFEST)
        open(os.path.join(work, "readme.txt"), "w").write("Quorvane readme\r\n" * 300)
        open(os.path.join(work, "data.bin"), "wb").write(os.urandom(5000))
        for stub in stubs:
            problems = check(setuppack, stub, work)
            print(stub + ": " + ("ok" if not problems else "; ".join(problems)))
            failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
