"""The command lines of setuppack and setupsim: help and version on every command, usage
errors exit 2 with the usage on stderr, input problems exit 1 as "file:line: message", and
the --json reports parse.

usage: cli_check.py BUILD_DIR TEST_STUB_DIR"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

FAILURES = []


def run(args, cwd=None, env=None):
    return subprocess.run(args, capture_output=True, text=True, cwd=cwd, env=env)


def expect(case, result, code, stdout=None, stderr=None):
    problems = []
    if result.returncode != code:
        problems.append(f"exit {result.returncode}, wanted {code}")
    if stdout and not re.search(stdout, result.stdout, re.M):
        problems.append(f"stdout lacks /{stdout}/")
    if stderr and not re.search(stderr, result.stderr, re.M):
        problems.append(f"stderr lacks /{stderr}/")
    if problems:
        FAILURES.append(f"{case}: {'; '.join(problems)}\n--- stdout\n{result.stdout}--- stderr\n{result.stderr}")


def check_help_and_usage(setuppack, setupsim):
    commands = ["build", "list", "verify", "extract", "compress", "decompress", "init"]
    table = [([setuppack, "--help"], 0, "Exit status: 0 success", None),
             ([setuppack, "--version"], 0, r"^setuppack \d+\.\d+", None),
             ([setupsim, "--help"], 0, "2 usage error", None),
             ([setupsim, "--version"], 0, r"^setupsim \d+\.\d+", None),
             ([setuppack], 2, None, "Usage:"),
             ([setuppack, "frobnicate"], 2, None, "Usage:"),
             ([setuppack, "build", "--bogus", "x"], 2, None, r"Usage: setuppack build"),
             ([setuppack, "list"], 2, None, "INSTALLER"),
             ([setuppack, "list", "x", "--package-offset", "-4"], 2, None, "offset"),
             ([setupsim], 2, None, "INSTALLER"),
             ([setupsim, "x.exe", "--frob"], 2, None, "Usage: setupsim")]
    table += [([setuppack, c, "--help"], 0, f"Usage: .*{c}", None) for c in commands]
    for args, code, out, err in table:
        expect(" ".join(os.path.basename(a) for a in args), run(args), code, out, err)


def check_input_problems(setuppack, setupsim, stub, work):
    bad = os.path.join(work, "bad.toml")
    with open(bad, "w") as f:
        f.write('[[item]]\ntarget = "A.TXT"\nflags = []\n\n[[item]]\ntarget = "B.TXT"\nflags = ["bogus"]\n')
    expect("build, bad flag", run([setuppack, "build", bad, "--stub", stub, "-o", os.path.join(work, "x.exe")]),
           1, None, r"^" + re.escape(bad) + r":7: ")
    expect("verify, not an installer", run([setuppack, "verify", bad]), 1, None, "bad.toml")
    expect("setupsim, not an installer", run([setupsim, bad]), 1, None, "package offset")
    good = os.path.join(work, "good.toml")
    with open(good, "w") as f:
        f.write('[[item]]\ntarget = "A.TXT"\nflags = []\n')
    expect("build, missing stub", run([setuppack, "build", good, "--stub", os.path.join(work, "none.exe"),
                                       "-o", os.path.join(work, "x.exe")]), 1, None, "none.exe")


def check_setupsim_input(setupsim, installer, work):
    machine = os.path.join(work, "machine.toml")
    with open(machine, "w") as f:
        f.write('program_runs_ms = 0\n\nfrobs = 1\n')
    expect("setupsim, bad machine file", run([setupsim, installer, "--machine", machine]), 1, None,
           r"^\S*machine\.toml:3: ")


def check_json(setuppack, stub, work):
    source = os.path.join(work, "A.TXT")
    with open(source, "w") as f:
        f.write("hello, hello, hello, hello, hello\n" * 40)
    manifest = os.path.join(work, "ok.toml")
    with open(manifest, "w") as f:
        f.write('[[item]]\nsource = "A.TXT"\ntarget = "A.TXT"\nflags = ["embedded", "compressed"]\n'
                'date = 2001-10-11T17:42:12\n')
    installer = os.path.join(work, "ok.exe")
    reports = {"build": [setuppack, "build", manifest, "--stub", stub, "-o", installer, "--json"],
               "verify": [setuppack, "verify", installer, "--json"],
               "list": [setuppack, "list", installer, "--json"]}
    for name, args in reports.items():
        result = run(args)
        expect(f"{name} --json", result, 0)
        try:
            report = json.loads(result.stdout)
        except ValueError:
            FAILURES.append(f"{name} --json is not JSON: {result.stdout}")
            continue
        if name == "build" and not (report["items"] == 1 and report["listed_bytes"] == 1360
                                    and 0 < report["ratio"] < 0.5 and report["output"] == installer):
            FAILURES.append(f"build --json: {report}")
        if name == "verify" and not (report["ok"] and report["problems"] == []):
            FAILURES.append(f"verify --json: {report}")
    with open(manifest, "a") as f:
        f.write('\n[[item]]\nsource = "A.TXT"\ntarget = "B.TXT"\nflags = ["embedded"]\ndate = "from-file"\n')
    expect("SOURCE_DATE_EPOCH not a number",
           run(reports["build"], env=dict(os.environ, SOURCE_DATE_EPOCH="yesterday")), 1, None,
           "SOURCE_DATE_EPOCH must be seconds")


def check_init(setuppack, stub, work):
    """A folder with names the package cannot hold: those are left out and named, and the
    manifest written builds and verifies as it is."""
    product = os.path.join(work, "product \u00e9\u0486")  # characters TOML must escape
    names = {"README.TXT": True, "PROG.EXE": True, "DATA/BASE.DB": True, "NOEXTENSION12345678": True,
             "a very long file name.txt": False, "CON.TXT": False, "Data/base.db": False,
             "deep/er/X.TXT": False, "&WIN/Y.TXT": False, "caf\u00e9.txt": False}
    for name in names:
        os.makedirs(os.path.dirname(os.path.join(product, name)), exist_ok=True)
        with open(os.path.join(product, name), "w") as f:
            f.write(name * 20)
    manifest = os.path.join(work, "init", "manifest.toml")
    result = run([setuppack, "init", product, "-o", manifest])
    expect("init", result, 0, "4 items, 6 files left out")
    for name, kept in names.items():
        if not kept and name not in result.stderr:
            FAILURES.append(f"init does not name {name} as left out:\n{result.stderr}")
    expect("init again, no --force", run([setuppack, "init", product, "-o", manifest]), 1, None, "--force")
    installer = os.path.join(work, "init", "setup.exe")
    expect("build the init manifest", run([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    expect("verify the init installer", run([setuppack, "verify", installer]), 0)
    listing = run([setuppack, "list", installer, "--json"])
    dirs = {e["target"]: e["dir"] for e in json.loads(listing.stdout)["items"]} if listing.returncode == 0 else {}
    if dirs.get("BASE.DB") != "DATA" or dirs.get("README.TXT") != "":
        FAILURES.append(f"init items: {dirs}")


def check_init_compression(setuppack, stub, work):
    """init leaves compression to compress = "auto": gzip files are stored as they are, and
    text that shrinks is still compressed."""
    import gzip
    folder = os.path.join(work, "gz")
    os.makedirs(folder)
    with open(os.path.join(folder, "A.GZ"), "wb") as f:
        f.write(gzip.compress(os.urandom(3000)))
    with open(os.path.join(folder, "B.TXT"), "w") as f:
        f.write("hello, hello, hello\n" * 200)
    manifest = os.path.join(folder, "manifest.toml")
    installer = os.path.join(folder, "setup.exe")
    expect("init, gzip", run([setuppack, "init", folder, "-o", manifest]), 0, "2 items")
    expect("build, gzip", run([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    listing = run([setuppack, "list", installer, "--json"])
    items = {e["target"]: e for e in json.loads(listing.stdout)["items"]} if listing.returncode == 0 else {}
    gz, txt = items.get("A.GZ", {}), items.get("B.TXT", {})
    if "compressed" in gz.get("flag_names", ["compressed"]) or gz.get("stored_size") != gz.get("listed_size"):
        FAILURES.append(f"init forces compression on a gzip file: {gz}")
    if "compressed" not in txt.get("flag_names", []):
        FAILURES.append(f"init's text file is not compressed: {txt}")


def check_device_and_dropped_names(setuppack, stub, work):
    """Target names Windows cannot create as given (device names, a trailing dot) are refused
    by build, naming the line and the rule, and left out by init."""
    folder = os.path.join(work, "devices")
    os.makedirs(folder)
    with open(os.path.join(folder, "OK.TXT"), "w") as f:
        f.write("ok")
    for name, rule in (("CON.TXT", "device"), ("NUL", "device"), ("COM1.EXE", "device"),
                       ("AUX.DAT", "device"), ("LPT1", "device"), ("B.", "ends in a dot")):
        manifest = os.path.join(folder, "m.toml")
        with open(manifest, "w") as f:
            f.write('[[item]]\nsource = "OK.TXT"\ntarget = "OK.TXT"\nflags = ["embedded"]\n\n'
                    f'[[item]]\nsource = "OK.TXT"\ntarget = "{name}"\nflags = ["embedded"]\n')
        expect(f"build, target {name}",
               run([setuppack, "build", manifest, "--stub", stub, "-o", os.path.join(folder, "x.exe")]),
               1, None, r"^" + re.escape(manifest) + r":6: target name '" + re.escape(name) + "' .*" + rule)
        if os.path.exists(os.path.join(folder, "x.exe")):
            FAILURES.append(f"build of target {name} still wrote an installer")
    init_folder = os.path.join(folder, "tree")
    os.makedirs(init_folder)
    for name in ("CON.TXT", "NUL", "COM1.EXE", "AUX.DAT", "LPT1", "KEEP.TXT"):
        with open(os.path.join(init_folder, name), "w") as f:
            f.write(name)
    result = run([setuppack, "init", init_folder, "-o", os.path.join(folder, "init.toml")])
    expect("init, device names", result, 0, "1 items, 5 files left out", "LPT1: left out: .*device")


def check_diskettes(setuppack, stub, work):
    """Diskette sets: images per label that verify with their external items; a missing or
    cut external item and an overflowing label are errors naming what is wrong."""
    folder = os.path.join(work, "disks")
    os.makedirs(folder)
    for name, size in (("SMALL.TXT", 3000), ("OTHER.TXT", 5000), ("BIG.DAT", 1500000)):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(os.urandom(size) if name == "BIG.DAT" else b"abc " * (size // 4))
    item = '[[item]]\nsource = "{0}"\ntarget = "{0}"\ndisk = "{1}"\nflags = ["external"{2}]\ndate = 2001-10-11T17:42:12\n'
    with open(os.path.join(folder, "two.toml"), "w") as f:
        f.write(item.format("SMALL.TXT", "Disk 1", ', "compressed"') + item.format("OTHER.TXT", "Second Diskette", "") + 'compress = "never"\n')
    with open(os.path.join(folder, "big.toml"), "w") as f:
        f.write(item.format("SMALL.TXT", "Disk 1", "") + item.format("BIG.DAT", "Disk 2", ""))
    setup = os.path.join(folder, "setup.exe")
    images = os.path.join(folder, "images")
    two = os.path.join(folder, "two.toml")
    expect("build --diskettes", run([setuppack, "build", two, "--stub", stub, "-o", setup, "--diskettes", images]),
           0, r"disk2\.img: SECOND DISK,")
    expect("verify --diskettes", run([setuppack, "verify", setup, "--diskettes", images]), 0)
    external = os.path.join(folder, "external")
    run([setuppack, "build", two, "--stub", stub, "-o", setup, "--external-dir", external])
    os.remove(os.path.join(external, "Second Diskette", "OTHER.TXT"))
    with open(os.path.join(external, "Disk 1", "SMALL.TX_"), "r+b") as f:
        f.truncate(10)
    result = run([setuppack, "verify", setup, "--external-dir", external])
    expect("verify, a missing external item", result, 1, None, r"item 2 \(OTHER\.TXT\).*missing")
    expect("verify, a cut external item", result, 1, None, r"item 1 \(SMALL\.TXT\).*has 10 bytes")
    expect("build --diskettes, overflow",
           run([setuppack, "build", os.path.join(folder, "big.toml"), "--stub", stub, "-o",
                os.path.join(folder, "big.exe"), "--diskettes", os.path.join(folder, "big")]),
           1, None, r"diskette 'Disk 2' needs 1500160 bytes; a 1440K diskette holds 1457664 bytes")
    if os.path.exists(os.path.join(folder, "big.exe")) or os.path.exists(os.path.join(folder, "big", "disk1.img")):
        FAILURES.append("an overflowing diskette set still wrote files")
    expect("--diskette-size", run([setuppack, "build", two, "-o", setup, "--diskettes", images,
                                   "--diskette-size", "1000K"]), 2, None, "1000K")


def main():
    build, stubs = sys.argv[1:3]
    setuppack, setupsim = os.path.join(build, "setuppack"), os.path.join(build, "setupsim")
    stub = os.path.join(stubs, "stub_i686.exe")
    check_help_and_usage(setuppack, setupsim)
    with tempfile.TemporaryDirectory(prefix="cli-check-") as work:
        check_input_problems(setuppack, setupsim, stub, work)
        if os.path.exists(stub):
            check_json(setuppack, stub, work)
            check_setupsim_input(setupsim, os.path.join(work, "ok.exe"), work)
            check_init(setuppack, stub, work)
            check_init_compression(setuppack, stub, work)
            check_device_and_dropped_names(setuppack, stub, work)
            if shutil.which("mformat"):
                check_diskettes(setuppack, stub, work)
    for failure in FAILURES:
        print(failure)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
