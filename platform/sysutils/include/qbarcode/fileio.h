// Files written whole or not at all, and file names as messages show them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qb {

/// A file name as every message shows it: in double quotes.
std::string QuotedFileName(std::string_view path);

/// A folder held open by TOutputFolder.
struct OpenFolder;

/// A file that is written whole or not at all. The content goes to a new
/// temporary file in the target's folder, which Commit renames over the
/// target. A target that does not exist yet is written as a file without a
/// name, which Commit names; should the name be taken by then, the target
/// is dealt with as one that existed from the start. Without a commit (an exception on the way, Discard) or on any
/// failure the temporary file is removed and the target stays as it was.
/// A target that exists and is not a regular file (a terminal, /dev/null, a
/// pipe) cannot be replaced and is written directly.
///
/// A target that is a symbolic link is written through it: the file it
/// leads to is replaced (the temporary file is made in that file's folder)
/// and the link stays. A file that is replaced keeps its permission bits
/// (and, where the system allows, its owner); a new one gets 0666 less the
/// umask. A file the process may not write is refused, as opening it for
/// writing would be (the superuser may write any).
class TAtomicFile {
public:
    /// Starts the file; raises `Cannot create file "<path>": <reason>` when
    /// its folder cannot take it or the file may not be written (Commit
    /// raises so for a target it finds taken and may not replace).
    explicit TAtomicFile(std::string path);
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;
    /// Discards the file unless it was committed.
    ~TAtomicFile();

    /// The target's name.
    const std::string& Path() const { return path_; }
    /// True until committed or discarded.
    bool IsOpen() const { return fd_ >= 0; }

    /// Appends bytes, written at once; on failure discards the file and
    /// raises `Cannot write file "<path>": <reason>`.
    void Write(std::string_view bytes);
    /// Appends bytes without raising, for a library's write callback: small
    /// pieces are gathered into larger writes. After a failure it returns
    /// false and writes nothing more; Commit reports it.
    bool TryWrite(const void* data, std::size_t size) noexcept;
    /// Records that the content is bad (for example a library's own error);
    /// Commit then fails with `reason`. The first failure recorded is kept.
    void Fail(std::string_view reason) noexcept;

    /// Finishes the file and puts it in place of the target; on any failure
    /// discards it and raises `Cannot write file "<path>": <reason>`.
    void Commit();
    /// Removes the temporary file; the target is untouched.
    void Discard() noexcept;

private:
    /// Starts an unnamed file in the target's folder (O_TMPFILE), named when
    /// committed: no temporary name to make, follow, rename or remove after
    /// a crash. False where the target is known to exist or the file system
    /// has no unnamed files: the named way then.
    bool OpenUnnamed();
    /// The temporary file beside the target, or the target itself when it
    /// is not a regular file; raises as the constructor does.
    void OpenNamed();
    /// When the unnamed file cannot take the target's name: its bytes go to
    /// a file started the named way.
    void CopyToNamed();
    bool WriteAll(const char* data, std::size_t size) noexcept;
    std::string Reason() const;

    std::string path_, temporary_; // temporary_ empty: writing the target directly
    int fd_ = -1;
    bool unnamed_ = false;                     // fd_ is a file without a name yet
    std::shared_ptr<const OpenFolder> folder_; // where an unnamed file is named, when a TOutputFolder held it
    std::string buffer_;
    bool failed_ = false;
    std::string error_;
};

/// While it lives, the new files this thread's TAtomicFile objects start in
/// `folder` (the folder part of their path as written: "out/" for
/// "out/a.png", "" for a bare name) are made and named through a descriptor
/// of the folder opened once: a batch of files in one folder has the
/// folder's path resolved once instead of twice for every file. A folder
/// moved meanwhile keeps receiving them, as a current folder would. No
/// effect where the folder cannot be opened, nor inside another.
class TOutputFolder {
public:
    /// Opens `folder` for the new files this thread starts in it.
    explicit TOutputFolder(const std::string& folder);
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;
    /// Files started from now on have their folder's path resolved again
    /// (those started before still take their names in the folder opened).
    ~TOutputFolder();

private:
    bool active_ = false;
};

/// Writes `bytes` to `path` whole or not at all, raising as TAtomicFile does.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

/// Adds a file to those RemoveTemporaryFiles removes, until
/// UnregisterTemporaryFile: a temporary file made outside TAtomicFile. At most
/// a few dozen are kept; false when this one cannot be (no room, or a name
/// longer than the system's path limit).
bool RegisterTemporaryFile(const std::string& path) noexcept;
/// Takes a file off the list RemoveTemporaryFiles removes.
void UnregisterTemporaryFile(const std::string& path) noexcept;
/// Removes every temporary file of a TAtomicFile still being written and
/// every file registered with RegisterTemporaryFile. Safe to call from a
/// signal handler (it only reads a fixed table and unlinks), so that a
/// program ended by a signal leaves none behind.
void RemoveTemporaryFiles() noexcept;

} // namespace qb
