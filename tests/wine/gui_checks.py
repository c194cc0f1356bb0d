"""A GUI scenario's runs checked: each against the scenario, then the simulated run against
the Wine run, with the differences DIFFERENCES allows by name."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import require  # noqa: E402

from gui_scenario_table import DIFFERENCES, PLANTED, USER_DATA  # noqa: E402


def check_run(s, run, packed, where):
    dialogs = [e[1] for e in run["seen"] if e[0] == "dialog"]
    require(dialogs == s["dialogs"], "%s: dialogs %s" % (where, dialogs))
    boxes = [e[1:] for e in run["seen"] if e[0] == "box"]
    wanted = s["boxes"]
    if where == "sim" and s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        wanted = [b for b in wanted if not b[0].startswith("Error locating file")]
    require(len(boxes) == len(wanted) and all(
        caption == want_caption and (want_text is None or text == want_text)
        for (caption, text), (want_caption, want_text) in zip(boxes, wanted)),
        "%s: message boxes %s" % (where, boxes))
    require(run["exit"] == 0, "%s: exit code %s" % (where, run["exit"]))
    files = run["files"]
    if s["installed"] == "none":
        require(not files, "%s: nothing installed, found %s" % (where, sorted(files)))
        return
    if s["installed"] == "all":
        for relative, data in packed.items():
            want = USER_DATA if s["user_data"] and relative == "QVDATA.DB" else data
            require(relative in files and files[relative]["bytes"] == want,
                    "%s: %s holds the packed bytes" % (where, relative))
        require(files["READ_ME.TXT"]["written"] == "2001-10-11T17:42:12Z",
                "%s: READ_ME.TXT last written %s" % (where, files["READ_ME.TXT"]["written"]))
        if s["diskettes"]:
            return
        require(len(run["launches"]) == 2, "%s: both programs launched: %s" % (where, run["launches"]))
        programs = [p.lower() for p in run["programs"]]
        require(PLANTED.lower() not in programs,
                "%s: the planted %s was started: %s" % (where, PLANTED, programs))
        # Still running when the installer deletes it, as the simulated run predicts.
        require("QVCONVRT.EXE" in files, "%s: the converter stays while it runs" % where)
        return
    # Aborted: what was copied so far stays, the last file possibly cut short.
    for relative, entry in files.items():
        if relative in packed:
            require(packed[relative].startswith(entry["bytes"]),
                    "%s: %s is a prefix of the packed bytes" % (where, relative))


def compare_aborted(sim, wine, packed):
    """DIFFERENCES["abort_point"]: each run stopped at its own point. Both keep files in
    installation order; where both hold a file, one's bytes begin the other's, and a file
    complete in both has the same date."""
    for relative in set(sim["files"]) & set(wine["files"]):
        a, b = sim["files"][relative]["bytes"], wine["files"][relative]["bytes"]
        require(a.startswith(b) or b.startswith(a), relative + ": bytes differ")
        if a == b == packed.get(relative):
            require(sim["files"][relative]["written"] == wine["files"][relative]["written"],
                    relative + ": dates differ")
    for run in (sim, wine):  # a program runs only once its own file is complete
        for command, _ in run["launches"]:
            name = command.rsplit("\\", 1)[-1]
            # Gone is fine: a program deleted after its start may already have ended (a loaded
            # machine starts and ends it before the installer's deletion).
            require(name not in run["files"] or run["files"][name]["bytes"] == packed.get(name),
                    name + " launched before it was complete")


def compare(s, sim, wine, packed):
    wine_seen = wine["seen"]
    if s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        wine_seen = [e for e in wine_seen if not e[1].startswith("Error locating file")]
    require(sim["seen"] == wine_seen,
            "dialogs and boxes differ:\n  sim  %s\n  wine %s" % (sim["seen"], wine_seen))
    if s["installed"] == "some":
        compare_aborted(sim, wine, packed)
        return
    require(sim["launches"] == wine["launches"],
            "launches differ (%s):\n  sim  %s\n  wine %s" % (DIFFERENCES["launch_order"],
                                                             sim["launches"], wine["launches"]))
    require(sorted(sim["files"]) == sorted(wine["files"]),
            "installed files differ:\n  sim  %s\n  wine %s" % (sorted(sim["files"]),
                                                               sorted(wine["files"])))
    for relative, entry in sim["files"].items():
        other = wine["files"][relative]
        require(entry["bytes"] == other["bytes"], relative + ": bytes differ")
        attributes = entry.get("attributes", other["attributes"])
        require(attributes == other["attributes"] or (attributes, other["attributes"]) == (0x80, 0x20),
                "%s: attributes %#x (sim) / %#x (wine)" % (relative, attributes, other["attributes"]))
        require(entry.get("written", other["written"]) == other["written"],
                "%s: last written %s (sim) / %s (wine)" % (relative, entry.get("written"),
                                                           other["written"]))
