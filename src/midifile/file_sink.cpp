#include "midifile/file_sink.h"

namespace mixmidi {

void FileSink::write_all(std::span<const std::uint8_t> bytes)
{
    if (error_ == 0) {
        error_ = platform::write_all(handle_, bytes);
    }
}

bool FileSink::flush()
{
    write_all(buffered());
    empty_buffer();
    return error_ == 0;
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
    if (flush()) {
        error_ = platform::seek_to(handle_, offset);
    }
}

}  // namespace mixmidi
