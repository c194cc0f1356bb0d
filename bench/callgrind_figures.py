#!/usr/bin/env python3
"""Instruction counts (callgrind) of the packaging tool and of a simulated installation.

Usage: callgrind_figures.py BUILD_DIR CORPUS_DIR WORK_DIR [--all-compressed]

Packs the corpus into an installer (every file embedded, compress = "auto", or with the flag
'compressed' on every item with --all-compressed, as older tools needed), then runs under
callgrind: setuppack build, verify, extract, compress and decompress, and setupsim over the
installer. Prints one table: instructions per byte for the encoder, the decoders and the sums,
and per tick for the installer's decode and copy steps (the engine's own work apart from the
simulated Windows calls beneath it, which are shown beside it). Figures are net of process
start-up (a run on an empty input is subtracted where a whole command is measured).
"""
import os
import re
import subprocess
import sys
from collections import defaultdict

STEPS = ("DecodeStep()", "CopyFromInstallerStep()")


class Profile:
    """One callgrind output: self cost per function, and per call edge its calls and cost."""

    def __init__(self, path):
        self.total = 0
        self.self_cost = defaultdict(int)
        self.edges = defaultdict(lambda: [0, 0])  # (caller, callee) -> [calls, inclusive]
        names = {"fn": {}, "fl": {}}
        function = callee = None
        pending = None
        with open(path, errors="replace") as f:
            for line in f:
                key, _, rest = line.partition("=")
                if key in ("fn", "cfn"):
                    name = self._resolve(names["fn"], rest.strip())
                    if key == "fn":
                        function = name
                    else:
                        callee = name
                elif key == "calls":
                    pending = int(rest.split()[0])
                elif line.startswith(("summary:", "totals:")):
                    self.total = max(self.total, int(line.split()[1]))
                elif line[:1] in "0123456789+-*":
                    parts = line.split()
                    cost = int(parts[1]) if len(parts) > 1 else 0
                    if pending is not None:
                        edge = self.edges[(function, callee)]
                        edge[0] += pending
                        edge[1] += cost
                        pending = None
                    else:
                        self.self_cost[function] += cost

    @staticmethod
    def _resolve(table, text):
        match = re.match(r"\((\d+)\)\s*(.*)", text)
        if not match:
            return text
        if match.group(2):
            table[match.group(1)] = match.group(2)
        return table.get(match.group(1), text)

    def inclusive(self, name):
        cost = self.self_cost.get(name, 0)
        for (caller, callee), (_, c) in self.edges.items():
            if caller == name and callee != name:
                cost += c
        return cost

    def calls(self, name):
        return sum(n for (caller, callee), (n, _) in self.edges.items()
                   if callee == name and caller != name)

    def platform_cost(self, root):
        """What the platform calls made beneath `root` cost: the facade's counting wrapper of
        each call made from outside the platform, and the simulated Windows beneath it."""
        def platform(name):
            return name.startswith("Sim_") or "Counted_" in name

        beneath, todo = {root}, [root]
        while todo:
            caller = todo.pop()
            for (source, callee) in self.edges:
                if source == caller and callee not in beneath and not platform(callee):
                    beneath.add(callee)
                    todo.append(callee)
        return sum(c for (caller, callee), (_, c) in self.edges.items()
                   if caller in beneath and platform(callee))


def callgrind(work, label, command, toggle=None):
    out = os.path.join(work, "callgrind." + label.replace("*", ""))
    args = ["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out]
    if toggle:
        args.append("--toggle-collect=" + toggle)
    env = dict(os.environ, QV_BENCH_INSTALLER=os.path.join(work, "corpus.exe"))
    subprocess.run(args + command, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=env)
    return Profile(out)


def write_manifest(corpus, work, flags):
    lines = []
    for i, name in enumerate(sorted(os.listdir(corpus))):
        lines.append('[[item]]\nsource = "%s"\ntarget = "F%04d.BIN"\n'
                     'flags = [%s]\ndate = 2001-10-11T17:42:12\n'
                     % (os.path.join(corpus, name), i, flags))
    path = os.path.join(work, "corpus.toml")
    with open(path, "w") as f:
        f.write("\n".join(lines))
    return path


def main():
    build, corpus, work = (os.path.abspath(a) for a in sys.argv[1:4])
    flags = '"embedded", "overwrite"'
    if "--all-compressed" in sys.argv[4:]:
        flags += ', "compressed"'
    os.makedirs(work, exist_ok=True)
    setuppack = os.path.join(build, "setuppack")
    setupsim = os.path.join(build, "setupsim")
    stub = os.path.join(build, "tests", "pack_stub", "stub_i686.exe")
    files = sorted(os.path.join(corpus, n) for n in os.listdir(corpus))
    original = sum(os.path.getsize(f) for f in files)
    installer = os.path.join(work, "corpus.exe")
    joined = os.path.join(work, "corpus.bin")
    empty = os.path.join(work, "empty.bin")
    with open(joined, "wb") as out:
        for f in files:
            out.write(open(f, "rb").read())
    open(empty, "wb").close()

    rows = []

    def row(what, value, unit, note=""):
        rows.append((what, value, unit, note))

    build_run = callgrind(work, "build", [setuppack, "build", write_manifest(corpus, work, flags),
                                          "--stub", stub, "-o", installer])
    installed = os.path.getsize(installer)
    verify = callgrind(work, "verify", [setuppack, "verify", installer])
    extract = callgrind(work, "extract", [setuppack, "extract", installer,
                                          os.path.join(work, "extracted")])
    start = callgrind(work, "start", [setuppack, "compress", empty, empty + ".lz"])
    compress = callgrind(work, "compress", [setuppack, "compress", joined, joined + ".lz"])
    decompress = callgrind(work, "decompress", [setuppack, "decompress", joined + ".lz",
                                                joined + ".out"])
    stored = os.path.getsize(joined + ".lz")

    encoder = build_run.inclusive("EncodeLzss(unsigned char const*, unsigned long)")
    row("corpus", original, "bytes", "%d files" % len(files))
    row("installer", "%.2f%%" % (100.0 * installed / original), "of the corpus",
        "%d bytes, %s" % (installed, "all compressed" if "compressed" in flags else "auto"))
    row("one stream of the whole corpus", "%.2f%%" % (100.0 * stored / original), "of the corpus")
    row("encoder (build)", "%.0f" % (encoder / original), "instr/byte")
    row("setuppack compress", "%.0f" % ((compress.total - start.total) / original),
        "instr/byte")
    row("setuppack decompress", "%.1f" % ((decompress.total - start.total) / original),
        "instr/out byte")
    stream_decode = "DecodeLzssStream(unsigned char const*, unsigned long, unsigned char*, " \
        "std::function<void (unsigned char const*, unsigned long)> const&)"
    row("  of which decoding", "%.1f" % (decompress.inclusive(stream_decode) / original),
        "instr/out byte")
    row("setuppack extract", "%.1f" % ((extract.total - start.total) / original),
        "instr/out byte")
    row("setuppack verify", "%.1f" % ((verify.total - start.total) / original),
        "instr/original byte", "%.1f per installer byte" %
        ((verify.total - start.total) / installed))
    row("setuppack build", "%.0f" % ((build_run.total - start.total) / original),
        "instr/original byte")
    full = callgrind(work, "sim", [setupsim, installer, "--root", os.path.join(work, "root")])
    row("setupsim whole install", "%.0f" % (full.total / 1e6), "M instr")
    for step in STEPS:
        ticks = full.calls(step)
        if ticks == 0:
            continue
        inside = callgrind(work, "sim-" + step[:-2],
                           [setupsim, installer, "--root", os.path.join(work, "root")],
                           toggle=step[:-2] + "*")
        platform = inside.platform_cost(step)
        row(step[:-2] + " ticks", ticks, "ticks")
        row(step[:-2] + " engine", "%.0f" % ((inside.total - platform) / ticks), "instr/tick",
            "simulated Windows beneath: %.0f instr/tick" % (platform / ticks))
    integrity = callgrind(work, "sim-integrity",
                          [setupsim, installer, "--root", os.path.join(work, "root")],
                          toggle="CheckInstallerIntegrity*")
    summing = "CheckInstallerIntegrity(HINSTANCE__*, HWND__*)"
    row("installer integrity sum", "%.2f" % ((integrity.total - integrity.platform_cost(summing))
                                             / installed), "instr/byte",
        "the whole check in 5000-byte reads; the simulated ReadFile apart")
    benchmarks = os.path.join(build, "bench", "benchmarks")
    for name, what in (("BM_SumTrailer", "tools' trailer sum"),
                       ("BM_PeChecksum", "tools' PE header checksum")):
        if not os.path.exists(benchmarks):
            break
        run = callgrind(work, name, [benchmarks, "--benchmark_filter=^%s$" % name,
                                     "--benchmark_min_time=0"], toggle="*%s*" % name)
        row(what, "%.2f" % (run.total / installed), "instr/byte", "one pass, %s" % name)

    width = max(len(r[0]) for r in rows)
    for what, value, unit, note in rows:
        print("%-*s  %14s  %-20s %s" % (width, what, value, unit, note))


if __name__ == "__main__":
    main()
