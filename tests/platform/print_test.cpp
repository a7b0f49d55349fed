// PDF and printer output through page surfaces.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/print.h"
#include "tests/support/tempdir.h"

namespace {

using platform::MakeColor;
using platform::Point;
using platform::Rect;

std::string PrnReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int PrnCountPages(const std::string& pdf) {
    int n = 0;
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0) ++n;
    return n;
}

void PrnDrawPage(platform::DrawSurface& s, const char* label) {
    s.SetMapMode(platform::MapMode::LoMetric);
    s.SetPen(platform::PenDesc::Solid(MakeColor(0, 0, 0), 5));
    s.SetBrush(platform::BrushDesc::Hatched(platform::HatchStyle::Cross, MakeColor(0, 0, 255)));
    s.Rectangle(Rect{100, -100, 1000, -600});
    s.Ellipse(Rect{1100, -100, 1600, -600});
    platform::FontDesc f;
    f.face = "DejaVu Sans";
    f.height = -50;
    s.SetFont(f);
    s.TextOut(Point{100, -700}, label);
}

class PrintOutputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Valid()); }
    twtest::TempDir dir_{"prn_test"};
};

TEST_F(PrintOutputTest, PdfDocumentWritesPages) {
    platform::PdfDocument pdf;
    platform::PageSetup setup;
    setup.pixelsPerInch = 300;
    setup.title = "Schematic";
    std::string path = dir_.Path() + "/out.pdf";
    ASSERT_TRUE(pdf.Open(path, setup)) << pdf.ErrorText();
    platform::DrawSurface& page = pdf.Page();
    EXPECT_EQ(page.Kind(), platform::SurfaceKind::Pdf);
    EXPECT_TRUE(page.IsPrinter());
    EXPECT_EQ(page.Technology(), platform::kTechRasterPrinter);
    EXPECT_EQ(page.PixelsPerInchX(), 300);
    // A4 at 300 per inch: 2480 x 3508 pixels.
    EXPECT_NEAR(page.DeviceSize().cx, 2480, 2);
    EXPECT_NEAR(page.DeviceSize().cy, 3508, 2);
    EXPECT_GT(page.GetTextExtent("Label").cx, 0);
    PrnDrawPage(page, "page one");
    ASSERT_TRUE(pdf.NewPage());
    PrnDrawPage(pdf.Page(), "page two");
    EXPECT_EQ(pdf.PageCount(), 2);
    ASSERT_TRUE(pdf.End()) << pdf.ErrorText();
    EXPECT_FALSE(pdf.IsOpen());

    std::string data = PrnReadFile(path);
    ASSERT_GE(data.size(), 5u);
    EXPECT_EQ(data.compare(0, 4, "%PDF"), 0);
    EXPECT_EQ(PrnCountPages(data), 2);
}

TEST_F(PrintOutputTest, PdfErrorsAreReported) {
    platform::PdfDocument pdf;
    EXPECT_FALSE(pdf.Open(dir_.Path() + "/no/such/dir/out.pdf"));
    EXPECT_FALSE(pdf.ErrorText().empty());
    EXPECT_FALSE(pdf.IsOpen());
    EXPECT_FALSE(pdf.NewPage());
    EXPECT_FALSE(pdf.End());
    pdf.Page().Line(0, 0, 10, 10);  // harmless without a document

    std::string gone = dir_.Path() + "/gone.pdf";
    ASSERT_TRUE(pdf.Open(gone));
    PrnDrawPage(pdf.Page(), "aborted");
    pdf.Abort();
    EXPECT_EQ(access(gone.c_str(), F_OK), -1);
}

TEST_F(PrintOutputTest, PrintJobToFileProducesPdf) {
    platform::PrintSettings settings;
    settings.outputFile = dir_.Path() + "/job.pdf";
    settings.color = false;
    settings.page.landscape = true;
    platform::PrintJob job;
    ASSERT_TRUE(job.Begin(settings)) << job.ErrorText();
    EXPECT_TRUE(job.IsToFile());
    EXPECT_TRUE(job.Page().IsMonochrome());
    platform::Size paper = job.PaperSize();
    EXPECT_GT(paper.cx, paper.cy);  // landscape
    PrnDrawPage(job.Page(), "printed");
    ASSERT_TRUE(job.End()) << job.ErrorText();
    std::string data = PrnReadFile(settings.outputFile);
    EXPECT_EQ(data.compare(0, 4, "%PDF"), 0);
    EXPECT_EQ(PrnCountPages(data), 1);

    // Without any printer and without a file there is nowhere to print.
    if (platform::ListPrinters().empty()) {
        platform::PrintJob none;
        EXPECT_FALSE(none.Begin(platform::PrintSettings{}));
        EXPECT_FALSE(none.ErrorText().empty());
    }
}

}  // namespace
