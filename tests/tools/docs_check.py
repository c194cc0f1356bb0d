"""The packager's documentation against the code it describes:

  - every flag name setuppack's manifest reader accepts has a row in the flag table of
    docs/packaging.md, with the bit the installer gives it, and the table names no other flag;
  - the page's TOML examples are machine files setupsim reads;
  - the installer's built-in names (window title, default folder, directory token, registry
    key, WIN.INI sections, product windows, free-space minimum) and every message it can show
    appear in docs/packaging.md as the code spells them;
  - the man pages hold no backslash that roff would read as an escape of its own (a `\\u`
    shows as nothing), and name docs/packaging.md under SEE ALSO, as the README links it;
  - `cmake --install` of the build puts packaging.md beside the other documents of the .deb.

usage: docs_check.py SOURCE_DIR BUILD_DIR"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import fail, stop  # noqa: E402

PACKAGING = "docs/packaging.md"
MAN_PAGES = ("docs/setuppack.1", "docs/setupsim.1")
INSTALLER_SOURCES = ("shell", "setupdir", "engine")
UI_TABLE = "resources/ui_table.h"  # the installer's texts and names, as macros


def read(source, path):
    with open(os.path.join(source, path), encoding="utf-8") as f:
        return f.read()


def flat(text):
    """Text with every run of blanks and line ends as one blank, as Markdown shows it."""
    return re.sub(r"\s+", " ", text)


# --- flags -----------------------------------------------------------------------------------

def accepted_flag_names(setuppack):
    """The names the manifest reader accepts, from its own refusal of an unknown flag."""
    with tempfile.TemporaryDirectory(prefix="qv-docs-") as work:
        manifest = os.path.join(work, "manifest.toml")
        with open(manifest, "w") as f:
            f.write('[[item]]\ntarget = "X.EXE"\nflags = ["no_such_flag"]\n')
        # The manifest is read before the stub is looked for, so no stub is needed.
        result = subprocess.run([setuppack, "build", manifest, "--stub", os.path.join(work, "none"),
                                 "-o", os.path.join(work, "x.exe")], capture_output=True, text=True)
    known = re.search(r"\(known: ([^)]*)\)", result.stderr)
    if result.returncode != 1 or not known:
        stop(f"setuppack did not list the known flags:\n{result.stderr}")
    return set(known.group(1).split(", "))


def flag_bits_in_code(source):
    """name -> bit, from the flag name table and the copy table's bit constants."""
    bits = dict(re.findall(r"(CF_\w+) = (0x[0-9A-Fa-f]+)", read(source, "engine/core/package.h")))
    names = re.findall(r'\{(CF_\w+), "(\w+)"\}', read(source, "pack/flags.cpp"))
    return {name: int(bits[constant], 16) for constant, name in names}


def documented_flags(doc):
    """name -> bit from the rows of the flag table: | `name` | 0x0002 | ..."""
    rows = re.findall(r"^\| `(\w+)` \| (0x[0-9A-Fa-f]{4}) \|", doc, re.M)
    return {name: int(bit, 16) for name, bit in rows}


def check_flags(source, setuppack, doc):
    accepted = accepted_flag_names(setuppack)
    in_code = flag_bits_in_code(source)
    documented = documented_flags(doc)
    if set(in_code) != accepted:
        fail(f"pack/flags.cpp names {sorted(in_code)}, "
             f"setuppack accepts {sorted(accepted)}")
    for name in sorted(accepted - set(documented)):
        fail(f"{PACKAGING}: flag '{name}' has no row in the flag table")
    for name in sorted(set(documented) - accepted):
        fail(f"{PACKAGING}: flag table names '{name}', which setuppack refuses")
    for name in sorted(set(documented) & set(in_code)):
        if documented[name] != in_code[name]:
            fail(f"{PACKAGING}: '{name}' is bit {documented[name]:#06x}, "
                 f"the installer's is {in_code[name]:#06x}")


# --- the installer's built-in names and messages ---------------------------------------------

# One C++ token of interest at a time: a comment, a character literal or a string literal.
TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|\'(?:[^\'\\\n]|\\.)*\'|"((?:[^"\\\n]|\\.)*)"', re.S)


def string_literals(code):
    """Every string literal outside comments, adjacent literals joined as the compiler joins
    them (only blanks and line ends between them)."""
    literals, joined, end = [], None, 0
    for token in TOKEN.finditer(code):
        if token.group(0).startswith('"'):
            if joined is not None and code[end:token.start()].strip() == "":
                joined += token.group(1)
            else:
                if joined is not None:
                    literals.append(joined)
                joined = token.group(1)
            end = token.end()
    if joined is not None:
        literals.append(joined)
    return [re.sub(r"\\(.)", r"\1", literal) for literal in literals]


def installer_literals(source):
    literals = []
    for folder in INSTALLER_SOURCES:
        for name in sorted(os.listdir(os.path.join(source, folder))):
            if name.endswith(".cpp"):
                literals += string_literals(read(source, f"{folder}/{name}"))
    # A macro's pieces are joined across its line continuations, as the compiler joins them.
    return literals + string_literals(read(source, UI_TABLE).replace("\\\n", "\n"))


def is_message(literal):
    """Texts the user reads: a few words, or a message box caption. Registry and WIN.INI
    names (no sentence) are checked as built-in names instead."""
    return literal.count(" ") >= 2 and "\\" not in literal


def as_pattern(text):
    """A pattern for a message as the docs write it: %s is some name, %#X an error code
    written 0X..., and line breaks may fall between any two words."""
    pieces = re.split(r"(%#X|%s)", text)
    pattern = ""
    for piece in pieces:
        if piece == "%#X":
            pattern += r"0X\S*?"
        elif piece == "%s":
            pattern += r".+?"
        else:
            pattern += r"\s+".join(re.escape(word) for word in re.split(r" +", piece))
    return pattern


def constant(source, path, name):
    found = re.search(rf'\b{name}\[\] = "((?:[^"\\]|\\.)*)"', read(source, path))
    if not found:
        stop(f"{path} no longer defines {name}")
    return re.sub(r"\\(.)", r"\1", found.group(1))


def defined(source, name):
    found = re.search(rf'^#define {name} "((?:[^"\\]|\\.)*)"(?: *//.*)?$', read(source, UI_TABLE),
                      re.M)
    if not found:
        stop(f"{UI_TABLE} no longer defines {name}")
    return re.sub(r"\\(.)", r"\1", found.group(1))


def built_in_names(source):
    names = [constant(source, "shell/startup.cpp", "PROGRAM_FILES_KEY")]
    names += [defined(source, name)
              for name in ("CAPTION_MAIN_WINDOW", "PRODUCT_DIR_UNDER_PROGRAM_FILES",
                           "PRODUCT_FALLBACK_DIR", "DIR_TOKEN_TEXT", "PRODUCT_REGISTRY_KEY",
                           "PRODUCT_INI_SECTION", "PRODUCT_SHORT_INI_SECTION",
                           "PRODUCT_WINDOW_CLASS", "PRODUCT_MENU_WINDOW_CLASS")]
    minimum = re.search(r"MIN_FREE_KB = (\d+);", read(source, "setupdir/setupdir.h"))
    names.append(f"{minimum.group(1)} KB")
    return names


def check_installer_texts(source, doc):
    text = flat(doc)
    for name in built_in_names(source):
        if name not in text:
            fail(f"{PACKAGING} does not name the installer's '{name}'")
    for message in sorted(set(filter(is_message, installer_literals(source)))):
        if not re.search(as_pattern(message), text):
            fail(f"{PACKAGING} does not quote the installer's message '{message}'")


# --- the page's machine-file examples -------------------------------------------------------

def check_machine_examples(setupsim, doc):
    """Every TOML example on the page is a machine file setupsim reads: it runs an empty
    package (a 4-byte trailer of a zero sum) far enough to show the directory dialog."""
    examples = re.findall(r"^ *```toml\n(.*?)^ *```", doc, re.M | re.S)
    if not examples:
        fail(f"{PACKAGING}: no machine-file example found")
    with tempfile.TemporaryDirectory(prefix="qv-docs-") as work:
        package = os.path.join(work, "empty.bin")
        with open(package, "wb") as f:
            f.write(bytes(4))
        for number, example in enumerate(examples, 1):
            machine = os.path.join(work, f"machine{number}.toml")
            with open(machine, "w") as f:
                f.write(example)
            result = subprocess.run([setupsim, package, "--package-offset", "0", "--machine",
                                     machine, "--root", os.path.join(work, "root")],
                                    capture_output=True, text=True)
            if "dialog-start" not in result.stdout:
                fail(f"{PACKAGING}: TOML example {number} is refused by setupsim:\n"
                     f"{result.stderr}")


# --- man pages, README, installation ---------------------------------------------------------

def check_man_pages(source):
    for page in MAN_PAGES:
        text = read(source, page)
        for number, line in enumerate(text.splitlines(), 1):
            # \e and \(rs print a backslash; a backslash (or two, read again inside a macro's
            # arguments) before u is roff's half-line-up motion and swallows the text.
            if re.search(r"\\+u", line):
                fail(f"{page}:{number}: '\\u' is a roff escape; write \\eu")
        see_also = text.split(".SH SEE ALSO", 1)[-1]
        if "packaging.md" not in see_also:
            fail(f"{page}: SEE ALSO does not name packaging.md")
    if "(docs/packaging.md)" not in read(source, "README.md"):
        fail("README.md does not link docs/packaging.md")


def check_installed(build):
    with tempfile.TemporaryDirectory(prefix="qv-docs-install-") as prefix:
        result = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                                capture_output=True, text=True)
        if result.returncode != 0:
            stop(f"cmake --install:\n{result.stdout}{result.stderr}")
        for path in ("share/doc/quorvane-setup/packaging.md",
                     "share/doc/quorvane-setup/manifest.md"):
            if not os.path.isfile(os.path.join(prefix, path)):
                fail(f"not installed: {path}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, build = sys.argv[1:]
    doc = read(source, PACKAGING)
    check_flags(source, os.path.join(build, "setuppack"), doc)
    check_installer_texts(source, doc)
    check_machine_examples(os.path.join(build, "setupsim"), doc)
    check_man_pages(source)
    check_installed(build)
    if not qvtest.FAILURES:
        print("packaging.md, the man pages and the installed documents match the code")


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
