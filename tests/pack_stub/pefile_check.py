#!/usr/bin/python3
"""Builds an installer from each stub given that exists and checks it with pefile.

usage: pefile_check.py SETUPPACK [--product MACHINE=STUB]... [--installer MACHINE=FILE]... STUB...
(missing files are passed over; exit 77 when none exists). MACHINE is i386 or amd64.
Checks on every installer built: pefile parses the image without warnings, finds COMPFILES of
type BINARY, its data's file offset equals the value after the package offset marker, the
trailer sum and the PE header checksum hold, setuppack verify accepts the file, and the
application manifest (type 24, id 1, COMPFILES' language) is well-formed XML requesting an
execution level in the asm.v2 trustInfo, declaring five Windows versions and no DPI awareness.
The demo installers must also carry an icon group under a numeric id whose images are all
present, and version information naming the product.
A --product stub is the real installer program: it and the installer built from it must also
be of that machine, GUI programs importing only system DLLs (no compiler runtime DLLs), and
carry the dialogs DIRDLG and PROGRESSDLG and the help text DIRHLP. An --installer is an
installer already built (the demo's): it gets both sets of checks as it is.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import SKIPPED, manifest_item  # noqa: E402

try:
    import pefile
except ImportError:
    print("python3-pefile is not installed")
    sys.exit(SKIPPED)

MARKER = b"QVPKGOFFSET~3.2\0"
MANIFEST = (manifest_item("readme.txt", "READ_ME.TXT", ["embedded", "compressed", "overwrite"],
                          "2001-10-11T17:42:12") +
            manifest_item("data.bin", "DATA.BIN", ["embedded"], "2001-10-11T17:42:12"))


MACHINES = {"i386": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            "amd64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}
GUI_SUBSYSTEM = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]
# DLLs that come with every Windows the installer runs on.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll",
               "shell32.dll", "comctl32.dll", "comdlg32.dll", "version.dll"}
PRODUCT_RESOURCES = [("DIRDLG", pefile.RESOURCE_TYPE["RT_DIALOG"]),
                     ("PROGRESSDLG", pefile.RESOURCE_TYPE["RT_DIALOG"]), ("DIRHLP", "TEXT")]


def resource_names(pe):
    """(NAME, type) for every named resource; type is a number or an upper-case name."""
    found = set()
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind_key = str(kind.name).upper() if kind.name is not None else kind.id
        for entry in kind.directory.entries:
            if entry.name is not None:
                found.add((str(entry.name).upper(), kind_key))
    return found


def product_problems(path, machine):
    """What the real installer program must be, as its own file and inside an installer."""
    pe = pefile.PE(path)
    problems = []
    if pe.FILE_HEADER.Machine != MACHINES[machine]:
        problems.append("machine %#x, not %s" % (pe.FILE_HEADER.Machine, machine))
    if pe.OPTIONAL_HEADER.Subsystem != GUI_SUBSYSTEM:
        problems.append("subsystem %d, not the GUI" % pe.OPTIONAL_HEADER.Subsystem)
    imports = [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    foreign = [dll for dll in imports if dll not in SYSTEM_DLLS]
    if foreign:
        problems.append("imports from DLLs that are not the system's: " + ", ".join(foreign))
    names = resource_names(pe)
    for name, kind in PRODUCT_RESOURCES:
        if (name, kind) not in names:
            problems.append("resource %s (type %s) missing" % (name, kind))
    return problems


def compfiles(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.name is None or str(kind.name) != "BINARY":
            continue
        for name in kind.directory.entries:
            if name.name is not None and str(name.name) == "COMPFILES":
                leaf = name.directory.entries[0]
                return leaf.id, pe.get_offset_from_rva(leaf.data.struct.OffsetToData), leaf.data.struct.Size
    return None


ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V2 = "{urn:schemas-microsoft-com:asm.v2}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
LEVELS = {"requireAdministrator", "highestAvailable", "asInvoker"}


def id_resources(pe, kind):
    """{id: [(language, bytes)]} of the resources of numeric type `kind`."""
    found = {}
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for name in entry.directory.entries:
            if name.id is None:
                continue
            found[name.id] = [(leaf.id, pe.get_data(leaf.data.struct.OffsetToData, leaf.data.struct.Size))
                              for leaf in name.directory.entries]
    return found


def manifest_problems(pe, language):
    manifests = id_resources(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
    if list(manifests) != [1] or len(manifests[1]) != 1:
        return ["application manifest: want one resource 24/1, found %s" % manifests]
    leaf_language, xml = manifests[1][0]
    problems = [] if leaf_language == language else ["application manifest in language %d" % leaf_language]
    try:
        root = ElementTree.fromstring(xml)
    except ElementTree.ParseError as error:
        return problems + ["application manifest is not well-formed: %s" % error]
    level = root.find(f"{ASM_V2}trustInfo/{ASM_V2}security/{ASM_V2}requestedPrivileges/"
                      f"{ASM_V2}requestedExecutionLevel")
    if root.tag != ASM_V1 + "assembly" or level is None or level.get("level") not in LEVELS:
        problems.append("application manifest: no execution level in an asm.v2 trustInfo")
    systems = root.findall(f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")
    if len(systems) != 5:
        problems.append("application manifest declares %d Windows versions, not 5" % len(systems))
    if b"dpiAware" in xml or b"dpiAwareness" in xml:
        problems.append("application manifest declares DPI awareness")
    return problems


def icon_and_version_problems(pe):
    problems = []
    groups = id_resources(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    icons = id_resources(pe, pefile.RESOURCE_TYPE["RT_ICON"])
    if not groups:
        problems.append("no icon group under a numeric id")
    for group_id, leaves in groups.items():
        data = leaves[0][1]
        count = struct.unpack_from("<H", data, 4)[0]
        for i in range(count):
            size, icon_id = struct.unpack_from("<IH", data, 6 + 14 * i + 8)
            if icon_id not in icons or len(icons[icon_id][0][1]) != size:
                problems.append("icon group %d names icon %d, which is missing or of another size"
                                % (group_id, icon_id))
    tables = [table.entries for info in getattr(pe, "FileInfo", [[]])[0]
              for table in getattr(info, "StringTable", [])]
    if not any(b"ProductName" in entries for entries in tables):
        problems.append("no version information naming the product")
    return problems


def check(setuppack, stub, work):
    out = os.path.join(work, os.path.basename(os.path.dirname(stub)) + "-" +
                       os.path.basename(stub) + ".installer.exe")
    subprocess.run([setuppack, "build", os.path.join(work, "m.toml"), "--stub", stub, "-o", out], check=True)
    return installer_problems(setuppack, out), out


def installer_problems(setuppack, out):
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
    return problems + manifest_problems(pe, language)


def machine_and_path(text):
    machine, _, path = text.partition("=")
    if machine not in MACHINES or not path:
        raise argparse.ArgumentTypeError("MACHINE=PATH with MACHINE i386 or amd64")
    return machine, path


def report(what, problems):
    print(what + ": " + ("ok" if not problems else "; ".join(problems)))
    return bool(problems)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("setuppack")
    parser.add_argument("--product", type=machine_and_path, action="append", default=[])
    parser.add_argument("--installer", type=machine_and_path, action="append", default=[])
    parser.add_argument("stubs", nargs="*")
    args = parser.parse_intermixed_args()
    exists = lambda pairs: [(m, p) for m, p in pairs if os.path.exists(p)]
    products, installers = exists(args.product), exists(args.installer)
    stubs = [(None, s) for s in args.stubs if os.path.exists(s)] + products
    if not stubs and not installers:
        print("no stub built; nothing to check")
        return SKIPPED
    failed = False
    with tempfile.TemporaryDirectory() as work:
        open(os.path.join(work, "m.toml"), "w").write(MANIFEST)
        open(os.path.join(work, "readme.txt"), "w").write("Quorvane readme\r\n" * 300)
        open(os.path.join(work, "data.bin"), "wb").write(os.urandom(5000))
        for machine, stub in stubs:
            problems, built = check(args.setuppack, stub, work)
            if machine:
                problems += product_problems(stub, machine)
                problems += ["built installer: " + p for p in product_problems(built, machine)]
            failed |= report(stub, problems)
        for machine, installer in installers:
            problems = installer_problems(args.setuppack, installer)
            problems += icon_and_version_problems(pefile.PE(installer))
            failed |= report(installer, problems + product_problems(installer, machine))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
