#!/usr/bin/python3
"""The demo installer's GUI scenarios, each written once (the machine, what the user does, what
must result) and run on two Windows: the simulated one through setupsim, and Wine, where the
installer runs on the virtual display and qvdrive plays the user from inside the prefix. Each
run is checked against the scenario, then the two runs are compared: the dialogs and message
boxes (caption, text) in order, the launches, the installed files (names, bytes, last-write
times). What legitimately differs is listed in DIFFERENCES and handled by name.

usage: gui_scenarios.py BITS SOURCE_DIR NATIVE_BUILD_DIR [SCENARIO...]
  BITS 64: build/win64's installer under wine64; 32: the PE32 from build/win32 (what ships)
  under 32-bit Wine. scripts/test brings Wine up and exports QV_WINE64_PREFIX, QV_WINE32_PREFIX,
  QV_WINE64, QV_WINE32 and DISPLAY. Exit 77 (skipped, with the reason) without them, on a
  machine that runs no 32-bit code, or when the Windows builds are missing.
"""
import os
import json
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import (SKIPPED, demo_built, json_lines, manifest_item, stage_demo,  # noqa: E402
                    toml_value)

from ui_table import UI  # noqa: E402  (resources/ui_table.h, as the build wrote it)

DIRDLG_TITLE = UI["CAPTION_DIRDLG"]
PROGRESS_TITLE = UI["CAPTION_PROGRESSDLG"]
TEMPLATES = {DIRDLG_TITLE: UI["TEMPLATE_DIRDLG"].upper(),
             PROGRESS_TITLE: UI["TEMPLATE_PROGRESSDLG"].upper()}
EDIT, OK, HELP = UI["DIRDLG_EDIT"], UI["DIRDLG_OK"], UI["DIRDLG_HELP"]
ABORT, PERCENT = UI["PROGRESSDLG_ABORT"], UI["PROGRESSDLG_PERCENT"]
IDOK = 1
PRODUCT_KEY = UI["PRODUCT_REGISTRY_KEY"]
PLANTED = "C:\\Program.exe"  # where an unquoted "C:\Program Files\..." would find a program
USER_DATA = b"the user's own data"
# The user's database is older than the installation; both Windows must leave its date alone.
USER_DATA_WRITTEN = "2026-01-01T00:00:00Z"
USER_DATA_MTIME = 1767225600  # the same instant in seconds since 1970
STEP_TIMEOUT_MS = 30000

# What may differ between the two Windows, and how each comparison treats it.
DIFFERENCES = {
    "attributes": "Wine reports FILE_ATTRIBUTE_ARCHIVE for a file set to FILE_ATTRIBUTE_NORMAL",
    "program_files": "a PE32 on 64-bit Windows reads ProgramFilesDir from the 32-bit view "
                     "(C:\\Program Files (x86)); the simulated machine is given the same value",
    "markers": "the launched programs' own effects (their .ran marker files) exist only under Wine",
    "abort_point": "an abort lands at another point in real time than in virtual time: which "
                   "files exist and the length of the last one differ",
    "launch_order": "under Wine the launches are seen through their markers, so without order",
    "diskette_left_out": "setupsim's answers cannot insert a diskette: its machine holds every "
                         "diskette's files in A: at once, so its run lacks the 'Error locating "
                         "file' box of the diskette left out under Wine",
    "box_newlines": "Wine's message box shows each line break of its text as CR CR LF when read "
                    "back from its text control; texts are compared with that folded to CR LF",
}


def fail(what):
    raise AssertionError(what)


def expect(condition, what):
    if not condition:
        fail(what)


# ---------------------------------------------------------------------------------------------
# Scenarios: the machine, the user, what must result.

def scenario(name, steps=(("press", OK),), **kw):
    base = dict(name=name, steps=list(steps), directory_value=None, user_data=False,
                running_window=None, abort=False, corrupt=False, boxes=[],
                dialogs=["DIRDLG", "PROGRESSDLG"], installed="all", typed_target=None,
                diskettes=False, inserts=[], planted=False, windows_version=None, bits=(32, 64),
                signed=False)
    base.update(kw)
    return base


SCENARIOS = [
    # Accept the proposed directory; everything installed, both programs run.
    scenario("plain_install"),
    # The same on the Windows versions Wine can pretend to be (winecfg -v); the PE32 also on
    # Windows 98.
    scenario("plain_install_winxp", windows_version="winxp"),
    scenario("plain_install_win7", windows_version="win7"),
    scenario("plain_install_win98", windows_version="win98", bits=(32,)),
    # A program planted at C:\Program.exe (a copy of the demo's converter, which leaves a
    # marker wherever it runs) is never started in place of the programs under
    # "C:\Program Files": only the two installed programs run.
    scenario("planted_program", planted=True),
    # Second run over an earlier installation: the registry names the directory, so the
    # existing folder is accepted; the user's database (install only if absent) is kept.
    scenario("second_run", directory_value="target", user_data=True),
    # Two invalid directories (the Error box, the dialog stays), the help box, then a valid one.
    scenario("invalid_then_valid",
             steps=[("type", "QRVNE32"), ("press", OK), ("press", HELP),
                    ("type", "C:\\Quorvane"), ("press", OK),
                    ("type", "C:\\Quorvane\\QRVNE32"), ("press", OK)],
             boxes=[("Error", "Invalid Directory Name!"), ("Choose a Directory", None),
                    ("Error", "Directory must include QRVNE32 in its name")],
             typed_target="C:\\Quorvane\\QRVNE32"),
    # A damaged installer file: told so, nothing installed.
    scenario("corrupted", corrupt=True, steps=[], dialogs=[], installed="none",
             boxes=[("Aborting Install", "Install program is corrupted!")]),
    # Signed by setuppack sign with a throw-away certificate: installs as the unsigned one.
    scenario("signed_install", signed=True),
    # Signed, then one byte of the package block flipped: refused, nothing installed.
    scenario("signed_corrupted", signed=True, corrupt=True, steps=[], dialogs=[],
             installed="none", boxes=[("Aborting Install", "Install program is corrupted!")]),
    # The product is running: the guard's message, nothing installed.
    scenario("product_running", running_window="QVMain", steps=[], dialogs=[], installed="none",
             boxes=[("Aborting Install", None)]),
    # Abort Install part-way: the abort message; what was copied so far stays.
    scenario("abort_part_way", abort=True, installed="some",
             boxes=[("Aborting Install", "Aborting install at users request!")]),
    # Started from a diskette in A:, with files on two more diskettes. The user swaps them at
    # each "Change Diskettes" prompt, but leaves the third one out at first and inserts it at
    # the "Error locating file" prompt. inserts: (words of the box, diskette put into A:
    # before answering it). Played only under Wine (DIFFERENCES["diskette_left_out"]).
    scenario("diskettes", diskettes=True,
             inserts=[("(Disk 2)", "Disk 2"), ("Error locating file", "Disk 3")],
             boxes=[("Change Diskettes",
                     "Please insert the diskette labeled (Disk 2) into the (A:) drive."),
                    ("Change Diskettes",
                     "Please insert the diskette labeled (Disk 3) into the (A:) drive."),
                    ("Error locating file: QVFORMS.DAT", None)]),
]

# The diskette set: one file in the installer, a compressed one on "Disk 2", a stored
# critical one on "Disk 3".
DISKETTE_MANIFEST = (
    manifest_item("files/READ_ME.TXT", "READ_ME.TXT", ["embedded", "compressed", "overwrite"],
                  "2001-10-11T17:42:12") +
    manifest_item("files/QVHELP.HLP", "QVHELP.HLP", ["external", "compressed", "overwrite"],
                  "2001-10-10T09:15:30", disk="Disk 2") +
    manifest_item("files/QVFORMS.DAT", "QVFORMS.DAT", ["external", "overwrite", "critical"],
                  "2001-10-09T12:00:00", disk="Disk 3", compress="never"))


# ---------------------------------------------------------------------------------------------
# The installer under test

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
    open(os.path.join(pkg, "manifest.toml"), "w").write(DISKETTE_MANIFEST)
    os.makedirs(os.path.join(disks, "Disk 1"))
    installer = os.path.join(disks, "Disk 1", "SETUP.EXE")
    subprocess.run([os.path.join(native, "setuppack"), "build", os.path.join(pkg, "manifest.toml"),
                    "--stub", stub, "-o", installer, "--external-dir", disks],
                   check=True, capture_output=True)
    os.makedirs(os.path.join(disks, "all"))
    for disk in ("Disk 1", "Disk 2", "Disk 3"):
        for name in os.listdir(os.path.join(disks, disk)):
            shutil.copy(os.path.join(disks, disk, name), os.path.join(disks, "all"))
    packed = {name: open(os.path.join(pkg, "files", name), "rb").read()
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
    open(os.path.join(keys, "ext"), "w").write("extendedKeyUsage=codeSigning\n")
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
    data = bytearray(open(installer, "rb").read())
    data[len(data) // 2 if at is None else at] ^= 0x55
    open(damaged, "wb").write(bytes(data))
    return damaged


def packed_files(source):
    """Target path below the target directory -> the bytes packed for it (the demo files)."""
    files = {}
    for name in os.listdir(os.path.join(source, "demo", "files")):
        relative = "SAMPLES\\" + name if name == "SAMPLE1.QVL" else name
        files[relative] = open(os.path.join(source, "demo", "files", name), "rb").read()
    return files


# ---------------------------------------------------------------------------------------------
# Run on the simulated Windows

def host_tree(top):
    """Path below `top` with backslashes -> {"bytes": content} for every file there."""
    found = {}
    for folder, _, names in os.walk(top):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), top).replace("/", "\\")
            found[relative] = dict(bytes=open(os.path.join(folder, name), "rb").read())
    return found


def sim_machine(s, target, program_files, installer):
    lines = ['[[drive]]', 'letter = "A"', 'type = "removable"']
    if s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        lines += ['host_dir = ' + toml_value(os.path.join(os.path.dirname(installer), "..", "all"))]
    lines += ['[[drive]]', 'letter = "C"',
             'type = "fixed"', '[[registry]]',
             'key = ' + toml_value("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"),
             'name = "ProgramFilesDir"', 'value = ' + toml_value(program_files)]
    if s["directory_value"]:
        lines += ['[[registry]]', 'key = ' + toml_value(PRODUCT_KEY), 'name = "Directory"',
                  'value = ' + toml_value(target)]
    if s["user_data"]:
        lines += ['[[file]]', 'path = ' + toml_value(target + "\\QVDATA.DB"),
                  'content = ' + toml_value(USER_DATA.decode()),
                  'written = ' + USER_DATA_WRITTEN]
    if s["planted"]:
        lines += ['[[file]]', 'path = ' + toml_value(PLANTED), 'content = "MZ planted"']
    if s["running_window"]:
        lines += ['running_windows = [%s]' % toml_value(s["running_window"])]
        lines.insert(0, lines.pop())  # a top-level key goes before the tables
    return "\n".join(lines) + "\n"


def sim_answers(s):
    lines = ["press_ok = false"]
    for kind, value in s["steps"]:
        lines += ["[[action]]", 'dialog = "DIRDLG"']
        lines += ["type = " + toml_value(value), "control = %d" % EDIT] if kind == "type" else \
                 ["press = %d" % value]
    if s["abort"]:
        lines += ["[[action]]", 'dialog = "PROGRESSDLG"', "press = %d" % ABORT, "at = 200"]
    return "\n".join(lines) + "\n"


def run_sim(s, setupsim, installer, work, target, program_files):
    root = os.path.join(work, "sim-" + s["name"])
    machine, answers = root + ".machine.toml", root + ".answers.toml"
    open(machine, "w").write(sim_machine(s, target, program_files, installer))
    open(answers, "w").write(sim_answers(s))
    result = subprocess.run([setupsim, installer, "--json", "--root", root, "--machine", machine,
                             "--answers", answers], capture_output=True, text=True, timeout=120)
    expect(result.returncode == 0, "setupsim failed: " + result.stdout[-2000:] + result.stderr)
    transcript = json_lines(result.stdout)
    seen = []
    for e in transcript:
        if e["event"] == "dialog-start":
            seen.append(("dialog", e["template"]))
        elif e["event"] == "messagebox":
            seen.append(("box", e["caption"], e["text"]))
    launched = [e for e in transcript if e["event"] == "launch"]
    launches = sorted((as_program_sees_it(e["command"]), e["cwd"]) for e in launched)
    # Files on the simulated drive; those the run wrote carry their date and attributes.
    files = host_tree(os.path.join(root, "C", *target[3:].split("\\")))
    for e in transcript:
        relative = e.get("path", "")[len(target) + 1:]
        if e["event"] == "file" and relative in files:
            files[relative].update(written=e["written"], attributes=e["attributes"])
    exit_code = [e["code"] for e in transcript if e["event"] == "exit"]
    return dict(seen=seen, launches=launches, files=files, exit=exit_code[0] if exit_code else None,
                programs=[e["program"] for e in launched])


def as_program_sees_it(command):
    """The command line as the demo programs write it into their markers: their own path as
    the runtime hands it over (without the quotes around it), then the arguments."""
    if command.startswith('"') and '"' in command[1:]:
        return command[1:].replace('"', "", 1)
    return command


# ---------------------------------------------------------------------------------------------
# Run under Wine

class Wine:
    def __init__(self, bits, source, work):
        self.prefix = os.environ["QV_WINE%d_PREFIX" % bits]
        self.loader = os.environ["QV_WINE%d" % bits]
        self.wine64 = os.environ["QV_WINE64"]
        self.qvdrive = os.path.join(source, "build", "win64", "tests", "wine", "qvdrive.exe")
        self.demo_program = os.path.join(source, "build", "win%d" % bits, "demo", "qvconvrt.exe")
        self.work, self.bits = work, bits
        self.env = dict(os.environ, WINEPREFIX=self.prefix)
        self.view = "/reg:%d" % bits

    def host_path(self, windows_path):
        drive, rest = windows_path.split(":\\", 1)
        expect(drive.upper() == "C", "only C: paths live in the prefix")
        return os.path.join(self.prefix, "drive_c", *rest.split("\\"))

    def drive(self, *args, check=True, timeout=60):
        """Runs qvdrive; returns its exit code and stdout."""
        log = os.path.join(self.work, "qvdrive.err")
        with open(log, "ab") as err:
            result = subprocess.run([self.wine64, self.qvdrive] + [str(a) for a in args],
                                    env=self.env, stdout=subprocess.PIPE, stderr=err,
                                    stdin=subprocess.DEVNULL, timeout=timeout)
        if check and result.returncode != 0:
            fail("qvdrive %s failed (%d): %s" % (" ".join(map(str, args)), result.returncode,
                                                 open(log).read()[-500:]))
        return result.returncode, result.stdout.decode("latin-1")

    def reg(self, *args):
        """reg.exe on the registry view of the installer's bitness."""
        self.reg_plain(*(list(args) + [self.view]))

    def pretend_version(self, version):
        """The Windows version the prefix reports (winecfg -v), or back to Wine's default."""
        if version:
            if self.bits == 64 and version == "winxp":
                version = "winxp64"  # the 64-bit loader knows Windows XP by its x64 edition
            subprocess.run([self.loader, "winecfg", "-v", version], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, check=True)
        else:
            self.reg_plain("delete", "HKCU\\Software\\Wine", "/v", "Version", "/f")

    def reg_plain(self, *args):
        subprocess.run([self.wine64, "reg"] + list(args), env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def reset(self, targets):
        for target in targets:
            shutil.rmtree(self.host_path(target), ignore_errors=True)
        if os.path.exists(self.host_path(PLANTED)):
            os.remove(self.host_path(PLANTED))
        self.reg("delete", "HKLM\\" + PRODUCT_KEY.rsplit("\\", 1)[0], "/f")

    def start(self, installer, log, from_diskette=False):
        out = open(log, "wb")
        command = [self.loader, installer]
        if from_diskette:  # current directory A:\, as when started from a diskette
            command = [self.loader, "start", "/wait", "/d", "A:\\", "A:\\SETUP.EXE"]
        return subprocess.Popen(command, cwd=os.path.dirname(installer), env=self.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=out)

    def insert_diskette(self, folder):
        link = os.path.join(self.prefix, "dosdevices", "a:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)

    def add_floppy_drive(self, folder):
        """A: becomes a floppy drive holding `folder`. Wine's mount manager reads drive types
        when its services start: the prefix's server is restarted, its first process again
        writing to /dev/null."""
        self.reg_plain("add", "HKLM\\Software\\Wine\\Drives", "/v", "a:", "/t", "REG_SZ", "/d",
                       "floppy", "/f")
        self.insert_diskette(folder)
        server = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver64")
        quiet = dict(env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([server, "-k"], **quiet)
        subprocess.run([server, "-w"], **quiet)
        subprocess.run([server, "-p"], **quiet)
        subprocess.run([self.wine64, "wineboot"], **quiet)


class WineUser:
    """Plays the scenario's user: answers each dialog and message box as it appears."""

    def __init__(self, wine, s, process, disks=None):
        self.wine, self.s, self.process, self.disks = wine, s, process, disks
        self.steps = list(s["steps"])
        self.inserts = list(s["inserts"])
        self.reported, self.seen = [], []
        self.dirdlg = None

    def next_event(self):
        deadline = time.monotonic() + STEP_TIMEOUT_MS / 1000
        while time.monotonic() < deadline:
            code, out = self.wine.drive("next", 300, *self.reported, check=False)
            if code == 0:
                return out.rstrip("\r\n").replace("\r\r\n", "\r\n").split("\t")
            if self.process.poll() is not None:
                return None
        fail("nothing happened for %d ms" % STEP_TIMEOUT_MS)

    def play_directory_steps(self):
        while self.steps:
            kind, value = self.steps.pop(0)
            if kind == "type":
                self.wine.drive("type", self.dirdlg, EDIT, value)
            else:
                self.wine.drive("click", self.dirdlg, value)
                return

    def on_dialog(self, hwnd, title):
        self.seen.append(("dialog", TEMPLATES.get(title, title)))
        self.reported.append(hwnd)
        if title == DIRDLG_TITLE:
            self.dirdlg = hwnd
            self.play_directory_steps()
        elif title == PROGRESS_TITLE and self.s["abort"]:
            self.wine.drive("wait-change", hwnd, PERCENT, "00%", STEP_TIMEOUT_MS)
            self.wine.drive("click", hwnd, ABORT)

    def on_box(self, hwnd, caption, text):
        self.seen.append(("box", caption, text))
        if self.inserts and self.inserts[0][0] in caption + " " + text:
            self.wine.insert_diskette(os.path.join(self.disks, self.inserts.pop(0)[1]))
        self.wine.drive("answer", hwnd, IDOK)
        if self.dirdlg and self.steps:
            self.play_directory_steps()

    def play(self):
        while True:
            event = self.next_event()
            if event is None:
                return
            if event[0] == "dialog":
                self.on_dialog(event[1], event[2])
            else:
                self.on_box(event[1], event[2], event[3] if len(event) > 3 else "")


def wine_files(wine, target):
    found = host_tree(wine.host_path(target))
    if found:
        paths = [target + "\\" + relative for relative in sorted(found)]
        _, out = wine.drive("stat", *paths)
        for line in out.splitlines():
            path, attributes, written, size = line.rstrip("\r").split("\t")
            entry = found[path[len(target) + 1:]]
            entry.update(written=written, attributes=int(attributes, 16))
            expect(int(size) == len(entry["bytes"]), path + ": size through the API")
    return found


def prepare_wine_machine(wine, s, target):
    if s["planted"]:
        shutil.copy(wine.demo_program, wine.host_path(PLANTED))
    if s["directory_value"]:
        wine.reg("add", "HKLM\\" + PRODUCT_KEY, "/v", "Directory", "/t", "REG_SZ", "/d", target,
                 "/f")
    if s["user_data"]:
        os.makedirs(wine.host_path(target), exist_ok=True)
        open(wine.host_path(target + "\\QVDATA.DB"), "wb").write(USER_DATA)
        os.utime(wine.host_path(target + "\\QVDATA.DB"), (USER_DATA_MTIME, USER_DATA_MTIME))
    if s["running_window"]:
        holder = subprocess.Popen([wine.wine64, wine.qvdrive, "hold", s["running_window"], "120000"],
                                  env=wine.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wine.drive("find", s["running_window"], STEP_TIMEOUT_MS)
        return holder
    return None


def run_wine(s, wine, installer, target):
    holder = prepare_wine_machine(wine, s, target)
    log = os.path.join(wine.work, "wine-%s.log" % s["name"])
    disks = os.path.dirname(os.path.dirname(installer)) if s["diskettes"] else None
    if disks:
        wine.add_floppy_drive(os.path.join(disks, "Disk 1"))
    if s["windows_version"]:
        wine.pretend_version(s["windows_version"])
    process = wine.start(installer, log, from_diskette=bool(disks))
    try:
        user = WineUser(wine, s, process, disks)
        user.play()
        exit_code = process.wait(timeout=STEP_TIMEOUT_MS / 1000)
    finally:
        if process.poll() is None:
            process.kill()
        if s["windows_version"]:
            wine.pretend_version(None)
        if holder:
            wine.drive("close", s["running_window"], check=False)
            holder.wait(timeout=30)
    files = wine_files(wine, target)
    launches, programs = [], []
    for relative, entry in list(files.items()):
        if relative.endswith(".ran"):
            folder = target + ("\\" + relative.rsplit("\\", 1)[0] if "\\" in relative else "")
            launches.append((entry["bytes"].decode("latin-1").strip(), folder))
            # A program's marker is named after its own file; the planted one runs as
            # C:\Program.exe wherever its marker lands.
            name = relative.rsplit("\\", 1)[-1][:-len(".ran")]
            programs.append(PLANTED if name == PLANTED[3:] else folder + "\\" + name)
            del files[relative]
    return dict(seen=user.seen, launches=sorted(launches), files=files, exit=exit_code,
                programs=programs)


# ---------------------------------------------------------------------------------------------
# Checks

def check_run(s, run, packed, where):
    dialogs = [e[1] for e in run["seen"] if e[0] == "dialog"]
    expect(dialogs == s["dialogs"], "%s: dialogs %s" % (where, dialogs))
    boxes = [e[1:] for e in run["seen"] if e[0] == "box"]
    wanted = s["boxes"]
    if where == "sim" and s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        wanted = [b for b in wanted if not b[0].startswith("Error locating file")]
    expect(len(boxes) == len(wanted) and all(
        caption == want_caption and (want_text is None or text == want_text)
        for (caption, text), (want_caption, want_text) in zip(boxes, wanted)),
        "%s: message boxes %s" % (where, boxes))
    expect(run["exit"] == 0, "%s: exit code %s" % (where, run["exit"]))
    files = run["files"]
    if s["installed"] == "none":
        expect(not files, "%s: nothing installed, found %s" % (where, sorted(files)))
        return
    if s["installed"] == "all":
        for relative, data in packed.items():
            want = USER_DATA if s["user_data"] and relative == "QVDATA.DB" else data
            expect(relative in files and files[relative]["bytes"] == want,
                   "%s: %s holds the packed bytes" % (where, relative))
        expect(files["READ_ME.TXT"]["written"] == "2001-10-11T17:42:12Z",
               "%s: READ_ME.TXT last written %s" % (where, files["READ_ME.TXT"]["written"]))
        if s["diskettes"]:
            return
        expect(len(run["launches"]) == 2, "%s: both programs launched: %s" % (where, run["launches"]))
        programs = [p.lower() for p in run["programs"]]
        expect(PLANTED.lower() not in programs,
               "%s: the planted %s was started: %s" % (where, PLANTED, programs))
        # Still running when the installer deletes it, as the simulated run predicts.
        expect("QVCONVRT.EXE" in files, "%s: the converter stays while it runs" % where)
        return
    # Aborted: what was copied so far stays, the last file possibly cut short.
    for relative, entry in files.items():
        if relative in packed:
            expect(packed[relative].startswith(entry["bytes"]),
                   "%s: %s is a prefix of the packed bytes" % (where, relative))


def compare_aborted(sim, wine, packed):
    """DIFFERENCES["abort_point"]: each run stopped at its own point. Both keep files in
    installation order; where both hold a file, one's bytes begin the other's, and a file
    complete in both has the same date."""
    for relative in set(sim["files"]) & set(wine["files"]):
        a, b = sim["files"][relative]["bytes"], wine["files"][relative]["bytes"]
        expect(a.startswith(b) or b.startswith(a), relative + ": bytes differ")
        if a == b == packed.get(relative):
            expect(sim["files"][relative]["written"] == wine["files"][relative]["written"],
                   relative + ": dates differ")
    for run in (sim, wine):  # a program runs only once its own file is complete
        for command, _ in run["launches"]:
            name = command.rsplit("\\", 1)[-1]
            # Gone is fine: a program deleted after its start may already have ended (a loaded
            # machine starts and ends it before the installer's deletion).
            expect(name not in run["files"] or run["files"][name]["bytes"] == packed.get(name),
                   name + " launched before it was complete")


def compare(s, sim, wine, packed):
    wine_seen = wine["seen"]
    if s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        wine_seen = [e for e in wine_seen if not e[1].startswith("Error locating file")]
    expect(sim["seen"] == wine_seen,
           "dialogs and boxes differ:\n  sim  %s\n  wine %s" % (sim["seen"], wine_seen))
    if s["installed"] == "some":
        compare_aborted(sim, wine, packed)
        return
    expect(sim["launches"] == wine["launches"],
           "launches differ (%s):\n  sim  %s\n  wine %s" % (DIFFERENCES["launch_order"],
                                                        sim["launches"], wine["launches"]))
    expect(sorted(sim["files"]) == sorted(wine["files"]),
           "installed files differ:\n  sim  %s\n  wine %s" % (sorted(sim["files"]),
                                                          sorted(wine["files"])))
    for relative, entry in sim["files"].items():
        other = wine["files"][relative]
        expect(entry["bytes"] == other["bytes"], relative + ": bytes differ")
        attributes = entry.get("attributes", other["attributes"])
        expect(attributes == other["attributes"] or (attributes, other["attributes"]) == (0x80, 0x20),
               "%s: attributes %#x (sim) / %#x (wine)" % (relative, attributes, other["attributes"]))
        expect(entry.get("written", other["written"]) == other["written"],
               "%s: last written %s (sim) / %s (wine)" % (relative, entry.get("written"),
                                                          other["written"]))


# ---------------------------------------------------------------------------------------------

def skip(reason):
    print("SKIPPED: " + reason)
    return SKIPPED


class Suite:
    """What every scenario of one bitness shares."""

    def __init__(self, bits, source, native, work):
        self.bits, self.source, self.native, self.work = bits, source, native, work
        self.installer = pack_installer(bits, source, native, work)
        self.program_files = "C:\\Program Files" + (" (x86)" if bits == 32 else "")
        self.default_target = self.program_files + "\\VarnookSW\\QRVNE32"
        self.packed = packed_files(source)
        self.setupsim = os.path.join(native, "setupsim")


def run_scenario(s, suite, wine):
    """Runs one scenario on both Windows, checks each run and compares them; raises on a fault."""
    exe, packed = suite.installer, suite.packed
    if s["signed"]:
        exe = signed_copy(suite.native, suite.installer, suite.work)
    if s["corrupt"]:
        at = package_middle(suite.native, exe) if s["signed"] else None
        exe = corrupted_copy(exe, suite.work, at)
    if s["diskettes"]:
        exe, packed = pack_diskettes(suite.bits, suite.source, suite.native, suite.work)
    target = s["typed_target"] or suite.default_target
    wine.reset([suite.default_target, "C:\\Quorvane\\QRVNE32"])
    sim = run_sim(s, suite.setupsim, exe, suite.work, target, suite.program_files)
    check_run(s, sim, packed, "sim")
    real = run_wine(s, wine, exe, target)
    check_run(s, real, packed, "wine")
    compare(s, sim, real, packed)


def run_all(suite, chosen):
    wine = Wine(suite.bits, suite.source, suite.work)
    failures = 0
    for s in SCENARIOS:
        if (chosen and s["name"] not in chosen) or suite.bits not in s["bits"]:
            continue
        started = time.monotonic()
        try:
            run_scenario(s, suite, wine)
            print("ok     %-20s %.1f s" % (s["name"], time.monotonic() - started))
        except (AssertionError, subprocess.SubprocessError, OSError) as error:
            failures += 1
            print("FAILED %-20s %s" % (s["name"], error))
    print("differences allowed by name:")
    for key, text in DIFFERENCES.items():
        print("  %s: %s" % (key, text))
    return failures


def main():
    bits, source, native = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    if os.environ.get("QV_WINE_READY") != "1":
        return skip("Wine is not up (scripts/test brings it up)")
    if bits == 32 and not os.environ.get("QV_WINE32_PREFIX"):
        return skip("the PE32 under 32-bit Wine: " + os.environ.get("QV_WINE32_SKIP", "no prefix"))
    work = tempfile.mkdtemp(prefix="qv-gui%d-" % bits)
    try:
        suite = Suite(bits, source, native, work)
        if suite.installer is None:
            return skip("build the win32 and win64 presets first")
        return 1 if run_all(suite, sys.argv[4:]) else 0
    finally:
        if not os.environ.get("QV_KEEP_WORK"):  # set it to look at a failed run's files
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
