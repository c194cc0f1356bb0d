"""What the Python test scripts share: one way of checking, running a tool, reading the JSON
lines setupsim writes, staging the demo product for setuppack, and writing TOML files.

Checking: check() records a failure and goes on; require() (and run(), for a tool's exit)
records it and stops the script, or only the `case` under way; main() prints every failure
with its context and makes the exit code. A script finds this module through its own location:

    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))

and ends with sys.exit(qvtest.main(main)).
"""
import json
import os
import re
import shutil
import subprocess

SKIPPED = 77  # the SKIP_RETURN_CODE the scripts' tests are registered with
DEMO_PROGRAMS = ("qvconvrt.exe", "qvregfix.exe")

FAILURES = []  # each failure with its context, in the order found
_CASES = []  # the names of the cases under way, innermost last


class Stop(Exception):
    """A failure after which the script, or the case under way, has nothing left to check."""


def check(condition, what):
    """Records `what` as a failure unless `condition` holds; returns `condition`."""
    if not condition:
        FAILURES.append(": ".join(_CASES + [what]))
    return condition


def require(condition, what):
    """As check, but what follows depends on it: a failure stops the script (or the case)."""
    if not check(condition, what):
        raise Stop(what)


def fail(what):
    """Records a failure found by the script's own test."""
    check(False, what)


def stop(what):
    """Records a failure and stops the script (or the case)."""
    require(False, what)


def check_exit(case, result, code, stdout=None, stderr=None):
    """A finished tool's exit code, and the patterns (regular expressions, multi-line) its
    stdout and stderr must hold; a failure shows both outputs."""
    problems = []
    if result.returncode != code:
        problems.append(f"exit {result.returncode}, wanted {code}")
    if stdout and not re.search(stdout, result.stdout, re.M):
        problems.append(f"stdout lacks /{stdout}/")
    if stderr and not re.search(stderr, result.stderr, re.M):
        problems.append(f"stderr lacks /{stderr}/")
    return check(not problems, f"{case}: {'; '.join(problems)}\n--- stdout\n{result.stdout[-2000:]}"
                               f"--- stderr\n{result.stderr}")


class case:
    """One case of several: its failures are named after it, and a Stop (or one of the
    exceptions in `catch`, recorded as a failure) ends only this case. `passed` tells after."""

    def __init__(self, name, catch=()):
        self.name, self.catch, self.passed = name, catch, True

    def __enter__(self):
        self.before = len(FAILURES)
        _CASES.append(self.name)
        return self

    def __exit__(self, kind, error, trace):
        if kind is not None and issubclass(kind, self.catch):
            check(False, str(error))
        _CASES.pop()
        self.passed = len(FAILURES) == self.before
        return kind is None or issubclass(kind, (Stop,) + self.catch)


def main(body):
    """Runs a script's checks and makes its exit code: 1 when anything failed (each failure
    printed), else what `body` returned (SKIPPED, or None for 0)."""
    try:
        code = body()
    except Stop:
        code = None
    for failure in FAILURES:
        print("FAILED: " + failure)
    return 1 if FAILURES else (code or 0)


def capture(args, **options):
    """Runs a tool and returns its result, whatever it exits with. `options` go to
    subprocess.run (cwd, env, timeout)."""
    return subprocess.run(args, capture_output=True, text=True, errors="replace", **options)


def run(args, code=0, **options):
    """Runs a tool that must exit with `code` for the script to go on; otherwise a failure,
    with the tool's output, that stops the script."""
    result = capture(args, **options)
    require(result.returncode == code, f"{' '.join(args)} exited {result.returncode}:\n"
                                       f"{result.stdout}{result.stderr}")
    return result


def read_file(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def write_file(path, data, mode="w"):
    """Writes `data` to `path`, making its folder first; returns the path."""
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    with open(path, mode) as f:
        f.write(data)
    return path


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


def toml_table(name, /, **fields):
    """One table of the array of tables `name`, its keys in the order given."""
    return "".join([f"\n[[{name}]]\n"] +
                   [f"{key} = {toml_value(value)}\n" for key, value in fields.items()])


def toml_document(tables=(), **keys):
    """A whole TOML file: the top-level `keys`, then `tables`, each a (name, fields) pair
    written as one table of the array of tables `name`."""
    head = "".join(f"{key} = {toml_value(value)}\n" for key, value in keys.items())
    return head + "".join(toml_table(name, **fields) for name, fields in tables)


def demo_diskette_machine(disks):
    """A machine file for the two-diskette demo: its images disk1.img and disk2.img in `disks`,
    under their labels."""
    return toml_document([("diskette", dict(label=f"QV32 Disk {n}", image=f"{disks}/disk{n}.img"))
                          for n in (1, 2)])


def manifest_item(source, target, flags, date, **more):
    """One [[item]] of a setuppack manifest; `date` is a local date-time such as
    "2001-10-11T17:42:12"."""
    return toml_table("item", source=source, target=target, **more, flags=flags, date=Bare(date))
