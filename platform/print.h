// Output to paper: PDF files and printers, each page a DrawSurface.
//
// A page surface measures in device pixels of the output resolution
// (PixelsPerInch) with the origin at the top left of the printable area, the
// same as a window in MapMode::Pixels; drawing code picks its own mapping.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/draw.h"

namespace platform {

struct PageSetup {
    double widthMm = 210.0;  // paper size, portrait; A4 by default
    double heightMm = 297.0;
    bool landscape = false;
    double marginMm = 0.0;    // the same on every side
    int pixelsPerInch = 600;  // PDF output resolution (printers use their own)
    std::string title;        // document title (PDF metadata, printer queue)
};

// Writes a PDF file page by page.
class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // Starts the file and its first page. False (with ErrorText) when the
    // file cannot be created.
    bool Open(const std::string& path, const PageSetup& setup = PageSetup{});
    bool IsOpen() const;
    // The current page's surface; valid until NewPage, End or Abort.
    DrawSurface& Page();
    // Ends the current page and starts another; state of the old page's
    // surface (pen, mapping, ...) does not carry over.
    bool NewPage();
    int PageCount() const;
    // Finishes and closes the file; false when it could not be completed.
    bool End();
    // Stops and removes the partial file.
    void Abort();
    const std::string& ErrorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

struct PrinterInfo {
    std::string name;
    bool isDefault = false;
};
// Printers the system knows (may be empty, e.g. headless).
std::vector<PrinterInfo> ListPrinters();
// The default printer's name, or "" when there is none.
std::string DefaultPrinterName();

struct PrintSettings {
    std::string printerName;  // "" = the default printer
    // When set, or when no printer exists, the job is written to this PDF file
    // instead: batch runs and machines without printers still produce output.
    std::string outputFile;
    int copies = 1;
    bool color = true;  // false: the pages report themselves monochrome
    PageSetup page;     // paper and orientation; pixelsPerInch for PDF output only
};

// A print job on a printer (or, headless, into a PDF file).
class PrintJob {
public:
    PrintJob();
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // False (with ErrorText) when no printer and no output file is available
    // or the printer cannot start.
    bool Begin(const PrintSettings& settings);
    bool IsActive() const;
    bool IsToFile() const;  // the output is a PDF file
    DrawSurface& Page();
    bool NewPage();
    int PageCount() const;
    bool End();
    void Abort();
    // Paper size in device pixels (the printable area is Page().DeviceSize()).
    Size PaperSize() const;
    const std::string& ErrorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
