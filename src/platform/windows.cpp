#include "platform/platform.h"
#include "platform/write_seam.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace mixmidi::platform {

namespace {

std::array<bool, 3> closed_streams{};
std::array<HANDLE, 3> standard_handles{};
UINT console_code_page = 0;

constexpr std::array<DWORD, 3> std_ids = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

// The temporary file the console handler removes: written whole before
// armed is set.
std::array<wchar_t, 32768> pending_temp{};
std::atomic<bool> pending_armed{false};

HANDLE as_handle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle from_handle(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

std::wstring widen(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string narrow(std::wstring_view text)
{
    if (text.empty()) {
        return {};
    }
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

void arm_cleanup(const std::wstring& temp_path)
{
    pending_armed = false;
    const std::size_t size = std::min(temp_path.size(), pending_temp.size() - 1);
    std::copy_n(temp_path.data(), size, pending_temp.data());
    pending_temp[size] = L'\0';
    pending_armed = true;
}

void disarm_cleanup() { pending_armed = false; }

// Ctrl-C, Ctrl-Break and closing the console end the run; the temporary
// file goes first.
BOOL WINAPI remove_temp_and_stop(DWORD)
{
    if (pending_armed) {
        ::DeleteFileW(pending_temp.data());
    }
    return FALSE;  // the default handler then ends the process
}

void restore_console() { ::SetConsoleOutputCP(console_code_page); }

bool is_separator(char c) { return c == '/' || c == '\\'; }

std::string directory_of(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string base_name_of(const std::string& path)
{
    const auto slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file beside target, ".NAME.XXXXXX", NAME cut to fit in the
// 255 UTF-16 units a name may have.
Error open_temp(const std::string& target, OutputFile& file)
{
    std::wstring base = widen(base_name_of(target));
    constexpr std::size_t suffix = 8;
    if (base.size() + suffix > 255) {
        std::size_t cut = 255 - suffix;
        if (cut > 0 && base[cut - 1] >= 0xD800 && base[cut - 1] <= 0xDBFF) {
            --cut;  // not between the halves of a surrogate pair
        }
        base.resize(cut);
    }
    const std::wstring directory = widen(directory_of(target));
    const DWORD seed = ::GetCurrentProcessId() ^ ::GetTickCount();
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        wchar_t tag[7];
        DWORD value = seed + attempt * 7919;
        for (int i = 0; i < 6; ++i) {
            tag[i] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"[value % 62];
            value /= 62;
        }
        tag[6] = L'\0';
        const std::wstring name = directory + L"\\." + base + L"." + tag;
        const HANDLE handle =
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            arm_cleanup(name);
            file.kind = OutputKind::temp_file;
            file.handle = from_handle(handle);
            file.target = target;
            file.temp_path = narrow(name);
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return ::GetLastError();
        }
    }
    return ERROR_FILE_EXISTS;
}

Error read_at(HANDLE handle, std::uint64_t offset, std::span<std::uint8_t> out)
{
    while (!out.empty()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(out.size(), 1 << 20));
        if (!::ReadFile(handle, out.data(), size, &got, &at)) {
            return ::GetLastError();
        }
        if (got == 0) {
            return ERROR_HANDLE_EOF;
        }
        out = out.subspan(got);
        offset += got;
    }
    return 0;
}

// Putting old bytes back takes no new space, so it bypasses the test seam.
Error write_from_start(HANDLE handle, std::span<const std::uint8_t> bytes, std::size_t& written, bool restoring = false)
{
    written = 0;
    while (written < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - written, 1 << 20);
        const std::size_t size = restoring ? chunk : allowed_by_seam(chunk);
        if (size == 0) {
            return ERROR_DISK_FULL;
        }
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(written & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(written) >> 32);
        DWORD put = 0;
        if (!::WriteFile(handle, bytes.data() + written, static_cast<DWORD>(size), &put, &at)) {
            return ::GetLastError();
        }
        written += put;
    }
    return 0;
}

Error truncate_at(HANDLE handle, std::uint64_t size)
{
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
        return ::GetLastError();
    }
    return 0;
}

// As on POSIX: the overwritten bytes are read first and put back, and the
// length restored, if any write fails.
Error rewrite_in_place(HANDLE handle, std::span<const std::uint8_t> bytes)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle, &size)) {
        return ::GetLastError();
    }
    const auto old_size = static_cast<std::size_t>(size.QuadPart);
    std::vector<std::uint8_t> old_bytes(std::min(old_size, bytes.size()));
    if (const Error error = read_at(handle, 0, old_bytes); error != 0) {
        return error;
    }
    if (bytes.size() > old_size) {
        if (const Error error = truncate_at(handle, bytes.size()); error != 0) {
            (void)truncate_at(handle, old_size);
            return error;
        }
    }
    std::size_t written = 0;
    Error error = write_from_start(handle, bytes, written);
    if (error == 0 && old_size > bytes.size()) {
        error = truncate_at(handle, bytes.size());
    }
    if (error == 0 && !::FlushFileBuffers(handle)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        std::size_t restored = 0;
        (void)write_from_start(handle, std::span(old_bytes).first(std::min(written, old_bytes.size())), restored, true);
        (void)truncate_at(handle, old_size);
    }
    return error;
}

bool is_standard_output(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION ours{};
    BY_HANDLE_FILE_INFORMATION standard{};
    return ::GetFileInformationByHandle(handle, &ours) &&
           ::GetFileInformationByHandle(standard_handles[1], &standard) &&
           ours.dwVolumeSerialNumber == standard.dwVolumeSerialNumber &&
           ours.nFileIndexHigh == standard.nFileIndexHigh && ours.nFileIndexLow == standard.nFileIndexLow;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(narrow(argv[i]));
    }
    return arguments;
}

void prepare_process()
{
    for (std::size_t i = 0; i < std_ids.size(); ++i) {
        HANDLE handle = ::GetStdHandle(std_ids[i]);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            closed_streams[i] = true;
            handle = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            ::SetStdHandle(std_ids[i], handle);
        }
        standard_handles[i] = handle;
    }
    // Text goes out as UTF-8, which a console shows only in its code page.
    console_code_page = ::GetConsoleOutputCP();
    if (console_code_page != 0 && console_code_page != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(restore_console);
    }
    ::SetConsoleCtrlHandler(remove_temp_and_stop, TRUE);
}

bool closed_at_start(StdStream stream) { return closed_streams[static_cast<std::size_t>(stream)]; }

Handle standard_handle(StdStream stream)
{
    const auto i = static_cast<std::size_t>(stream);
    if (standard_handles[i] == nullptr) {
        standard_handles[i] = ::GetStdHandle(std_ids[i]);
    }
    return from_handle(standard_handles[i]);
}

Error write_all(Handle handle, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t size = allowed_by_seam(std::min<std::size_t>(bytes.size(), 1 << 20));
        if (size == 0) {
            return ERROR_DISK_FULL;
        }
        DWORD written = 0;
        if (!::WriteFile(as_handle(handle), bytes.data(), static_cast<DWORD>(size), &written, nullptr)) {
            return ::GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        bytes = bytes.subspan(written);
    }
    return 0;
}

Error seek_to(Handle handle, std::uint64_t offset)
{
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(as_handle(handle), position, nullptr, FILE_BEGIN) ? 0 : ::GetLastError();
}

Error close_handle(Handle handle) { return ::CloseHandle(as_handle(handle)) ? 0 : ::GetLastError(); }

std::string error_text(Error error)
{
    wchar_t* text = nullptr;
    const DWORD size =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (size == 0 || text == nullptr) {
        return "Error " + std::to_string(error);
    }
    std::string message = narrow(std::wstring_view(text, size));
    ::LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

Error closed_stream_error() { return ERROR_INVALID_HANDLE; }

std::size_t argument_space() { return 32767; }  // UTF-16 units in a command line

Error read_file(std::string_view path, std::size_t max_size, std::vector<std::uint8_t>& bytes)
{
    const bool standard_input = path == "-";
    const HANDLE handle = standard_input
                              ? standard_handles[0]
                              : ::CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return ::GetLastError();
    }
    Error error = 0;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!standard_input && ::GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = ERROR_DIRECTORY;
    }
    std::array<std::uint8_t, 64 * 1024> buffer{};
    while (error == 0) {
        DWORD got = 0;
        if (!::ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            error = ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : ::GetLastError();
            break;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + got > max_size) {
            error = ERROR_FILE_TOO_LARGE;
            break;
        }
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    if (!standard_input) {
        ::CloseHandle(handle);
    }
    return error;
}

Error open_output(std::string_view path_view, OutputFile& file)
{
    file = OutputFile{};
    const std::string path(path_view);
    if (path == "-") {
        file.kind = OutputKind::stream;
        file.handle = from_handle(standard_handles[1]);
        file.owns_handle = false;
        file.is_standard_output = true;
        file.target = path;
        return closed_at_start(StdStream::output) ? ERROR_INVALID_HANDLE : 0;
    }
    if (path.empty() || is_separator(path.back())) {
        return ERROR_PATH_NOT_FOUND;
    }
    const std::wstring wide = widen(path);
    // Opening for writing, as '>' would, asks the system whether we may; it
    // also creates nothing and truncates nothing.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            return error;  // a directory, a read-only file, a missing folder
        }
        return open_temp(path, file);
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        file.kind = OutputKind::stream;  // NUL, a console, a pipe
        file.handle = from_handle(handle);
        file.target = path;
        file.is_standard_output = is_standard_output(handle);
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = ::GetFileInformationByHandle(handle, &info) && info.nNumberOfLinks == 1 &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    // A rename gives the path a new file: only where no other link or a
    // symbolic link would lose it. Otherwise in place.
    if (plain && open_temp(path, file) == 0) {
        ::CloseHandle(handle);
        return 0;
    }
    file.kind = OutputKind::in_place;
    file.handle = from_handle(handle);
    file.target = path;
    return 0;
}

Error commit_output(OutputFile& file, std::span<const std::uint8_t> bytes, bool written)
{
    Error error = 0;
    switch (file.kind) {
    case OutputKind::temp_file: {
        const std::wstring temp = widen(file.temp_path);
        error = ::CloseHandle(as_handle(file.handle)) ? 0 : ::GetLastError();
        if (written && error == 0 &&
            !::MoveFileExW(temp.c_str(), widen(file.target).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = ::GetLastError();
        }
        if (!written || error != 0) {
            ::DeleteFileW(temp.c_str());
        }
        disarm_cleanup();
        break;
    }
    case OutputKind::in_place:
        if (written) {
            error = rewrite_in_place(as_handle(file.handle), bytes);
        }
        if (!::CloseHandle(as_handle(file.handle)) && error == 0) {
            error = ::GetLastError();
        }
        break;
    case OutputKind::stream:
        if (written) {
            error = write_all(file.handle, bytes);
        }
        if (file.owns_handle && !::CloseHandle(as_handle(file.handle)) && error == 0) {
            error = ::GetLastError();
        }
        break;
    }
    file.handle = no_handle;
    return written ? error : (error != 0 ? error : ERROR_WRITE_FAULT);
}

}  // namespace mixmidi::platform
