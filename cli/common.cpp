#include "common.h"

#include "qbarcode/sysutils.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

void EncodingOptions::Add(CLI::App& app, const std::string& modulHelp)
{
    app.add_option("--type,-t", typeName, "Symbology: enumerator (bcCodeEAN13), name (EAN13) or alias (ean13)")
        ->required();
    auto* text = textOption = app.add_option("--text", this->text, "Text to encode");
    auto* file = app.add_option("--text-file", textFile, "Read the text to encode from a file, byte for byte");
    text->excludes(file);
    file->excludes(text);
    app.add_flag("--checksum", checksum, "Add the symbology's check character");
    if (!modulHelp.empty())
        app.add_option("--modul,-m", modul, modulHelp);
    app.add_option("--ratio,-r", ratio, "Wide-to-narrow ratio (clamped per symbology)");
}

TBarType EncodingOptions::Type() const
{
    TBarType type;
    if (!FindBarType(typeName, type))
        throw UsageError("Unknown barcode type '" + typeName + "' (see 'qbarcode types')");
    return type;
}

std::string EncodingOptions::Text() const
{
    if (textFile.empty()) {
        if (!textOption || textOption->count() == 0)
            throw UsageError("--text or --text-file is required");
        return text;
    }
    std::ifstream in(textFile, std::ios::binary);
    if (!in)
        throw Exception("Cannot read '" + textFile + "'");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::int32_t EncodingOptions::Modul() const
{
    if (modul < std::numeric_limits<std::int32_t>::min() || modul > std::numeric_limits<std::int32_t>::max())
        throw UsageError("--modul: " + std::to_string(modul) + " does not fit a 32-bit integer");
    return static_cast<std::int32_t>(modul);
}

namespace {

// The process id, asked of the system once (a forked child asks again):
// every file written needs it, and a system call per file shows when many
// small files are written.
pid_t ProcessId()
{
    static std::atomic<pid_t> pid{0};
    static const int registered = pthread_atfork(nullptr, nullptr, [] { pid.store(0); });
    (void)registered;
    pid_t id = pid.load(std::memory_order_relaxed);
    if (id == 0) {
        id = ::getpid();
        pid.store(id, std::memory_order_relaxed);
    }
    return id;
}

// A temporary file beside `path`, named for this process.
std::string TemporaryName(const std::string& path) { return path + ".tmp-" + std::to_string(ProcessId()); }

} // namespace

std::string CreateTemporaryFor(const std::string& path)
{
    const std::string tmp = TemporaryName(path);
    // Fail early, naming the file the user asked for, when its folder cannot
    // take it.
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw Exception("Cannot write '" + path + "': " + std::strerror(errno));
    ::close(fd);
    return tmp;
}

void WriteFileAtomically(const std::string& path, const std::function<void(const std::string&)>& write)
{
    // The writer creates the temporary file itself: creating it beforehand
    // costs a file creation per image. Only when writing failed is the
    // folder probed, so that a folder that cannot take the file is reported
    // under the name the user asked for.
    const std::string tmp = TemporaryName(path);
    try {
        write(tmp);
    } catch (...) {
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            throw Exception("Cannot write '" + path + "': " + std::strerror(errno));
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        throw Exception("Cannot write '" + path + "'");
    }
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    const std::string tmp = TemporaryName(path);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw Exception("Cannot write '" + path + "': " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            throw Exception("Cannot write '" + path + "': " + std::strerror(error));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(tmp.c_str());
        throw Exception("Cannot write '" + path + "': " + std::strerror(error));
    }
}

PrinterResolution ParsePrinterResolution(const std::string& text)
{
    PrinterResolution r;
    const auto sep = text.find_first_of("xX");
    try {
        std::size_t used = 0;
        r.x = std::stoi(text.substr(0, sep), &used);
        if (used != (sep == std::string::npos ? text.size() : sep))
            throw std::invalid_argument(text);
        r.y = r.x;
        if (sep != std::string::npos) {
            r.y = std::stoi(text.substr(sep + 1), &used);
            if (used != text.size() - sep - 1)
                throw std::invalid_argument(text);
        }
    } catch (const std::logic_error&) {
        throw UsageError("--dpi: '" + text + "' is not a resolution such as 600 or 600x1200");
    }
    if (r.x < 1 || r.y < 1 || r.x > 9600 || r.y > 9600)
        throw UsageError("--dpi: each resolution must be 1 to 9600 pixels per inch");
    return r;
}

void WritePrintJob(const std::string& output, const std::string& printer,
                   const std::function<void(const std::string& file)>& job)
{
    if (output.empty()) {
        job("");
        return;
    }
    const std::string tmp = CreateTemporaryFor(output);
    try {
        job(tmp);
    } catch (const Exception& e) {
        std::error_code ec;
        if (!printer.empty() && std::filesystem::file_size(tmp, ec) > 0 && !ec &&
            std::rename(tmp.c_str(), output.c_str()) == 0) {
            std::string message = e.Message;
            for (auto at = message.find(tmp); at != std::string::npos; at = message.find(tmp))
                message.replace(at, tmp.size(), output);
            throw Exception(message);
        }
        std::remove(tmp.c_str());
        throw;
    } catch (...) {
        std::remove(tmp.c_str());
        throw;
    }
    if (std::rename(tmp.c_str(), output.c_str()) != 0) {
        std::remove(tmp.c_str());
        throw Exception("Cannot write '" + output + "'");
    }
}
