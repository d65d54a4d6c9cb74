// The atomic file writer.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {

// Libraries stream small pieces: they are gathered up to kBufferSize, and
// pieces from kDirectSize up are written as they come.
constexpr std::size_t kBufferSize = 64 << 10;
constexpr std::size_t kDirectSize = 4 << 10;

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

// The temporary files a signal handler removes: a fixed table, so that the
// handler reads no memory that may be changing under it. A slot is free (0),
// being filled (1) or holds a path (2).
struct TemporarySlot {
    std::atomic<int> state{0};
    char path[PATH_MAX]{};
};
constexpr int kTemporarySlots = 32;
constinit TemporarySlot temporaries[kTemporarySlots];

// The file a path leads to once the symbolic links of its last component are
// followed: the file to replace. A missing file or any error but a loop ends
// the walk there, and the open that follows reports it.
bool FollowLinks(std::string& path)
{
    for (int hop = 0; hop < 40; ++hop) {
        char link[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n < 0)
            return true;
        if (static_cast<std::size_t>(n) == sizeof link) {
            errno = ENAMETOOLONG;
            return false;
        }
        path = link[0] == '/' ? std::string(link, static_cast<std::size_t>(n))
                              : std::string(Folder(path)) + std::string(link, static_cast<std::size_t>(n));
    }
    errno = ELOOP;
    return false;
}

// Creates a new temporary file for `path` in the same folder and returns its
// descriptor (-1 with errno set on failure).
int CreateTemporary(const std::string& path, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(counter.fetch_add(1));
        // Each name is registered before the file is made, so a signal that
        // arrives between the two cannot leave the file behind.
        auto create = [&name](std::string candidate) {
            name = std::move(candidate);
            RegisterTemporaryFile(name);
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                const int error = errno;
                UnregisterTemporaryFile(name);
                errno = error;
            }
            return fd;
        };
        int fd = create(path + suffix);
        if (fd < 0 && errno == ENAMETOOLONG)
            fd = create(std::string(Folder(path)) + suffix); // the target's name is near the limit
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// The replacement keeps what the file it replaces had: its owner where the
// system lets us give it, then its permission bits (after the owner, which
// clears the set-user-id bit).
void KeepOwnerAndMode(int fd, const struct stat& old)
{
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only a privileged process may give a file away; otherwise it stays the writer's.
    }
    (void)::fchmod(fd, old.st_mode & 07777);
}

// Gives a file opened with O_TMPFILE the name `name` (relative to the
// folder `at`), which must be free: linkat never replaces a file. The
// descriptor names the file directly where the system lets any process do
// so, else through /proc.
bool NameUnnamed(int fd, int at, const char* name)
{
    static std::atomic<bool> direct{true};
    if (direct.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", at, name, AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
        direct.store(false, std::memory_order_relaxed); // only privileged processes may: asked no more
    }
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, link, at, name, AT_SYMLINK_FOLLOW) == 0;
}

// Whether the targets of this process have lately been files that exist:
// a batch mostly writes new files, or replaces the files of its last run.
// After a new one, targets are started unnamed without a look-up (which
// costs as much as naming the file); once a name turns out to be taken (its
// bytes are then copied), each target is looked up until one is new again.
std::atomic<bool> targetsExist{true};

void RemoveTemporary(std::string& name) noexcept
{
    ::unlink(name.c_str());
    UnregisterTemporaryFile(name);
    name.clear();
}

} // namespace

struct OpenFolder {
    std::string path; // as the targets' paths write it
    int fd = -1;
    ~OpenFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

thread_local std::shared_ptr<const OpenFolder> outputFolder;

} // namespace

TOutputFolder::TOutputFolder(const std::string& folder)
{
    if (outputFolder)
        return;
    auto open = std::make_shared<OpenFolder>();
    open->path = folder;
    open->fd = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (open->fd < 0)
        return;
    outputFolder = std::move(open);
    active_ = true;
}

TOutputFolder::~TOutputFolder()
{
    if (active_)
        outputFolder.reset();
}

bool RegisterTemporaryFile(const std::string& path) noexcept
{
    if (path.size() >= PATH_MAX)
        return false;
    for (TemporarySlot& slot : temporaries) {
        int free = 0;
        if (!slot.state.compare_exchange_strong(free, 1, std::memory_order_acquire))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(2, std::memory_order_release);
        return true;
    }
    return false;
}

void UnregisterTemporaryFile(const std::string& path) noexcept
{
    for (TemporarySlot& slot : temporaries)
        if (slot.state.load(std::memory_order_acquire) == 2 && path == slot.path) {
            slot.state.store(0, std::memory_order_release);
            return;
        }
}

void RemoveTemporaryFiles() noexcept
{
    for (TemporarySlot& slot : temporaries)
        if (slot.state.load(std::memory_order_acquire) == 2)
            ::unlink(slot.path);
}

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
    if (!OpenUnnamed())
        OpenNamed();
}

bool TAtomicFile::OpenUnnamed()
{
    if (path_.empty() || path_.back() == '/')
        return false;
    struct stat st;
    if (targetsExist.load(std::memory_order_relaxed)) {
        if (::lstat(path_.c_str(), &st) == 0 || errno != ENOENT)
            return false;
        targetsExist.store(false, std::memory_order_relaxed);
    }
    const std::string_view folder = Folder(path_);
    // Read and write: should naming it fail, its bytes are copied out.
    constexpr int kUnnamed = O_TMPFILE | O_RDWR | O_CLOEXEC;
    if (outputFolder && outputFolder->path == folder) {
        folder_ = outputFolder;
        fd_ = ::openat(folder_->fd, ".", kUnnamed, 0666);
    } else {
        fd_ = ::open(folder.empty() ? "." : std::string(folder).c_str(), kUnnamed, 0666);
    }
    unnamed_ = fd_ >= 0;
    return unnamed_;
}

void TAtomicFile::OpenNamed()
{
    std::string target = path_;
    struct stat st;
    if (!FollowLinks(target)) {
        // A loop of links: errno says so.
    } else if (::stat(target.c_str(), &st) != 0) {
        fd_ = CreateTemporary(target, temporary_);
    } else if (!S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            errno = EISDIR;
        else
            fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    } else if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
        // The folder alone would let a rename replace a file its owner made
        // read-only; the file's own permission decides, as for an open.
        fd_ = CreateTemporary(target, temporary_);
        if (fd_ >= 0)
            KeepOwnerAndMode(fd_, st);
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
    // Bytes at hand go to the file at once, after anything gathered before.
    bool ok = fd_ >= 0 && !failed_;
    if (ok && !buffer_.empty()) {
        ok = WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    if (ok && WriteAll(bytes.data(), bytes.size()))
        return;
    const std::string reason = fd_ < 0 ? "the file is closed" : Reason();
    Discard();
    throw Exception("Cannot write file " + QuotedFileName(path_) + ": " + reason);
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
    // Large pieces go straight to the file; small ones are gathered.
    if (buffer_.empty() && size >= kDirectSize)
        return WriteAll(bytes, size);
    try {
        buffer_.append(bytes, size);
    } catch (...) {
        // No memory to gather more: the file takes what there is.
        if (!WriteAll(buffer_.data(), buffer_.size()))
            return false;
        buffer_.clear();
        return WriteAll(bytes, size);
    }
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
    // An unnamed file's name, relative to the folder it was started in.
    const int at = folder_ ? folder_->fd : AT_FDCWD;
    const char* name = path_.c_str() + (folder_ ? folder_->path.size() : 0);
    bool named = false;
    if (unnamed_ && !failed_) {
        named = NameUnnamed(fd_, at, name);
        if (!named) {
            // The target exists (a file to replace, a link to write through,
            // a device), or the system cannot name the file: the named way
            // decides, as it would have from the start.
            if (errno == EEXIST)
                targetsExist.store(true, std::memory_order_relaxed);
            CopyToNamed();
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        Fail(std::strerror(errno));
        if (named)
            ::unlinkat(at, name, 0); // the name was free and is ours: the file goes, as it came
    }
    if (!failed_ && !temporary_.empty()) {
        // The link is followed again, as when the file was started.
        std::string target = path_;
        if (!FollowLinks(target) || std::rename(temporary_.c_str(), target.c_str()) != 0)
            Fail(std::strerror(errno));
    }
    buffer_ = {};
    if (!failed_) {
        if (!temporary_.empty())
            UnregisterTemporaryFile(temporary_);
        temporary_.clear();
        return;
    }
    if (!temporary_.empty())
        RemoveTemporary(temporary_);
    throw Exception("Cannot write file " + QuotedFileName(path_) + ": " + Reason());
}

void TAtomicFile::CopyToNamed()
{
    const int unnamed = fd_;
    fd_ = -1;
    unnamed_ = false;
    try {
        OpenNamed();
    } catch (...) {
        ::close(unnamed);
        throw;
    }
    char chunk[16 << 10];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(unnamed, chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(std::strerror(errno));
        if (n <= 0 || !WriteAll(chunk, static_cast<std::size_t>(n)))
            break;
        at += n;
    }
    ::close(unnamed);
}

void TAtomicFile::Discard() noexcept
{
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        RemoveTemporary(temporary_);
    buffer_ = {};
}

void WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    TAtomicFile file(path);
    file.Write(bytes);
    file.Commit();
}

} // namespace qb
