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
    explicit FileSink(int fd) : fd_(fd) {}

    void write(std::span<const std::uint8_t> bytes) override
    {
        if (bytes.size() <= buffer_.size() - used_) {
            // The common case, a few bytes into a buffer with room.
            std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
            used_ += bytes.size();
            return;
        }
        write_slow(bytes);
    }

    void seek(std::uint64_t offset) override;
    // Writes out what is buffered; returns false if anything failed so far.
    bool flush();
    [[nodiscard]] bool failed() const override { return failed_; }

private:
    void write_slow(std::span<const std::uint8_t> bytes);
    void write_all(const std::uint8_t* data, std::size_t size);

    int fd_;
    bool failed_ = false;
    std::size_t used_ = 0;
    std::array<std::uint8_t, 64 * 1024> buffer_{};
};

}  // namespace mixmidi
