#pragma once

#include "midifile/byte_sink.h"
#include "platform/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace mixmidi {

// A sink over an open file, buffered so that a long run makes few system
// calls and keeps its memory flat. The file stays the caller's: flush()
// before closing it.
class FileSink final : public ByteSink {
public:
    explicit FileSink(platform::Handle handle) : handle_(handle)
    {
        set_buffer(buffer_.data(), buffer_.data() + buffer_.size());
    }

    void seek(std::uint64_t offset) override;
    // Writes out what is buffered; returns false if anything failed so far.
    bool flush();
    [[nodiscard]] bool failed() const override { return error_ != 0; }
    [[nodiscard]] platform::Error error() const { return error_; }

protected:
    void overflow(std::span<const std::uint8_t> bytes) override;

private:
    void write_all(std::span<const std::uint8_t> bytes);

    platform::Handle handle_;
    platform::Error error_ = 0;
    std::array<std::uint8_t, 64 * 1024> buffer_{};
};

}  // namespace mixmidi
