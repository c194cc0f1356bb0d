"""The installers the GUI scenarios run: the demo packed by setuppack for one bitness, the
diskette set, a signed copy, a damaged copy; and the files on the host they are compared with."""
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import demo_built, read_file, stage_demo, write_file  # noqa: E402

from gui_scenario_table import DISKETTE_MANIFEST  # noqa: E402


def pack_installer(bits, source, native, work):
    win = os.path.join(source, "build", "win64" if bits == 64 else "win32")
    if not demo_built(win):
        return None
    manifest = stage_demo(source, win, os.path.join(work, "pkg"))
    installer = os.path.join(work, "setup.exe")
    subprocess.run([os.path.join(native, "setuppack"), "build", manifest,
                    "--stub", os.path.join(win, "setup-stub.exe"), "-o", installer],
                   check=True, capture_output=True)
    return installer


def pack_diskettes(bits, source, native, work):
    """The diskette set: DISKS/Disk 1 holds SETUP.EXE, Disk 2 and Disk 3 the external files;
    DISKS/all holds all of them for the simulated machine."""
    stub = os.path.join(source, "build", "win64" if bits == 64 else "win32", "setup-stub.exe")
    pkg, disks = os.path.join(work, "diskette-pkg"), os.path.join(work, "disks")
    os.makedirs(os.path.join(pkg, "files"))
    for name in ("READ_ME.TXT", "QVHELP.HLP", "QVFORMS.DAT"):
        shutil.copy(os.path.join(source, "demo", "files", name), os.path.join(pkg, "files"))
    write_file(os.path.join(pkg, "manifest.toml"), DISKETTE_MANIFEST)
    os.makedirs(os.path.join(disks, "Disk 1"))
    installer = os.path.join(disks, "Disk 1", "SETUP.EXE")
    subprocess.run([os.path.join(native, "setuppack"), "build", os.path.join(pkg, "manifest.toml"),
                    "--stub", stub, "-o", installer, "--external-dir", disks],
                   check=True, capture_output=True)
    os.makedirs(os.path.join(disks, "all"))
    for disk in ("Disk 1", "Disk 2", "Disk 3"):
        for name in os.listdir(os.path.join(disks, disk)):
            shutil.copy(os.path.join(disks, disk, name), os.path.join(disks, "all"))
    packed = {name: read_file(os.path.join(pkg, "files", name), "rb")
              for name in os.listdir(os.path.join(pkg, "files"))}
    return installer, packed


def signed_copy(native, installer, work):
    """The installer signed by setuppack sign with a throw-away CA and code-signing certificate
    made by openssl for this run (scripts/lib.sh installs osslsigncode)."""
    keys = os.path.join(work, "keys")
    os.makedirs(keys, exist_ok=True)
    ssl = [["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", "2", "-subj", "/CN=Scenario CA"],
           ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", "k.pem", "-out", "c.csr", "-subj",
            "/CN=Scenario Signer"],
           ["x509", "-req", "-in", "c.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "c.pem", "-days", "2", "-extfile", "ext"]]
    write_file(os.path.join(keys, "ext"), "extendedKeyUsage=codeSigning\n")
    for args in ssl:
        subprocess.run(["openssl", *args], cwd=keys, check=True, capture_output=True)
    signed = os.path.join(work, "signed.exe")
    subprocess.run([os.path.join(native, "setuppack"), "sign", installer, "-o", signed,
                    "--cert", "c.pem", "--key", "k.pem"], cwd=keys, check=True,
                   capture_output=True)
    subprocess.run([os.path.join(native, "setuppack"), "verify", "--ca", "ca.pem", signed],
                   cwd=keys, check=True, capture_output=True)
    return signed


def package_middle(native, installer):
    """A file offset in the middle of the package block."""
    listing = subprocess.run([os.path.join(native, "setuppack"), "list", "--json", installer],
                             check=True, capture_output=True, text=True).stdout
    block = json.loads(listing)["compfiles"]
    return block["offset"] + block["size"] // 2


def corrupted_copy(installer, work, at=None):
    damaged = os.path.join(work, "damaged.exe")
    data = bytearray(read_file(installer, "rb"))
    data[len(data) // 2 if at is None else at] ^= 0x55
    write_file(damaged, bytes(data), "wb")
    return damaged


def packed_files(source):
    """Target path below the target directory -> the bytes packed for it (the demo files)."""
    files = {}
    for name in os.listdir(os.path.join(source, "demo", "files")):
        relative = "SAMPLES\\" + name if name == "SAMPLE1.QVL" else name
        files[relative] = read_file(os.path.join(source, "demo", "files", name), "rb")
    return files



def host_tree(top):
    """Path below `top` with backslashes -> {"bytes": content} for every file there."""
    found = {}
    for folder, _, names in os.walk(top):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), top).replace("/", "\\")
            found[relative] = dict(bytes=read_file(os.path.join(folder, name), "rb"))
    return found
