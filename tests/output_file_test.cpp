// The output file as a user meets it: it behaves as if the shell had opened
// it with '>', yet a failed or interrupted run never leaves it damaged, and
// lost messages are never reported as success.
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;
using test::to_hex;

const std::string program = MIXMIDI_BINARY;
const Bytes old_contents = {'o', 'l', 'd'};
const Bytes one_vol = test::smf_file(hex("00 B0 07 01"));

TEST(OutputFile, ClosedStandardOutputNeverBecomesTheFile)
{
    test::TempDir dir;
    test::RunOptions closed;
    closed.stdout_to = test::StdoutTo::closed;
    const auto result = test::run_program(program, {"c.mid", "all", "-fx1p", "PRE", "-vol", "100"}, dir.path(), closed);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_TRUE(result.errors.starts_with("Cannot write to standard output: ")) << result.errors;
    if (!test::on_windows) {
        EXPECT_EQ(result.errors, "Cannot write to standard output: Bad file descriptor\n");
    }
    EXPECT_EQ(to_hex(test::read_file(dir.file("c.mid"))),
              to_hex(test::smf_file(hex(test::on_every_channel("00 B%X 07 64")))));
}

TEST(OutputFile, DashWritesTheFileToStandardOutput)
{
    test::TempDir dir;
    const auto result = test::run_program(program, {"-", "1", "-vol", "1", "-foo", "2"}, dir.path());
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(to_hex(Bytes(result.output.begin(), result.output.end())), to_hex(one_vol));
    EXPECT_EQ(result.errors, "Set channel 1\ncannot understand option -foo, skipping this option\n");
    const auto usage = test::run_program(program, {"-", "0", "-vol", "1"}, dir.path());
    EXPECT_EQ(usage.exit_status, 1);
    EXPECT_EQ(usage.output, "");
    EXPECT_EQ(usage.errors, "Cannot understand channel 0, use 1-16 or all\n");
    EXPECT_TRUE(dir.entries().empty());
}

#ifndef _WIN32
struct stat stat_of(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

// The words that run the program as the user nobody when the tests run as
// root; nothing when they do not (we are then an ordinary user already).
// Returns false when neither can be had.
bool as_ordinary_user(std::vector<std::string>& wrapper)
{
    if (::geteuid() != 0) {
        wrapper.clear();
        return true;
    }
    const std::string setpriv = test::find_program("setpriv");
    if (setpriv.empty()) {
        return false;
    }
    wrapper = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    return true;
}

// The program as an ordinary user can start it: a copy in a folder anyone
// may enter, since the build may sit where only root can (under /root).
const std::string& program_for_ordinary_user()
{
    static const test::TempDir folder;
    static const std::string copy = [] {
        const std::string path = folder.file("mixmidi");
        std::filesystem::copy_file(program, path);
        ::chmod(folder.path().c_str(), 0755);
        ::chmod(path.c_str(), 0755);
        return path;
    }();
    return copy;
}

// Hands a path to the user the program runs as (see as_ordinary_user).
void give_to_runner(const std::string& path)
{
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0) << path;
    }
}

TEST(OutputFile, LostStandardOutputIsAnErrorInEveryMode)
{
    if (!test::file_exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    test::TempDir dir;
    test::write_file(dir.file("ok.mid"), one_vol);
    const struct {
        std::vector<std::string> args;
        test::StdoutTo stdout_to;
        std::string reason;
    } cases[] = {
        {{"out.mid", "1", "-vol", "1"}, test::StdoutTo::path, "No space left on device"},
        {{"--show", "ok.mid"}, test::StdoutTo::path, "No space left on device"},
        {{"--help"}, test::StdoutTo::path, "No space left on device"},
        {{"--version"}, test::StdoutTo::path, "No space left on device"},
        {{"out.mid"}, test::StdoutTo::path, "No space left on device"},
        {{"--version"}, test::StdoutTo::closed, "Bad file descriptor"},
        {{"--show", "ok.mid"}, test::StdoutTo::closed, "Bad file descriptor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.reason);
        test::RunOptions options;
        options.stdout_to = c.stdout_to;
        options.stdout_path = "/dev/full";
        const auto result = test::run_program(program, c.args, dir.path(), options);
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_EQ(result.errors, "Cannot write to standard output: " + c.reason + "\n");
    }
    // The file is the product: it is still written in full.
    EXPECT_EQ(test::read_file(dir.file("out.mid")), one_vol);
}

TEST(OutputFile, ABrokenPipeStillPutsTheFileInPlace)
{
    test::TempDir dir;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // the reader is gone, as after 'head -1'
    test::RunOptions options;
    options.stdout_to = test::StdoutTo::fd;
    options.stdout_fd = fds[1];
    const auto result = test::run_program(program, {"p.mid", "1", "-vol", "1"}, dir.path(), options);
    ::close(fds[1]);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.errors, "Cannot write to standard output: Broken pipe\n");
    EXPECT_EQ(test::read_file(dir.file("p.mid")), one_vol);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"p.mid"});
}

// What is left at a path after a run: the bytes at the path and, for the
// names that must keep pointing at them, the same bytes there.
struct IdentityCase {
    const char* name;
    void (*prepare)(const test::TempDir& dir);
    void (*check)(const test::TempDir& dir);
};

TEST(OutputFile, ReplacingAFileKeepsWhatTheUserSetOnIt)
{
    const IdentityCase cases[] = {
        {"mode",
         [](const test::TempDir& dir) {
             test::write_file(dir.file("out.mid"), old_contents);
             ASSERT_EQ(::chmod(dir.file("out.mid").c_str(), 0640), 0);
         },
         [](const test::TempDir& dir) { EXPECT_EQ(stat_of(dir.file("out.mid")).st_mode & 07777, 0640U); }},
        {"a symbolic link stays a link, its file gets the bytes",
         [](const test::TempDir& dir) {
             test::write_file(dir.file("real.mid"), old_contents);
             ASSERT_EQ(::symlink("real.mid", dir.file("out.mid").c_str()), 0);
         },
         [](const test::TempDir& dir) {
             EXPECT_TRUE(S_ISLNK(stat_of(dir.file("out.mid")).st_mode));
             EXPECT_EQ(test::read_file(dir.file("real.mid")), one_vol);
         }},
        {"a dangling link gets its file created",
         [](const test::TempDir& dir) {
             ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
             ASSERT_EQ(::symlink("sub/missing.mid", dir.file("out.mid").c_str()), 0);
         },
         [](const test::TempDir& dir) {
             EXPECT_TRUE(S_ISLNK(stat_of(dir.file("out.mid")).st_mode));
             EXPECT_EQ(test::read_file(dir.file("sub/missing.mid")), one_vol);
         }},
        {"every hard link sees the new bytes",
         [](const test::TempDir& dir) {
             test::write_file(dir.file("out.mid"), old_contents);
             ASSERT_EQ(::link(dir.file("out.mid").c_str(), dir.file("other.mid").c_str()), 0);
         },
         [](const test::TempDir& dir) {
             EXPECT_EQ(test::read_file(dir.file("other.mid")), one_vol);
             EXPECT_EQ(stat_of(dir.file("other.mid")).st_nlink, 2U);
         }},
        {"another user's file stays theirs",
         [](const test::TempDir& dir) {
             test::write_file(dir.file("out.mid"), old_contents);
             ASSERT_EQ(::chmod(dir.file("out.mid").c_str(), 0664), 0);
             if (::geteuid() == 0) {
                 ASSERT_EQ(::chown(dir.file("out.mid").c_str(), 65534, 65534), 0);
             }
         },
         [](const test::TempDir& dir) {
             const struct stat info = stat_of(dir.file("out.mid"));
             if (::geteuid() == 0) {
                 EXPECT_EQ(info.st_uid, 65534U);
                 EXPECT_EQ(info.st_gid, 65534U);
             }
             EXPECT_EQ(info.st_mode & 07777, 0664U);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        c.prepare(dir);
        auto before = dir.entries();
        const auto result = test::run_program(program, {"out.mid", "1", "-vol", "1"}, dir.path());
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.output, "Set channel 1\n");
        EXPECT_EQ(test::read_file(dir.file("out.mid")), one_vol);
        c.check(dir);
        auto after = dir.entries();
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before.empty() ? std::vector<std::string>{"out.mid"} : before);
    }
}

TEST(OutputFile, PathsTheShellCouldNotOpenAreRefusedAndLeftAlone)
{
    const struct {
        const char* name;
        const char* path;
        void (*prepare)(const test::TempDir& dir);
    } cases[] = {
        {"symbolic link loop", "loop.mid",
         [](const test::TempDir& dir) { ASSERT_EQ(::symlink("loop.mid", dir.file("loop.mid").c_str()), 0); }},
        {"link into a missing directory", "nd.mid",
         [](const test::TempDir& dir) { ASSERT_EQ(::symlink("nodir/x.mid", dir.file("nd.mid").c_str()), 0); }},
        {"missing directory", "nodir/x.mid", [](const test::TempDir&) {}},
        {"a directory", "folder",
         [](const test::TempDir& dir) { ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0755), 0); }},
        {"a file used as a directory", "file.mid/x.mid",
         [](const test::TempDir& dir) { test::write_file(dir.file("file.mid"), old_contents); }},
        {"a name longer than the file system takes", nullptr, [](const test::TempDir&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        c.prepare(dir);
        const auto before = dir.entries();
        const std::string path = c.path != nullptr ? c.path : std::string(256, 'n');
        const auto result = test::run_program(program, {path, "1", "-vol", "1"}, dir.path());
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_EQ(result.output, "Cannot open file " + path + " for writing\n");
        EXPECT_EQ(dir.entries(), before);
    }
}

TEST(OutputFile, AnyNameTheFileSystemTakesWorks)
{
    test::TempDir dir;
    for (std::size_t length = 248; length <= 255; ++length) {
        SCOPED_TRACE(length);
        const std::string name(length, 'n');
        const auto result = test::run_program(program, {name, "1", "-vol", "1"}, dir.path());
        EXPECT_EQ(result.exit_status, 0) << result.output;
        EXPECT_EQ(test::read_file(dir.file(name)), one_vol);
        std::filesystem::remove(dir.file(name));
        EXPECT_TRUE(dir.entries().empty());
    }
    // A name made of multi-byte characters, cut for the temporary name.
    std::string name;
    while (name.size() + 3 <= 255) {
        name += "\xE6\x97\xA5";
    }
    EXPECT_EQ(test::run_program(program, {name, "1", "-vol", "1"}, dir.path()).exit_status, 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{name});
}

TEST(OutputFile, PermissionsAreThoseOfTheShell)
{
    std::vector<std::string> wrapper;
    if (!as_ordinary_user(wrapper)) {
        GTEST_SKIP() << "running as root without setpriv, so no ordinary user to run as";
    }
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    test::RunOptions options;
    options.wrapper = wrapper;

    // A file its owner may not write is refused, not replaced.
    test::write_file(dir.file("ro.mid"), old_contents);
    give_to_runner(dir.file("ro.mid"));
    ASSERT_EQ(::chmod(dir.file("ro.mid").c_str(), 0444), 0);
    const std::string& runner = program_for_ordinary_user();
    const auto refused = test::run_program(runner, {"ro.mid", "1", "-vol", "1"}, dir.path(), options);
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_EQ(refused.output, "Cannot open file ro.mid for writing\n");
    EXPECT_EQ(test::read_file(dir.file("ro.mid")), old_contents);

    // A writable file in a directory the user may not write to: written in place.
    test::write_file(dir.file("rw.mid"), old_contents);
    give_to_runner(dir.file("rw.mid"));
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    }
    const auto in_place = test::run_program(runner, {"rw.mid", "1", "-vol", "1"}, dir.path(), options);
    EXPECT_EQ(in_place.exit_status, 0) << in_place.output;
    EXPECT_EQ(test::read_file(dir.file("rw.mid")), one_vol);

    // A new file in that directory cannot be created.
    const auto created = test::run_program(runner, {"new.mid", "1", "-vol", "1"}, dir.path(), options);
    EXPECT_EQ(created.exit_status, 2);
    EXPECT_FALSE(test::file_exists(dir.file("new.mid")));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(dir.entries().size(), 2U);
}

// The ways a file reaches its path: renamed into place (a new file, a plain
// existing one) and rewritten in place (a file with a second hard link, one
// in a directory the user may not write).
enum class Route { new_file, renamed, hard_link, locked_directory };

struct LimitCase {
    const char* name;
    Route route;
};

TEST(OutputFile, TheSizeLimitAtEveryLengthLeavesTheOldBytes)
{
    const std::string prlimit = test::find_program("prlimit");
    if (prlimit.empty()) {
        GTEST_SKIP() << "prlimit (util-linux) is missing";
    }
    // 70 bytes of file, with text long enough to cross several limits inside one event.
    const std::vector<std::string> settings = {"1", "-vol", "1", "-d1", std::string(30, 'x')};
    const Bytes expected =
        test::smf_file(hex("00 B0 07 01 00 F0 26 00 00 7E 40 00 08 00" + test::repeated(" 78", 30) + " F7"));
    const LimitCase cases[] = {
        {"a new file", Route::new_file},
        {"an existing file, renamed over", Route::renamed},
        {"a file with two links, in place", Route::hard_link},
        {"a file in a locked directory, in place", Route::locked_directory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> wrapper;
        if (c.route == Route::locked_directory && !as_ordinary_user(wrapper)) {
            continue;  // needs an ordinary user; PermissionsAreThoseOfTheShell says why it is skipped
        }
        test::TempDir dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        if (c.route != Route::new_file) {
            test::write_file(dir.file("out.mid"), old_contents);
            give_to_runner(dir.file("out.mid"));
        }
        if (c.route == Route::hard_link) {
            ASSERT_EQ(::link(dir.file("out.mid").c_str(), dir.file("link.mid").c_str()), 0);
        }
        if (c.route == Route::locked_directory && ::geteuid() != 0) {
            ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
        }
        const auto before = dir.entries();
        for (std::size_t limit = 0; limit <= expected.size(); ++limit) {
            SCOPED_TRACE(limit);
            test::RunOptions options;
            options.wrapper = {prlimit, "--fsize=" + std::to_string(limit)};
            options.wrapper.insert(options.wrapper.end(), wrapper.begin(), wrapper.end());
            std::vector<std::string> args = {"out.mid"};
            args.insert(args.end(), settings.begin(), settings.end());
            const std::string& runner = wrapper.empty() ? program : program_for_ordinary_user();
            const auto result = test::run_program(runner, args, dir.path(), options);
            if (limit < expected.size()) {
                EXPECT_EQ(result.exit_status, 2);
                EXPECT_EQ(result.output, "Set channel 1\nCannot write file out.mid\n");
                if (c.route == Route::new_file) {
                    EXPECT_FALSE(test::file_exists(dir.file("out.mid")));
                } else {
                    EXPECT_EQ(test::read_file(dir.file("out.mid")), old_contents);
                }
            } else {
                EXPECT_EQ(result.exit_status, 0) << result.output;
                EXPECT_EQ(to_hex(test::read_file(dir.file("out.mid"))), to_hex(expected));
            }
            auto after = dir.entries();
            EXPECT_EQ(after.size(), limit < expected.size() ? before.size() : std::max<std::size_t>(before.size(), 1));
            if (HasFailure()) {
                break;
            }
        }
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    }
}

TEST(OutputFile, InterruptedRunsLeaveNoTemporaryFile)
{
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        test::TempDir dir;
        test::write_file(dir.file("out.mid"), old_contents);
        // Enough rejection messages to fill the pipe nobody reads, so the run
        // holds with its temporary file open.
        std::vector<std::string> args = {"out.mid", "all"};
        for (int i = 0; i < 500; ++i) {
            args.insert(args.end(), {"-foo", "1"});
        }
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        test::RunOptions options;
        options.stdout_to = test::StdoutTo::fd;
        options.stdout_fd = fds[1];
        const auto pid = test::start_program(program, args, dir.path(), options);
        ::close(fds[1]);
        for (int tries = 0; dir.entries().size() < 2 && tries < 500; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(dir.entries().size(), 2U) << "the temporary file never appeared";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it block on the full pipe
        ::kill(static_cast<pid_t>(pid), signal_number);
        EXPECT_EQ(test::wait_program(pid), 128 + signal_number);
        ::close(fds[0]);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.mid"});
        EXPECT_EQ(test::read_file(dir.file("out.mid")), old_contents);
    }
}

TEST(OutputFile, PipesAndFifosGetTheWholeFile)
{
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("out.fifo").c_str(), 0644), 0);
    const std::vector<std::string> settings = {"3", "-vol", "100", "-pan", "64"};
    const Bytes expected = test::smf_file(hex("00 B2 07 64 00 B2 0A 40"));

    for (const std::string name : {"out.fifo", "-", "/dev/stdout"}) {
        SCOPED_TRACE(name);
        Bytes received;
        std::thread reader([&] { received = test::read_file(dir.file("out.fifo")); });
        std::vector<std::string> args = {name};
        args.insert(args.end(), settings.begin(), settings.end());
        test::RunOptions options;
        if (name != "out.fifo") {
            options.stdout_to = test::StdoutTo::path;
            options.stdout_path = dir.file("out.fifo");
        }
        const auto result = test::run_program(program, args, dir.path(), options);
        reader.join();
        EXPECT_EQ(result.exit_status, 0) << result.errors;
        EXPECT_EQ(to_hex(received), to_hex(expected));
        // Where the file is standard output, the messages go to standard error.
        EXPECT_EQ(name == "out.fifo" ? result.output : result.errors, "Set channel 3\n");
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.fifo"});
}

#else
TEST(OutputFile, PosixCasesAreSkippedOnWindows)
{
    GTEST_SKIP() << "symbolic and hard links, other users, the size limit, signals, FIFOs and /dev/full are "
                    "POSIX matters; write failures are tested through the write seam in the unit tests";
}
#endif

}  // namespace
}  // namespace mixmidi
