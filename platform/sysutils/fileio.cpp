// The atomic file writer.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes are gathered up to this size: libraries stream small pieces.
constexpr std::size_t kBufferSize = 64 << 10;

// The process id, asked of the system once per process (a forked child asks
// again): every file written needs it, and a system call per file shows
// when many small files are written.
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

// The folder part of a path, with its slash ("" for a bare name).
std::string_view Folder(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// Creates a new temporary file for `path` in the same folder and returns its
// descriptor (-1 with errno set on failure).
int CreateTemporary(const std::string& path, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(counter.fetch_add(1));
        name = path + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == ENAMETOOLONG) {
            // The target's name is near the limit: a short name in its folder.
            name = std::string(Folder(path)) + suffix;
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        }
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::string QuotedFileName(std::string_view path)
{
    std::string quoted;
    quoted.reserve(path.size() + 2);
    quoted += '"';
    quoted += path;
    quoted += '"';
    return quoted;
}

TAtomicFile::TAtomicFile(std::string path) : path_(std::move(path))
{
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            errno = EISDIR;
        else
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    } else {
        fd_ = CreateTemporary(path_, temporary_);
    }
    if (fd_ < 0)
        throw Exception("Cannot create file " + QuotedFileName(path_) + ": " + std::strerror(errno));
}

TAtomicFile::~TAtomicFile()
{
    Discard();
}

void TAtomicFile::Write(std::string_view bytes)
{
    if (!TryWrite(bytes.data(), bytes.size())) {
        const std::string reason = fd_ < 0 ? "the file is closed" : Reason();
        Discard();
        throw Exception("Cannot write file " + QuotedFileName(path_) + ": " + reason);
    }
}

bool TAtomicFile::TryWrite(const void* data, std::size_t size) noexcept
{
    if (fd_ < 0 || failed_)
        return false;
    const char* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size > kBufferSize) {
        if (!WriteAll(buffer_.data(), buffer_.size()))
            return false;
        buffer_.clear();
    }
    if (size >= kBufferSize)
        return WriteAll(bytes, size); // large pieces go straight to the file
    if (buffer_.capacity() < kBufferSize) {
        try {
            buffer_.reserve(kBufferSize);
        } catch (...) {
            return WriteAll(bytes, size);
        }
    }
    buffer_.append(bytes, size);
    return true;
}

bool TAtomicFile::WriteAll(const char* data, std::size_t size) noexcept
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail(std::strerror(n < 0 ? errno : EIO));
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void TAtomicFile::Fail(std::string_view reason) noexcept
{
    if (failed_)
        return;
    failed_ = true;
    try {
        error_ = reason.empty() ? "failed" : reason;
    } catch (...) {
        // Reported without a reason.
    }
}

std::string TAtomicFile::Reason() const
{
    return error_.empty() ? "failed" : error_;
}

void TAtomicFile::Commit()
{
    if (fd_ < 0)
        throw Exception("Cannot write file " + QuotedFileName(path_) + ": the file is closed");
    if (!failed_ && WriteAll(buffer_.data(), buffer_.size()))
        buffer_.clear();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        Fail(std::strerror(errno));
    if (!failed_ && !temporary_.empty() && std::rename(temporary_.c_str(), path_.c_str()) != 0)
        Fail(std::strerror(errno));
    buffer_ = {};
    if (!failed_) {
        temporary_.clear();
        return;
    }
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    throw Exception("Cannot write file " + QuotedFileName(path_) + ": " + Reason());
}

void TAtomicFile::Discard() noexcept
{
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    buffer_ = {};
}

void WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    TAtomicFile file(path);
    file.TryWrite(bytes.data(), bytes.size());
    file.Commit(); // reports a failed write
}
