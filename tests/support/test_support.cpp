#include "test_support.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mixmidi::test {

Bytes hex(std::string_view text)
{
    Bytes bytes;
    std::string pair;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
            pair.clear();
        }
    }
    if (!pair.empty()) {
        throw std::invalid_argument("odd number of hex digits");
    }
    return bytes;
}

std::string to_hex(const Bytes& bytes)
{
    std::string text;
    char buffer[4];
    for (const auto byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", byte);
        text += buffer;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string on_every_channel(const char* pattern)
{
    std::string events;
    for (int channel = 0; channel < 16; ++channel) {
        char event[64];
        std::snprintf(event, sizeof event, pattern, channel);
        events += event;
        events += ' ';
    }
    return events;
}

std::string repeated(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

Bytes smf_file(const Bytes& events)
{
    Bytes file = hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B");
    const auto length = static_cast<std::uint32_t>(events.size() + 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>((length >> shift) & 0xFF));
    }
    file.insert(file.end(), events.begin(), events.end());
    for (const auto byte : hex("00 FF 2F 00")) {
        file.push_back(byte);
    }
    return file;
}

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          std::uint64_t file_size_limit)
{
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(pipe_fds[1], 1);
        ::dup2(pipe_fds[1], 2);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        std::signal(SIGXFSZ, SIG_IGN);
        if (file_size_limit != 0) {
            const rlimit limit{file_size_limit, file_size_limit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (::chdir(cwd.c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    ProgramResult result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TempDir::TempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "mixmidi-test-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = templ;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace mixmidi::test
