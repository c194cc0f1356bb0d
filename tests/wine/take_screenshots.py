#!/usr/bin/python3
"""Screenshots of the demo installer under wine64 on the virtual display, for the README:
the blue main window with the directory dialog, the help box, the progress dialog part-way and
the "Aborting Install" message after Abort Install. scripts/screenshots sets up Wine and calls
this; it reuses the GUI scenarios' packing and driving.

usage: take_screenshots.py SOURCE_DIR NATIVE_BUILD_DIR OUTPUT_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_scenarios as gui  # noqa: E402


def capture(path):
    subprocess.run(["import", "-window", "root", path], check=True, timeout=60)
    print("wrote " + path)


def next_event(wine, process, reported):
    user = gui.WineUser(wine, gui.scenario("screenshots"), process)
    user.reported = reported
    event = user.next_event()
    gui.expect(event is not None, "the installer ended early")
    return event


def main():
    source, native, out = sys.argv[1:4]
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="qv-shots-")
    try:
        installer = gui.pack_installer(64, source, native, work)
        gui.expect(installer is not None, "build the native and win64 presets first")
        wine = gui.Wine(64, source, work)
        wine.reset(["C:\\Program Files\\VarnookSW\\QRVNE32"])
        process = wine.start(installer, os.path.join(work, "installer.log"))
        try:
            reported = []
            kind, dirdlg, title = next_event(wine, process, reported)
            gui.expect(title == gui.DIRDLG_TITLE, "the directory dialog first, not " + title)
            reported.append(dirdlg)
            capture(os.path.join(out, "directory-dialog.png"))

            wine.drive("click", dirdlg, gui.HELP)
            help_box = next_event(wine, process, reported)
            gui.expect(help_box[0] == "box", "the help box")
            capture(os.path.join(out, "help.png"))
            wine.drive("answer", help_box[1], gui.IDOK)

            wine.drive("click", dirdlg, gui.OK)
            kind, progress, title = next_event(wine, process, reported)
            gui.expect(title == gui.PROGRESS_TITLE, "the progress dialog, not " + title)
            reported.append(progress)
            wine.drive("wait-change", progress, gui.PERCENT, "00%", gui.STEP_TIMEOUT_MS)
            capture(os.path.join(out, "progress.png"))

            wine.drive("click", progress, gui.ABORT)
            abort_box = next_event(wine, process, reported)
            gui.expect(abort_box[0] == "box" and abort_box[2] == "Aborting Install",
                       "the abort message, not %s" % abort_box)
            capture(os.path.join(out, "aborting.png"))
            wine.drive("answer", abort_box[1], gui.IDOK)
            process.wait(timeout=60)
        finally:
            if process.poll() is None:
                process.kill()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
