// Random argument lists through the program's own entry point. The input is
// the arguments after the file name, separated by NUL bytes; the file name is
// always a path in a temporary folder (removed at exit), so that no run
// writes anywhere else. An input that starts with one of the flags the
// program takes in first place is run with the flag first and the path after
// it. A first word "-" writes the file to standard output (a scratch file
// here); a first word "@N" lets only N bytes be written, as a disk that fills
// part way, over an earlier file that must then survive whole.
#include "cli/driver.h"
#include "midifile/smf_writer.h"
#include "platform/platform.h"
#include "platform/text_out.h"
#include "scratch.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string output_path;
std::string stdout_path;
const std::vector<std::uint8_t> earlier_file = {'o', 'l', 'd'};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

std::vector<std::uint8_t> read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Walks the events between the header and the end-of-track event: 4-byte
// Control Changes and counted system-exclusive events must land exactly on it.
bool events_land_on_the_end(const std::vector<std::uint8_t>& file)
{
    const std::size_t end = file.size() - mixmidi::end_of_track.size();
    std::size_t at = mixmidi::header_size;
    while (at < end) {
        if (file[at] != 0x00 || at + 1 >= end) {
            return false;
        }
        const std::uint8_t status = file[at + 1];
        if ((status & 0xF0) == 0xB0) {
            at += 4;
            continue;
        }
        if (status != 0xF0) {
            return false;
        }
        at += 2;
        std::uint64_t count = 0;
        int count_bytes = 0;
        do {
            if (at >= end || ++count_bytes > 4) {
                return false;
            }
            count = (count << 7) | (file[at] & 0x7F);
        } while ((file[at++] & 0x80) != 0);
        if (count == 0 || count > end - at || file[at + count - 1] != 0xF7) {
            return false;
        }
        at += count;
    }
    return at == end;
}

void check_file(const std::vector<std::uint8_t>& file)
{
    using namespace mixmidi;
    if (file.size() < header_size + end_of_track.size()) {
        fail("file shorter than header and end of track");
    }
    if (!std::equal(file_header.begin(), file_header.begin() + track_length_offset, file.begin())) {
        fail("header differs from the fixed one");
    }
    const std::uint32_t length = (std::uint32_t{file[18]} << 24) | (std::uint32_t{file[19]} << 16) |
                                 (std::uint32_t{file[20]} << 8) | std::uint32_t{file[21]};
    if (length != file.size() - header_size) {
        fail("track length is not the file size minus 22");
    }
    if (!std::equal(end_of_track.begin(), end_of_track.end(), file.end() - 4)) {
        fail("track does not end with 00 FF 2F 00");
    }
    if (!events_land_on_the_end(file)) {
        fail("walking the events does not land on the end of the track");
    }
}

void write_all(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the command line with standard output on a scratch file, for "-".
int run_with_stdout_captured(int argc, const char* const* argv, bool flag_first)
{
    const int saved = ::dup(1);
    const int scratch = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(scratch, 1);
    ::close(scratch);
    std::string out_text;
    std::string err_text;
    int status = 0;
    {
        mixmidi::TextOut out(out_text);
        mixmidi::TextOut err(err_text);
        status = mixmidi::run_command_line(argc, argv, out, err);
    }
    ::dup2(saved, 1);
    ::close(saved);
    if (!flag_first && !out_text.empty()) {
        fail("with \"-\" a message went to standard output");
    }
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::make_scratch_folder();
    output_path = fuzz::scratch_folder + "/out.mid";
    stdout_path = fuzz::scratch_folder + "/stdout";
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words;
    words.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    const bool to_stdout = words.front() == "-";
    const bool budgeted = words.front().size() > 1 && words.front()[0] == '@';
    const std::uint64_t budget = budgeted ? std::strtoull(words.front().c_str() + 1, nullptr, 10) : 0;
    if (to_stdout || budgeted) {
        words.erase(words.begin());
        if (words.empty()) {
            words.emplace_back();
        }
    }
    std::vector<const char*> argv = {"mixmidi"};
    const bool flag_first =
        words.front() == "-h" || words.front() == "--help" || words.front() == "--version" || words.front() == "--show";
    if (flag_first) {
        argv.push_back(words.front().c_str());
    }
    argv.push_back(to_stdout ? "-" : output_path.c_str());
    for (std::size_t i = flag_first ? 1 : 0; i < words.size(); ++i) {
        argv.push_back(words[i].c_str());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size() - 1);

    ::unlink(output_path.c_str());
    if (budgeted) {
        write_all(output_path, earlier_file);
        mixmidi::platform::fail_writes_after(budget);
    }
    int status = 0;
    if (to_stdout) {
        status = run_with_stdout_captured(argc, argv.data(), flag_first);
    } else {
        std::string out_text;
        std::string err_text;
        mixmidi::TextOut out(out_text);
        mixmidi::TextOut err(err_text);
        status = mixmidi::run_command_line(argc, argv.data(), out, err);
    }
    mixmidi::platform::fail_writes_after(mixmidi::platform::never);
    if (status < 0 || status > 3) {
        fail("exit status outside 0..3");
    }
    const bool product = status == mixmidi::exit_ok || status == mixmidi::exit_skipped;
    // out.mid and the scratch standard output at most.
    if (std::distance(std::filesystem::directory_iterator(fuzz::scratch_folder), {}) > 2) {
        fail("a temporary file was left behind");
    }
    if (to_stdout) {
        if (product && !flag_first) {
            check_file(read_all(stdout_path));
        }
        return 0;
    }
    const bool exists = ::access(output_path.c_str(), F_OK) == 0;
    if (flag_first) {
        if (exists != budgeted) {
            fail("a flag given first touched the file");
        }
        return 0;
    }
    if (budgeted && !product) {
        if (read_all(output_path) != earlier_file) {
            fail("a failed write damaged the earlier file");
        }
        return 0;
    }
    if (!budgeted && exists != product) {
        fail("a file exists exactly when the status is 0 or 3");
    }
    if (product) {
        check_file(read_all(output_path));
    }
    return 0;
}
