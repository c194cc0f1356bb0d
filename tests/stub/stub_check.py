#!/usr/bin/python3
"""What keeps setup-stub.exe running on every Windows since 95 and every x86 since the 486,
checked on the built stubs and on installers setuppack builds from them:

  imports       the import table equals imports.txt (DLL and function), from the four system
                DLLs only; no C or C++ runtime DLL
  instructions  the PE32's code holds no instruction a 486 lacks (P6 cmov/fcmov/fcomi, MMX,
                SSE, rdtsc, cpuid, sysenter, long NOPs, ...): each one found is named with its
                address
  headers       a GUI program for Windows 4.0 (OS and subsystem version; x86_64: its own
                minimum), relocatable with NX (ASLR and DEP flags), and no static constructors
                (the link map's constructor list is empty: nothing would run them)

usage: stub_check.py CHECK SETUPPACK i386=STUB amd64=STUB
Exits 77 (skipped) while the Windows builds have not made the stubs.
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import SKIPPED, fail, manifest_item, read_file, write_file  # noqa: E402

import pefile  # noqa: E402  (Debian's python3-pefile, in /usr/bin/python3)

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
# (OS version, subsystem version) each machine's stub declares: Windows 95 and NT 4.0 for the
# PE32; the x86_64 linker's own minimum for the other.
VERSIONS = {"i386": ((4, 0), (4, 0)), "amd64": ((4, 0), (5, 2))}

# Instructions a 486 does not have, as objdump (AT&T syntax) names them, and registers only
# MMX and SSE code uses.
NOT_ON_A_486 = re.compile(
    r"^(cmov\w*|fcmov\w*|f(u)?comip?|rdtscp?|rdpmc|cpuid|sysenter|sysexit|syscall|pause|"
    r"cmpxchg8b|emms|femms|prefetch\w*|[lsm]fence|clflush|movnt\w*|fxsave|fxrstor|"
    r"nop[wl]|ud2)$")
SIMD_REGISTER = re.compile(r"%(x|y|z)?mm\d")


def import_table(pe):
    found = set()
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for imported in entry.imports:
            name = imported.name.decode() if imported.name else "#%d" % imported.ordinal
            found.add((entry.dll.decode(), name))
    return found


def pinned_imports():
    pinned = set()
    for line in read_file(os.path.join(HERE, "imports.txt")).splitlines(True):
        if line.strip() and not line.startswith("#"):
            dll, *names = line.split()
            pinned.update((dll, name) for name in names)
    return pinned


def check_imports(path, machine):
    found, pinned = import_table(pefile.PE(path)), pinned_imports()
    for dll, name in sorted(found - pinned):
        fail("%s imports %s!%s, which imports.txt does not list" % (path, dll, name))
    for dll, name in sorted(pinned - found):
        fail("%s no longer imports %s!%s: take it out of imports.txt and "
             "docs/COMPATIBILITY.md" % (path, dll, name))


def code_lines(path):
    """(address, mnemonic, operands) of every instruction in the executable sections."""
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", path],
                             check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        match = re.match(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$", line)
        if match:
            yield match.group(1), match.group(2), match.group(3)


def check_instructions(path, machine):
    if machine != "i386":
        return
    for address, mnemonic, operands in code_lines(path):
        if NOT_ON_A_486.match(mnemonic) or SIMD_REGISTER.search(operands):
            fail("%s: %s %s at 0x%s is not an i486 instruction" %
                 (path, mnemonic, operands, address))


def check_headers(path, machine):
    header = pefile.PE(path).OPTIONAL_HEADER
    (os_major, os_minor), (sub_major, sub_minor) = VERSIONS[machine]
    if header.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        fail("%s: subsystem %d, not a GUI program" % (path, header.Subsystem))
    if (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion) != (os_major, os_minor):
        fail("%s: OS version %d.%d" % (path, header.MajorOperatingSystemVersion,
                                                 header.MinorOperatingSystemVersion))
    if (header.MajorSubsystemVersion, header.MinorSubsystemVersion) != (sub_major, sub_minor):
        fail("%s: subsystem version %d.%d" % (path, header.MajorSubsystemVersion,
                                                        header.MinorSubsystemVersion))
    for flag, name in ((IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "ASLR (dynamic base)"),
                       (IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX")):
        if not header.DllCharacteristics & flag:
            fail("%s: the %s flag is gone" % (path, name))


def check_constructors(link_map):
    """The constructor list of the link map holds no input section: only its head and end."""
    text = read_file(link_map)
    listed = re.search(r"__CTOR_LIST__ = \.\n((?:.*\n)*?).*LONG 0x0\n", text)
    if not listed:
        fail(link_map + ": no constructor list found")
        return
    linked = [line for line in listed.group(1).splitlines()
              if re.match(r"^\s*\.ctors?\S*\s+0x", line)]
    if linked:
        fail("%s: static constructors are linked in, and nothing runs them:\n%s" %
             (link_map, "\n".join(linked)))


def built_installer(setuppack, stub, work):
    """An installer setuppack builds from the stub (one small stored file)."""
    folder = tempfile.mkdtemp(dir=work)
    write_file(os.path.join(folder, "A.TXT"), "a file\n")
    manifest = os.path.join(folder, "m.toml")
    write_file(manifest, manifest_item("A.TXT", "A.TXT", ["embedded", "overwrite"],
                                       "2001-10-11T17:42:12"))
    out = os.path.join(folder, "setup.exe")
    subprocess.run([setuppack, "build", manifest, "--stub", stub, "-o", out], check=True,
                   capture_output=True)
    return out


CHECKS = {"imports": check_imports, "instructions": check_instructions,
          "headers": check_headers}


def main():
    check, setuppack, stubs = sys.argv[1], sys.argv[2], dict(a.split("=", 1) for a in sys.argv[3:])
    if not all(os.path.exists(path) for path in stubs.values()):
        print("SKIPPED: build the win32 and win64 presets first")
        return SKIPPED
    with tempfile.TemporaryDirectory() as work:
        for machine, stub in stubs.items():
            print("%s: %s, %d bytes" % (machine, stub, os.path.getsize(stub)))
            for path in (stub, built_installer(setuppack, stub, work)):
                CHECKS[check](path, machine)
            if check == "headers":
                check_constructors(os.path.splitext(stub)[0] + ".map")


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
