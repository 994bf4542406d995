#pragma once

// What differs between POSIX and Windows: the standard streams, signals,
// reading a file, and creating or replacing the output file. Everything else
// in the program is portable and calls only these.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mixmidi::platform {

// An open file: a POSIX descriptor, or a Windows HANDLE held as an integer.
using Handle = std::intptr_t;
inline constexpr Handle no_handle = -1;

// An error as the system numbers it (errno on POSIX); 0 is success.
using Error = int;

enum class StdStream { input = 0, output = 1, error = 2 };

// Run once, before anything is opened: gives any closed standard stream a
// null device so that no file the program opens can take its place, makes a
// broken pipe or the file size limit an error that a write returns instead
// of a signal that kills the process, and removes the output's temporary file
// if an interrupt, hang-up or termination signal ends the run.
void prepare_process();

// Windows only: the program's UTF-16 arguments, as UTF-8.
std::vector<std::string> utf8_arguments(int argc, wchar_t** argv);

// Whether a standard stream was closed when the program started. Writing to
// it loses the text, which is then an error (EBADF).
bool closed_at_start(StdStream stream);
Handle standard_handle(StdStream stream);

// Writes every byte, retrying after interruptions.
Error write_all(Handle handle, std::span<const std::uint8_t> bytes);
// A seam for tests: after this many more bytes, every write to a file or
// stream fails as on a full disk. The default, never.
void fail_writes_after(std::uint64_t bytes);
inline constexpr std::uint64_t never = UINT64_MAX;

// Moves the write position to an absolute offset.
Error seek_to(Handle handle, std::uint64_t offset);
Error close_handle(Handle handle);

// The system's words for an error, as in "No space left on device".
std::string error_text(Error error);
// The error of writing to a stream that was closed at start (EBADF).
Error closed_stream_error();

// The bytes a new process's arguments and environment may take together.
std::size_t argument_space();

// Reads a whole file; "-" is the standard input. More than max_size bytes is
// EFBIG, so that an endless device cannot exhaust memory.
Error read_file(std::string_view path, std::size_t max_size, std::vector<std::uint8_t>& bytes);

// How the output reaches its path. The file behaves as if the shell had
// opened it with '>' (its permissions, owner, group and links count), yet a
// failed run leaves the old bytes or the complete new file, never a mix.
enum class OutputKind {
    temp_file,  // written beside the target, then renamed over it: the caller streams into handle
    in_place,   // an existing file rewritten in place, its old bytes kept to put back on failure
    stream,     // a device, pipe, terminal or "-" (standard output): written once, in one piece
};

struct OutputFile {
    OutputKind kind = OutputKind::stream;
    Handle handle = no_handle;
    std::string target;     // the file that gets the bytes, symbolic links followed
    std::string temp_path;  // for temp_file
    bool owns_handle = true;
    // The output is the standard output ("-", /dev/stdout, or the same pipe
    // or device), so the program's messages belong on standard error.
    bool is_standard_output = false;
};

// Opens the output for the path the user gave ("-" is the standard output).
// Fails, changing nothing, where '>' would fail: a file the user may not
// write, a directory, a symbolic link loop or a missing directory.
Error open_output(std::string_view path, OutputFile& file);

// Puts the file in place. For temp_file the bytes were written to handle and
// bytes is empty; for the other kinds bytes is the whole file. When written is
// false, or anything here fails, the path keeps its old bytes and no
// temporary file is left.
Error commit_output(OutputFile& file, std::span<const std::uint8_t> bytes, bool written);

}  // namespace mixmidi::platform
