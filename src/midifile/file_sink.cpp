#include "midifile/file_sink.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace mixmidi {

void FileSink::write_all(const std::uint8_t* data, std::size_t size)
{
    while (size > 0 && !failed_) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

bool FileSink::flush()
{
    write_all(buffer_.data(), used_);
    used_ = 0;
    return !failed_;
}

void FileSink::write_slow(std::span<const std::uint8_t> bytes)
{
    flush();
    if (bytes.size() >= buffer_.size()) {
        write_all(bytes.data(), bytes.size());
        return;
    }
    std::copy(bytes.begin(), bytes.end(), buffer_.begin());
    used_ = bytes.size();
}

void FileSink::seek(std::uint64_t offset)
{
    if (!flush()) {
        return;
    }
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
        ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        failed_ = true;
    }
}

}  // namespace mixmidi
