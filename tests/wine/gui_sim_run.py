"""A GUI scenario on the simulated Windows: its machine and answers files for setupsim, the
run, and what it shows (dialogs, boxes, launches, installed files with their dates)."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from qvtest import Bare, json_lines, require, toml_document, write_file  # noqa: E402

from gui_controls import ABORT, EDIT  # noqa: E402
from gui_installers import host_tree  # noqa: E402
from gui_scenario_table import PLANTED, PRODUCT_KEY, USER_DATA, USER_DATA_WRITTEN  # noqa: E402


def sim_machine(s, target, program_files, installer):
    drive_a = dict(letter="A", type="removable")
    if s["diskettes"]:  # DIFFERENCES["diskette_left_out"]
        drive_a["host_dir"] = os.path.join(os.path.dirname(installer), "..", "all")
    tables = [("drive", drive_a), ("drive", dict(letter="C", type="fixed")),
              ("registry", dict(key="SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                name="ProgramFilesDir", value=program_files))]
    if s["directory_value"]:
        tables.append(("registry", dict(key=PRODUCT_KEY, name="Directory", value=target)))
    if s["user_data"]:
        tables.append(("file", dict(path=target + "\\QVDATA.DB", content=USER_DATA.decode(),
                                    written=Bare(USER_DATA_WRITTEN))))
    if s["planted"]:
        tables.append(("file", dict(path=PLANTED, content="MZ planted")))
    keys = dict(running_windows=[s["running_window"]]) if s["running_window"] else {}
    return toml_document(tables, **keys)


def sim_answers(s):
    actions = []
    for kind, value in s["steps"]:
        actions.append(("action", dict(dialog="DIRDLG", type=value, control=EDIT) if kind == "type"
                        else dict(dialog="DIRDLG", press=value)))
    if s["abort"]:
        actions.append(("action", dict(dialog="PROGRESSDLG", press=ABORT, at=200)))
    return toml_document(actions, press_ok=False)


def run_sim(s, setupsim, installer, work, target, program_files):
    root = os.path.join(work, "sim-" + s["name"])
    machine, answers = root + ".machine.toml", root + ".answers.toml"
    write_file(machine, sim_machine(s, target, program_files, installer))
    write_file(answers, sim_answers(s))
    result = subprocess.run([setupsim, installer, "--json", "--root", root, "--machine", machine,
                             "--answers", answers], capture_output=True, text=True, timeout=120)
    require(result.returncode == 0, "setupsim failed: " + result.stdout[-2000:] + result.stderr)
    transcript = json_lines(result.stdout)
    seen = []
    for e in transcript:
        if e["event"] == "dialog-start":
            seen.append(("dialog", e["template"]))
        elif e["event"] == "messagebox":
            seen.append(("box", e["caption"], e["text"]))
    launched = [e for e in transcript if e["event"] == "launch"]
    launches = sorted((as_program_sees_it(e["command"]), e["cwd"]) for e in launched)
    # Files on the simulated drive; those the run wrote carry their date and attributes.
    files = host_tree(os.path.join(root, "C", *target[3:].split("\\")))
    for e in transcript:
        relative = e.get("path", "")[len(target) + 1:]
        if e["event"] == "file" and relative in files:
            files[relative].update(written=e["written"], attributes=e["attributes"])
    exit_code = [e["code"] for e in transcript if e["event"] == "exit"]
    return dict(seen=seen, launches=launches, files=files, exit=exit_code[0] if exit_code else None,
                programs=[e["program"] for e in launched])


def as_program_sees_it(command):
    """The command line as the demo programs write it into their markers: their own path as
    the runtime hands it over (without the quotes around it), then the arguments."""
    if command.startswith('"') and '"' in command[1:]:
        return command[1:].replace('"', "", 1)
    return command
