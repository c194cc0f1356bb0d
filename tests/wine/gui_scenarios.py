#!/usr/bin/python3
"""The demo installer's GUI scenarios, each written once (the machine, what the user does, what
must result) and run on two Windows: the simulated one through setupsim, and Wine, where the
installer runs on the virtual display and qvdrive plays the user from inside the prefix. Each
run is checked against the scenario, then the two runs are compared: the dialogs and message
boxes (caption, text) in order, the launches, the installed files (names, bytes, last-write
times). What legitimately differs is listed in DIFFERENCES and handled by name.

The scenarios are in gui_scenario_table.py, the installers they run in gui_installers.py, the
two runs in gui_sim_run.py and gui_wine_run.py, the checks in gui_checks.py, and the captions
and control ids they look for in gui_controls.py.

usage: gui_scenarios.py BITS SOURCE_DIR NATIVE_BUILD_DIR [SCENARIO...]
  BITS 64: build/win64's installer under wine64; 32: the PE32 from build/win32 (what ships)
  under 32-bit Wine. scripts/test brings Wine up and exports QV_WINE64_PREFIX, QV_WINE32_PREFIX,
  QV_WINE64, QV_WINE32 and DISPLAY. Exit 77 (skipped, with the reason) without them, on a
  machine that runs no 32-bit code, or when the Windows builds are missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import SKIPPED  # noqa: E402

from gui_checks import check_run, compare  # noqa: E402
from gui_installers import (corrupted_copy, pack_diskettes, pack_installer,  # noqa: E402
                            package_middle, packed_files, signed_copy)
from gui_scenario_table import DIFFERENCES, SCENARIOS  # noqa: E402
from gui_sim_run import run_sim  # noqa: E402
from gui_wine_run import Wine, run_wine  # noqa: E402


def skip(reason):
    print("SKIPPED: " + reason)
    return SKIPPED


class Suite:
    """What every scenario of one bitness shares."""

    def __init__(self, bits, source, native, work):
        self.bits, self.source, self.native, self.work = bits, source, native, work
        self.installer = pack_installer(bits, source, native, work)
        self.program_files = "C:\\Program Files" + (" (x86)" if bits == 32 else "")
        self.default_target = self.program_files + "\\VarnookSW\\QRVNE32"
        self.packed = packed_files(source)
        self.setupsim = os.path.join(native, "setupsim")


def run_scenario(s, suite, wine):
    """Runs one scenario on both Windows, checks each run and compares them; stops at its first fault."""
    exe, packed = suite.installer, suite.packed
    if s["signed"]:
        exe = signed_copy(suite.native, suite.installer, suite.work)
    if s["corrupt"]:
        at = package_middle(suite.native, exe) if s["signed"] else None
        exe = corrupted_copy(exe, suite.work, at)
    if s["diskettes"]:
        exe, packed = pack_diskettes(suite.bits, suite.source, suite.native, suite.work)
    target = s["typed_target"] or suite.default_target
    wine.reset([suite.default_target, "C:\\Quorvane\\QRVNE32"])
    sim = run_sim(s, suite.setupsim, exe, suite.work, target, suite.program_files)
    check_run(s, sim, packed, "sim")
    real = run_wine(s, wine, exe, target)
    check_run(s, real, packed, "wine")
    compare(s, sim, real, packed)


def run_all(suite, chosen):
    """Runs the chosen scenarios of the suite's bitness; a fault ends only its own scenario
    (its failures are named after it and printed at the end)."""
    wine = Wine(suite.bits, suite.source, suite.work)
    for s in SCENARIOS:
        if (chosen and s["name"] not in chosen) or suite.bits not in s["bits"]:
            continue
        started = time.monotonic()
        with qvtest.case(s["name"], catch=(subprocess.SubprocessError, OSError)) as scenario:
            run_scenario(s, suite, wine)
        print("%s %-20s %.1f s" % ("ok    " if scenario.passed else "FAILED", s["name"],
                                   time.monotonic() - started))
    print("differences allowed by name:")
    for key, text in DIFFERENCES.items():
        print("  %s: %s" % (key, text))


def main():
    bits, source, native = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    if os.environ.get("QV_WINE_READY") != "1":
        return skip("Wine is not up (scripts/test brings it up)")
    if bits == 32 and not os.environ.get("QV_WINE32_PREFIX"):
        return skip("the PE32 under 32-bit Wine: " + os.environ.get("QV_WINE32_SKIP", "no prefix"))
    work = tempfile.mkdtemp(prefix="qv-gui%d-" % bits)
    try:
        suite = Suite(bits, source, native, work)
        if suite.installer is None:
            return skip("build the win32 and win64 presets first")
        run_all(suite, sys.argv[4:])
    finally:
        if not os.environ.get("QV_KEEP_WORK"):  # set it to look at a failed run's files
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
