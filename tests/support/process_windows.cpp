// Starting the program under test on Windows (and under wine).
#include "test_support.h"

#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <windows.h>

namespace mixmidi::test {

namespace {

std::wstring widen(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// A path the build gave as a Unix path, as wine sees it (drive Z: is /).
std::string windows_path(const std::string& path)
{
    if (!path.starts_with('/')) {
        return path;
    }
    std::string converted = "Z:" + path;
    for (auto& c : converted) {
        if (c == '/') {
            c = '\\';
        }
    }
    return converted;
}

// One argument as the C runtime splits a command line back into argv.
std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::string read_all(HANDLE handle)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

HANDLE inheritable(HANDLE handle)
{
    ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

HANDLE spawn(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
             const RunOptions& options, HANDLE out, HANDLE err)
{
    std::vector<std::string> words = options.wrapper;
    words.push_back(windows_path(program));
    words.insert(words.end(), args.begin(), args.end());
    std::wstring command_line;
    for (const auto& word : words) {
        command_line += (command_line.empty() ? L"" : L" ") + quoted(widen(word));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE input =
        ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE output = out;
    if (options.stdout_to == StdoutTo::closed) {
        output = INVALID_HANDLE_VALUE;
    } else if (options.stdout_to == StdoutTo::path) {
        output = ::CreateFileW(widen(options.stdout_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, CREATE_ALWAYS, 0, nullptr);
    } else if (options.stdout_to == StdoutTo::fd) {
        throw std::runtime_error("descriptors are POSIX");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring directory = widen(cwd);
    const BOOL started = ::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          directory.c_str(), &startup, &process);
    ::CloseHandle(input);
    if (options.stdout_to == StdoutTo::path) {
        ::CloseHandle(output);
    }
    if (!started) {
        throw std::runtime_error("cannot start " + words.front());
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                            const RunOptions& options)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE null =
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    const HANDLE process = spawn(program, args, cwd, options, null, null);
    ::CloseHandle(null);
    return reinterpret_cast<std::intptr_t>(process);
}

int wait_program(std::intptr_t process)
{
    const auto handle = reinterpret_cast<HANDLE>(process);
    ::WaitForSingleObject(handle, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(handle, &code);
    ::CloseHandle(handle);
    return static_cast<int>(code);
}

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          const RunOptions& options)
{
    HANDLE out_read = nullptr;
    HANDLE out_write = nullptr;
    HANDLE err_read = nullptr;
    HANDLE err_write = nullptr;
    if (!::CreatePipe(&out_read, &out_write, nullptr, 0) || !::CreatePipe(&err_read, &err_write, nullptr, 0)) {
        throw std::runtime_error("pipe failed");
    }
    const HANDLE process = spawn(program, args, cwd, options, inheritable(out_write), inheritable(err_write));
    ::CloseHandle(out_write);
    ::CloseHandle(err_write);
    ProgramResult result;
    std::thread err_reader([&] { result.errors = read_all(err_read); });
    result.output = read_all(out_read);
    err_reader.join();
    ::CloseHandle(out_read);
    ::CloseHandle(err_read);
    result.exit_status = wait_program(reinterpret_cast<std::intptr_t>(process));
    return result;
}

std::string find_program(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(';', start), dirs.size());
        for (const std::string suffix : {".exe", ""}) {
            const std::string candidate = dirs.substr(start, end - start) + "\\" + name + suffix;
            const DWORD attributes = ::GetFileAttributesW(widen(candidate).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

void prepend_to_path(const std::string& folder)
{
    const char* old_path = std::getenv("PATH");
    ::_putenv_s("PATH", (windows_path(folder) + ";" + (old_path != nullptr ? old_path : "")).c_str());
}

}  // namespace mixmidi::test
