#pragma once

#include "midifile/byte_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace mixmidi {

// A sink over an open file descriptor, buffered so that a long run makes few
// system calls and keeps its memory flat. The descriptor stays the caller's:
// flush() before closing it.
class FileSink final : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) { set_buffer(buffer_.data(), buffer_.data() + buffer_.size()); }

    void seek(std::uint64_t offset) override;
    // Writes out what is buffered; returns false if anything failed so far.
    bool flush();
    [[nodiscard]] bool failed() const override { return failed_; }

protected:
    void overflow(std::span<const std::uint8_t> bytes) override;

private:
    void write_all(std::span<const std::uint8_t> bytes);

    int fd_;
    bool failed_ = false;
    std::array<std::uint8_t, 64 * 1024> buffer_{};
};

}  // namespace mixmidi
