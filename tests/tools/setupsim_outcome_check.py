#!/usr/bin/env python3
"""setupsim's outcome and exit code, as a CI job uses them: the last event names how the
preview ended, --expect OUTCOME exits 0 only for that outcome, a stuck preview never exits 0,
a FIFO given as the installer is refused at once, and a machine file's relative paths are taken
from its own folder whatever the current folder.

usage: setupsim_outcome_check.py BUILD_DIR TEST_STUB_DIR (exits 77, skipped, without the stub)"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

FAILURES = []
SKIPPED = 77


def run(args, cwd=None):
    return subprocess.run(args, capture_output=True, text=True, cwd=cwd, timeout=120)


def check(case, result, code, stdout=None, stderr=None):
    problems = []
    if result.returncode != code:
        problems.append(f"exit {result.returncode}, wanted {code}")
    if stdout and stdout not in result.stdout:
        problems.append(f"stdout lacks {stdout!r}")
    if stderr and stderr not in result.stderr:
        problems.append(f"stderr lacks {stderr!r}")
    if problems:
        FAILURES.append(f"{case}: {'; '.join(problems)}\n--- stdout\n{result.stdout[-2000:]}"
                        f"--- stderr\n{result.stderr}")


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    return path


def build_installer(setuppack, stub, work):
    write(os.path.join(work, "pkg", "A.TXT"), "hello\n")
    manifest = write(os.path.join(work, "pkg", "m.toml"),
                     '[[item]]\nsource = "A.TXT"\ntarget = "A.TXT"\nflags = ["embedded"]\n')
    installer = os.path.join(work, "ok.exe")
    result = run([setuppack, "build", manifest, "--stub", stub, "-o", installer])
    if result.returncode != 0:
        sys.exit(f"FAILED: setuppack build: {result.stderr}")
    return installer


def check_outcomes(setupsim, installer, work):
    stuck = write(os.path.join(work, "stuck.toml"), 'directory = "C:\\\\NOT_THE_NAME"\n')
    abort = write(os.path.join(work, "abort.toml"), '[[action]]\ndialog = "DIRDLG"\npress = 103\n')
    rows = [
        ("completed", [], 0, 'outcome  outcome="completed"', None),
        ("completed, expected", ["--expect", "completed"], 0, None, None),
        ("completed, aborted expected", ["--expect", "aborted"], 1, None,
         "the preview ended completed, not aborted"),
        ("aborted, expected", ["--answers", abort, "--expect", "aborted"], 0,
         'outcome="aborted"  message="Aborting install at users request!"', None),
        ("stuck", ["--answers", stuck], 1, 'outcome="stuck"', "the preview ended stuck"),
        ("stuck, completed expected", ["--answers", stuck, "--expect", "completed"], 1, None,
         "ended stuck, not completed"),
        ("stuck cannot be expected", ["--expect", "stuck"], 2, None, "--expect"),
        ("unknown outcome", ["--expect", "complete"], 2, None, "--expect"),
    ]
    for case, extra, code, stdout, stderr in rows:
        check(case, run([setupsim, installer, *extra]), code, stdout, stderr)
    result = run([setupsim, installer, "--json"])
    last = json.loads(result.stdout.splitlines()[-1])
    if last.get("event") != "outcome" or last.get("outcome") != "completed":
        FAILURES.append(f"--json: the last event is {last}")


def check_inputs(setupsim, installer, work):
    fifo = os.path.join(work, "fifo.exe")
    os.mkfifo(fifo)
    check("FIFO installer", run([setupsim, fifo]), 1, None, "is not a regular file")
    # The machine file names its diskette folder from where it lies, not from the current folder.
    write(os.path.join(work, "m", "disk", "README.TXT"), "diskette\n")
    machine = write(os.path.join(work, "m", "machine.toml"),
                    '[[diskette]]\nlabel = "D1"\nhost_dir = "disk"\n')
    root = os.path.join(work, "root")
    check("relative host_dir", run([setupsim, installer, "--machine", machine, "--root", root],
                                   cwd="/"), 0)
    if not os.path.exists(os.path.join(root, "A", "README.TXT")):
        FAILURES.append("relative host_dir: the diskette's file is not in the drive")


def check_diskette_images(setupsim, installer, work):
    """An image that is no FAT diskette, or one read without mtools, is named with its line."""
    write(os.path.join(work, "d", "notfat.img"), "not a diskette image\n")
    machine = write(os.path.join(work, "d", "machine.toml"),
                    '# one diskette\n[[diskette]]\nlabel = "D1"\nimage = "notfat.img"\n')
    check("image not FAT", run([setupsim, installer, "--machine", machine]), 1, None,
          machine + ":2: diskette 'D1': ")
    no_mtools = dict(os.environ, PATH=os.path.join(work, "empty"))
    result = subprocess.run([setupsim, installer, "--machine", machine], capture_output=True,
                            text=True, timeout=120, env=no_mtools)
    check("no mtools", result, 1, None, machine + ":2: diskette 'D1': cannot run mdir")


def main():
    build, stubs = (os.path.abspath(arg) for arg in sys.argv[1:3])
    stub = os.path.join(stubs, "stub_i686.exe")
    if not os.path.exists(stub):
        print("skipped: no test stub")
        return SKIPPED
    setuppack, setupsim = os.path.join(build, "setuppack"), os.path.join(build, "setupsim")
    with tempfile.TemporaryDirectory(prefix="setupsim-outcome-") as work:
        installer = build_installer(setuppack, stub, work)
        check_outcomes(setupsim, installer, work)
        check_inputs(setupsim, installer, work)
        if shutil.which("mcopy"):
            check_diskette_images(setupsim, installer, work)
    for failure in FAILURES:
        print(failure)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
