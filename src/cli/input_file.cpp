#include "cli/input_file.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace mixmidi {

int read_input(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    std::array<std::uint8_t, 64 * 1024> buffer{};
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        // Far beyond any file a run of mixmidi writes; stops /dev/zero and the like.
        if (bytes.size() + static_cast<std::size_t>(got) > max_input_size) {
            error = EFBIG;
            break;
        }
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    ::close(fd);
    return error;
}

}  // namespace mixmidi
