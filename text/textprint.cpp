#include "text/textprint.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>

#include "core/settings.h"
#include "document/ctdoc.h"
#include "shell/colortable.h"
#include "shell/fonts.h"
#include "text/editwnd.h"
#include "text/textbuffer.h"

namespace {

constexpr int kScreenPixelsPerInch = 96;

// Replaces every occurrence of `key` (without regard to case).
void tp_ReplaceNoCase(std::string& s, std::string_view key, const std::string& value) {
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (size_t at = 0; at + key.size() <= s.size();) {
        bool same = true;
        for (size_t k = 0; k < key.size() && same; ++k) same = lower(s[at + k]) == lower(key[k]);
        if (!same) {
            ++at;
            continue;
        }
        s.replace(at, key.size(), value);
        at += value.size();
    }
}

std::string tp_Bounded(std::string s) {
    if (s.size() > kHeaderPartMax) s.resize(kHeaderPartMax);
    return s;
}

platform::Color tp_Row(int index, platform::Color fallback) {
    const ColorTableRow* row = GetColorRow(index);
    return row ? row->color : fallback;
}

}  // namespace

TextPrintHeaders& TextPrintHeaderTexts() {
    static TextPrintHeaders headers;
    return headers;
}

std::vector<HeaderLine> ExpandHeaderText(std::string_view format, const HeaderValues& v) {
    std::string s(format);
    // Longer keys first: "$maxpage" holds "page", "$nameext" holds "$name".
    tp_ReplaceNoCase(s, "$maxpage", std::to_string(v.pageCount));
    tp_ReplaceNoCase(s, "$page", std::to_string(v.page));
    char date[32] = {}, clock[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%x", &local);
    std::strftime(clock, sizeof clock, "%X", &local);
    tp_ReplaceNoCase(s, "$date", date);
    tp_ReplaceNoCase(s, "$time", clock);
    tp_ReplaceNoCase(s, "$user", v.user);
    tp_ReplaceNoCase(s, "$company", v.company);
    tp_ReplaceNoCase(s, "$nameext", v.nameExt);
    tp_ReplaceNoCase(s, "$name", v.name);

    std::vector<HeaderLine> lines;
    size_t start = 0;
    while (true) {
        const size_t brk = s.find("\\n", start);
        const std::string_view line =
            std::string_view(s).substr(start, brk == std::string::npos ? std::string::npos : brk - start);
        HeaderLine out;
        std::string* part = &out.left;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '$' && i + 1 < line.size() && std::strchr("<|>", line[i + 1])) {
                part = line[i + 1] == '<' ? &out.left : line[i + 1] == '|' ? &out.centre : &out.right;
                ++i;
                continue;
            }
            if (part->size() < kHeaderPartMax) *part += line[i];
        }
        out.left = tp_Bounded(out.left);
        lines.push_back(std::move(out));
        if (brk == std::string::npos) break;
        start = brk + 2;
    }
    return lines;
}

PrintLineParts SplitPrintLine(std::string_view line, size_t width) {
    line = line.substr(0, std::min<size_t>(line.size(), 499));
    PrintLineParts parts;
    std::string* part = &parts.code;
    bool blanksOnly = true;
    for (char c : line) {
        if (part == &parts.code && (c == ';' || (c == '*' && blanksOnly))) part = &parts.comment;
        if (c != ' ' && c != '\t') blanksOnly = false;
        if (c == '\t')
            *part += "  ";
        else if (c != '\r' && c != '\n')
            *part += c;
    }
    if (parts.code.size() > width) parts.code.resize(width);
    if (parts.comment.size() > width) parts.comment.resize(width);
    return parts;
}

TextPrintLayout LayoutTextPrint(platform::DrawSurface& s, const platform::Rect& area, int64_t lineCount,
                                const TextPrintStyle& style) {
    TextPrintLayout l;
    l.headerLines = static_cast<int>(ExpandHeaderText(style.header, style.values).size());
    l.footerLines = static_cast<int>(ExpandHeaderText(style.footer, style.values).size());
    l.font = style.font;
    l.font.height = static_cast<int>(
        std::lround(static_cast<double>(style.font.height) * s.PixelsPerInchY() / kScreenPixelsPerInch));
    s.SetFont(l.font);
    const int lineHeight = std::max(1, s.LineHeight());
    const int height = area.bottom - area.top;
    l.rows = style.rowsPerPage > 0 ? style.rowsPerPage : height / lineHeight - l.headerLines - l.footerLines;
    l.rows = std::max(1, l.rows);  // a header and footer that fill the page still leave a row
    l.pages = static_cast<int>((lineCount + l.rows - 1) / l.rows);
    l.pitch = static_cast<double>(height + 1) / (l.rows + l.headerLines + l.footerLines);
    return l;
}

void DrawTextPrintPage(platform::DrawSurface& s, const platform::Rect& area, const TextBuffer& text,
                       const TextPrintStyle& style, const TextPrintLayout& layout, int page) {
    s.SaveState();
    s.SetClipRect(area);
    s.FillRect(area, style.background);
    s.SetFont(layout.font);
    s.SetBackgroundMode(platform::BackgroundMode::Transparent);
    HeaderValues values = style.values;
    values.page = page;
    values.pageCount = layout.pages;
    auto drawHeaderLines = [&](const std::vector<HeaderLine>& lines, int firstRow) {
        s.SetTextColor(style.text);
        for (size_t i = 0; i < lines.size(); ++i) {
            const int y = area.top + static_cast<int>((firstRow + static_cast<int>(i)) * layout.pitch);
            s.SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
            s.TextOut(platform::Point{area.left, y}, lines[i].left);
            s.SetTextAlign(platform::TextAlign::Center | platform::TextAlign::Top);
            s.TextOut(platform::Point{(area.left + area.right) / 2, y}, lines[i].centre);
            s.SetTextAlign(platform::TextAlign::Right | platform::TextAlign::Top);
            s.TextOut(platform::Point{area.right, y}, lines[i].right);
        }
    };
    drawHeaderLines(ExpandHeaderText(style.header, values), 0);
    s.SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
    const int64_t first = static_cast<int64_t>(page - 1) * layout.rows;
    int64_t at = text.LineIndex(first);
    for (int k = 0; k < layout.rows && at >= 0; ++k) {
        const int64_t length = text.LineLength(at);
        const PrintLineParts parts = SplitPrintLine(std::string_view(text.Data() + at, static_cast<size_t>(length)));
        const int y = area.top + static_cast<int>((layout.headerLines + k) * layout.pitch);
        s.SetTextColor(style.text);
        s.TextOut(platform::Point{area.left, y}, parts.code);
        if (!parts.comment.empty()) {
            s.SetTextColor(style.comment);
            s.TextOut(platform::Point{area.left + s.GetTextExtent(parts.code).cx, y}, parts.comment);
        }
        if (at + length >= text.Length()) break;
        at += length + 2;
    }
    drawHeaderLines(ExpandHeaderText(style.footer, values), layout.headerLines + layout.rows);
    s.RestoreState();
}

namespace {

// The text area of a page: from 0.7 inch to the right edge of the printable area.
platform::Rect tp_PageArea(platform::DrawSurface& s) {
    const platform::Size size = s.DeviceSize();
    return platform::Rect{static_cast<int>(0.7 * s.PixelsPerInchX()), 0, size.cx, size.cy};
}

}  // namespace

int PrintTextToPdf(const TextBuffer& text, const std::string& path, const TextPrintStyle& style,
                   const platform::PageSetup& setup, std::string* error) {
    if (text.Length() == 0) return 0;
    platform::PdfDocument pdf;
    if (!pdf.Open(path, setup)) {
        if (error) *error = pdf.ErrorText();
        return 0;
    }
    const platform::Rect area = tp_PageArea(pdf.Page());
    const TextPrintLayout layout = LayoutTextPrint(pdf.Page(), area, text.GetLineCount(), style);
    for (int p = 1; p <= layout.pages; ++p) {
        if (p > 1 && !pdf.NewPage()) {
            if (error) *error = pdf.ErrorText();
            pdf.Abort();
            return 0;
        }
        DrawTextPrintPage(pdf.Page(), area, text, style, layout, p);
    }
    if (!pdf.End()) {
        if (error) *error = pdf.ErrorText();
        return 0;
    }
    return layout.pages;
}

int PrintTextPages(const TextBuffer& text, const TextPrintStyle& style, const platform::PrintSettings& settings,
                   int first, int last) {
    if (text.Length() == 0) return 0;
    platform::PrintJob job;
    if (!job.Begin(settings)) return 0;
    const platform::Rect area = tp_PageArea(job.Page());
    const TextPrintLayout layout = LayoutTextPrint(job.Page(), area, text.GetLineCount(), style);
    first = std::max(1, first);
    last = last <= 0 ? layout.pages : std::min(last, layout.pages);
    for (int p = first; p <= last; ++p) {
        if (p > first && !job.NewPage()) {
            job.Abort();
            return 0;
        }
        DrawTextPrintPage(job.Page(), area, text, style, layout, p);
    }
    return job.End() ? 1 : 0;
}

int PreviewTextPage(platform::DrawSurface& s, const platform::Rect& preview, const TextBuffer& text,
                    const TextPrintStyle& style, const platform::PageSetup& setup, int page) {
    const int previewHeight = preview.bottom - preview.top;
    if (text.Length() == 0 || preview.right - preview.left < 3 || previewHeight < 3) return 0;
    const double heightMm = (setup.landscape ? setup.widthMm : setup.heightMm) - 2 * setup.marginMm;
    if (heightMm <= 0) return 0;
    // The font keeps its share of the page's height: printed height x
    // (preview height + 1) / printable height, with the sign that tells
    // character height from cell height.
    TextPrintStyle scaled = style;
    const double share = static_cast<double>(previewHeight + 1) / (heightMm / 25.4 * s.PixelsPerInchY());
    const long height = std::lround(style.font.height * share);
    scaled.font.height = static_cast<int>(height != 0 ? height : (style.font.height < 0 ? -1 : 1));
    s.SaveState();
    s.FrameRect(preview, platform::BrushDesc{platform::BrushStyle::Solid, platform::MakeColor(0, 0, 0)});
    s.RestoreState();
    const platform::Rect area{preview.left + 1, preview.top + 1, preview.right - 1, preview.bottom - 1};
    const TextPrintLayout layout = LayoutTextPrint(s, area, text.GetLineCount(), scaled);
    DrawTextPrintPage(s, area, text, scaled, layout, std::clamp(page, 1, std::max(1, layout.pages)));
    return layout.pages;
}

TextPrintStyle TextPrintStyleOf(const CTxtEditWnd& editor) {
    TextPrintStyle style;
    style.header = TextPrintHeaderTexts().header;
    style.footer = TextPrintHeaderTexts().footer;
    style.font.face = "DejaVu Sans Mono";
    style.font.height = -13;
    style.values.user = UserName();
    style.values.company = CompanyName();
    if (const CCTDoc* doc = editor.Document()) {
        style.font = CreateFontFromSpec(doc->textPageFont);
        style.text = tp_Row(doc->textPageFont.color, style.text);
        style.comment = tp_Row(doc->textCommentColor.color, style.comment);
        style.background = tp_Row(doc->textBackgroundColor.color, style.background);
        std::string path = doc->PathName();
        style.values.nameExt = path.substr(path.find_last_of('/') + 1);
        style.values.name = style.values.nameExt.substr(0, style.values.nameExt.find_last_of('.'));
    }
    return style;
}
