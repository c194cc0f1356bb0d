"""What the GUI scenarios see of the installer's windows and press in them: the dialogs'
captions and the template names the simulated run reports for them, and the control ids."""
DIRDLG_TITLE = "Installation Directory"
PROGRESS_TITLE = "Installing Application Files"
TEMPLATES = {DIRDLG_TITLE: "DIRDLG", PROGRESS_TITLE: "PROGRESSDLG"}
EDIT, OK, HELP, ABORT, PERCENT = 101, 102, 105, 1, 100
IDOK = 1
