"""What the GUI scenarios see of the installer's windows and press in them: the dialogs'
captions and the template names the simulated run reports for them, the control ids and the
product's registry key, all read from the table the build wrote (resources/ui_table.h)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from ui_table import UI  # noqa: E402

DIRDLG_TITLE = UI["CAPTION_DIRDLG"]
PROGRESS_TITLE = UI["CAPTION_PROGRESSDLG"]
TEMPLATES = {DIRDLG_TITLE: UI["TEMPLATE_DIRDLG"].upper(),
             PROGRESS_TITLE: UI["TEMPLATE_PROGRESSDLG"].upper()}
EDIT, OK, HELP = UI["DIRDLG_EDIT"], UI["DIRDLG_OK"], UI["DIRDLG_HELP"]
ABORT, PERCENT = UI["PROGRESSDLG_ABORT"], UI["PROGRESSDLG_PERCENT"]
IDOK = 1
PRODUCT_KEY = UI["PRODUCT_REGISTRY_KEY"]
