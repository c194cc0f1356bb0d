#!/usr/bin/env python3
"""setupsim --storyboard, looked at in headless Chromium: the demo installer previewed in four
situations (a plain installation; Help, a refused directory and Abort Install; a corrupted
installer; the two-diskette demo with a wrong diskette first), and for every frame of each
storyboard:
  - the texts shown are exactly those of the transcript at that moment (each control's text,
    the dialog captions, the main window's title, a message box's caption, text and
    buttons), the other controls showing their template text (resources/dialogs.def), and
    every one of them is visible: laid out inside the screen and not cut off;
  - the directory dialog's and the progress dialog's rectangles (the dialog, its buttons and
    edit field, the left edge of its static texts, the bar the installer draws) lie within
    a few pixels of where Wine puts them in the screenshots under docs/screenshots;
  - the storyboard file is the only thing written into the folder the run starts in.
Usage: storyboard_check.py SOURCE_DIR NATIVE_BUILD_DIR WIN32_BUILD_DIR
Exits 77 (skipped) when the Windows stub or the demo programs have not been built, or when
Chromium is not installed."""
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from png_image import PngImage  # noqa: E402
import qvtest  # noqa: E402
from qvtest import (SKIPPED, demo_built, demo_diskette_machine, json_lines, require, run,  # noqa: E402
                    stage_demo, write_file)
from ui_table import UI  # noqa: E402

CHROMIUM = shutil.which("chromium")
TOLERANCE = 3  # pixels between the storyboard's rectangles and Wine's
BUTTONS = [["OK"], ["OK", "Cancel"], ["Abort", "Retry", "Ignore"], ["Yes", "No", "Cancel"],
           ["Yes", "No"], ["Retry", "Cancel"]]

# Appended to a copy of the storyboard (the storyboard itself has no script): every frame's
# text elements as laid out, its controls' and dialogs' rectangles in screen pixels, and the
# rectangles the installer drew.
PROBE = r"""<script>
const frames = [];
for (const section of document.querySelectorAll("section.frame")) {
  const svg = section.querySelector("svg.screen"), box = svg.getBoundingClientRect();
  const sx = svg.viewBox.baseVal.width / box.width, sy = svg.viewBox.baseVal.height / box.height;
  const at = r => [(r.left - box.left) * sx, (r.top - box.top) * sy, r.width * sx, r.height * sy];
  const owner = e => { const g = e.closest("g.dialog"); return g ? g.dataset.template : null; };
  const texts = [...section.querySelectorAll(".t")].map(t => ({
    role: t.dataset.role, text: t.textContent, rect: at(t.getBoundingClientRect()),
    cut: t.scrollWidth > t.clientWidth + 1 || t.scrollHeight > t.clientHeight + 1,
    id: t.closest("g.control") ? +t.closest("g.control").dataset.id : null,
    dialog: owner(t), inBox: !!t.closest(".box"), answered: t.classList.contains("answered"),
    boxStyle: t.closest(".box") ? +t.closest(".box").dataset.style : null}));
  const controls = [...section.querySelectorAll("g.control")].map(g => ({
    dialog: owner(g), id: +g.dataset.id, kind: g.dataset.class,
    rect: at(g.querySelector("rect.bounds").getBoundingClientRect())}));
  const windows = [...section.querySelectorAll("g.dialog")].map(g => ({
    dialog: g.dataset.template, rect: at(g.querySelector("rect.window").getBoundingClientRect())}));
  const drawn = [...section.querySelectorAll("rect.drawn")].map(r => ({dialog: owner(r),
    rect: ["x", "y", "width", "height"].map(a => +r.getAttribute(a))}));
  const answer = section.querySelector("p.answer");
  frames.push({id: section.id, lines: +section.dataset.lines, shown: +section.dataset.shown,
               texts, controls, windows, drawn, answer: answer ? answer.textContent : ""});
}
const pre = document.createElement("pre");
pre.id = "probe";
pre.textContent = JSON.stringify(frames);
document.body.appendChild(pre);
</script>"""


def chromium(url, work, *args):
    profile = tempfile.mkdtemp(prefix="profile-", dir=work)
    command = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
               "--no-first-run", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--hide-scrollbars",
               "--user-data-dir=" + profile, "--window-size=1200,900", *args, url]
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    require(result.returncode == 0, f"chromium exited {result.returncode}: {result.stderr[-2000:]}")
    return result.stdout


def probe(storyboard, work):
    with open(storyboard, encoding="utf-8") as f:
        page = f.read()
    require("<script" not in page, "the storyboard needs no script")
    require(re.search(r"(src|href)\s*=", page) is None, "the storyboard refers to no other file")
    copy = os.path.join(work, "probe.html")
    with open(copy, "w", encoding="utf-8") as f:
        f.write(page.replace("</body>", PROBE + "</body>"))
    dom = chromium("file://" + copy, work, "--dump-dom")
    found = re.search(r'<pre id="probe">(.*?)</pre>', dom, re.S)
    require(found is not None, "the probe ran in Chromium")
    return json.loads(html.unescape(found.group(1)))


def template_controls(source):
    """The controls of each template in resources/dialogs.def: name -> [(id, text, x, y, w, h)]."""
    numbers = {name: value for name, value in UI.items() if isinstance(value, int)}
    templates, current = {}, None
    with open(os.path.join(source, "resources", "dialogs.def")) as f:
        for line in f:
            begin = re.match(r"DIALOG_BEGIN(?:_FONT)?\((\w+)", line)
            row = re.match(r'DIALOG_CONTROL\(([-\w]+), "\w+", "(.*?)", (\d+), (\d+), (\d+), (\d+)',
                           line)
            if begin:
                current = templates.setdefault(begin.group(1), [])
            elif row:
                ident = numbers.get(row.group(1)) or int(row.group(1))
                current.append((ident, row.group(2), *map(int, row.group(3, 4, 5, 6))))
    return templates


def dialog_name(template):
    names = {UI["TEMPLATE_DIRDLG"].upper(): UI["WINDOW_DIRDLG"],
             UI["TEMPLATE_PROGRESSDLG"].upper(): UI["WINDOW_PROGRESSDLG"]}
    return names.get(template, template.lower())


class Screen:
    """What the transcript says is on the screen: setupsim's JSON events replayed."""

    def __init__(self, templates):
        self.templates, self.title, self.dialogs, self.box = templates, None, [], None

    def take(self, event):
        kind = event["event"]
        if kind == "window":
            self.title = event["title"]
        elif kind == "dialog-start":
            texts = {c[0]: c[1] for c in self.templates[event["template"]] if c[0] != -1}
            self.dialogs.append({"template": event["template"], "caption": event["caption"],
                                 "texts": texts})
        elif kind == "dialog":
            names = [d["template"] for d in self.dialogs]
            del self.dialogs[len(names) - 1 - names[::-1].index(event["template"])]
        elif kind in ("text", "progress"):
            name = event.get("dialog", "progress")
            control = event.get("control", 100)
            for d in reversed(self.dialogs):
                if dialog_name(d["template"]) == name:
                    d["texts"][control] = event.get("text", event.get("percent"))
                    break
        elif kind == "messagebox":
            self.box = event


def check_visible(frame, text):
    x, y, w, h = text["rect"]
    where = f"{frame['id']}: {text['text']!r}"
    require(w > 0 and h > 0, where + " is laid out")
    require(x >= -1 and y >= -1 and x + w <= 1025 and y + h <= 769, where + " lies on the screen")
    require(not text["cut"], where + " is not cut off")


def check_texts(frame, screen):
    for text in frame["texts"]:
        check_visible(frame, text)
    shown = [t for t in frame["texts"] if not t["inBox"]]
    captions = [t["text"] for t in shown if t["role"] == "caption"]
    wanted = [screen.title] + [d["caption"] for d in screen.dialogs]
    require(captions == wanted, f"{frame['id']}: captions {captions}, transcript {wanted}")
    for d in screen.dialogs:
        got = sorted((t["id"], t["text"]) for t in shown if t["dialog"] == d["template"]
                     and t["role"] == "control")
        statics = [(c[0], c[1]) for c in screen.templates[d["template"]] if c[0] == -1]
        want = sorted(statics + list(d["texts"].items()))
        require(got == want, f"{frame['id']} {d['template']}: shows {got}, transcript {want}")
    boxed = [t for t in frame["texts"] if t["inBox"]]
    if screen.box is None:
        require(boxed == [], frame["id"] + ": no message box")
        return
    box = screen.box
    text = box["text"].replace("\r\n", "\n")
    require([t["text"] for t in boxed if t["role"] == "caption"] == [box["caption"]],
            frame["id"] + ": the box's caption")
    require([t["text"] for t in boxed if t["role"] == "box-text"] == [text],
            frame["id"] + ": the box's text, line breaks and all")
    buttons = [t["text"] for t in boxed if t["role"] == "button"]
    style = box["style"] & 0xF
    require(buttons == BUTTONS[style if style < 6 else 0], f"{frame['id']}: buttons {buttons}")
    answered = [t["text"] for t in boxed if t["answered"]]
    names = ["", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"]
    require(answered == [names[box["answer"]]], f"{frame['id']}: the answer {answered}")


def check_storyboard(frames, events, templates):
    """Each frame against the transcript up to the moment its picture was taken (the first
    `shown` of its lines; a box frame's first line is its box)."""
    require(sum(f["lines"] for f in frames) <= len(events), "the frames' lines are the transcript's")
    screen, at = Screen(templates), 0
    for frame in frames:
        lines = events[at:at + frame["lines"]]
        at += frame["lines"]
        screen.box = None
        for event in lines[:frame["shown"]]:
            screen.take(event)
        boxes = [e for e in lines[:frame["shown"]] if e["event"] == "messagebox"]
        require(len(boxes) <= 1 and (not boxes or lines[0] is boxes[0]),
                frame["id"] + ": a box frame begins with its box")
        check_texts(frame, screen)
        for event in lines[frame["shown"]:]:
            screen.take(event)
            screen.box = None


# ---------------------------------------------------------------------------------------
# The Wine screenshots

class Shot:
    def __init__(self, path):
        self.image = PngImage(path)
        self.face = None

    def at(self, x, y):
        return self.image.pixel(int(x), int(y))

    def window(self):
        """The dialog: the box of pixels that are not the blue background, below the caption."""
        rows = [y for y in range(30, self.image.height)
                if any(self.at(x, y) != (0, 0, 255) for x in range(0, self.image.width, 4))]
        top, bottom = rows[0], rows[-1]
        middle = (top + bottom) // 2
        columns = [x for x in range(self.image.width) if self.at(x, middle) != (0, 0, 255)]
        self.face = self.at(columns[0] + 6, bottom - 6)
        return columns[0], top, columns[-1], bottom

    def first_edge(self, points):
        """The first of `points` whose pixel differs from the dialog's face, or None."""
        for x, y in points:
            if 0 <= x < self.image.width and 0 <= y < self.image.height and \
                    self.at(x, y) != self.face:
                return x, y
        return None

    def box_edges(self, left, top, right, bottom, reach=6):
        """Left, top, right and bottom edge of a bordered rectangle near the one given."""
        middle_y, inner_x = (top + bottom) // 2, left + 4
        found = [self.first_edge([(x, middle_y) for x in range(left - reach, left + reach)]),
                 self.first_edge([(inner_x, y) for y in range(top - reach, top + reach)]),
                 self.first_edge([(x, middle_y) for x in range(right + reach, right - reach, -1)]),
                 self.first_edge([(inner_x, y) for y in range(bottom + reach, bottom - reach,
                                                             -1)])]
        return [None if f is None else f[i % 2] for i, f in enumerate(found)]

    def ink_left(self, left, top, right, bottom, reach=6):
        """Where the first dark pixel of a static text lies, scanning from the left."""
        for x in range(left - reach, right):
            if any(sum(self.at(x, y)) < 384 for y in range(top, bottom)):
                return x
        return None


def text_of(frame, control):
    for t in frame["texts"]:
        if (t["dialog"], t["id"], t["rect"][:2]) == (control["dialog"], control["id"],
                                                     control["rect"][:2]):
            return t["text"]
    return ""


def compare(what, ours, theirs, report):
    difference = None if theirs is None else abs(round(ours) - theirs)
    report.append((what, round(ours), theirs, difference))
    require(difference is not None and difference <= TOLERANCE,
            f"{what}: the storyboard has {round(ours)}, Wine {theirs}")


def check_against_wine(frame, template, screenshot):
    shot, report = Shot(screenshot), []
    window = [w["rect"] for w in frame["windows"] if w["dialog"] == template][0]
    left, top, right, bottom = shot.window()
    compare(template + " window left", window[0], left, report)
    compare(template + " window top", window[1], top, report)
    compare(template + " window right", window[0] + window[2] - 1, right, report)
    compare(template + " window bottom", window[1] + window[3] - 1, bottom, report)
    for control in [c for c in frame["controls"] if c["dialog"] == template]:
        x, y, w, h = map(round, control["rect"])
        name = f"{template} control {control['id']} ({control['kind']})"
        if control["kind"] in ("BUTTON", "EDIT"):
            edges = shot.box_edges(x, y, x + w - 1, y + h - 1)
            for side, ours, theirs in zip(("left", "top", "right", "bottom"),
                                          (x, y, x + w - 1, y + h - 1), edges):
                compare(f"{name} {side}", ours, theirs, report)
        elif text_of(frame, control).strip():
            compare(name + " text left", x, shot.ink_left(x, y, x + w, y + h), report)
    for drawn in [d for d in frame["drawn"] if d["dialog"] == template][:1]:
        x, y, w, h = drawn["rect"]
        # The pen is centred on the edge: its outer pixel lies half a pen out.
        edges = shot.box_edges(x, y, x + w, y + h)
        for side, ours, theirs in zip(("left", "top", "right", "bottom"),
                                      (x - 1, y - 1, x + w + 1, y + h + 1), edges):
            compare(f"{template} bar frame {side}", ours, theirs, report)
    worst = max(r[3] for r in report)
    print(f"{template}: {len(report)} edges against {os.path.basename(screenshot)}, "
          f"largest difference {worst} px")


# ---------------------------------------------------------------------------------------

ANSWERS = """
[[action]]
dialog = "DIRDLG"
press = 105
[[action]]
dialog = "DIRDLG"
type = "A:\\\\QRVNE32"
control = 101
[[action]]
dialog = "DIRDLG"
press = 102
[[action]]
dialog = "DIRDLG"
type = "C:\\\\Program Files\\\\VarnookSW\\\\QRVNE32"
control = 101
[[action]]
dialog = "DIRDLG"
press = 102
[[action]]
dialog = "PROGRESSDLG"
after = 1000
press = 1
"""


def storyboard_of(setupsim, installer, work, name, *args):
    """setupsim's transcript and the storyboard's probe, run from an empty folder that must
    hold nothing but the storyboard afterwards."""
    folder = os.path.join(work, name)
    os.makedirs(folder)
    events = json_lines(run([setupsim, installer, "--json", "--storyboard", "board.html",
                             *args], cwd=folder).stdout)
    require(os.listdir(folder) == ["board.html"], f"{name}: only the storyboard written, "
                                                 f"not {os.listdir(folder)}")
    return events, probe(os.path.join(folder, "board.html"), work)


def check_diskettes(source, win32, setuppack, setupsim, templates, work):
    """The two-diskette demo with the first diskette left in once: both prompts, each with
    the diskette the scripted user put in."""
    pkg = os.path.join(work, "pkg-diskettes")
    os.makedirs(pkg)
    manifest = stage_demo(source, win32, pkg, "manifest-diskettes.toml")
    disks = os.path.join(work, "disks")
    installer = os.path.join(disks, "SETUP.EXE")
    run([setuppack, "build", manifest, "--stub", os.path.join(win32, "setup-stub.exe"),
         "-o", installer, "--diskettes", disks])
    machine = os.path.join(work, "machine.toml")
    write_file(machine, demo_diskette_machine(disks))
    events, frames = storyboard_of(setupsim, installer, work, "diskettes", "--machine", machine,
                                   "--answers",
                                   os.path.join(source, "demo", "diskettes-answers.toml"))
    check_storyboard(frames, events, templates)
    answers = [f["answer"] for f in frames if f["answer"]]
    require(answers == ['The user answers OK and puts in the diskette "QV32 Disk 1".',
                        'The user answers OK and puts in the diskette "QV32 Disk 2".'],
            f"diskettes: the prompts' answers {answers}")


def main():
    source, native, win32 = sys.argv[1:4]
    if not demo_built(win32):
        print("SKIPPED: build the win32 preset's stub and demo programs first")
        return SKIPPED
    if CHROMIUM is None:
        print("SKIPPED: no chromium (scripts/test installs it)")
        return SKIPPED
    setuppack, setupsim = os.path.join(native, "setuppack"), os.path.join(native, "setupsim")
    templates = template_controls(source)
    work = tempfile.mkdtemp(prefix="qv-storyboard-")
    try:
        staged = os.path.join(work, "pkg")
        os.makedirs(staged)
        manifest = stage_demo(source, win32, staged)
        installer = os.path.join(work, "setup.exe")
        run([setuppack, "build", manifest, "--stub", os.path.join(win32, "setup-stub.exe"),
             "-o", installer])

        events, frames = storyboard_of(setupsim, installer, work, "plain")
        check_storyboard(frames, events, templates)
        kinds = [f["windows"][-1]["dialog"] if f["windows"] else "main" for f in frames]
        require(kinds[:2] == ["main", "DIRDLG"] and kinds.count("PROGRESSDLG") >= 6,
                f"plain: main window, directory dialog, progress frames: {kinds}")
        shots = os.path.join(source, "docs", "screenshots")
        check_against_wine(frames[1], "DIRDLG", os.path.join(shots, "directory-dialog.png"))
        progress = [f for f in frames if f["drawn"]][0]
        check_against_wine(progress, "PROGRESSDLG", os.path.join(shots, "progress.png"))

        answers = os.path.join(work, "answers.toml")
        with open(answers, "w") as f:
            f.write(ANSWERS)
        events, frames = storyboard_of(setupsim, installer, work, "help-abort",
                                       "--answers", answers)
        check_storyboard(frames, events, templates)
        boxes = [t["text"] for f in frames for t in f["texts"] if t["role"] == "caption"
                 and t["inBox"]]
        require(boxes == ["Choose a Directory", "Error", "Aborting Install"],
                f"help-abort: the boxes in order, {boxes}")

        corrupted = os.path.join(work, "corrupted.exe")
        with open(installer, "rb") as f:
            data = bytearray(f.read())
        data[len(data) // 2] ^= 0x55
        with open(corrupted, "wb") as f:
            f.write(data)
        events, frames = storyboard_of(setupsim, corrupted, work, "corrupted")
        check_storyboard(frames, events, templates)
        texts = [t["text"] for f in frames for t in f["texts"] if t["role"] == "box-text"]
        require(texts == ["Install program is corrupted!"], f"corrupted: its one message {texts}")

        check_diskettes(source, win32, setuppack, setupsim, templates, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("storyboards checked in Chromium")
    return 0


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
