"""The table of what the user sees (resources/ui_table.h: texts, captions, template names,
control ids) for the Python tests, as the native build writes it (resources/ui_table.json,
made by resources/ui_table_json.cpp from the header), so a test cannot drift from the
installer. QV_UI_TABLE names the file; without it, the native preset's build of this checkout.

    from ui_table import UI
    UI["DIRDLG_EDIT"] -> 101, UI["CAPTION_ABORT"] -> "Aborting Install"
"""
import json
import os

_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
_DEFAULT = os.path.join(_ROOT, "build", "native", "resources", "ui_table.json")


def load(path=None):
    """The table as a dict of macro name -> str or int."""
    path = path or os.environ.get("QV_UI_TABLE") or _DEFAULT
    with open(path, encoding="utf-8") as f:
        return json.load(f)


UI = load()
