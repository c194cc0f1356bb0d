"""A GUI scenario under Wine: the prefix (registry, drives, Windows version), the installer
started on the virtual display, the user played through qvdrive from inside the prefix, and
what the run shows, read back through the API."""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import read_file, require, stop, write_file  # noqa: E402

from gui_controls import ABORT, DIRDLG_TITLE, EDIT, IDOK, PERCENT, PROGRESS_TITLE, TEMPLATES  # noqa: E402
from gui_installers import host_tree  # noqa: E402
from gui_scenario_table import PLANTED, PRODUCT_KEY, USER_DATA, USER_DATA_MTIME  # noqa: E402

STEP_TIMEOUT_MS = 30000


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
        require(drive.upper() == "C", "only C: paths live in the prefix")
        return os.path.join(self.prefix, "drive_c", *rest.split("\\"))

    def drive(self, *args, check=True, timeout=60):
        """Runs qvdrive; returns its exit code and stdout."""
        log = os.path.join(self.work, "qvdrive.err")
        with open(log, "ab") as err:
            result = subprocess.run([self.wine64, self.qvdrive] + [str(a) for a in args],
                                    env=self.env, stdout=subprocess.PIPE, stderr=err,
                                    stdin=subprocess.DEVNULL, timeout=timeout)
        if check and result.returncode != 0:
            stop("qvdrive %s failed (%d): %s" % (" ".join(map(str, args)), result.returncode,
                                                 read_file(log)[-500:]))
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
        command = [self.loader, installer]
        if from_diskette:  # current directory A:\, as when started from a diskette
            command = [self.loader, "start", "/wait", "/d", "A:\\", "A:\\SETUP.EXE"]
        with open(log, "wb") as out:  # the started process keeps its own copy open
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
        stop("nothing happened for %d ms" % STEP_TIMEOUT_MS)

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
            require(int(size) == len(entry["bytes"]), path + ": size through the API")
    return found


def prepare_wine_machine(wine, s, target):
    if s["planted"]:
        shutil.copy(wine.demo_program, wine.host_path(PLANTED))
    if s["directory_value"]:
        wine.reg("add", "HKLM\\" + PRODUCT_KEY, "/v", "Directory", "/t", "REG_SZ", "/d", target,
                 "/f")
    if s["user_data"]:
        os.makedirs(wine.host_path(target), exist_ok=True)
        write_file(wine.host_path(target + "\\QVDATA.DB"), USER_DATA, "wb")
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
