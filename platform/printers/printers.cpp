// TPrinter: print jobs as PDF or PostScript files at the printer's
// resolution, optionally handed to the print system with `lp`.
#include "qbarcode/printers.h"
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qb {

namespace {

struct Paper {
    double widthMm, heightMm;
};

Paper PaperOf(TPaperSize size)
{
    switch (size) {
    case TPaperSize::A5:
        return {148, 210};
    case TPaperSize::Letter:
        return {215.9, 279.4};
    case TPaperSize::Legal:
        return {215.9, 355.6};
    case TPaperSize::A4:
    default:
        return {210, 297};
    }
}

int MmToPixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

// Runs a program found on PATH with its output captured. Returns false when
// the program does not exist; otherwise `status` is its exit status.
bool RunProgram(const std::vector<std::string>& args, int& status, std::string& output)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw Exception(Format("Cannot run %s: %s", {args[0], std::strerror(errno)}));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error == 0) {
        char buf[1024];
        for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) != 0;) {
            if (n > 0)
                output.append(buf, n);
            else if (errno != EINTR)
                break;
        }
    }
    close(pipeFds[0]);
    if (error == ENOENT)
        return false;
    if (error != 0)
        throw Exception(Format("Cannot run %s: %s", {args[0], std::strerror(error)}));
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace

// The printer's canvas stands for the printer: it reports the printer's
// resolution and page at any time, and draws on the job's document.
class TPrinter::PrinterCanvas : public TCanvas {
public:
    PrinterCanvas() { SetNoSurfaceMessage("The printer is not printing: call BeginDoc before drawing"); }
    using TCanvas::SetDevice;
};

TPrinter::TPrinter() : canvas_(std::make_unique<PrinterCanvas>())
{
    UpdateDevice();
}

TCanvas& TPrinter::Canvas()
{
    return *canvas_;
}

HDC TPrinter::Handle()
{
    return canvas_->Handle();
}

TPrinter::~TPrinter()
{
    if (Printing())
        Abort();
}

void TPrinter::RequireIdle(const char* what) const
{
    if (Printing())
        throw Exception(Format("Cannot %s while a print job is running", {what}));
}

void TPrinter::RequirePrinting(const char* what) const
{
    if (!Printing())
        throw Exception(Format("Cannot %s: the printer is not printing", {what}));
}

void TPrinter::UpdateDevice()
{
    canvas_->SetDevice({dpiX_, dpiY_, PageWidth(), PageHeight(), DT_RASPRINTER});
}

void TPrinter::SetResolution(int pixelsPerInchX, int pixelsPerInchY)
{
    RequireIdle("change the resolution");
    if (pixelsPerInchX < 1 || pixelsPerInchY < 1 || pixelsPerInchX > 9600 || pixelsPerInchY > 9600)
        throw Exception(Format("Invalid printer resolution %dx%d", {pixelsPerInchX, pixelsPerInchY}));
    dpiX_ = pixelsPerInchX;
    dpiY_ = pixelsPerInchY;
    UpdateDevice();
}

void TPrinter::SetPaperSize(TPaperSize paper)
{
    RequireIdle("change the paper size");
    paper_ = paper;
    UpdateDevice();
}

void TPrinter::SetOrientation(TPrinterOrientation orientation)
{
    RequireIdle("change the orientation");
    orientation_ = orientation;
    UpdateDevice();
}

void TPrinter::SetOutputFormat(TPrintFormat format)
{
    RequireIdle("change the output format");
    format_ = format;
}

void TPrinter::SetOutputFile(const std::string& path)
{
    RequireIdle("change the output file");
    outputFile_ = path;
}

void TPrinter::SetPrinterName(const std::string& name)
{
    RequireIdle("change the printer");
    printerName_ = name;
}

double TPrinter::PageWidthMm() const
{
    Paper p = PaperOf(paper_);
    return orientation_ == poPortrait ? p.widthMm : p.heightMm;
}

double TPrinter::PageHeightMm() const
{
    Paper p = PaperOf(paper_);
    return orientation_ == poPortrait ? p.heightMm : p.widthMm;
}

int TPrinter::PageWidth() const
{
    return MmToPixels(PageWidthMm(), dpiX_);
}

int TPrinter::PageHeight() const
{
    return MmToPixels(PageHeightMm(), dpiY_);
}

void TPrinter::BeginDoc()
{
    RequireIdle("start a print job");
    if (outputFile_.empty() && printerName_.empty())
        throw Exception("Cannot print: set an output file or a printer name");
    std::string path = outputFile_;
    bool temporary = false;
    if (path.empty()) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/qbarcode-print-XXXXXX" +
                              (format_ == TPrintFormat::Pdf ? ".pdf" : ".ps");
        // The file is registered, to be removed if a signal ends the program
        // while printing, before any such signal can arrive.
        sigset_t ending, previous;
        sigemptyset(&ending);
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&ending, signal);
        pthread_sigmask(SIG_BLOCK, &ending, &previous);
        const int fd = mkstemps(pattern.data(), 4);
        const int error = errno;
        if (fd >= 0)
            RegisterTemporaryFile(pattern);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (fd < 0)
            throw Exception(Format("Cannot create a temporary print file: %s", {std::strerror(error)}));
        close(fd);
        path = pattern;
        temporary = true;
    }
    // The page in points is the paper's exact size; printer pixels map to it
    // at 72 / resolution points each, separately along each axis.
    TVectorOptions options;
    options.ScaleX = 72.0 / dpiX_;
    options.ScaleY = 72.0 / dpiY_;
    options.PixelsPerInchX = dpiX_;
    options.PixelsPerInchY = dpiY_;
    options.PageWidth = PageWidthMm() / 25.4 * 72;
    options.PageHeight = PageHeightMm() / 25.4 * 72;
    options.Title = Title;
    try {
        job_ = std::make_unique<TVectorDocument>(
            *canvas_, format_ == TPrintFormat::Pdf ? TVectorFormat::Pdf : TVectorFormat::PostScript, path, PageWidth(),
            PageHeight(), options);
    } catch (...) {
        if (temporary) {
            std::remove(path.c_str());
            UnregisterTemporaryFile(path);
        }
        throw;
    }
    jobFile_ = path;
    temporaryFile_ = temporary;
    aborted_ = false;
    page_ = 1;
}

void TPrinter::NewPage()
{
    RequirePrinting("start a new page");
    job_->NewPage();
    ++page_;
}

void TPrinter::EndDoc()
{
    RequirePrinting("end the print job");
    const std::unique_ptr<TVectorDocument> job = std::move(job_);
    // From here the job's temporary file is removed, or kept and named in a
    // message: either way no longer one for a signal to remove.
    struct Forget {
        const TPrinter& printer;
        ~Forget()
        {
            if (printer.temporaryFile_)
                UnregisterTemporaryFile(printer.jobFile_);
        }
    } forget{*this};
    try {
        job->Close();
    } catch (...) {
        if (temporaryFile_)
            std::remove(jobFile_.c_str());
        throw;
    }
    if (!printerName_.empty())
        Submit(jobFile_);
}

void TPrinter::Submit(const std::string& path)
{
    std::vector<std::string> args = {"lp", "-d", printerName_};
    if (!Title.empty()) {
        args.push_back("-t");
        args.push_back(Title);
    }
    args.push_back(path[0] == '-' ? "./" + path : path);
    int status = 0;
    std::string output;
    if (!RunProgram(args, status, output))
        throw Exception(Format("Cannot print: the print system's lp command was not found; the document was kept as %s",
                               {QuotedFileName(path)}));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string reason = Trim(output);
        if (reason.empty())
            reason = WIFEXITED(status) ? Format("exit status %d", {WEXITSTATUS(status)}) : std::string("killed");
        throw Exception(
            Format("Cannot print: lp failed (%s); the document was kept as %s", {reason, QuotedFileName(path)}));
    }
    if (temporaryFile_)
        std::remove(path.c_str());
}

void TPrinter::Abort()
{
    if (!Printing())
        return;
    job_->Abort();
    job_.reset();
    if (temporaryFile_) {
        std::remove(jobFile_.c_str());
        UnregisterTemporaryFile(jobFile_);
    }
    aborted_ = true;
}

TPrinter* Printer()
{
    static TPrinter printer;
    return &printer;
}

} // namespace qb
