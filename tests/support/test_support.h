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
    int exit_status = -1;
    std::string output;  // standard output and standard error together
};

// Runs a program with exactly these arguments (no shell), from directory cwd.
// Before exec, the child ignores SIGXFSZ and, when file_size_limit is not
// zero, may write files of at most that many bytes.
ProgramResult run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          std::uint64_t file_size_limit = 0);

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
