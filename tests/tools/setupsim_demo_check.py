#!/usr/bin/env python3
"""Packs the demo product with setuppack and previews it with setupsim in three situations,
checking the transcript (JSON lines) and the installed files:
  1. a plain installation with the default machine and answers;
  2. a reinstallation over an earlier one: the database is kept, the directory accepted, and
     the converter (its program ended at once on this machine) deleted after its run;
  3. the user pressing Abort Install during the copy.
Usage: setupsim_demo_check.py SOURCE_DIR NATIVE_BUILD_DIR WIN32_BUILD_DIR
Exits 77 (skipped) when the Windows stub or the demo programs have not been built."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import (SKIPPED, demo_built, json_lines, require, run, stage_demo,  # noqa: E402
                    toml_document, write_file)

TARGET = "C:\\Program Files\\VarnookSW\\QRVNE32"


def preview(setupsim, installer, root, expected, machine=None, answers=None):
    """The transcript of a preview that must end as `expected` (setupsim --expect exits 0)."""
    args = [setupsim, installer, "--json", "--root", root, "--expect", expected]
    if machine:
        args += ["--machine", machine]
    if answers:
        args += ["--answers", answers]
    transcript = json_lines(run(args).stdout)
    last = transcript[-1]
    require(last["event"] == "outcome" and last["outcome"] == expected, f"outcome {last}")
    return transcript


def events(transcript, kind):
    return [e for e in transcript if e["event"] == kind]


def host_file(root, path):
    drive, rest = path.split(":\\", 1)
    return os.path.join(root, drive, *rest.split("\\"))


def check_plain_install(transcript, root, files):
    require(events(transcript, "messagebox") == [], "no message box in a plain installation")
    dialogs = [(e["template"], e["result"]) for e in events(transcript, "dialog")]
    require(dialogs == [("DIRDLG", 1), ("PROGRESSDLG", 1)], f"dialog results {dialogs}")
    launches = events(transcript, "launch")
    programs = [TARGET + "\\QVCONVRT.EXE", TARGET + "\\QVREGFIX.EXE"]
    # The target path has a blank: the command line quotes it, and the installed program runs.
    require([l["command"] for l in launches] == ['"%s"' % p for p in programs],
            "both programs launched, their paths quoted")
    require([l["program"] for l in launches] == programs, "the installed programs ran")
    require(all(l["cwd"] == TARGET and l["show"] == 1 and l["result"] == 33 for l in launches),
            "launched in the target folder, shown normally")
    percents = [e["percent"] for e in events(transcript, "progress")]
    require(percents[0] == "00%" and percents[-1] == "100%", f"progress {percents[:1]}..{percents[-1:]}")
    done = [e for e in events(transcript, "timer") if e["id"] == 333]
    require(len(done) == 1 and done[0]["ms"] == 2000, "the done timer holds 100% for 2 s")
    require(events(transcript, "exit")[0]["code"] == 0, "exit code 0")
    installed = {e["path"]: e for e in events(transcript, "file")}
    # Still running when the installer tries to delete it, so it stays, as on Windows.
    require(installed[TARGET + "\\QVCONVRT.EXE"].get("deleted") is None, "a running converter stays")
    require(installed[TARGET + "\\QVREGFIX.EXE"]["size"] > 0, "the registration program stays")
    for name in files:
        path = TARGET + ("\\SAMPLES\\" if name == "SAMPLE1.QVL" else "\\") + name
        require(path in installed, f"{path} installed")
        with open(host_file(root, path), "rb") as got, open(files[name], "rb") as want:
            require(got.read() == want.read(), f"{path} holds the packed bytes")
    require(installed[TARGET + "\\READ_ME.TXT"]["written"] == "2001-10-11T17:42:12Z", "file date")


def check_reinstall(transcript, root):
    require(events(transcript, "messagebox") == [], "an earlier installation's directory is accepted")
    deleted = [e["path"] for e in events(transcript, "file") if e.get("deleted")]
    require(deleted == [TARGET + "\\QVCONVRT.EXE"], "a converter that has ended is deleted")
    with open(host_file(root, TARGET + "\\QVDATA.DB"), "rb") as data:
        require(data.read() == b"the user's own data", "the database is never overwritten")
    names = [e["text"] for e in events(transcript, "text") if e.get("dialog") == "progress"]
    require("QVDATA.DB" not in names, "a kept file's name is never shown")


def check_abort(transcript):
    boxes = events(transcript, "messagebox")
    require([(b["caption"], b["text"], b["owner"]) for b in boxes] ==
            [("Aborting Install", "Aborting install at users request!", "progress")], f"abort box {boxes}")
    dialogs = [(e["template"], e["result"]) for e in events(transcript, "dialog")]
    require(dialogs == [("DIRDLG", 1), ("PROGRESSDLG", 0)], f"dialog results {dialogs}")
    require(events(transcript, "exit")[0]["code"] == 0, "exit code 0 after an abort")


def main():
    source, native, win32 = sys.argv[1:4]
    if not demo_built(win32):
        print("skipped: build the win32 preset first")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="setupsim-demo-")
    try:
        pkg = os.path.join(work, "pkg")
        manifest = stage_demo(source, win32, pkg)
        installer = os.path.join(work, "setup.exe")
        run([os.path.join(native, "setuppack"), "build", manifest,
             "--stub", os.path.join(win32, "setup-stub.exe"), "-o", installer])
        setupsim = os.path.join(native, "setupsim")
        files = {name: os.path.join(pkg, "files", name) for name in os.listdir(os.path.join(pkg, "files"))}

        root = os.path.join(work, "root")
        check_plain_install(preview(setupsim, installer, root, "completed"), root, files)

        machine = os.path.join(work, "machine.toml")
        write_file(machine, toml_document(
            [("drive", dict(letter="A", type="removable")),
             ("drive", dict(letter="C", type="fixed")),
             ("registry", dict(key="SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                               name="ProgramFilesDir", value="C:\\Program Files")),
             ("registry", dict(key="SOFTWARE\\VarnookSW\\Quorvane by Varnook", name="Directory",
                               value="C:\\PROGRA~1\\VARNOO~1\\QRVNE32")),
             ("file", dict(path=TARGET + "\\QVDATA.DB", content="the user's own data"))],
            program_runs_ms=0))
        check_reinstall(preview(setupsim, installer, root, "completed", machine=machine), root)

        answers = os.path.join(work, "answers.toml")
        with open(answers, "w") as a:
            a.write('[[action]]\ndialog = "PROGRESSDLG"\npress = 1\nat = 200\n')
        check_abort(preview(setupsim, installer, root, "aborted", answers=answers))
    finally:
        shutil.rmtree(work)
    print("setupsim demo checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
