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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import capture, check_exit, fail, manifest_item, read_file, write_file  # noqa: E402

DATE = "2001-10-11T17:42:12"  # the items' last-write date

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
        check_exit(" ".join(os.path.basename(a) for a in args), capture(args), code, out, err)


def check_input_problems(setuppack, setupsim, stub, work):
    bad = os.path.join(work, "bad.toml")
    with open(bad, "w") as f:
        f.write('[[item]]\ntarget = "A.TXT"\nflags = []\n\n[[item]]\ntarget = "B.TXT"\nflags = ["bogus"]\n')
    check_exit("build, bad flag", capture([setuppack, "build", bad, "--stub", stub, "-o", os.path.join(work, "x.exe")]),
               1, None, r"^" + re.escape(bad) + r":7: ")
    check_exit("verify, not an installer", capture([setuppack, "verify", bad]), 1, None, "bad.toml")
    check_exit("setupsim, not an installer", capture([setupsim, bad]), 1, None, "package offset")
    good = os.path.join(work, "good.toml")
    with open(good, "w") as f:
        f.write('[[item]]\ntarget = "A.TXT"\nflags = []\n')
    check_exit("build, missing stub", capture([setuppack, "build", good, "--stub", os.path.join(work, "none.exe"),
                                               "-o", os.path.join(work, "x.exe")]), 1, None, "none.exe")


def check_setupsim_input(setupsim, installer, work):
    machine = os.path.join(work, "machine.toml")
    with open(machine, "w") as f:
        f.write('program_runs_ms = 0\n\nfrobs = 1\n')
    check_exit("setupsim, bad machine file", capture([setupsim, installer, "--machine", machine]), 1, None,
               r"^\S*machine\.toml:3: ")


def check_json(setuppack, stub, work):
    source = os.path.join(work, "A.TXT")
    with open(source, "w") as f:
        f.write("hello, hello, hello, hello, hello\n" * 40)
    manifest = os.path.join(work, "ok.toml")
    write_file(manifest, manifest_item("A.TXT", "A.TXT", ["embedded", "compressed"], DATE))
    installer = os.path.join(work, "ok.exe")
    reports = {"build": [setuppack, "build", manifest, "--stub", stub, "-o", installer, "--json"],
               "verify": [setuppack, "verify", installer, "--json"],
               "list": [setuppack, "list", installer, "--json"]}
    for name, args in reports.items():
        result = capture(args)
        check_exit(f"{name} --json", result, 0)
        try:
            report = json.loads(result.stdout)
        except ValueError:
            fail(f"{name} --json is not JSON: {result.stdout}")
            continue
        if name == "build" and not (report["items"] == 1 and report["listed_bytes"] == 1360
                                    and 0 < report["ratio"] < 0.5 and report["output"] == installer):
            fail(f"build --json: {report}")
        if name == "verify" and not (report["ok"] and report["problems"] == []):
            fail(f"verify --json: {report}")
    with open(manifest, "a") as f:
        f.write('\n[[item]]\nsource = "A.TXT"\ntarget = "B.TXT"\nflags = ["embedded"]\ndate = "from-file"\n')
    check_exit("SOURCE_DATE_EPOCH not a number",
               capture(reports["build"], env=dict(os.environ, SOURCE_DATE_EPOCH="yesterday")), 1, None,
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
    result = capture([setuppack, "init", product, "-o", manifest])
    check_exit("init", result, 0, "4 items, 6 files left out")
    for name, kept in names.items():
        if not kept and name not in result.stderr:
            fail(f"init does not name {name} as left out:\n{result.stderr}")
    check_exit("init again, no --force", capture([setuppack, "init", product, "-o", manifest]), 1, None, "--force")
    installer = os.path.join(work, "init", "setup.exe")
    check_exit("build the init manifest", capture([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    check_exit("verify the init installer", capture([setuppack, "verify", installer]), 0)
    listing = capture([setuppack, "list", installer, "--json"])
    dirs = {e["target"]: e["dir"] for e in json.loads(listing.stdout)["items"]} if listing.returncode == 0 else {}
    if dirs.get("BASE.DB") != "DATA" or dirs.get("README.TXT") != "":
        fail(f"init items: {dirs}")


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
    check_exit("init, gzip", capture([setuppack, "init", folder, "-o", manifest]), 0, "2 items")
    check_exit("build, gzip", capture([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    listing = capture([setuppack, "list", installer, "--json"])
    items = {e["target"]: e for e in json.loads(listing.stdout)["items"]} if listing.returncode == 0 else {}
    gz, txt = items.get("A.GZ", {}), items.get("B.TXT", {})
    if "compressed" in gz.get("flag_names", ["compressed"]) or gz.get("stored_size") != gz.get("listed_size"):
        fail(f"init forces compression on a gzip file: {gz}")
    if "compressed" not in txt.get("flag_names", []):
        fail(f"init's text file is not compressed: {txt}")


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
        check_exit(f"build, target {name}",
                   capture([setuppack, "build", manifest, "--stub", stub, "-o", os.path.join(folder, "x.exe")]),
                   1, None, r"^" + re.escape(manifest) + r":6: target name '" + re.escape(name) + "' .*" + rule)
        if os.path.exists(os.path.join(folder, "x.exe")):
            fail(f"build of target {name} still wrote an installer")
    init_folder = os.path.join(folder, "tree")
    os.makedirs(init_folder)
    for name in ("CON.TXT", "NUL", "COM1.EXE", "AUX.DAT", "LPT1", "KEEP.TXT"):
        with open(os.path.join(init_folder, name), "w") as f:
            f.write(name)
    result = capture([setuppack, "init", init_folder, "-o", os.path.join(folder, "init.toml")])
    check_exit("init, device names", result, 0, "1 items, 5 files left out", "LPT1: left out: .*device")


def check_diskettes(setuppack, stub, work):
    """Diskette sets: images per label that verify with their external items; a missing or
    cut external item and an overflowing label are errors naming what is wrong."""
    folder = os.path.join(work, "disks")
    os.makedirs(folder)
    for name, size in (("SMALL.TXT", 3000), ("OTHER.TXT", 5000), ("BIG.DAT", 1500000)):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(os.urandom(size) if name == "BIG.DAT" else b"abc " * (size // 4))
    def item(name, disk, flags=("external",), **more):
        return manifest_item(name, name, list(flags), DATE, disk=disk, **more)

    write_file(os.path.join(folder, "two.toml"),
               item("SMALL.TXT", "Disk 1", ("external", "compressed")) +
               item("OTHER.TXT", "Second Disk", compress="never"))
    write_file(os.path.join(folder, "big.toml"), item("SMALL.TXT", "Disk 1") + item("BIG.DAT", "Disk 2"))
    setup = os.path.join(folder, "setup.exe")
    images = os.path.join(folder, "images")
    two = os.path.join(folder, "two.toml")
    check_exit("build --diskettes", capture([setuppack, "build", two, "--stub", stub, "-o", setup, "--diskettes", images]),
               0, r"disk2\.img: SECOND DISK,")
    check_exit("verify --diskettes", capture([setuppack, "verify", setup, "--diskettes", images]), 0)
    external = os.path.join(folder, "external")
    capture([setuppack, "build", two, "--stub", stub, "-o", setup, "--external-dir", external])
    os.remove(os.path.join(external, "Second Disk", "OTHER.TXT"))
    with open(os.path.join(external, "Disk 1", "SMALL.TX_"), "r+b") as f:
        f.truncate(10)
    result = capture([setuppack, "verify", setup, "--external-dir", external])
    check_exit("verify, a missing external item", result, 1, None, r"item 2 \(OTHER\.TXT\).*missing")
    check_exit("verify, a cut external item", result, 1, None, r"item 1 \(SMALL\.TXT\).*has 10 bytes")
    check_exit("build --diskettes, overflow",
               capture([setuppack, "build", os.path.join(folder, "big.toml"), "--stub", stub, "-o",
                        os.path.join(folder, "big.exe"), "--diskettes", os.path.join(folder, "big")]),
               1, None, r"diskette 'Disk 2' needs 1500160 bytes; a 1440K diskette holds 1457664 bytes")
    if os.path.exists(os.path.join(folder, "big.exe")) or os.path.exists(os.path.join(folder, "big", "disk1.img")):
        fail("an overflowing diskette set still wrote files")
    check_exit("--diskette-size", capture([setuppack, "build", two, "-o", setup, "--diskettes", images,
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
    def manifest(label):
        return write_file(os.path.join(folder, "m.toml"),
                          manifest_item("ONE.TXT", "ONE.TXT", ["external"], DATE, disk="Disk 1") +
                          manifest_item("TWO.TXT", "TWO.TXT", ["external"], DATE, disk=label))

    def left_behind():
        return sorted(n for n in os.listdir(folder) if n not in ("ONE.TXT", "TWO.TXT", "m.toml", "bin"))

    for label, why in (("Twelve chars", "more than the 11"), ("Disk.2", "'.'"), ("Disk+2", "'+'"),
                       ("   ", "blank")):
        check_exit(f"build --diskettes, label {label!r}",
                   capture([setuppack, "build", manifest(label), "--stub", stub, "-o", os.path.join(folder, "s.exe"),
                            "--diskettes", os.path.join(folder, "images")]), 1, None, re.escape(why))
        if left_behind():
            fail(f"label {label!r} refused but left {left_behind()}")
    good = manifest("Disk 2")
    check_exit("build --diskettes, -o into a missing folder",
               capture([setuppack, "build", good, "--stub", stub, "-o", os.path.join(folder, "none", "s.exe"),
                        "--diskettes", os.path.join(folder, "images")]), 1, None, "none")
    if left_behind():
        fail(f"a failed diskette build left {left_behind()}")
    fake = os.path.join(folder, "bin")
    os.makedirs(fake)
    with open(os.path.join(fake, "mcopy"), "w") as f:  # fails on the second diskette's file
        f.write('#!/bin/sh\ncase "$*" in *TWO.TX*) echo "disk full" >&2; exit 1;; esac\nexec %s "$@"\n'
                % shutil.which("mcopy"))
    os.chmod(os.path.join(fake, "mcopy"), 0o755)
    env = dict(os.environ, PATH=fake + os.pathsep + os.environ["PATH"])
    check_exit("build --diskettes, mcopy failing part-way",
               capture([setuppack, "build", good, "--stub", stub, "-o", os.path.join(folder, "s.exe"),
                        "--diskettes", os.path.join(folder, "images")], env=env), 1, None, "disk full")
    if left_behind():
        fail(f"mcopy failing part-way left {left_behind()}")
    setup = os.path.join(folder, "s.exe")
    check_exit("build --diskettes", capture([setuppack, "build", good, "--stub", stub, "-o", setup, "--diskettes",
                                             os.path.join(folder, "images")]), 0, "disk2.img: DISK 2,")
    for case, args in (("missing diskette folder", [setup, "--diskettes", os.path.join(folder, "gone")]),
                       ("missing installer", [os.path.join(folder, "gone.exe")]),
                       ("missing installer and diskettes", [os.path.join(folder, "gone.exe"), "--diskettes",
                                                            os.path.join(folder, "images")])):
        result = capture([setuppack, "verify", "--json"] + args)
        check_exit(f"verify --json, {case}", result, 1)
        try:
            report = json.loads(result.stdout)
            if report["ok"] or not report["problems"]:
                fail(f"verify --json, {case}: {report}")
        except ValueError:
            fail(f"verify --json, {case}: not JSON: {result.stdout!r}")


def check_file_faults(setuppack, setupsim, stub, work):
    """A planted link at the temporary name is not written through; FIFOs are refused, not
    waited on; a package offset with a leading zero is decimal."""
    folder = os.path.join(work, "file-faults")
    os.makedirs(folder)
    with open(os.path.join(folder, "A.TXT"), "w") as f:
        f.write("a file\n" * 50)
    manifest = os.path.join(folder, "m.toml")
    write_file(manifest, manifest_item("A.TXT", "A.TXT", ["embedded"], DATE))
    victim, out = os.path.join(folder, "victim"), os.path.join(folder, "out.exe")
    with open(victim, "w") as f:
        f.write("precious")
    os.symlink(victim, out + ".partial")
    check_exit("build past a planted link", capture([setuppack, "build", manifest, "--stub", stub, "-o", out]), 0)
    if read_file(victim) != "precious" or os.path.islink(out):
        fail("build wrote through the link planted at its temporary name")
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
            check_exit(case, result, 1, None, message)
        except subprocess.TimeoutExpired:
            fail(f"{case}: hangs")
    check_exit("--package-offset with a leading zero is decimal",
               capture([setuppack, "list", out, "--package-offset", "0157170"]), 1, "package offset: 157170$")
    check_exit("--package-offset 0x", capture([setuppack, "list", out, "--package-offset", "0x10"]), 1,
               "package offset: 16$")
    # setupsim reads its offset by the same rule: "08" is eight, not a bad octal number.
    result = capture([setupsim, out, "--package-offset", "08"])
    if result.returncode == 2:
        fail("setupsim --package-offset 08 refused as a usage error:\n" + result.stderr)
    check_exit("--package-offset 08", capture([setuppack, "list", out, "--package-offset", "08"]), 0,
               "package offset: 8$")
    check_exit("--package-offset 0x", capture([setuppack, "list", out, "--package-offset", "0x"]), 2, None, "offset")


def check_resources(setuppack, stub, work):
    """execution_level, icon and [version]: list shows them, verify accepts them, and bad
    values are refused with their line."""
    folder = os.path.join(work, "resources")
    os.makedirs(folder)
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    shutil.copy(os.path.join(source, "demo", "product.ico"), folder)
    with open(os.path.join(folder, "A.TXT"), "w") as f:
        f.write("a\n")
    item = manifest_item("A.TXT", "A.TXT", ["embedded"], DATE)
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
        check_exit(f"build, {case}", capture([setuppack, "build", manifest, "--stub", stub, "-o", installer]), code, None,
                   message)
        if code == 0:
            check_exit(f"verify, {case}", capture([setuppack, "verify", installer]), 0)
            listing = capture([setuppack, "list", "--json", installer])
            listings[case] = json.loads(listing.stdout) if listing.returncode == 0 else {}
    if listings["defaults"].get("execution_level") != "requireAdministrator" or listings["defaults"].get("icon"):
        fail(f"list, defaults: {listings['defaults']}")
    full = listings["every key"]
    if (full.get("execution_level") != "asInvoker" or full.get("icon", {}).get("images") != ["32x32 8-bit", "16x16 8-bit"]
            or full.get("version", {}).get("LegalCopyright") != "\u00a9 2001"
            or full.get("version", {}).get("numbers") != "3.2.1.0"):
        fail(f"list, every key: {full}")
    check_exit("list shows the icon", capture([setuppack, "list", os.path.join(folder, "every_key.exe")]), 0,
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
    check_exit("init", capture([setuppack, "init", product, "-o", manifest]), 0, "3 items")
    with open(manifest) as f:
        text = f.read().replace('[[item]]\nsource = "product/README.TXT"',
                                '# hand edit\n[[item]]\nsource = "product/README.TXT"', 1)
    with open(manifest, "w") as f:
        f.write(text)
    installer = os.path.join(folder, "setup.exe")
    check_exit("build the init manifest", capture([setuppack, "build", manifest, "--stub", stub, "-o", installer]), 0)
    out = os.path.join(folder, "out")
    check_exit("extract into folders", capture([setuppack, "extract", installer, out]), 0, "3 files written")
    for name in ("README.TXT", "SAMPLES/README.TXT"):
        if not os.path.isfile(os.path.join(out, name)) or read_file(os.path.join(out, name)) != name:
            fail(f"extract: {name} is not where its dir says")
    os.remove(os.path.join(product, "OLD.TXT"))
    with open(os.path.join(product, "SAMPLES", "NEW.TXT"), "w") as f:
        f.write("new")
    result = capture([setuppack, "init", "--update", manifest, product])
    check_exit("init --update", result, 1, "1 items added, 1 sources gone", r"m\.toml:\d+: source 'product/OLD\.TXT' is gone")
    with open(manifest) as f:
        updated = f.read()
    if not updated.startswith(text) or 'source = "product/SAMPLES/NEW.TXT"' not in updated[len(text):]:
        fail(f"init --update did not keep the text and append the item:\n{updated}")
    check_exit("init --update again", capture([setuppack, "init", "--update", manifest, product]), 1, "0 items added")


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


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
