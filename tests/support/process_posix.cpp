// Starting the program under test on POSIX systems.
#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace mixmidi::test {

namespace {

std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        text.append(buffer, static_cast<std::size_t>(got > 0 ? got : 0));
    }
    return text;
}

// Starts the program with standard output and standard error on the given
// descriptors (stdout only where options say to capture it).
long spawn(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
           const RunOptions& options, int out_fd, int err_fd)
{
    std::vector<std::string> words = options.wrapper;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    switch (options.stdout_to) {
    case StdoutTo::capture:
        posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
        break;
    case StdoutTo::closed:
        posix_spawn_file_actions_addclose(&actions, 1);
        break;
    case StdoutTo::path:
        posix_spawn_file_actions_addopen(&actions, 1, options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        break;
    case StdoutTo::fd:
        posix_spawn_file_actions_adddup2(&actions, options.stdout_fd, 1);
        break;
    }
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + words.front());
    }
    return pid;
}

}  // namespace

std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                            const RunOptions& options)
{
    const int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const long pid = spawn(program, args, cwd, options, null_fd, null_fd);
    ::close(null_fd);
    return pid;
}

int wait_program(std::intptr_t pid)
{
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          const RunOptions& options)
{
    // Pipes, not files: a file size limit on the child must not reach them.
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const long pid = spawn(program, args, cwd, options, out_pipe[1], err_pipe[1]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    ProgramResult result;
    std::thread err_reader([&] { result.errors = read_all(err_pipe[0]); });
    result.output = read_all(out_pipe[0]);
    err_reader.join();
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    result.exit_status = wait_program(pid);
    return result;
}

std::string find_program(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

void prepend_to_path(const std::string& folder)
{
    const char* old_path = std::getenv("PATH");
    ::setenv("PATH", (folder + ":" + (old_path != nullptr ? old_path : "/usr/bin:/bin")).c_str(), 1);
}

}  // namespace mixmidi::test
