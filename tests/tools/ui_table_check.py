#!/usr/bin/env python3
"""The JSON of the table of what the user sees, as the Python tests load it: it holds every
#define of resources/ui_table.h, numbers as numbers and texts with their escapes undone.
Usage: ui_table_check.py SOURCE_DIR (the table file: QV_UI_TABLE)"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import check  # noqa: E402
from ui_table import UI  # noqa: E402


def main(source):
    with open(os.path.join(source, "resources", "ui_table.h"), encoding="utf-8") as f:
        defined = set(re.findall(r"^#define ([A-Z][A-Z0-9_]*) ", f.read(), re.M))
    check(set(UI) == defined, f"names differ from the header's: {sorted(set(UI) ^ defined)}")
    expected = {
        "DIRDLG_EDIT": 101,
        "PROGRESSDLG_ABORT": 1,
        "PRODUCT_REGISTRY_KEY": "SOFTWARE\\VarnookSW\\Quorvane by Varnook",  # escapes undone
        "MSG_PRODUCT_RUNNING": "An instance of the Quorvane application is presently active in "
                               "Windows.  You must close that instance before attempting to "
                               "install this new copy of the Quorvane application!",  # joined
        "MSG_SET_DATE_FAILED": "Error setting file Date & Time!",
    }
    for name, value in expected.items():
        check(UI.get(name) == value, f"{name}: {UI.get(name)!r}, expected {value!r}")


if __name__ == "__main__":
    sys.exit(qvtest.main(lambda: main(sys.argv[1])))
