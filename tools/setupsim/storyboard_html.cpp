// The storyboard as one self-contained HTML page: each frame is an inline SVG of the screen in
// its pixels (the simulated screen size), with the texts in HTML elements inside it so that
// they wrap as Windows wraps static text and message boxes; no script, no external file.
// Installer texts are untrusted: every byte that HTML could read as markup, and every byte
// past ASCII (ANSI text, shown as Latin-1), is written as a character reference.
#include <ctype.h>
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/setupsim/diskette_drive.h"
#include "tools/setupsim/storyboard.h"

namespace {

const char kStyle[] = R"(
body { font-family: "DejaVu Sans", sans-serif; margin: 16px; background: #fff; color: #000; }
.frame { margin: 0 0 32px; }
.frame h2 { font-size: 16px; margin: 0 0 6px; }
.screen { display: block; width: 100%; max-width: 1024px; height: auto; border: 1px solid #888; }
.answer { margin: 6px 0; font-weight: bold; }
pre.transcript { font-size: 12px; background: #f4f4f4; padding: 6px; white-space: pre-wrap; }
.t { box-sizing: border-box; width: 100%; height: 100%; overflow: hidden;
     font-family: "DejaVu Sans Condensed", "DejaVu Sans", sans-serif; white-space: pre-wrap;
     line-height: 1.15; color: #000; }
.caption { font-weight: bold; padding: 0 4px; white-space: pre; color: #fff; }
.dialog-caption { color: #000; }
.button { display: flex; align-items: center; justify-content: center; white-space: pre; }
.edit { white-space: pre; padding: 0 2px; display: flex; align-items: center; }
.boxlayer { width: 100%; height: 100%; display: flex; align-items: center;
            justify-content: center; }
.box { max-width: 62%; background: #f0f0f0; border: 3px outset #ddd; font-size: 12px; }
.box .caption { background: #3296fa; color: #000; padding: 2px 6px; }
.box .body { display: flex; gap: 12px; padding: 12px 14px 6px; align-items: flex-start; }
.box .text { white-space: pre-wrap; font-family: "DejaVu Sans Condensed", "DejaVu Sans",
             sans-serif; }
.box .buttons { display: flex; gap: 8px; justify-content: center; padding: 6px 0 10px; }
.box .buttons div { width: auto; height: auto; min-width: 64px; padding: 3px 8px;
                    border: 2px outset #ddd; background: #f0f0f0; text-align: center;
                    white-space: pre; }
.box .buttons div.answered { border: 2px solid #000; }
)";

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        char reference[12];
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F))
            out += (char)c;
        else if (c >= 0xA0 && snprintf(reference, sizeof reference, "&#x%X;", c) > 0)
            out += reference;
        else
            out += "&#xFFFD;";  // control bytes and 0x7F-0x9F have no Latin-1 glyph
    }
    return out;
}

// Line breaks of Windows text (CR LF, or either alone) as the page's.
std::string WithLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    return out;
}

// A COLORREF (0x00BBGGRR) as CSS.
std::string Colour(long long colorref) {
    char css[8];
    snprintf(css, sizeof css, "#%02X%02X%02X", (unsigned)(colorref & 0xFF),
             (unsigned)((colorref >> 8) & 0xFF), (unsigned)((colorref >> 16) & 0xFF));
    return css;
}

std::string Rect(int x, int y, int width, int height, const std::string& attributes) {
    std::ostringstream out;
    out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << width << "\" height=\"" << height
        << "\" " << attributes << "/>";
    return out.str();
}

// A text element in the screen's pixels: an HTML block that wraps and clips like a window.
std::string TextBlock(int x, int y, int width, int height, const std::string& classes,
                      const std::string& role, const std::string& style, const std::string& text) {
    std::ostringstream out;
    out << "<foreignObject x=\"" << x << "\" y=\"" << y << "\" width=\"" << width << "\" height=\""
        << height << "\"><div xmlns=\"http://www.w3.org/1999/xhtml\" class=\"t " << classes
        << "\" data-role=\"" << role << "\" style=\"" << style << "\">" << Escape(text)
        << "</div></foreignObject>";
    return out.str();
}

std::string FontStyle(const StoryDialog& d) {
    return "font-size:" + std::to_string(d.baseY * 4 / 5) + "px";
}

// Raised or sunken edges of a 3D control, as two L-shaped lines.
std::string Edges(int x, int y, int w, int h, const char* light, const char* dark) {
    std::ostringstream out;
    out << "<path d=\"M" << x << " " << y + h - 1 << "V" << y << "H" << x + w - 1
        << "\" fill=\"none\" stroke=\"" << light << "\"/><path d=\"M" << x + w - 1 << " " << y
        << "V" << y + h - 1 << "H" << x << "\" fill=\"none\" stroke=\"" << dark << "\"/>";
    return out.str();
}

std::string ButtonSvg(const StoryControl& c, int x, int y, const std::string& font) {
    std::string out = Rect(x, y, c.width, c.height, "fill=\"#F0F0F0\"");
    out += Edges(x, y, c.width, c.height, "#FFFFFF", "#6A6A6A");
    if ((c.style & 0x0F) == BS_DEFPUSHBUTTON)
        out += Rect(x, y, c.width - 1, c.height - 1, "fill=\"none\" stroke=\"#000\"");
    return out + TextBlock(x, y, c.width, c.height, "button", "control", font, c.text);
}

std::string EditSvg(const StoryControl& c, int x, int y, const std::string& font) {
    std::string out = Rect(x, y, c.width, c.height, "fill=\"#FFFFFF\"");
    if (c.style & WS_BORDER) out += Edges(x, y, c.width, c.height, "#6A6A6A", "#E3E3E3");
    return out +
           TextBlock(x + 1, y + 1, c.width - 2, c.height - 2, "edit", "control", font, c.text);
}

std::string ControlSvg(const StoryControl& c, int originX, int originY, const std::string& font) {
    if (!(c.style & WS_VISIBLE)) return "";
    int x = originX + c.x, y = originY + c.y;
    std::string kind = c.className;
    for (char& ch : kind) ch = (char)toupper((unsigned char)ch);
    std::ostringstream out;
    out << "<g class=\"control\" data-id=\"" << c.id << "\" data-class=\"" << Escape(kind) << "\">"
        << Rect(x, y, c.width, c.height, "class=\"bounds\" fill=\"none\"");
    if (kind == "BUTTON")
        out << ButtonSvg(c, x, y, font);
    else if (kind == "EDIT")
        out << EditSvg(c, x, y, font);
    else
        out << TextBlock(x, y, c.width, c.height, "static", "control", font, c.text);
    return out.str() + "</g>";
}

// A Rectangle call: the pen's outline centred on the rectangle's edge, the brush inside.
std::string DrawingSvg(const StoryDrawing& r, int originX, int originY) {
    std::ostringstream attributes;
    attributes << "class=\"drawn\" fill=\"" << Colour(r.brushColor) << "\" stroke=\""
               << Colour(r.penColor) << "\" stroke-width=\"" << r.penWidth << "\"";
    return Rect(originX + r.left, originY + r.top, r.right - r.left - 1, r.bottom - r.top - 1,
                attributes.str());
}

std::string DialogSvg(const StoryDialog& d) {
    std::ostringstream out;
    out << "<g class=\"dialog\" data-dialog=\"" << Escape(d.name) << "\" data-template=\""
        << Escape(d.templateName) << "\">"
        << Rect(d.x, d.y, d.width, d.height, "class=\"window\" fill=\"#F0F0F0\"")
        << Edges(d.x, d.y, d.width, d.height, "#FFFFFF", "#6A6A6A");
    int frame = d.clientLeft, captionHeight = d.clientTop - d.clientLeft;
    if (captionHeight > 0) {
        out << Rect(d.x + frame, d.y + frame, d.width - 2 * frame, captionHeight,
                    "fill=\"#3296FA\"")
            << TextBlock(d.x + frame, d.y + frame, d.width - 2 * frame, captionHeight,
                         "caption dialog-caption", "caption", "font-size:12px", d.caption);
    }
    int originX = d.x + d.clientLeft, originY = d.y + d.clientTop;
    for (const StoryDrawing& r : d.drawings) out << DrawingSvg(r, originX, originY);
    for (const StoryControl& c : d.controls) out << ControlSvg(c, originX, originY, FontStyle(d));
    return out.str() + "</g>";
}

// The system's icons of MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK.
std::string IconSvg(uint32_t style) {
    static const char* const kIcons[] = {
        "",
        "<circle cx='16' cy='16' r='15' fill='#D33'/><path d='M10 10L22 22M22 10L10 22' "
        "stroke='#fff' stroke-width='4'/>",
        "<circle cx='16' cy='16' r='15' fill='#36C'/><text x='16' y='23' fill='#fff' "
        "font-size='20' font-weight='bold' text-anchor='middle'>?</text>",
        "<path d='M16 1L31 30H1Z' fill='#FC0' stroke='#000'/><text x='16' y='27' "
        "font-size='20' font-weight='bold' text-anchor='middle'>!</text>",
        "<circle cx='16' cy='16' r='15' fill='#36C'/><text x='16' y='24' fill='#fff' "
        "font-size='20' font-weight='bold' font-family='serif' text-anchor='middle'>i</text>"};
    uint32_t icon = (style & 0xF0) >> 4;  // MB_ICONMASK
    if (icon == 0 || icon > 4) return "";
    return std::string("<svg class=\"icon\" width=\"32\" height=\"32\" aria-hidden=\"true\">") +
           kIcons[icon] + "</svg>";
}

const char* AnswerName(int answer) {
    static const char* const kNames[] = {"",      "OK",     "Cancel", "Abort",
                                         "Retry", "Ignore", "Yes",    "No"};
    return answer >= 1 && answer <= 7 ? kNames[answer] : "?";
}

// The buttons of each MB_ type (MB_OK .. MB_RETRYCANCEL); other types show OK, as the
// simulated Windows treats them.
std::vector<int> BoxButtons(uint32_t style) {
    static const std::vector<int> kButtons[] = {
        {IDOK},        {IDOK, IDCANCEL},   {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO}, {IDRETRY, IDCANCEL}};
    uint32_t type = style & MB_TYPEMASK;
    return type < 6 ? kButtons[type] : kButtons[0];
}

std::string BoxSvg(const StoryBox& box, int width, int height) {
    std::ostringstream out;
    out << "<foreignObject x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height
        << "\"><div xmlns=\"http://www.w3.org/1999/xhtml\" class=\"boxlayer\"><div class=\"box\" "
           "data-owner=\""
        << Escape(box.owner) << "\" data-style=\"" << box.style << "\"><div class=\"t caption\" "
        << "data-role=\"caption\">" << Escape(box.caption) << "</div><div class=\"body\">"
        << IconSvg(box.style) << "<div class=\"t text\" data-role=\"box-text\">"
        << Escape(WithLineBreaks(box.text)) << "</div></div><div class=\"buttons\">";
    for (int button : BoxButtons(box.style))
        out << "<div class=\"t" << (button == box.answer ? " answered" : "")
            << "\" data-role=\"button\">" << AnswerName(button) << "</div>";
    return out.str() + "</div></div></div></foreignObject>";
}

std::string ScreenSvg(const Storyboard& board, const StoryFrame& frame) {
    int w = board.screenWidth, h = board.screenHeight;
    std::ostringstream out;
    out << "<svg class=\"screen\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << w << " "
        << h << "\" width=\"" << w << "\" height=\"" << h << "\">"
        << Rect(0, 0, w, h, "fill=\"#008080\"");
    if (frame.mainShown) {
        // Maximised: the frame lies off the screen, the caption across the top.
        const int caption = 20;
        std::string fill = frame.mainBackground < 0 ? "#FFFFFF" : Colour(frame.mainBackground);
        out << Rect(0, 0, w, caption, "fill=\"#808080\"")
            << TextBlock(0, 0, w, caption, "caption", "caption", "font-size:13px", frame.mainTitle)
            << Rect(0, caption, w, h - caption, "class=\"main-client\" fill=\"" + fill + "\"");
    }
    for (const StoryDialog& d : frame.dialogs) out << DialogSvg(d);
    if (frame.hasBox) out << BoxSvg(frame.box, w, h);
    return out.str() + "</svg>";
}

std::string AnswerLine(const StoryBox& box) {
    std::string line = "The user answers " + std::string(AnswerName(box.answer));
    if (box.swapped)
        line += box.diskette.empty() ? " and leaves the drive empty"
                                     : " and puts in the diskette \"" + box.diskette + "\"";
    return line + ".";
}

std::string FrameHtml(const Storyboard& board, const StoryFrame& frame, size_t number) {
    std::ostringstream out;
    out << "<section class=\"frame\" id=\"frame-" << number << "\" data-t=\"" << frame.t
        << "\" data-lines=\"" << frame.lines.size() << "\" data-shown=\"" << frame.linesShown
        << "\">\n<h2>" << number << ". " << frame.t << " ms: " << Escape(frame.what) << "</h2>\n"
        << ScreenSvg(board, frame) << "\n";
    if (frame.hasBox) out << "<p class=\"answer\">" << Escape(AnswerLine(frame.box)) << "</p>\n";
    out << "<pre class=\"transcript\">" << Escape(ReportAsText(frame.lines)) << "</pre>\n";
    return out.str() + "</section>\n";
}

}  // namespace

std::string StoryboardHtml(const Storyboard& board, const std::string& title) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Storyboard: "
        << Escape(title) << "</title>\n<style>" << kStyle << "</style></head>\n<body>\n"
        << "<h1>Storyboard: " << Escape(title) << "</h1>\n<p>" << board.frames.size()
        << " frames, each what the user sees at that moment of the simulated run, in virtual "
           "time, with its lines of the transcript.</p>\n";
    for (size_t f = 0; f < board.frames.size(); f++)
        out << FrameHtml(board, board.frames[f], f + 1);
    out << "<section class=\"closing\">\n<h2>After the last frame</h2>\n<pre class=\"transcript\">"
        << Escape(ReportAsText(board.closing)) << "</pre>\n</section>\n</body></html>\n";
    return out.str();
}

void WriteStoryboard(const std::string& path, const std::string& installer,
                     const std::vector<ReportEvent>& report) {
    std::vector<StorySwap> swaps;
    for (const DisketteChange& change : DisketteChanges())
        swaps.push_back({change.transcriptLength, change.label});
    const sim::MachineConfig& config = sim::Config();
    Storyboard board =
        BuildStoryboard(sim::Transcript(), report, swaps, config.screenWidth, config.screenHeight);
    std::string page = StoryboardHtml(board, installer);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << page;
    out.close();
    if (!out) throw std::runtime_error("cannot write the storyboard " + path);
}
