#!/usr/bin/env python3
"""setupsim's outcome and exit code, as a CI job uses them: the last event names how the
preview ended, --expect OUTCOME exits 0 only for that outcome, a stuck preview never exits 0,
a FIFO given as the installer is refused at once, and a machine file's relative paths are taken
from its own folder whatever the current folder.

usage: setupsim_outcome_check.py BUILD_DIR TEST_STUB_DIR (exits 77, skipped, without the stub)"""
import json
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import SKIPPED, capture, check_exit, fail, run, write_file  # noqa: E402


def setupsim_run(args, **options):
    return capture(args, timeout=120, **options)


def check_texts(case, result, code, stdout=None, stderr=None):
    """check_exit with texts that stdout and stderr must hold as they stand."""
    check_exit(case, result, code, stdout and re.escape(stdout), stderr and re.escape(stderr))


def build_installer(setuppack, stub, work):
    write_file(os.path.join(work, "pkg", "A.TXT"), "hello\n")
    manifest = write_file(os.path.join(work, "pkg", "m.toml"),
                          '[[item]]\nsource = "A.TXT"\ntarget = "A.TXT"\nflags = ["embedded"]\n')
    installer = os.path.join(work, "ok.exe")
    run([setuppack, "build", manifest, "--stub", stub, "-o", installer])
    return installer


def check_outcomes(setupsim, installer, work):
    stuck = write_file(os.path.join(work, "stuck.toml"), 'directory = "C:\\\\NOT_THE_NAME"\n')
    abort = write_file(os.path.join(work, "abort.toml"), '[[action]]\ndialog = "DIRDLG"\npress = 103\n')
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
        check_texts(case, setupsim_run([setupsim, installer, *extra]), code, stdout, stderr)
    result = setupsim_run([setupsim, installer, "--json"])
    last = json.loads(result.stdout.splitlines()[-1])
    if last.get("event") != "outcome" or last.get("outcome") != "completed":
        fail(f"--json: the last event is {last}")


def check_inputs(setupsim, installer, work):
    fifo = os.path.join(work, "fifo.exe")
    os.mkfifo(fifo)
    check_texts("FIFO installer", setupsim_run([setupsim, fifo]), 1, None, "is not a regular file")
    # The machine file names its diskette folder from where it lies, not from the current folder.
    write_file(os.path.join(work, "m", "disk", "README.TXT"), "diskette\n")
    machine = write_file(os.path.join(work, "m", "machine.toml"),
                         '[[diskette]]\nlabel = "D1"\nhost_dir = "disk"\n')
    root = os.path.join(work, "root")
    check_texts("relative host_dir",
                setupsim_run([setupsim, installer, "--machine", machine, "--root", root], cwd="/"), 0)
    if not os.path.exists(os.path.join(root, "A", "README.TXT")):
        fail("relative host_dir: the diskette's file is not in the drive")


def check_diskette_images(setupsim, installer, work):
    """An image that is no FAT diskette, or one read without mtools, is named with its line."""
    write_file(os.path.join(work, "d", "notfat.img"), "not a diskette image\n")
    machine = write_file(os.path.join(work, "d", "machine.toml"),
                         '# one diskette\n[[diskette]]\nlabel = "D1"\nimage = "notfat.img"\n')
    check_texts("image not FAT", setupsim_run([setupsim, installer, "--machine", machine]), 1, None,
                machine + ":2: diskette 'D1': ")
    no_mtools = dict(os.environ, PATH=os.path.join(work, "empty"))
    result = setupsim_run([setupsim, installer, "--machine", machine], env=no_mtools)
    check_texts("no mtools", result, 1, None, machine + ":2: diskette 'D1': cannot run mdir")


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


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
