#include "platform/platform.h"
#include "platform/write_seam.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace mixmidi::platform {

namespace {

std::array<bool, 3> closed_streams{};

constexpr std::size_t arg_max_fallback = 4096;  // the least POSIX allows

// The temporary file a signal handler removes: written whole before armed is
// set, so the handler never sees half a name.
std::array<char, PATH_MAX + 1> pending_temp{};
volatile std::sig_atomic_t pending_armed = 0;

constexpr std::array<int, 3> cleanup_signals = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temp_and_die(int signal_number)
{
    if (pending_armed != 0) {
        ::unlink(pending_temp.data());
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);  // delivered when the handler returns, with the default action
}

void arm_cleanup(const std::string& temp_path)
{
    pending_armed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const std::size_t size = std::min(temp_path.size(), pending_temp.size() - 1);
    std::memcpy(pending_temp.data(), temp_path.data(), size);
    pending_temp[size] = '\0';
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pending_armed = 1;
}

void disarm_cleanup() { pending_armed = 0; }

// Holds the cleanup signals back while a file is rewritten in place, so that
// the file is whole, old or new, when one ends the process.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal_number : cleanup_signals) {
            sigaddset(&set, signal_number);
        }
        ::sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_{};
};

int as_fd(Handle handle) { return static_cast<int>(handle); }

std::string directory_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links by hand, so that a link that dangles gives the path
// it names: the file to create. ELOOP after 40 links, as the kernel counts.
Error follow_links(const std::string& path, std::string& target)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(info.st_mode)) {
            return 0;
        }
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
        const ssize_t size = ::readlink(target.c_str(), link.data(), link.size());
        if (size < 0) {
            return errno;
        }
        link.resize(static_cast<std::size_t>(size));
        target = link.starts_with('/') ? link : directory_of(target) + "/" + link;
    }
    return ELOOP;
}

// The temporary file's name: ".NAME.XXXXXX" beside the target, with NAME cut
// (at a character boundary) so that the whole fits in NAME_MAX.
std::string temp_name_for(const std::string& target)
{
    constexpr std::size_t suffix = 8;  // the dot before and ".XXXXXX" after
    std::string base = base_name_of(target);
    if (base.size() + suffix > NAME_MAX) {
        std::size_t cut = NAME_MAX - suffix;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) {
            --cut;  // not inside a UTF-8 sequence
        }
        base.resize(cut);
    }
    return directory_of(target) + "/." + base + ".XXXXXX";
}

int make_temp(std::string& name)
{
#ifdef MIXMIDI_HAVE_MKOSTEMP
    return ::mkostemp(name.data(), O_CLOEXEC);
#else
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return fd;
#endif
}

mode_t current_umask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A temporary file beside target with the given mode and, where it differs
// from what a new file gets, the given owner and group. Fails where any of
// them cannot be had.
Error open_temp(const std::string& target, mode_t mode, const struct stat* owner, OutputFile& file)
{
    std::string name = temp_name_for(target);
    const int fd = make_temp(name);
    if (fd < 0) {
        return errno;
    }
    arm_cleanup(name);
    Error error = 0;
    struct stat made {};
    if (::fstat(fd, &made) != 0) {
        error = errno;
    } else if (owner != nullptr && (made.st_uid != owner->st_uid || made.st_gid != owner->st_gid) &&
               ::fchown(fd, owner->st_uid, owner->st_gid) != 0) {
        error = errno;
    } else if (::fchmod(fd, mode) != 0) {  // after fchown, which may clear set-id bits
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        ::unlink(name.c_str());
        disarm_cleanup();
        return error;
    }
    file.kind = OutputKind::temp_file;
    file.handle = fd;
    file.target = target;
    file.temp_path = std::move(name);
    return 0;
}

Error read_at(int fd, std::uint64_t offset, std::span<std::uint8_t> out)
{
    while (!out.empty()) {
        const ssize_t got = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got < 0 ? errno : EIO;
        }
        out = out.subspan(static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    return 0;
}

// Writes bytes at offset 0; written counts what reached the file. Putting
// old bytes back takes no new space, so it bypasses the test seam.
Error write_from_start(int fd, std::span<const std::uint8_t> bytes, std::size_t& written, bool restoring = false)
{
    written = 0;
    while (written < bytes.size()) {
        const std::size_t size = restoring ? bytes.size() - written : allowed_by_seam(bytes.size() - written);
        if (size == 0) {
            return ENOSPC;
        }
        const ssize_t put = ::pwrite(fd, bytes.data() + written, size, static_cast<off_t>(written));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? errno : EIO;
        }
        written += static_cast<std::size_t>(put);
    }
    return 0;
}

// Rewrites an existing file in place. The bytes it will overwrite are read
// first; the space for a longer file is reserved before any old byte is
// touched; and on any failure the overwritten bytes go back and the length
// is restored.
Error rewrite_in_place(int fd, std::span<const std::uint8_t> bytes)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return errno;
    }
    const auto old_size = static_cast<std::size_t>(info.st_size);
    std::vector<std::uint8_t> old_bytes(std::min(old_size, bytes.size()));
    if (const Error error = read_at(fd, 0, old_bytes); error == EBADF) {
        old_bytes.clear();  // a file we may write but not read: nothing to put back
    } else if (error != 0) {
        return error;
    }
    const SignalsHeld held;
    if (bytes.size() > old_size) {
        const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
        if (error != 0 && error != EOPNOTSUPP && error != EINVAL) {
            (void)::ftruncate(fd, static_cast<off_t>(old_size));
            return error;
        }
    }
    std::size_t written = 0;
    Error error = write_from_start(fd, bytes, written);
    if (error == 0 && old_size > bytes.size() && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) {
        error = errno;  // the last chance to hear of a failed write while the old bytes can go back
    }
    if (error != 0) {
        std::size_t restored = 0;
        (void)write_from_start(fd, std::span(old_bytes).first(std::min(written, old_bytes.size())), restored, true);
        (void)::ftruncate(fd, static_cast<off_t>(old_size));
    }
    return error;
}

}  // namespace

void prepare_process()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            closed_streams[static_cast<std::size_t>(fd)] = true;
            // The lowest free descriptor, so this one.
            if (::open("/dev/null", O_RDWR) != fd) {
                ::_exit(2);
            }
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    for (const int signal_number : cleanup_signals) {
        struct sigaction action {};
        if (::sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
            continue;  // ignored by whoever started us, as nohup does: keep it so
        }
        action = {};
        action.sa_handler = remove_temp_and_die;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

bool closed_at_start(StdStream stream) { return closed_streams[static_cast<std::size_t>(stream)]; }

Handle standard_handle(StdStream stream) { return static_cast<Handle>(stream); }

Error write_all(Handle handle, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t size = allowed_by_seam(bytes.size());
        if (size == 0) {
            return ENOSPC;
        }
        const ssize_t written = ::write(as_fd(handle), bytes.data(), size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

Error seek_to(Handle handle, std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return EINVAL;
    }
    return ::lseek(as_fd(handle), static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

Error close_handle(Handle handle) { return ::close(as_fd(handle)) != 0 ? errno : 0; }

std::string error_text(Error error) { return std::strerror(error); }

Error closed_stream_error() { return EBADF; }

std::size_t argument_space()
{
    const long space = ::sysconf(_SC_ARG_MAX);
    return space > 0 ? static_cast<std::size_t>(space) : std::size_t{arg_max_fallback};
}

Error read_file(std::string_view path, std::size_t max_size, std::vector<std::uint8_t>& bytes)
{
    const bool standard_input = path == "-";
    const int fd = standard_input ? 0 : ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<std::uint64_t>(info.st_size) <= max_size) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::array<std::uint8_t, 64 * 1024> buffer{};
    Error error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(got) > max_size) {
            error = EFBIG;
            break;
        }
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    if (!standard_input) {
        ::close(fd);
    }
    return error;
}

Error open_output(std::string_view path_view, OutputFile& file)
{
    file = OutputFile{};
    const std::string path(path_view);
    if (path == "-") {
        file.kind = OutputKind::stream;
        file.handle = 1;
        file.owns_handle = false;
        file.is_standard_output = true;
        file.target = path;
        return closed_at_start(StdStream::output) ? EBADF : 0;
    }
    if (path.empty()) {
        return ENOENT;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return errno;  // a loop, a path through a file, a directory we may not search
        }
        // A new file, or a symbolic link that dangles: create what the link names.
        std::string target;
        if (const Error error = follow_links(path, target); error != 0) {
            return error;
        }
        if (target.ends_with('/')) {
            return EISDIR;
        }
        return open_temp(target, 0666 & ~current_umask(), nullptr, file);
    }
    if (!S_ISREG(info.st_mode)) {
        // A device, a FIFO (whose open waits for a reader, as with '>') or a
        // directory, which the open refuses.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return errno;
        }
        file.kind = OutputKind::stream;
        file.handle = fd;
        file.target = path;
        struct stat standard {};
        file.is_standard_output = ::fstat(fd, &info) == 0 && ::fstat(1, &standard) == 0 &&
                                  info.st_dev == standard.st_dev && info.st_ino == standard.st_ino &&
                                  !closed_at_start(StdStream::output);
        return 0;
    }
    // Opening the file for writing, as '>' would, asks the system whether we
    // may; reading is wanted too, to keep the old bytes for a write in place.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) {
        return errno;
    }
    std::string target;
    if (const Error error = follow_links(path, target); error != 0) {
        ::close(fd);
        return error;
    }
    // A rename gives the path a new file: only where nothing that names the
    // old one, and nothing the user set on it, is lost. Otherwise in place.
    if (info.st_nlink == 1 && open_temp(target, info.st_mode & 07777, &info, file) == 0) {
        ::close(fd);
        return 0;
    }
    file.kind = OutputKind::in_place;
    file.handle = fd;
    file.target = target;
    return 0;
}

Error commit_output(OutputFile& file, std::span<const std::uint8_t> bytes, bool written)
{
    Error error = 0;
    switch (file.kind) {
    case OutputKind::temp_file:
        error = ::close(as_fd(file.handle)) != 0 ? errno : 0;
        if (written && error == 0 && ::rename(file.temp_path.c_str(), file.target.c_str()) != 0) {
            error = errno;
        }
        if (!written || error != 0) {
            ::unlink(file.temp_path.c_str());
        }
        disarm_cleanup();
        break;
    case OutputKind::in_place:
        if (written) {
            error = rewrite_in_place(as_fd(file.handle), bytes);
        }
        if (const int closed = ::close(as_fd(file.handle)); closed != 0 && error == 0) {
            error = errno;
        }
        break;
    case OutputKind::stream:
        if (written) {
            error = write_all(file.handle, bytes);
        }
        if (file.owns_handle && ::close(as_fd(file.handle)) != 0 && error == 0) {
            error = errno;
        }
        break;
    }
    file.handle = no_handle;
    return written ? error : (error != 0 ? error : EIO);
}

}  // namespace mixmidi::platform
