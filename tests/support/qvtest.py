"""What the Python test scripts share: running a tool and checking its exit, reading the JSON
lines setupsim writes, staging the demo product for setuppack, and writing TOML tables
(manifest items). A script finds this module through its own location:

    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
"""
import json
import os
import shutil
import subprocess
import sys

SKIPPED = 77  # the SKIP_RETURN_CODE the scripts' tests are registered with
DEMO_PROGRAMS = ("qvconvrt.exe", "qvregfix.exe")


def run(args, code=0, **options):
    """Runs a tool and returns its result; ends the script as FAILED, with the tool's output,
    when it exits with anything but `code`. `options` go to subprocess.run (cwd, env)."""
    result = subprocess.run(args, capture_output=True, text=True, **options)
    if result.returncode != code:
        sys.exit(f"FAILED: {' '.join(args)} exited {result.returncode}:\n"
                 f"{result.stdout}{result.stderr}")
    return result


def json_lines(text):
    """setupsim --json: one event per line."""
    return [json.loads(line) for line in text.splitlines()]


def demo_built(win_build):
    """Whether a Windows build folder holds the stub and the demo programs the demo needs."""
    needed = [os.path.join(win_build, "setup-stub.exe")]
    needed += [os.path.join(win_build, "demo", program) for program in DEMO_PROGRAMS]
    return all(os.path.exists(path) for path in needed)


def stage_demo(source, win_build, folder, manifest="manifest.toml"):
    """The demo product as setuppack reads it, in `folder`: the demo's files, its manifest
    `manifest` and the Windows build's demo programs under the upper-case names the manifest
    gives them. Returns the manifest's path."""
    shutil.copytree(os.path.join(source, "demo", "files"), os.path.join(folder, "files"))
    shutil.copy(os.path.join(source, "demo", manifest), folder)
    shutil.copy(os.path.join(source, "demo", "product.ico"), folder)
    os.makedirs(os.path.join(folder, "programs"))
    for program in DEMO_PROGRAMS:
        shutil.copy(os.path.join(win_build, "demo", program),
                    os.path.join(folder, "programs", program.upper()))
    return os.path.join(folder, manifest)


class Bare(str):
    """A TOML value written as it stands, such as a date-time."""


def toml_value(value):
    # JSON's strings, numbers, booleans and arrays are also TOML's, for the plain ASCII text
    # the tests write (JSON leaves DEL raw and writes characters past U+FFFF as surrogate
    # pairs, which TOML refuses).
    return value if isinstance(value, Bare) else json.dumps(value)


def toml_table(name, **fields):
    """One table of the array of tables `name`, its keys in the order given."""
    return "".join([f"\n[[{name}]]\n"] +
                   [f"{key} = {toml_value(value)}\n" for key, value in fields.items()])


def manifest_item(source, target, flags, date, **more):
    """One [[item]] of a setuppack manifest; `date` is a local date-time such as
    "2001-10-11T17:42:12"."""
    return toml_table("item", source=source, target=target, **more, flags=flags, date=Bare(date))
