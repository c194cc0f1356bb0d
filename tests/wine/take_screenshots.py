#!/usr/bin/python3
"""Screenshots of the demo installer under wine64 on the virtual display, for the README:
the blue main window with the directory dialog, the help box, the progress dialog part-way and
the "Aborting Install" message after Abort Install. scripts/screenshots sets up Wine and calls
this; it reuses the GUI scenarios' packing (gui_installers.py) and driving (gui_wine_run.py).

usage: take_screenshots.py SOURCE_DIR NATIVE_BUILD_DIR OUTPUT_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import require  # noqa: E402

from gui_controls import ABORT, DIRDLG_TITLE, HELP, IDOK, OK, PERCENT, PROGRESS_TITLE  # noqa: E402
from gui_installers import pack_installer  # noqa: E402
from gui_scenario_table import scenario  # noqa: E402
from gui_wine_run import STEP_TIMEOUT_MS, Wine, WineUser  # noqa: E402


def capture(path):
    subprocess.run(["import", "-window", "root", path], check=True, timeout=60)
    print("wrote " + path)


def next_event(wine, process, reported):
    user = WineUser(wine, scenario("screenshots"), process)
    user.reported = reported
    event = user.next_event()
    require(event is not None, "the installer ended early")
    return event


def main():
    source, native, out = sys.argv[1:4]
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="qv-shots-")
    try:
        installer = pack_installer(64, source, native, work)
        require(installer is not None, "build the native and win64 presets first")
        wine = Wine(64, source, work)
        wine.reset(["C:\\Program Files\\VarnookSW\\QRVNE32"])
        process = wine.start(installer, os.path.join(work, "installer.log"))
        try:
            reported = []
            kind, dirdlg, title = next_event(wine, process, reported)
            require(title == DIRDLG_TITLE, "the directory dialog first, not " + title)
            reported.append(dirdlg)
            capture(os.path.join(out, "directory-dialog.png"))

            wine.drive("click", dirdlg, HELP)
            help_box = next_event(wine, process, reported)
            require(help_box[0] == "box", "the help box")
            capture(os.path.join(out, "help.png"))
            wine.drive("answer", help_box[1], IDOK)

            wine.drive("click", dirdlg, OK)
            kind, progress, title = next_event(wine, process, reported)
            require(title == PROGRESS_TITLE, "the progress dialog, not " + title)
            reported.append(progress)
            wine.drive("wait-change", progress, PERCENT, "00%", STEP_TIMEOUT_MS)
            capture(os.path.join(out, "progress.png"))

            wine.drive("click", progress, ABORT)
            abort_box = next_event(wine, process, reported)
            require(abort_box[0] == "box" and abort_box[2] == "Aborting Install",
                    "the abort message, not %s" % abort_box)
            capture(os.path.join(out, "aborting.png"))
            wine.drive("answer", abort_box[1], IDOK)
            process.wait(timeout=60)
        finally:
            if process.poll() is None:
                process.kill()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
