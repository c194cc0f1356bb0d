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
    return subprocess.run(args, capture_output=True, text=True, errors="replace", cwd=cwd, env=env)


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
    commands = ["build", "sign", "list", "verify", "extract", "compress", "decompress", "init"]
    table = [([setuppack, "--help"], 0, "Exit status: 0 success", None),
             ([setuppack, "--version"], 0, r"^setuppack \d+\.\d+", None),
             ([setupsim, "--help"], 0, "2 usage error", None),
             ([setupsim, "--version"], 0, r"^setupsim \d+\.\d+", None),
             ([setuppack], 2, None, "Usage:"),
             ([setuppack, "frobnicate"], 2, None, "Usage:"),
             ([setuppack, "build", "--bogus", "x"], 2, None, r"Usage: setuppack build"),
             ([setuppack, "list"], 2, None, "INSTALLER"),
             ([setuppack, "list", "x", "--package-offset", "-4"], 2, None, "offset"),
             ([setuppack, "sign", "x.exe"], 2, None, "give one key source"),
             ([setuppack, "sign", "x.exe", "--cert", "c.pem"], 2, None, "--cert needs --key"),
             ([setuppack, "sign", "x.exe", "--pkcs12", "a.p12", "--cert", "c.pem"], 2, None,
              "give one key source"),
             ([setuppack, "sign", "x.exe", "--pkcs12", "a.p12", "--password-file", "p",
               "--password-env", "P"], 2, None, "excludes"),
             ([setuppack, "build", "m.toml", "-o", "x.exe", "--pkcs12", "a.p12"], 2, None,
              "need --sign"),
             ([setuppack, "build", "m.toml", "-o", "x.exe", "--sign"], 2, None,
              "give one key source"),
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
        f.write(item.format("SMALL.TXT", "Disk 1", ', "compressed"') + item.format("OTHER.TXT", "Second Disk", "") + 'compress = "never"\n')
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
    os.remove(os.path.join(external, "Second Disk", "OTHER.TXT"))
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


def check_diskette_faults(setuppack, stub, work):
    """Labels the images would change are refused, and a build that fails at any point (a
    refused label, an output folder that does not exist, mcopy failing part-way) leaves no
    file behind; verify --json answers in JSON with ok false whenever it exits 1."""
    folder = os.path.join(work, "disk-faults")
    os.makedirs(folder)
    for name in ("ONE.TXT", "TWO.TXT"):
        with open(os.path.join(folder, name), "w") as f:
            f.write(name * 300)
    item = '[[item]]\nsource = "{0}"\ntarget = "{0}"\ndisk = "{1}"\nflags = ["external"]\ndate = 2001-10-11T17:42:12\n'

    def manifest(label):
        path = os.path.join(folder, "m.toml")
        with open(path, "w") as f:
            f.write(item.format("ONE.TXT", "Disk 1") + item.format("TWO.TXT", label))
        return path

    def left_behind():
        return sorted(n for n in os.listdir(folder) if n not in ("ONE.TXT", "TWO.TXT", "m.toml", "bin"))

    for label, why in (("Twelve chars", "more than the 11"), ("Disk.2", "'.'"), ("Disk+2", "'+'"),
                       ("   ", "blank")):
        expect(f"build --diskettes, label {label!r}",
               run([setuppack, "build", manifest(label), "--stub", stub, "-o", os.path.join(folder, "s.exe"),
                    "--diskettes", os.path.join(folder, "images")]), 1, None, re.escape(why))
        if left_behind():
            FAILURES.append(f"label {label!r} refused but left {left_behind()}")
    good = manifest("Disk 2")
    expect("build --diskettes, -o into a missing folder",
           run([setuppack, "build", good, "--stub", stub, "-o", os.path.join(folder, "none", "s.exe"),
                "--diskettes", os.path.join(folder, "images")]), 1, None, "none")
    if left_behind():
        FAILURES.append(f"a failed diskette build left {left_behind()}")
    fake = os.path.join(folder, "bin")
    os.makedirs(fake)
    with open(os.path.join(fake, "mcopy"), "w") as f:  # fails on the second diskette's file
        f.write('#!/bin/sh\ncase "$*" in *TWO.TX*) echo "disk full" >&2; exit 1;; esac\nexec %s "$@"\n'
                % shutil.which("mcopy"))
    os.chmod(os.path.join(fake, "mcopy"), 0o755)
    env = dict(os.environ, PATH=fake + os.pathsep + os.environ["PATH"])
    expect("build --diskettes, mcopy failing part-way",
           run([setuppack, "build", good, "--stub", stub, "-o", os.path.join(folder, "s.exe"),
                "--diskettes", os.path.join(folder, "images")], env=env), 1, None, "disk full")
    if left_behind():
        FAILURES.append(f"mcopy failing part-way left {left_behind()}")
    setup = os.path.join(folder, "s.exe")
    expect("build --diskettes", run([setuppack, "build", good, "--stub", stub, "-o", setup, "--diskettes",
                                     os.path.join(folder, "images")]), 0, "disk2.img: DISK 2,")
    for case, args in (("missing diskette folder", [setup, "--diskettes", os.path.join(folder, "gone")]),
                       ("missing installer", [os.path.join(folder, "gone.exe")]),
                       ("missing installer and diskettes", [os.path.join(folder, "gone.exe"), "--diskettes",
                                                            os.path.join(folder, "images")])):
        result = run([setuppack, "verify", "--json"] + args)
        expect(f"verify --json, {case}", result, 1)
        try:
            report = json.loads(result.stdout)
            if report["ok"] or not report["problems"]:
                FAILURES.append(f"verify --json, {case}: {report}")
        except ValueError:
            FAILURES.append(f"verify --json, {case}: not JSON: {result.stdout!r}")


def check_file_faults(setuppack, setupsim, stub, work):
    """A planted link at the temporary name is not written through; FIFOs are refused, not
    waited on; a package offset with a leading zero is decimal."""
    folder = os.path.join(work, "file-faults")
    os.makedirs(folder)
    with open(os.path.join(folder, "A.TXT"), "w") as f:
        f.write("a file\n" * 50)
    manifest = os.path.join(folder, "m.toml")
    with open(manifest, "w") as f:
        f.write('[[item]]\nsource = "A.TXT"\ntarget = "A.TXT"\nflags = ["embedded"]\ndate = 2001-10-11T17:42:12\n')
    victim, out = os.path.join(folder, "victim"), os.path.join(folder, "out.exe")
    with open(victim, "w") as f:
        f.write("precious")
    os.symlink(victim, out + ".partial")
    expect("build past a planted link", run([setuppack, "build", manifest, "--stub", stub, "-o", out]), 0)
    if open(victim).read() != "precious" or os.path.islink(out):
        FAILURES.append("build wrote through the link planted at its temporary name")
    fifo = os.path.join(folder, "fifo")
    os.mkfifo(fifo)
    with open(os.path.join(folder, "f.toml"), "w") as f:
        f.write('[[item]]\nsource = "fifo"\ntarget = "F.TXT"\nflags = ["embedded"]\n')
    for case, args, message in (("verify a FIFO", [setuppack, "verify", fifo], "not a regular file"),
                                ("list a FIFO", [setuppack, "list", "--json", fifo], "not a regular file"),
                                ("a FIFO as source", [setuppack, "build", os.path.join(folder, "f.toml"), "--stub",
                                                      stub, "-o", os.path.join(folder, "f.exe")], "fifo"),
                                ("a FIFO as stub", [setuppack, "build", manifest, "--stub", fifo, "-o",
                                                    os.path.join(folder, "f.exe")], "not a regular file")):
        try:
            result = subprocess.run(args, capture_output=True, text=True, timeout=20)
            expect(case, result, 1, None, message)
        except subprocess.TimeoutExpired:
            FAILURES.append(f"{case}: hangs")
    expect("--package-offset with a leading zero is decimal",
           run([setuppack, "list", out, "--package-offset", "0157170"]), 1, "package offset: 157170$")
    expect("--package-offset 0x", run([setuppack, "list", out, "--package-offset", "0x10"]), 1,
           "package offset: 16$")
    # setupsim reads its offset by the same rule: "08" is eight, not a bad octal number.
    result = run([setupsim, out, "--package-offset", "08"])
    if result.returncode == 2:
        FAILURES.append("setupsim --package-offset 08 refused as a usage error:\n" + result.stderr)
    expect("--package-offset 08", run([setuppack, "list", out, "--package-offset", "08"]), 0,
           "package offset: 8$")
    expect("--package-offset 0x", run([setuppack, "list", out, "--package-offset", "0x"]), 2, None, "offset")


def check_resources(setuppack, stub, work):
    """execution_level, icon and [version]: list shows them, verify accepts them, and bad
    values are refused with their line."""
    folder = os.path.join(work, "resources")
    os.makedirs(folder)
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    shutil.copy(os.path.join(source, "demo", "product.ico"), folder)
    with open(os.path.join(folder, "A.TXT"), "w") as f:
        f.write("a\n")
    item = '\n[[item]]\nsource = "A.TXT"\ntarget = "A.TXT"\nflags = ["embedded"]\ndate = 2001-10-11T17:42:12\n'
    version = ('[version]\nproduct_name = "Quorvane 3.2"\nversion = "3.2.1"\ncompany = "Varnook SW"\n'
               'description = "Setup"\ncopyright = "\\u00a9 2001"\n')
    cases = (("defaults", "", 0, None),
             ("every key", 'execution_level = "asInvoker"\nicon = "product.ico"\n' + version, 0, None),
             ("bad level", 'execution_level = "root"\n', 1, r"m\.toml:1: 'execution_level' must be"),
             ("missing icon", 'icon = "none.ico"\n', 1, r"m\.toml:1: icon file 'none.ico' not found"),
             ("not an icon", 'icon = "A.TXT"\n', 1, r"m\.toml:1: icon file 'A.TXT': "),
             ("bad version", version.replace('"3.2.1"', '"3.2.1.0.0"'), 1, r"m\.toml:3: 'version' must be"))
    listings = {}
    for case, head, code, message in cases:
        manifest = os.path.join(folder, "m.toml")
        with open(manifest, "w") as f:
            f.write(head + item)
        installer = os.path.join(folder, case.replace(" ", "_") + ".exe")
        expect(f"build, {case}", run([setuppack, "build", manifest, "--stub", stub, "-o", installer]), code, None,
               message)
        if code == 0:
            expect(f"verify, {case}", run([setuppack, "verify", installer]), 0)
            listing = run([setuppack, "list", "--json", installer])
            listings[case] = json.loads(listing.stdout) if listing.returncode == 0 else {}
    if listings["defaults"].get("execution_level") != "requireAdministrator" or listings["defaults"].get("icon"):
        FAILURES.append(f"list, defaults: {listings['defaults']}")
    full = listings["every key"]
    if (full.get("execution_level") != "asInvoker" or full.get("icon", {}).get("images") != ["32x32 8-bit", "16x16 8-bit"]
            or full.get("version", {}).get("LegalCopyright") != "\u00a9 2001"
            or full.get("version", {}).get("numbers") != "3.2.1.0"):
        FAILURES.append(f"list, every key: {full}")
    expect("list shows the icon", run([setuppack, "list", os.path.join(folder, "every_key.exe")]), 0,
           r"^icon: group 1, 32x32 8-bit 16x16 8-bit$")


def check_extract_and_update(setuppack, stub, work):
    """extract keeps each item's folder; init --update adds new files, names gone sources
    and keeps the hand-edited text as it was."""
    folder = os.path.join(work, "update")
    product = os.path.join(folder, "product")
    for name in ("README.TXT", "SAMPLES/README.TXT", "OLD.TXT"):
        os.makedirs(os.path.dirname(os.path.join(product, name)), exist_ok=True)
        with open(os.path.join(product, name), "w") as f:
            f.write(name)
    manifest = os.path.join(folder, "m.toml")
    expect("init", run([setuppack, "init", product, "-o", manifest]), 0, "3 items")
    with open(manifest) as f:
        text = f.read().replace('[[item]]\nsource = "product/README.TXT"',
                                '# hand edit\n[[item]]\nsource = "product/README.TXT"', 1)
    with open(manifest, "w") as f:
        f.write(text)
    installer = os.path.join(folder, "setup.exe")
    expect("build the init manifest", run([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    out = os.path.join(folder, "out")
    expect("extract into folders", run([setuppack, "extract", installer, out]), 0, "3 files written")
    for name in ("README.TXT", "SAMPLES/README.TXT"):
        if not os.path.isfile(os.path.join(out, name)) or open(os.path.join(out, name)).read() != name:
            FAILURES.append(f"extract: {name} is not where its dir says")
    os.remove(os.path.join(product, "OLD.TXT"))
    with open(os.path.join(product, "SAMPLES", "NEW.TXT"), "w") as f:
        f.write("new")
    result = run([setuppack, "init", "--update", manifest, product])
    expect("init --update", result, 1, "1 items added, 1 sources gone", r"m\.toml:\d+: source 'product/OLD\.TXT' is gone")
    with open(manifest) as f:
        updated = f.read()
    if not updated.startswith(text) or 'source = "product/SAMPLES/NEW.TXT"' not in updated[len(text):]:
        FAILURES.append(f"init --update did not keep the text and append the item:\n{updated}")
    expect("init --update again", run([setuppack, "init", "--update", manifest, product]), 1, "0 items added")


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
            check_file_faults(setuppack, setupsim, stub, work)
            check_resources(setuppack, stub, work)
            check_extract_and_update(setuppack, stub, work)
            check_init_compression(setuppack, stub, work)
            check_device_and_dropped_names(setuppack, stub, work)
            if shutil.which("mformat"):
                check_diskettes(setuppack, stub, work)
                check_diskette_faults(setuppack, stub, work)
    for failure in FAILURES:
        print(failure)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
