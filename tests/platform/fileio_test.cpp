// The atomic file writer: a file appears whole or not at all, and a failure
// leaves neither a temporary file nor a changed target behind.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qb;

namespace fs = std::filesystem;
using testsupport::ReadFile;

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("qb-fileio-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

// Writes more than fit under a file-size limit of 1000 bytes: the write fails
// with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit {
    rlimit saved{};
    void (*savedHandler)(int);
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
    }
};

TEST_F(AtomicFile, CommitReplacesTheTargetWithEveryPiece)
{
    const std::string target = Path("out.bin");
    WriteFileAtomically(target, "old");
    std::string expected;
    {
        TAtomicFile file(target);
        EXPECT_EQ(ReadFile(target), "old"); // nothing visible before the commit
        // Many small pieces and one larger than any buffer, as a library streams them.
        for (int i = 0; i < 20000; ++i) {
            const std::string piece = std::to_string(i) + ",";
            ASSERT_TRUE(file.TryWrite(piece.data(), piece.size()));
            expected += piece;
        }
        const std::string big(300000, 'x');
        file.Write(big);
        expected += big;
        file.Commit();
    }
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.bin"});
}

TEST_F(AtomicFile, FailureLeavesTheTargetAsItWasAndNoTemporaryFile)
{
    struct Case {
        const char* name;
        std::function<void(const std::string& target)> write;
        const char* message; // after `Cannot write file "<target>": `; null: no message checked
    };
    const Case cases[] = {
        {"exception while producing",
         [](const std::string& target) {
             TAtomicFile file(target);
             file.Write("partial");
             throw Exception("producer failed");
         },
         nullptr},
        {"failure recorded by the producer",
         [](const std::string& target) {
             TAtomicFile file(target);
             file.Write("partial");
             file.Fail("library error");
             EXPECT_FALSE(file.TryWrite("x", 1));
             file.Commit();
         },
         "library error"},
        {"write error while streaming",
         [](const std::string& target) {
             FileSizeLimit limit;
             TAtomicFile file(target);
             const std::string piece(100, 'p');
             for (int i = 0; i < 2000; ++i)
                 file.TryWrite(piece.data(), piece.size());
             file.Commit();
         },
         "File too large"},
        {"write error with the bytes at hand",
         [](const std::string& target) {
             FileSizeLimit limit;
             WriteFileAtomically(target, std::string(5000, 'b'));
         },
         "File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool existing : {false, true}) {
            const std::string target = Path("target.png");
            fs::remove(target);
            if (existing)
                WriteFileAtomically(target, "previous content");
            try {
                c.write(target);
                ADD_FAILURE() << "no exception";
            } catch (const Exception& e) {
                if (c.message) {
                    EXPECT_EQ(e.Message, "Cannot write file " + QuotedFileName(target) + ": " + c.message);
                }
            }
            if (existing) {
                EXPECT_EQ(ReadFile(target), "previous content");
                EXPECT_EQ(Names(), std::vector<std::string>{"target.png"});
            } else {
                EXPECT_TRUE(Names().empty());
            }
        }
    }
}

TEST_F(AtomicFile, TargetsThatCannotBeCreatedOrReplaced)
{
    try {
        TAtomicFile file(Path("missing/x.svg"));
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot create file \"" + Path("missing/x.svg") + "\": No such file or directory");
    }
    fs::create_directory(dir_ / "folder");
    EXPECT_THROW(WriteFileAtomically(Path("folder"), "x"), Exception);
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(Names(), std::vector<std::string>{"folder"});

    // A device is written, never replaced.
    WriteFileAtomically("/dev/null", "discarded");
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A link is written through and stays a link; a replaced file keeps its
// permission bits.
TEST_F(AtomicFile, WritesThroughLinksAndKeepsTheModeOfTheFileItReplaces)
{
    fs::create_directory(dir_ / "real");
    WriteFileAtomically(Path("real/data.txt"), "old");
    fs::create_symlink("real/data.txt", dir_ / "one"); // relative, into another folder
    fs::create_symlink(Path("one"), dir_ / "two");     // absolute, to a link
    fs::create_symlink("real/made.txt", dir_ / "dangling");
    WriteFileAtomically(Path("two"), "new");
    WriteFileAtomically(Path("dangling"), "made");
    EXPECT_EQ(ReadFile(Path("real/data.txt")), "new");
    EXPECT_EQ(ReadFile(Path("real/made.txt")), "made");
    for (const char* link : {"one", "two", "dangling"})
        EXPECT_TRUE(fs::is_symlink(dir_ / link)) << link;
    EXPECT_EQ(Names(), (std::vector<std::string>{"dangling", "one", "real", "two"}));
    // data.txt and made.txt: no temporary left beside them either.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "real"), fs::directory_iterator()), 2);

    fs::create_symlink("loop", dir_ / "loop");
    try {
        WriteFileAtomically(Path("loop"), "x");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot create file \"" + Path("loop") + "\": Too many levels of symbolic links");
    }

    const mode_t mask = ::umask(0);
    ::umask(mask);
    WriteFileAtomically(Path("new.txt"), "x");
    struct stat st;
    ASSERT_EQ(::stat(Path("new.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
    for (mode_t mode : {0600, 0640, 0755, 0604}) {
        ::chmod(Path("new.txt").c_str(), mode);
        ::chmod(Path("real/data.txt").c_str(), mode);
        WriteFileAtomically(Path("new.txt"), "again");
        WriteFileAtomically(Path("two"), "again"); // through the links
        for (const char* name : {"new.txt", "real/data.txt"}) {
            ASSERT_EQ(::stat(Path(name).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, mode) << name;
        }
    }
}

// A new file is started before its name exists; whatever takes the name
// before the commit is dealt with as a target that existed from the start
// would be, and the file still appears whole. Also as another user, who may
// not be allowed to name a file by its descriptor alone.
TEST_F(AtomicFile, ANameTakenWhileTheFileIsWrittenIsTreatedAsAnExistingTarget)
{
    struct Case {
        const char* name;
        std::function<void(const std::string& target)> take; // null: the name stays free
        const char* shown;                                   // what the target then holds; null: the commit fails
        std::vector<std::string> names;                      // in the folder after the commit
    };
    const Case cases[] = {
        {"free", nullptr, "new", {"taken.png"}},
        {"a file", [](const std::string& target) { std::ofstream(target) << "other"; }, "new", {"taken.png"}},
        {"a link",
         [](const std::string& target) { fs::create_symlink("linked.txt", target); },
         "new",
         {"linked.txt", "taken.png"}},
        {"a folder", [](const std::string& target) { fs::create_directory(target); }, nullptr, {"taken.png"}},
    };
    auto run = [&] {
        bool ok = true;
        for (const Case& c : cases) {
            for (const std::string& name : Names())
                fs::remove_all(dir_ / name);
            const std::string target = Path("taken.png");
            TAtomicFile file(target);
            file.Write(std::string(30000, 'x'));
            ok &= Names().empty(); // nothing visible, not even a temporary name
            if (c.take)
                c.take(target);
            file.Write("new");
            try {
                file.Commit();
                ok &= c.shown && ReadFile(Path(c.names[0].c_str())) == std::string(30000, 'x') + c.shown;
            } catch (const Exception&) {
                ok &= !c.shown && fs::is_directory(target);
            }
            ok &= Names() == c.names;
            EXPECT_TRUE(ok) << c.name;
        }
        return ok;
    };
    EXPECT_TRUE(run());
    if (::geteuid() != 0)
        return;
    ::chmod(dir_.c_str(), 0777);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit([&] {
            try {
                return ::setgid(65534) == 0 && ::setuid(65534) == 0 && run();
            } catch (...) {
                return false;
            }
        }()
                    ? 0
                    : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as another user";
}

// Inside a TOutputFolder, new files in its folder are made through the
// folder opened once, and appear whole as anywhere else; files elsewhere,
// and files to replace, go their usual way. The folder, moved meanwhile,
// keeps receiving its files; after the scope a path is resolved again.
TEST_F(AtomicFile, AnOutputFolderIsResolvedOnceForItsNewFiles)
{
    fs::create_directories(dir_ / "a/sub");
    fs::create_directories(dir_ / "b");
    WriteFileAtomically(Path("a/old.txt"), "old");
    {
        const TOutputFolder folder(Path("a/"));
        const TOutputFolder inner(Path("b/")); // no effect inside another
        struct Case {
            const char* path;  // written, under the test's folder
            const char* found; // where its bytes then are
        };
        const Case cases[] = {{"a/new.txt", "a/new.txt"},         {"b/new.txt", "b/new.txt"},
                              {"a/sub/new.txt", "a/sub/new.txt"}, {"a/old.txt", "a/old.txt"},
                              {"a/old.txt", "a/old.txt"},         {"a/later.txt", "moved/later.txt"}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path);
            if (std::string(c.found).starts_with("moved"))
                fs::rename(dir_ / "a", dir_ / "moved");
            TAtomicFile file(Path(c.path));
            file.Write(c.path);
            file.Commit();
            EXPECT_EQ(ReadFile(Path(c.found)), c.path);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "moved"), fs::directory_iterator()), 4)
            << "new.txt, old.txt, later.txt and sub: no temporary left";
    }
    EXPECT_THROW(WriteFileAtomically(Path("a/after.txt"), "x"), Exception);
}

// A file the process may not write is refused as opening it would be, even
// where the folder would let a rename replace it; the superuser writes any.
TEST_F(AtomicFile, AFileThatMayNotBeWrittenIsRefused)
{
    const std::string target = Path("read-only.txt");
    WriteFileAtomically(target, "kept");
    ::chmod(target.c_str(), 0444);
    ::chmod(dir_.c_str(), 0777); // anyone may create and rename files here
    const std::string refusal = "Cannot create file \"" + target + "\": Permission denied";
    auto refused = [&] {
        try {
            WriteFileAtomically(target, "replaced");
        } catch (const Exception& e) {
            return e.Message == refusal && ReadFile(target) == "kept" && Names().size() == 1;
        }
        return false;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(refused());
        return;
    }
    // As another user, in a child process.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && refused() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another user could replace the file";
    WriteFileAtomically(target, "replaced by root");
    EXPECT_EQ(ReadFile(target), "replaced by root");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// What a signal handler removes: the temporary file of every file still
// being written and the files registered, never a committed file or one
// taken off the list.
TEST_F(AtomicFile, RemoveTemporaryFilesLeavesNoneOfTheFilesBeingWritten)
{
    // Written twice, out.pdf is known to exist: it is replaced the named way.
    WriteFileAtomically(Path("out.pdf"), "old");
    WriteFileAtomically(Path("out.pdf"), "old");
    TAtomicFile open(Path("out.pdf"));
    open.Write("partial");
    // A new file has no name until committed: nothing to remove.
    TAtomicFile fresh(Path("new.svg"));
    fresh.Write("whole");
    const std::string job = Path("job.pdf"), kept = Path("kept.pdf");
    for (const std::string& file : {job, kept}) {
        std::ofstream(file) << "x";
        EXPECT_TRUE(RegisterTemporaryFile(file));
    }
    UnregisterTemporaryFile(kept);
    WriteFileAtomically(Path("done.png"), "done");
    ASSERT_EQ(Names().size(), 5u); // out.pdf, its temporary, job.pdf, kept.pdf and done.png
    RemoveTemporaryFiles();
    EXPECT_EQ(Names(), (std::vector<std::string>{"done.png", "kept.pdf", "out.pdf"}));
    UnregisterTemporaryFile(job);
    EXPECT_THROW(open.Commit(), Exception); // its temporary file is gone
    EXPECT_EQ(ReadFile(Path("out.pdf")), "old");
    fresh.Commit();
    EXPECT_EQ(ReadFile(Path("new.svg")), "whole");
    EXPECT_FALSE(RegisterTemporaryFile(std::string(PATH_MAX, 'x')));
}

} // namespace
