// PDF files and printers as page surfaces.
#include "platform/print.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

#include "platform/draw_qt.h"

namespace platform {

namespace {

QPageLayout prn_Layout(const PageSetup& setup) {
    double w = setup.widthMm > 0 ? setup.widthMm : 210.0;
    double h = setup.heightMm > 0 ? setup.heightMm : 297.0;
    double m = std::max(0.0, setup.marginMm);
    QPageSize size(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    // Paper given landscape-shaped counts as landscape.
    bool landscape = setup.landscape != (w > h);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(m, m, m, m),
                       QPageLayout::Millimeter);
}

int prn_Ppi(const PageSetup& setup) { return std::clamp(setup.pixelsPerInch, 72, 2400); }

}  // namespace

// What Page() hands out while no page is open: drawing on it goes nowhere
// instead of crashing.
class PrnNowhere {
public:
    DrawSurface& Surface() {
        if (!surface_) {
            image_.Create(1, 1);
            surface_ = CreateImageSurface(image_);
        }
        return *surface_;
    }

private:
    Image image_;
    std::unique_ptr<DrawSurface> surface_;
};

// ---------------------------------------------------------------------------
struct PdfDocument::Impl {
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    std::unique_ptr<DrawSurface> surface;
    std::string path;
    std::string error;
    int pages = 0;
    int ppi = 600;
    PrnNowhere nowhere;

    void StartPageSurface() {
        surface =
            CreatePainterSurface(painter, SurfaceKind::Pdf, ppi, ppi, Size{writer->width(), writer->height()}, false);
        ++pages;
    }
    void Close() {
        surface.reset();
        if (painter.isActive()) painter.end();
        writer.reset();
    }
};

PdfDocument::PdfDocument() : impl_(std::make_unique<Impl>()) {}

PdfDocument::~PdfDocument() {
    if (IsOpen()) End();
}

bool PdfDocument::Open(const std::string& path, const PageSetup& setup) {
    if (IsOpen()) Abort();
    impl_->error.clear();
    impl_->pages = 0;
    impl_->path = path;
    if (path.empty()) {
        impl_->error = "No file name for the PDF output.";
        return false;
    }
    impl_->ppi = prn_Ppi(setup);
    impl_->writer = std::make_unique<QPdfWriter>(QString::fromStdString(path));
    impl_->writer->setResolution(impl_->ppi);
    impl_->writer->setPageLayout(prn_Layout(setup));
    impl_->writer->setCreator(QStringLiteral("Tarnwick"));
    if (!setup.title.empty()) impl_->writer->setTitle(ToQString(setup.title));
    if (!impl_->painter.begin(impl_->writer.get())) {
        impl_->writer.reset();
        impl_->error = "Cannot create the file " + path + ".";
        return false;
    }
    impl_->StartPageSurface();
    return true;
}

bool PdfDocument::IsOpen() const { return impl_->writer != nullptr; }

DrawSurface& PdfDocument::Page() { return impl_->surface ? *impl_->surface : impl_->nowhere.Surface(); }

bool PdfDocument::NewPage() {
    if (!IsOpen()) return false;
    impl_->surface.reset();
    if (!impl_->writer->newPage()) {
        impl_->error = "Cannot start a new page.";
        return false;
    }
    impl_->StartPageSurface();
    return true;
}

int PdfDocument::PageCount() const { return impl_->pages; }

bool PdfDocument::End() {
    if (!IsOpen()) return false;
    impl_->surface.reset();
    bool ok = impl_->painter.end();
    impl_->writer.reset();
    QFile file(QString::fromStdString(impl_->path));
    if (!ok || !file.exists() || file.size() == 0) {
        impl_->error = "Cannot write the file " + impl_->path + ".";
        return false;
    }
    return true;
}

void PdfDocument::Abort() {
    if (!IsOpen()) return;
    impl_->Close();
    QFile::remove(QString::fromStdString(impl_->path));
}

const std::string& PdfDocument::ErrorText() const { return impl_->error; }

// ---------------------------------------------------------------------------
std::vector<PrinterInfo> ListPrinters() {
    std::vector<PrinterInfo> out;
    QString def = QPrinterInfo::defaultPrinterName();
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        out.push_back(PrinterInfo{name.toStdString(), name == def});
    return out;
}

std::string DefaultPrinterName() { return QPrinterInfo::defaultPrinterName().toStdString(); }

struct PrintJob::Impl {
    std::unique_ptr<QPrinter> printer;
    QPainter painter;
    std::unique_ptr<DrawSurface> surface;
    std::string error;
    std::string outputFile;
    bool toFile = false;
    bool color = true;
    int pages = 0;
    PrnNowhere nowhere;

    void StartPageSurface() {
        QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
        surface = CreatePainterSurface(painter, toFile ? SurfaceKind::Pdf : SurfaceKind::Printer, printer->resolution(),
                                       printer->resolution(), Size{page.width(), page.height()}, !color);
        ++pages;
    }
};

PrintJob::PrintJob() : impl_(std::make_unique<Impl>()) {}

PrintJob::~PrintJob() {
    if (IsActive()) End();
}

bool PrintJob::Begin(const PrintSettings& settings) {
    if (IsActive()) Abort();
    impl_->error.clear();
    impl_->pages = 0;
    impl_->color = settings.color;
    impl_->outputFile = settings.outputFile;
    std::string printerName = settings.printerName.empty() ? DefaultPrinterName() : settings.printerName;
    impl_->toFile = !settings.outputFile.empty() || printerName.empty();
    if (impl_->toFile && settings.outputFile.empty()) {
        impl_->error = "No printer is available.";
        return false;
    }
    impl_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter& pr = *impl_->printer;
    if (impl_->toFile) {
        pr.setOutputFormat(QPrinter::PdfFormat);
        pr.setOutputFileName(QString::fromStdString(settings.outputFile));
        pr.setResolution(prn_Ppi(settings.page));
    } else {
        pr.setPrinterName(QString::fromStdString(printerName));
        if (!pr.isValid()) {
            impl_->printer.reset();
            impl_->error = "The printer " + printerName + " is not available.";
            return false;
        }
    }
    pr.setPageLayout(prn_Layout(settings.page));
    pr.setCopyCount(std::max(1, settings.copies));
    pr.setColorMode(settings.color ? QPrinter::Color : QPrinter::GrayScale);
    pr.setCreator(QStringLiteral("Tarnwick"));
    if (!settings.page.title.empty()) pr.setDocName(ToQString(settings.page.title));
    if (!impl_->painter.begin(&pr)) {
        impl_->printer.reset();
        impl_->error = impl_->toFile ? "Cannot create the file " + settings.outputFile + "."
                                     : "The printer " + printerName + " cannot start.";
        return false;
    }
    impl_->StartPageSurface();
    return true;
}

bool PrintJob::IsActive() const { return impl_->printer != nullptr; }

bool PrintJob::IsToFile() const { return impl_->toFile; }

DrawSurface& PrintJob::Page() { return impl_->surface ? *impl_->surface : impl_->nowhere.Surface(); }

bool PrintJob::NewPage() {
    if (!IsActive()) return false;
    impl_->surface.reset();
    if (!impl_->printer->newPage()) {
        impl_->error = "Cannot start a new page.";
        return false;
    }
    impl_->StartPageSurface();
    return true;
}

int PrintJob::PageCount() const { return impl_->pages; }

bool PrintJob::End() {
    if (!IsActive()) return false;
    impl_->surface.reset();
    bool ok = impl_->painter.end();
    impl_->printer.reset();
    if (!ok) impl_->error = "The print job could not be completed.";
    return ok;
}

void PrintJob::Abort() {
    if (!IsActive()) return;
    impl_->surface.reset();
    impl_->printer->abort();
    if (impl_->painter.isActive()) impl_->painter.end();
    impl_->printer.reset();
    if (impl_->toFile) QFile::remove(QString::fromStdString(impl_->outputFile));
}

Size PrintJob::PaperSize() const {
    if (!IsActive()) return Size{};
    QRect paper = impl_->printer->pageLayout().fullRectPixels(impl_->printer->resolution());
    return Size{paper.width(), paper.height()};
}

const std::string& PrintJob::ErrorText() const { return impl_->error; }

}  // namespace platform
