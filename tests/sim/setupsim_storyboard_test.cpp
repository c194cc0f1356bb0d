// setupsim's storyboard: dialog templates read from binary resources (both layouts, and cut
// short anywhere), the frames a run gives (which moments, in order, with the transcript cut
// between them), and the page's handling of untrusted text.
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/support/package_builder.h"
#include "tests/support/setupsim_fixture.h"
#include "tests/support/sim_fixture.h"
#include "tools/common/scratch_folder.h"
#include "tools/setupsim/dialog_templates.h"
#include "tools/setupsim/preview.h"
#include "tools/setupsim/storyboard.h"

namespace {

// Writes a template as the resource compiler lays it out: classic (DLGTEMPLATE) or extended.
struct TemplateWriter {
    std::vector<uint8_t> bytes;
    bool extended = false;

    void Word(uint32_t v) { bytes.push_back((uint8_t)v), bytes.push_back((uint8_t)(v >> 8)); }
    void Dword(uint32_t v) { Word(v & 0xFFFF), Word(v >> 16); }
    void Text(const std::string& text) {
        for (unsigned char c : text) Word(c);
        Word(0);
    }
    void Ordinal(uint16_t value) { Word(0xFFFF), Word(value); }
    void Align() {
        while (bytes.size() % 4) bytes.push_back(0);
    }
    void Rect(int x, int y, int w, int h) { Word(x), Word(y), Word(w), Word(h); }

    void Header(const sim::DialogData& d) {
        if (extended) Word(1), Word(0xFFFF), Dword(0);
        if (extended)
            Dword(0), Dword(d.style);
        else
            Dword(d.style), Dword(0);
        Word((uint32_t)d.controls.size());
        Rect(d.x, d.y, d.width, d.height);
        Word(0), Word(0), Text(d.caption);  // no menu, the dialog class
        if (!(d.style & DS_SETFONT)) return;
        Word(d.pointSize);
        if (extended) Word(400), Word(0);  // weight, italic and character set
        Text(d.faceName);
    }

    // Control classes as the ordinals of the predefined ones, others as names.
    void Item(const sim::DialogControlData& c) {
        static const char* const kOrdinal[] = {"BUTTON", "EDIT", "STATIC"};
        Align();
        if (extended)
            Dword(0), Dword(0), Dword(c.style);
        else
            Dword(c.style), Dword(0);
        Rect(c.x, c.y, c.width, c.height);
        if (extended)
            Dword((uint32_t)c.id);
        else
            Word((uint16_t)c.id);
        int ordinal = -1;
        for (int i = 0; i < 3; i++)
            if (c.className == kOrdinal[i]) ordinal = 0x80 + i;
        if (ordinal >= 0)
            Ordinal((uint16_t)ordinal);
        else
            Text(c.className);
        Text(c.text);
        Word(0);  // no creation data
    }
};

std::vector<uint8_t> Encode(const sim::DialogData& d, bool extended) {
    TemplateWriter w;
    w.extended = extended;
    w.Header(d);
    for (const sim::DialogControlData& c : d.controls) w.Item(c);
    return w.bytes;
}

sim::DialogData SampleDialog(DWORD style) {
    sim::DialogData d;
    d.caption = "Installation Directory";
    d.x = 15, d.y = 35, d.width = 185, d.height = 149;
    d.style = style;
    if (style & DS_SETFONT) d.pointSize = 8, d.faceName = "System";
    d.controls = {{-1, "STATIC", "Directory:", 6, 103, 36, 10, WS_CHILD | WS_VISIBLE},
                  {101, "EDIT", "", 45, 102, 126, 12, WS_CHILD | WS_VISIBLE | WS_BORDER},
                  {102, "BUTTON", "Ok", 13, 132, 45, 12, WS_CHILD | BS_DEFPUSHBUTTON},
                  {7, "msctls_progress32", "caf\xE9", -2, 0, 1, 1, WS_CHILD}};
    return d;
}

void ExpectSameDialog(const sim::DialogData& got, const sim::DialogData& want,
                      const std::string& name) {
    EXPECT_EQ(got.caption, want.caption) << name;
    EXPECT_EQ(got.style, want.style) << name;
    EXPECT_EQ(got.pointSize, want.pointSize) << name;
    EXPECT_EQ(got.faceName, want.faceName) << name;
    EXPECT_EQ(std::vector<int>({got.x, got.y, got.width, got.height}),
              std::vector<int>({want.x, want.y, want.width, want.height}))
        << name;
    ASSERT_EQ(got.controls.size(), want.controls.size()) << name;
    for (size_t i = 0; i < want.controls.size(); i++) {
        const sim::DialogControlData &g = got.controls[i], &w = want.controls[i];
        EXPECT_EQ(g.id, w.id) << name << " control " << i;
        EXPECT_EQ(g.className, w.className) << name << " control " << i;
        EXPECT_EQ(g.text, w.text) << name << " control " << i;
        EXPECT_EQ(g.style, w.style) << name << " control " << i;
        EXPECT_EQ(std::vector<int>({g.x, g.y, g.width, g.height}),
                  std::vector<int>({w.x, w.y, w.width, w.height}))
            << name << " control " << i;
    }
}

TEST(StoryboardTemplates, BothLayoutsReadBackAndAnyCutIsRefused) {
    const struct {
        const char* name;
        DWORD style;
        bool extended;
    } cases[] = {
        {"classic with a font", WS_POPUP | WS_CAPTION | DS_SETFONT, false},
        {"classic in the system font", WS_POPUP | WS_CAPTION | DS_MODALFRAME, false},
        {"extended with a font", WS_POPUP | WS_CAPTION | DS_SETFONT, true},
        {"extended in the system font", WS_POPUP | WS_CAPTION, true},
    };
    for (const auto& c : cases) {
        sim::DialogData want = SampleDialog(c.style);
        std::vector<uint8_t> bytes = Encode(want, c.extended);
        sim::DialogData got;
        ASSERT_TRUE(ParseDialogTemplate(bytes, &got)) << c.name;
        ExpectSameDialog(got, want, c.name);
        // The last item's creation-data count is its last word: any shorter cut loses a field.
        for (size_t size = 0; size < bytes.size(); size++) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + (long)size);
            EXPECT_FALSE(ParseDialogTemplate(cut, &got)) << c.name << " cut to " << size;
        }
    }
}

TEST(StoryboardTemplates, AFileWithoutResourcesGivesNone) {
    InstallerResources none = ReadInstallerResources("not a PE image at all");
    EXPECT_TRUE(none.dialogs.empty());
    EXPECT_TRUE(none.raw.empty());
    EXPECT_EQ(ReadInstallerResources("MZ" + std::string(200, '\xFF')).dialogs.size(), 0u);
}

// ---------------------------------------------------------------------------------------
// Frames of whole runs

class StoryboardRuns : public SetupsimTest {
   protected:
    Storyboard Run(const std::vector<TestItem>& items, const std::string& answers,
                   std::vector<ReportEvent>* report) {
        *report = RunPreview(OptionsFor(items, "", answers));
        return BuildStoryboard(sim::Transcript(), *report, {}, 1024, 768);
    }
};

std::string Whats(const Storyboard& board) {
    std::string whats;
    for (const StoryFrame& frame : board.frames) whats += frame.what + "\n";
    return whats;
}

TEST_F(StoryboardRuns, EachMomentTheUserSeesIsOneFrameWithItsLines) {
    std::string big(40000, 'x');  // many steps: the quarters fall on different ticks
    const struct {
        const char* name;
        std::vector<TestItem> items;
        std::string answers;
        std::string whats;
    } cases[] = {
        {"one small file",
         {EmbeddedItem("READ_ME.TXT", "text", false)},
         "",
         "The main window: \"Installation of Quorvane 3.2\"\n"
         "The dialog DIRDLG opens: \"Installation Directory\"\n"
         "The dialog PROGRESSDLG opens: \"Installing Application Files\"\n"
         "The progress dialog's first tick; Progress: 100% of the bytes copied; The end "
         "pause: the full bar stays for 2000 ms\n"},
        {"a big file, typed directory, help",
         {EmbeddedItem("BIG.DAT", big, false)},
         "[[action]]\ndialog = \"DIRDLG\"\npress = 105\n"
         "[[action]]\ndialog = \"DIRDLG\"\ntype = \"C:\\\\QRVNE32\"\ncontrol = 101\n"
         "[[action]]\ndialog = \"DIRDLG\"\npress = 102\n",
         "The main window: \"Installation of Quorvane 3.2\"\n"
         "The dialog DIRDLG opens: \"Installation Directory\"\n"
         "A message box: \"Choose a Directory\"\n"
         "The user types \"C:\\QRVNE32\"\n"
         "The dialog PROGRESSDLG opens: \"Installing Application Files\"\n"
         "The progress dialog's first tick\n"
         "Progress: 25% of the bytes copied\n"
         "Progress: 50% of the bytes copied\n"
         "Progress: 75% of the bytes copied\n"
         "Progress: 100% of the bytes copied; The end pause: the full bar stays for 2000 ms\n"},
        {"abort during the copy",
         {EmbeddedItem("BIG.DAT", big, false)},
         "[[action]]\ndialog = \"PROGRESSDLG\"\nafter = 100\npress = 1\n",
         "The main window: \"Installation of Quorvane 3.2\"\n"
         "The dialog DIRDLG opens: \"Installation Directory\"\n"
         "The dialog PROGRESSDLG opens: \"Installing Application Files\"\n"
         "The progress dialog's first tick\n"
         "A message box: \"Aborting Install\"\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        std::vector<ReportEvent> report;
        Storyboard board = Run(c.items, c.answers, &report);
        EXPECT_EQ(Whats(board), c.whats) << c.name;
        // The frames' lines and the closing ones are the report, each line once, in order.
        size_t lines = board.closing.size();
        for (const StoryFrame& frame : board.frames) {
            if (frame.hasBox) {
                EXPECT_EQ(frame.lines.at(0).event, "messagebox") << c.name;
            }
            lines += frame.lines.size();
        }
        EXPECT_EQ(lines, report.size()) << c.name;
        ASSERT_FALSE(board.closing.empty()) << c.name;
        EXPECT_EQ(board.closing.front().event, "exit") << c.name;
    }
}

TEST_F(StoryboardRuns, ProgressFramesShowTheBarTheInstallerDrew) {
    std::vector<ReportEvent> report;
    Storyboard board = Run({EmbeddedItem("BIG.DAT", std::string(40000, 'x'), false)}, "", &report);
    const StoryFrame& last = board.frames.back();
    ASSERT_EQ(last.dialogs.size(), 1u);
    const StoryDialog& progress = last.dialogs[0];
    ASSERT_GE(progress.drawings.size(), 2u);
    const StoryDrawing& frame = progress.drawings[progress.drawings.size() - 2];
    const StoryDrawing& fill = progress.drawings.back();
    EXPECT_EQ(fill.brushColor, 0xFF0000u);
    EXPECT_EQ(fill.right - fill.left, frame.right - frame.left - 6);  // full
    for (const StoryControl& control : progress.controls) {
        if (control.id == 100) {
            EXPECT_EQ(control.text, "100%");
        }
    }
}

// ---------------------------------------------------------------------------------------
// Made-up transcripts

sim::Event MakeEvent(uint64_t t, const std::string& kind, std::vector<sim::Field> fields) {
    sim::Event e;
    e.t = t, e.kind = kind, e.fields = std::move(fields);
    return e;
}

TEST(StoryboardFrames, DisketteSwapsAndUntrustedTextReachThePageSafely) {
    std::vector<sim::Event> transcript = {
        MakeEvent(0, "window",
                  {{"window", "main", false},
                   {"action", "show", false},
                   {"title", "T\xE9", false},
                   {"show", "3", true}}),
        MakeEvent(5, "messagebox",
                  {{"owner", "main", false},
                   {"caption", "Change Diskettes", false},
                   {"text", "<script>x</script>\r\nline 2\x01", false},
                   {"style", "17", true},
                   {"answer", "1", true}}),
    };
    std::vector<ReportEvent> report = BuildReport(transcript, 0);
    Storyboard board = BuildStoryboard(transcript, report, {{2, "Disk 2"}}, 640, 480);
    ASSERT_EQ(board.frames.size(), 2u);
    EXPECT_FALSE(board.frames[0].hasBox);
    ASSERT_TRUE(board.frames[1].hasBox);
    EXPECT_EQ(board.frames[1].box.diskette, "Disk 2");
    std::string page = StoryboardHtml(board, "a&b");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;x&lt;/script&gt;\nline 2&#xFFFD;"), std::string::npos);
    EXPECT_NE(page.find("T&#xE9;"), std::string::npos);
    EXPECT_NE(page.find("puts in the diskette &quot;Disk 2&quot;"), std::string::npos);
    EXPECT_NE(page.find("Storyboard: a&amp;b"), std::string::npos);
    EXPECT_NE(page.find("viewBox=\"0 0 640 480\""), std::string::npos);
}

TEST(StoryboardFrames, NothingShownGivesNoFrameAndKeepsEveryLine) {
    std::vector<sim::Event> transcript = {MakeEvent(
        0, "timer-set", {{"id", "1", true}, {"ms", "5", true}, {"window", "none", false}})};
    std::vector<ReportEvent> report = BuildReport(transcript, 0);
    Storyboard board = BuildStoryboard(transcript, report, {}, 1024, 768);
    EXPECT_TRUE(board.frames.empty());
    EXPECT_EQ(board.closing.size(), report.size());
}

TEST(StoryboardFrames, AnUnwritablePathIsAnErrorAndNothingElseIsWritten) {
    ScratchFolder scratch("qv-storyboard");
    const std::string& folder = scratch.path();
    EXPECT_THROW(WriteStoryboard(folder, "setup.exe", {}), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
