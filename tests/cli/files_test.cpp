// The files the qbarcode command reads and writes: no output replaces an
// input, a signal leaves no temporary file, and messages say what is wrong
// with a file or an argument.
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1; // the exit status, or -1 when a signal ended the command
    int signal = 0;
    std::string err;
};

// How a command is run besides its arguments.
struct RunOptions {
    std::string setup = "";                  // shell commands run first (ulimit)
    std::string environment = "";            // NAME=VALUE ... added to the environment
    std::function<void(pid_t)> started = {}; // called with the command's process id while it runs
};

// Runs `qbarcode ARGS` in `folder` through the shell, which replaces itself
// with the command: a signal sent to the process reaches the command.
Outcome Qbarcode(const std::string& args, const fs::path& folder, const RunOptions& options = {})
{
    const fs::path err = folder / ".stderr";
    const std::string command = options.setup + " exec env " + options.environment + " " + QBARCODE_BIN + " " + args +
                                " </dev/null >/dev/null 2>" + err.string();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) == 0)
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (options.started)
        options.started(child);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    r.err = testsupport::ReadFile(err.string());
    fs::remove(err);
    return r;
}

class Folder {
public:
    Folder() : path_(fs::temp_directory_path() / ("qb-cli-files-" + std::to_string(::getpid())))
    {
        fs::remove_all(path_);
        fs::create_directories(path_ / "sub");
    }
    ~Folder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // The names in the folder, "sub" and the standard error file left out.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_))
            if (entry.path().filename() != "sub")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

// Every subcommand that writes refuses an output that is one of its inputs,
// by any name, before writing anything: the input is left as it was.
TEST(CliFiles, NoOutputIsWrittenOverAnInput)
{
    Folder dir;
    const std::string db = dir / "p.db", csv = dir / "in.csv";
    testsupport::RunCommand("sqlite3 " + db + " \"CREATE TABLE t (code TEXT); INSERT INTO t VALUES ('590123412345')\"");
    std::ofstream(csv) << "code\n590123412345\n";
    std::ofstream(dir / "text.png") << "ABC";
    std::ofstream(dir / "text.pdf") << "ABC";
    std::ofstream(dir / "text.txt") << "ABC";
    std::ofstream(dir / "list-1.png") << "ONE\nTWO\n";
    std::ofstream(dir / "form.svg") << "object Form1: TForm\n  Width = 20\n  Height = 20\nend\n";
    fs::create_hard_link(db, dir / "hard.pdf");
    fs::create_symlink("p.db", dir / "link.pdf");
    fs::create_hard_link(dir / "text.txt", dir / "Hard-1.svg");
    fs::create_symlink("text.txt", dir / "soft-1.png");
    const std::string labels = "labels --field code --type ean13 --checksum ";
    struct Case {
        std::string args, output, input; // input: how the message names it, with its name
    };
    const Case cases[] = {
        {labels + "--db p.db --table t -o p.db", "p.db", "--db \"p.db\""},
        {labels + "--csv in.csv -o in.csv", "in.csv", "--csv \"in.csv\""},
        {labels + "--db ./p.db --table t -o ../" + dir.Path().filename().string() + "/sub/../p.db",
         "../" + dir.Path().filename().string() + "/sub/../p.db", "--db \"./p.db\""},
        {labels + "--db " + db + " --table t -o hard.pdf", "hard.pdf", "--db \"" + db + "\""},
        {labels + "--db p.db --table t -o link.pdf", "link.pdf", "--db \"p.db\""},
        {labels + "--db none.db --table t -o sub/../none.db", "sub/../none.db", "--db \"none.db\""},
        {"draw --type code39 --text-file text.png -o ./text.png", "./text.png", "--text-file \"text.png\""},
        {"draw --type code39 --batch list-1.png -o list.png", "list-1.png", "--batch \"list-1.png\""},
        {"draw --type code39 --batch text.txt -o Hard.svg", "Hard-1.svg", "--batch \"text.txt\""},
        {"draw --type code39 --batch text.txt -o ./soft.png", "./soft-1.png", "--batch \"text.txt\""},
        {"print --type code39 --text-file text.pdf -o text.pdf", "text.pdf", "--text-file \"text.pdf\""},
        {"form new --type code39 --text-file text.txt -o text.txt", "text.txt", "--text-file \"text.txt\""},
        {"form render form.svg -o form.svg", "form.svg", "the form file \"form.svg\""},
    };
    // Every file by name: its bytes, or where it links to.
    auto contents = [&] {
        std::map<std::string, std::string> files;
        for (const std::string& name : dir.Names())
            files[name] = fs::is_symlink(dir / name) ? "-> " + fs::read_symlink(dir / name).string()
                                                     : testsupport::ReadFile(dir / name);
        return files;
    };
    const auto before = contents();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = Qbarcode(c.args, dir.Path());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "-o \"" + c.output + "\" is the same file as " + c.input +
                             ": the command never writes over a file it reads\n");
        const auto after = contents();
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " changed";
        EXPECT_EQ(after.size(), before.size());
    }
    // Other names of other files are written as ever.
    EXPECT_EQ(Qbarcode(labels + "--db p.db --table t -o sub/p.db.pdf", dir.Path()).status, 0);
    EXPECT_EQ(Qbarcode("draw --type code39 --text-file text.png -o sub/text.png", dir.Path()).status, 0);
}

// Interrupted or terminated while writing, the command leaves no temporary
// file behind and ends by the signal: a label job caught while it prints,
// and a print job while the print system takes the document.
TEST(CliFiles, ASignalRemovesTheFileBeingWritten)
{
    Folder dir;
    std::ofstream csv(dir / "codes.csv");
    csv << "code\n";
    for (int i = 0; i < 5000; ++i)
        csv << 400000000000 + i * 7 << "\n";
    csv.close();
    // Sends `signal` once `ready` holds, then gives the command time to end.
    auto sendWhen = [&](int signal, const std::function<bool()>& ready) {
        return [signal, ready](pid_t pid) {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!ready() && std::chrono::steady_clock::now() < give_up)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ::kill(pid, signal);
        };
    };
    auto temporaryExists = [&] {
        for (const std::string& name : dir.Names())
            if (name.find(".tmp-") != std::string::npos)
                return true;
        return false;
    };
    // A file being replaced has a temporary name (a new one has no name
    // until it is whole, which leaves nothing to remove).
    std::ofstream(dir / "labels.pdf") << "before";
    const Outcome labels = Qbarcode("labels --csv codes.csv --field code --type ean13 --checksum -o labels.pdf",
                                    dir.Path(), {.started = sendWhen(SIGINT, temporaryExists)});
    EXPECT_EQ(labels.signal, SIGINT) << labels.err;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"codes.csv", "labels.pdf"}));
    EXPECT_EQ(testsupport::ReadFile(dir / "labels.pdf"), "before");

    // The print system's command says that it started (with its process id),
    // then takes its time; the document waits in the temporary folder.
    const fs::path bin = dir.Path() / "sub/bin", spool = dir.Path() / "sub/spool", started = dir.Path() / "sub/lp";
    fs::create_directories(bin);
    fs::create_directories(spool);
    std::ofstream(bin / "lp") << "#!/bin/sh\necho $$ >" << started << ".new\nmv " << started << ".new " << started
                              << "\nexec sleep 60\n";
    fs::permissions(bin / "lp", fs::perms::owner_all);
    const Outcome print = Qbarcode("print --type ean13 --text 590123412345 --checksum --printer office", dir.Path(),
                                   {.environment = "PATH=" + bin.string() + ":$PATH TMPDIR=" + spool.string(),
                                    .started = sendWhen(SIGTERM, [&] { return fs::exists(started); })});
    ::kill(std::stoi(testsupport::ReadFile(started.string())), SIGKILL);
    EXPECT_EQ(print.signal, SIGTERM) << print.err;
    EXPECT_TRUE(fs::is_empty(spool));
}

// Messages name what is wrong, and cut a long text they quote.
TEST(CliMessages, SayWhatIsWrong)
{
    Folder dir;
    const std::string text(100000, 'A'), cut = std::string(80, 'A') + "\u2026";
    std::ofstream(dir / "long.txt") << text << "\n";
    std::ofstream(dir / "long.csv") << "code\n" << text << "\n";
    std::ofstream(dir / "digits.txt") << std::string(15000000, '5');
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kLimitedMemory = -1; // the sanitizers need more than the limit leaves
#else
    constexpr int kLimitedMemory = 1;
#endif
    struct Case {
        std::string args, setup;
        int status; // -1: not run
        std::string err;
    };
    const Case cases[] = {
        {"frobnicate", "", 2,
         "Unknown subcommand 'frobnicate'; the subcommands are types, fonts, encode, measure, draw, print, form, "
         "labels, palette ('qbarcode --help' says what each does)\n"},
        {"encode --type ean13 --text-file long.txt", "", 1, cut + " : Barcode must be numeric.\n"},
        {"draw --type ean13 --batch long.txt -o b.png", "", 1, "line 1: " + cut + " : Barcode must be numeric.\n"},
        {"labels --csv long.csv --field code --type ean13 -o l.pdf", "", 1,
         "record 1: " + cut +
             ": Barcode must be numeric.\n0 labels on 0 pages, 1 record skipped\n"
             "Nothing to print: no record gave a label\n"},
        {"form render sub -o f.png", "", 1, "Cannot read \"sub\": it is a folder, not a form file\n"},
        // Memory running out ends the command with a message, never an
        // abort: while reading an endless line, and while encoding a text of
        // millions of characters.
        {"draw --type code39 --batch /dev/zero -o z.png", "ulimit -v 120000;", kLimitedMemory,
         "Cannot read \"/dev/zero\" to its end, after line 0\n"},
        {"draw --type code39 --text-file digits.txt -o z.png", "ulimit -v 120000;", kLimitedMemory,
         "qbarcode: out of memory\n"},
    };
    for (const Case& c : cases) {
        if (c.status < 0)
            continue;
        SCOPED_TRACE(c.args);
        const Outcome r = Qbarcode(c.args, dir.Path(), {.setup = c.setup});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"digits.txt", "long.csv", "long.txt"}));
}

} // namespace
