// The atomic file writer: a file appears whole or not at all, and a failure
// leaves neither a temporary file nor a changed target behind.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>

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

} // namespace
