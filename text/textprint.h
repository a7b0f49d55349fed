// Printing the text pages of circuit and text documents: page by page with a
// header and a footer, SPICE comments in the comment colour, onto a PDF file,
// a printer (through the window layer) or any drawing surface (previews).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/draw.h"
#include "platform/print.h"

class TextBuffer;
class CTxtEditWnd;
struct FontSpec;

// The header and footer texts of every text print: lines split by the two
// characters backslash and n, "$<" "$|" "$>" starting the left, centre and
// right parts.
struct TextPrintHeaders {
    std::string header = "$|Page $Page";
    std::string footer = "$<$user\\n$company";
};
TextPrintHeaders& TextPrintHeaderTexts();

struct HeaderLine {
    std::string left, centre, right;  // each at most 99 characters
};
constexpr size_t kHeaderPartMax = 99;

// What the keywords stand for on one page.
struct HeaderValues {
    int page = 1;
    int pageCount = 1;
    std::string user, company;
    std::string name;     // the document's file name without extension
    std::string nameExt;  // with it
};

// Replaces $page, $maxpage, $date, $time, $user, $company, $nameext and
// $name (without regard to case), then splits the lines and parts.
std::vector<HeaderLine> ExpandHeaderText(std::string_view format, const HeaderValues& values);

// A printed line: the code part and the comment part (from a ';', or a '*'
// met while only blanks were seen), TABs as two blanks, each part at most
// `width` characters.
struct PrintLineParts {
    std::string code, comment;
};
PrintLineParts SplitPrintLine(std::string_view line, size_t width = 500);

struct TextPrintStyle {
    platform::FontDesc font;  // in screen pixels (96 per inch): scaled to the surface
    platform::Color text = platform::MakeColor(0, 0, 0);
    platform::Color comment = platform::MakeColor(0, 0, 255);
    platform::Color background = platform::MakeColor(255, 255, 255);
    // Fixed rows per page (listings that must match a paper form); 0 for as
    // many as the font fits.
    int rowsPerPage = 0;
    std::string header, footer;  // formats; see TextPrintHeaders
    HeaderValues values;         // page numbers are filled in per page
};

// The page geometry for a text on a surface: at least one text row a page,
// whatever the header and footer take.
struct TextPrintLayout {
    int rows = 1;
    int pages = 0;
    int headerLines = 1, footerLines = 1;
    double pitch = 0;  // row step in device pixels
    platform::FontDesc font;
};
TextPrintLayout LayoutTextPrint(platform::DrawSurface& surface, const platform::Rect& area, int64_t lineCount,
                                const TextPrintStyle& style);

// Draws page `page` (from 1) of the text into `area` of the surface.
void DrawTextPrintPage(platform::DrawSurface& surface, const platform::Rect& area, const TextBuffer& text,
                       const TextPrintStyle& style, const TextPrintLayout& layout, int page);

// Prints the whole text into a PDF file; the number of pages, 0 when the text
// is empty or the file could not be written (`error` says why).
int PrintTextToPdf(const TextBuffer& text, const std::string& path, const TextPrintStyle& style,
                   const platform::PageSetup& setup, std::string* error);

// Prints pages first..last (1-based; 0, 0 for all) of the text on a printer
// (or the settings' output file). 1 when done, 0 when the text is empty, no
// printer is available, or the job failed or was cancelled.
int PrintTextPages(const TextBuffer& text, const TextPrintStyle& style, const platform::PrintSettings& settings,
                   int first = 0, int last = 0);

// Draws page `page` (from 1, clamped to the pages there are) of the text as
// it would print on paper of `setup`, scaled into `preview` with the page's
// frame around it; the number of pages, 0 for an empty text.
int PreviewTextPage(platform::DrawSurface& surface, const platform::Rect& preview, const TextBuffer& text,
                    const TextPrintStyle& style, const platform::PageSetup& setup, int page);

// The style of an editor's page: its document's font and colours and the
// process-wide header and footer.
TextPrintStyle TextPrintStyleOf(const CTxtEditWnd& editor);
