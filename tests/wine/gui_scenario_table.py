"""The GUI scenarios, each written once: the machine, what the user does, what must result;
what may differ between the two Windows (DIFFERENCES); the diskette set's manifest."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import manifest_item  # noqa: E402

from gui_controls import HELP, OK, PRODUCT_KEY  # noqa: E402  (re-exported)

PLANTED = "C:\\Program.exe"  # where an unquoted "C:\Program Files\..." would find a program
USER_DATA = b"the user's own data"
# The user's database is older than the installation; both Windows must leave its date alone.
USER_DATA_WRITTEN = "2026-01-01T00:00:00Z"
USER_DATA_MTIME = 1767225600  # the same instant in seconds since 1970

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
