"""The two-diskette demo: built as FAT12 images with setuppack build --diskettes and previewed
with setupsim, swap by swap: the "Change Diskettes" prompt alone when the user inserts the
right diskette, then with "Error locating file" when the first diskette is left in once; the
whole product installed either way. A machine file diskette with both host_dir and image is
an error naming its line.
usage: diskette_preview_check.py SOURCE_DIR NATIVE_BUILD_DIR WIN32_BUILD_DIR
Exits 77 (skipped) without the win32 stub and demo programs, or without mtools."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import (SKIPPED, demo_built, demo_diskette_machine, json_lines, run,  # noqa: E402
                    stage_demo, stop, write_file)

TARGET = ("C", "Program Files", "VarnookSW", "QRVNE32")


def boxes(setupsim, installer, machine, root, answers=None):
    args = [setupsim, installer, "--json", "--machine", machine, "--root", root]
    if answers:
        args += ["--answers", answers]
    events = json_lines(run(args).stdout)
    return [e["caption"] for e in events if e["event"] == "messagebox"]


def installed(root):
    names = set()
    for _, _, files in os.walk(os.path.join(root, *TARGET)):
        names.update(files)
    return names


def main():
    source, native, win32 = sys.argv[1:4]
    if not demo_built(win32) or not shutil.which("mformat"):
        print("skipped: needs the win32 preset's stub and demo programs, and mtools")
        return SKIPPED
    setuppack, setupsim = os.path.join(native, "setuppack"), os.path.join(native, "setupsim")
    with tempfile.TemporaryDirectory(prefix="diskette-demo-") as work:
        pkg = os.path.join(work, "pkg")
        manifest = stage_demo(source, win32, pkg, "manifest-diskettes.toml")
        disks = os.path.join(work, "disks")
        installer = os.path.join(disks, "SETUP.EXE")
        run([setuppack, "build", manifest, "--stub", os.path.join(win32, "setup-stub.exe"),
             "-o", installer, "--diskettes", disks])
        run([setuppack, "verify", installer, "--diskettes", disks])
        machine = os.path.join(work, "machine.toml")
        write_file(machine, demo_diskette_machine(disks))
        expected = set(os.listdir(os.path.join(pkg, "files")) + ["QVREGFIX.EXE"])

        seen = boxes(setupsim, installer, machine, os.path.join(work, "right"))
        if seen != ["Change Diskettes"] or not expected <= installed(os.path.join(work, "right")):
            stop(f"right diskette: boxes {seen}, files {installed(os.path.join(work, 'right'))}")

        answers = os.path.join(source, "demo", "diskettes-answers.toml")
        seen = boxes(setupsim, installer, machine, os.path.join(work, "wrong"), answers)
        if seen != ["Change Diskettes", "Error locating file: QVMAIN.EX_"] or \
                not expected <= installed(os.path.join(work, "wrong")):
            stop(f"wrong diskette first: boxes {seen}")

        with open(machine, "a") as f:
            f.write('[[diskette]]\nlabel = "X"\nimage = "x.img"\nhost_dir = "x"\n')
        result = run([setupsim, installer, "--machine", machine], code=1)
        if "machine.toml:9:" not in result.stderr:
            stop(f"a diskette with host_dir and image: {result.stderr}")
    print("two-diskette demo previews with both diskette prompts")
    return 0


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
