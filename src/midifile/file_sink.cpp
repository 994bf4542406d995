#include "midifile/file_sink.h"

#include <cerrno>
#include <limits>
#include <unistd.h>

namespace mixmidi {

void FileSink::write_all(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty() && !failed_) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            return;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

bool FileSink::flush()
{
    write_all(buffered());
    empty_buffer();
    return !failed_;
}

void FileSink::overflow(std::span<const std::uint8_t> bytes)
{
    flush();
    if (bytes.size() >= buffer_.size()) {
        write_all(bytes);
        return;
    }
    write(bytes);  // fits now
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
