// Printing text pages: page count, header and footer, and comment colouring.
#include "text/textprint.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/image.h"
#include "tests/support/tempdir.h"
#include "text/textbuffer.h"

namespace {

using platform::MakeColor;

int TpCountPdfPages(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    const std::string pdf = out.str();
    int n = 0;
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0) ++n;
    return n;
}

TextPrintStyle TpStyle() {
    TextPrintStyle style;
    style.font.face = "DejaVu Sans Mono";
    style.font.height = -12;
    style.text = MakeColor(0, 0, 0);
    style.comment = MakeColor(0, 160, 0);
    style.header = "$<$nameext$>$page";
    style.footer = "$|$page/$maxpage";
    style.values.nameExt = "list.ckt";
    return style;
}

TEST(TextPrintTest, HeaderAndFooterKeywordsAndParts) {
    HeaderValues v;
    v.page = 2;
    v.pageCount = 3;
    v.user = "Ann";
    v.company = "Tarn Ltd";
    v.name = "amp";
    v.nameExt = "amp.cir";
    const auto footer = ExpandHeaderText("$|$PAGE/$MaxPage", v);
    ASSERT_EQ(footer.size(), 1u);
    EXPECT_EQ(footer[0].centre, "2/3");
    EXPECT_EQ(footer[0].left, "");
    const auto lines = ExpandHeaderText("$nameext $name$|mid$>$user\\n$<$company $5", v);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].left, "amp.cir amp");
    EXPECT_EQ(lines[0].centre, "mid");
    EXPECT_EQ(lines[0].right, "Ann");
    EXPECT_EQ(lines[1].left, "Tarn Ltd $5");  // a '$' before anything else is text
    EXPECT_EQ(ExpandHeaderText(std::string(300, 'x'), v)[0].left.size(), kHeaderPartMax);
}

TEST(TextPrintTest, LinesSplitIntoCodeAndComment) {
    struct Case {
        const char* line;
        const char* code;
        const char* comment;
    } cases[] = {
        {"R1 1 2 1k ; load", "R1 1 2 1k ", "; load"},
        {"  * whole line", "  ", "* whole line"},
        {"E1 1 0 2*3", "E1 1 0 2*3", ""},
        {"\tC1 1 0", "  C1 1 0", ""},
    };
    for (const Case& c : cases) {
        const PrintLineParts p = SplitPrintLine(c.line);
        EXPECT_EQ(p.code, c.code) << c.line;
        EXPECT_EQ(p.comment, c.comment) << c.line;
    }
}

TEST(TextPrintTest, LongTextPrintsOnPagesWithRenderedComments) {
    TextBuffer text;
    std::string body;
    for (int i = 1; i <= 120; ++i) body += "R" + std::to_string(i) + " 1 0 1k ; load " + std::to_string(i) + "\r\n";
    body.resize(body.size() - 2);
    text.SetText(body);
    ASSERT_EQ(text.GetLineCount(), 120);
    TextPrintStyle style = TpStyle();
    style.rowsPerPage = 50;

    twtest::TempDir dir{"tpr_test"};
    platform::PageSetup setup;
    setup.pixelsPerInch = 150;
    std::string error;
    const std::string path = dir.Path() + "/list.pdf";
    EXPECT_EQ(PrintTextToPdf(text, path, style, setup, &error), 3) << error;
    EXPECT_EQ(TpCountPdfPages(path), 3);

    // Page 3 on an image: 20 rows of statements, comments in their own colour.
    platform::Image page(1240, 1754);
    auto surface = platform::CreateImageSurface(page);
    const platform::Rect area{105, 0, 1240, 1754};
    const TextPrintLayout layout = LayoutTextPrint(*surface, area, text.GetLineCount(), style);
    EXPECT_EQ(layout.pages, 3);
    DrawTextPrintPage(*surface, area, text, style, layout, 3);
    auto rowHas = [&](int row, platform::Color c) {
        const int y0 = static_cast<int>((layout.headerLines + row) * layout.pitch);
        for (int y = y0; y < y0 + static_cast<int>(layout.pitch); ++y)
            for (int x = area.left; x < area.right; ++x)
                if ((page.PixelAt(x, y) & 0xFFFFFF) == (c & 0xFFFFFF)) return true;
        return false;
    };
    EXPECT_TRUE(rowHas(0, style.comment));
    EXPECT_TRUE(rowHas(19, style.text));
    EXPECT_FALSE(rowHas(20, style.text));          // the text ended on row 20
    EXPECT_TRUE(rowHas(layout.rows, style.text));  // the footer

    // Headers that leave no room still get one text row a page.
    style.rowsPerPage = 0;
    style.header = "x";
    for (int i = 0; i < 300; ++i) style.header += "\\n";
    EXPECT_GE(LayoutTextPrint(*surface, area, text.GetLineCount(), style).rows, 1);
}

TEST(TextPrintTest, PreviewDrawsOnePageScaledIntoItsFrame) {
    TextBuffer text;
    std::string body;
    for (int i = 1; i <= 120; ++i) body += "R" + std::to_string(i) + " 1 0 1k\r\n";
    text.SetText(body.substr(0, body.size() - 2));
    TextPrintStyle style = TpStyle();
    style.rowsPerPage = 50;
    style.background = MakeColor(250, 250, 210);
    platform::Image image(300, 420);
    auto surface = platform::CreateImageSurface(image);
    surface->FillRect(platform::Rect{0, 0, 300, 420}, MakeColor(255, 255, 255));
    const platform::Rect preview{10, 10, 222, 310};
    const platform::PageSetup setup;
    EXPECT_EQ(PreviewTextPage(*surface, preview, text, style, setup, 2), 3);
    EXPECT_EQ(image.PixelAt(10, 100) & 0xFFFFFF, platform::MakeColor(0, 0, 0) & 0xFFFFFF);  // the frame
    EXPECT_EQ(image.PixelAt(215, 200) & 0xFFFFFF, style.background & 0xFFFFFF);
    bool drawnOutside = false;
    for (int x = 223; x < 300; ++x) drawnOutside |= (image.PixelAt(x, 100) & 0xFFFFFF) == (style.text & 0xFFFFFF);
    EXPECT_FALSE(drawnOutside);
    // As many pages as the paper takes when the font decides the rows.
    style.rowsPerPage = 0;
    twtest::TempDir dir{"tpr_preview"};
    platform::PageSetup pdf = setup;
    pdf.pixelsPerInch = 150;
    const int printed = PrintTextToPdf(text, dir.Path() + "/p.pdf", style, pdf, nullptr);
    EXPECT_NEAR(PreviewTextPage(*surface, preview, text, style, setup, 1), printed, 1);
    TextBuffer empty;
    EXPECT_EQ(PreviewTextPage(*surface, preview, empty, style, setup, 1), 0);
}

TEST(TextPrintTest, EmptyTextPrintsNothing) {
    TextBuffer empty;
    twtest::TempDir dir{"tpr_empty"};
    EXPECT_EQ(PrintTextToPdf(empty, dir.Path() + "/e.pdf", TpStyle(), platform::PageSetup{}, nullptr), 0);
}

}  // namespace
