#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mixmidi::test {

using Bytes = std::vector<std::uint8_t>;

// Bytes from hex pairs separated by white space: "00 B2 07 64".
Bytes hex(std::string_view text);
// The reverse, for readable failure messages.
std::string to_hex(const Bytes& bytes);

// The same four-byte event once per channel, B0 to BF, in hex: pattern holds
// %X for the channel nibble, as in "00 B%X 07 64".
std::string on_every_channel(const char* pattern);
// text, times times over.
std::string repeated(const std::string& text, int times);

// The 22-byte header with the given track length, then the events, then the
// end-of-track event: the whole file a run should write.
Bytes smf_file(const Bytes& events);

struct ProgramResult {
    int exit_status = -1;  // 128 + the signal's number for a process a signal ended, as shells report it
    std::string output;    // standard output
    std::string errors;    // standard error
};

// Where the child's standard output goes.
enum class StdoutTo {
    capture,  // a file read back into ProgramResult::output
    closed,   // closed, as with the shell's >&-
    path,     // the file or device named by RunOptions::stdout_path, as with >PATH
    fd,       // the descriptor RunOptions::stdout_fd, as the write end of a pipe
};

struct RunOptions {
    StdoutTo stdout_to = StdoutTo::capture;
    std::string stdout_path;
    int stdout_fd = -1;
    // Run the program under these words, as in {"/usr/bin/prlimit", "--fsize=10"}.
    std::vector<std::string> wrapper;
};

// Runs a program with exactly these arguments (no shell), from directory cwd,
// with every signal's default action and no blocked signals, as a shell
// starts it. Standard input is empty.
ProgramResult run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          const RunOptions& options = {});

// The same, started without waiting: standard error goes to /dev/null, and
// wait_program returns the exit status as run_program reports it.
std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                            const RunOptions& options = {});
int wait_program(std::intptr_t process);

// The full path of a program found on PATH, or "" when there is none.
std::string find_program(const std::string& name);

// Puts a folder first on this process's PATH, for the programs it starts.
void prepend_to_path(const std::string& folder);

#ifdef _WIN32
inline constexpr bool on_windows = true;
#else
inline constexpr bool on_windows = false;
#endif

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
    [[nodiscard]] std::vector<std::string> entries() const;

private:
    std::string path_;
};

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
bool file_exists(const std::string& path);

}  // namespace mixmidi::test
