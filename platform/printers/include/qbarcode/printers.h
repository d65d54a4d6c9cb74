/// \file
/// The printer: one global object whose jobs render pages to a PDF or
/// PostScript file at the printer's resolution, and hand the file to the print
/// system (`lp`) when a printer name is set.
#pragma once

#include "qbarcode/graphics.h"

#include <memory>
#include <string>

namespace qb {

/// The paper of a print job (the page has no margins).
enum class TPaperSize { A4, A5, Letter, Legal };
/// Portrait pages are taller than wide; landscape swaps width and height.
enum TPrinterOrientation { poPortrait, poLandscape };
/// The file format a print job writes.
enum class TPrintFormat { Pdf, PostScript };

/// A printer: the settings of a job, the job itself and the canvas of its
/// current page. Printer() is the one the library draws on.
class TPrinter {
public:
    /// 600 x 600 pixels per inch, A4 portrait, PDF, no output file yet.
    TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;
    /// A job still running is aborted.
    ~TPrinter();

    // Settings. Changing one while a job runs raises an Exception.

    /// Pixels per inch along each axis (default 600 x 600; 1 to 9600).
    void SetResolution(int pixelsPerInchX, int pixelsPerInchY);
    int XResolution() const { return dpiX_; }                        ///< pixels per inch across
    int YResolution() const { return dpiY_; }                        ///< pixels per inch down
    void SetPaperSize(TPaperSize paper);                             ///< the paper of the next job
    TPaperSize PaperSize() const { return paper_; }                  ///< A4 by default
    void SetOrientation(TPrinterOrientation orientation);            ///< of the next job
    TPrinterOrientation Orientation() const { return orientation_; } ///< poPortrait by default
    void SetOutputFormat(TPrintFormat format);                       ///< PDF or PostScript
    TPrintFormat OutputFormat() const { return format_; }            ///< PDF by default
    /// Where the job's file goes. May be empty when a printer name is set:
    /// the file is then temporary and removed once the print system has it.
    void SetOutputFile(const std::string& path);
    const std::string& OutputFile() const { return outputFile_; } ///< as set
    /// The print system's destination (`lp -d`); empty: only write the file.
    void SetPrinterName(const std::string& name);
    const std::string& PrinterName() const { return printerName_; } ///< as set

    /// The job's name, for the document's metadata and the print queue.
    std::string Title;

    /// The page in printer pixels, whole paper (there are no margins).
    int PageWidth() const;
    int PageHeight() const; ///< as PageWidth, down the page
    /// The page in millimetres, as the paper and orientation give it.
    double PageWidthMm() const;
    double PageHeightMm() const; ///< as PageWidthMm, down the page

    /// Starts a job on a blank first page; raises when the file cannot be
    /// created or there is nowhere to print to.
    void BeginDoc();
    /// Ends the page and starts a blank one.
    void NewPage();
    /// Finishes the file and, with a printer name, submits it with `lp`.
    /// Raises on a write error or when `lp` is missing or fails; the file is
    /// then kept and the message says where.
    void EndDoc();
    /// Stops the job and removes its file.
    void Abort();
    bool Printing() const { return job_ != nullptr; } ///< between BeginDoc and EndDoc or Abort
    bool Aborted() const { return aborted_; }         ///< the last job ended with Abort
    /// 1 on the first page of a job.
    int PageNumber() const { return page_; }

    /// The canvas of the current page, in printer pixels. Drawing on it with
    /// no job running raises; measuring text works at any time.
    TCanvas& Canvas();
    /// The device context: GetDeviceCaps answers with or without a job.
    HDC Handle();

private:
    class PrinterCanvas;
    void RequireIdle(const char* what) const;
    void RequirePrinting(const char* what) const;
    void UpdateDevice();
    void Submit(const std::string& path);

    int dpiX_ = 600, dpiY_ = 600;
    TPaperSize paper_ = TPaperSize::A4;
    TPrinterOrientation orientation_ = poPortrait;
    TPrintFormat format_ = TPrintFormat::Pdf;
    std::string outputFile_, printerName_;
    std::string jobFile_; // the file of the running job
    bool temporaryFile_ = false;
    bool aborted_ = false;
    int page_ = 0;
    std::unique_ptr<PrinterCanvas> canvas_;
    std::unique_ptr<TVectorDocument> job_;
};

/// The global printer.
TPrinter* Printer();

} // namespace qb
