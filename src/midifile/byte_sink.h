#pragma once

#include <cstdint>
#include <span>

namespace mixmidi {

// Where a MIDI file's bytes go: a buffered file, or memory in tests.
// Failures are sticky: once a write or the seek has failed, failed() stays
// true and later writes are dropped, so a caller checks once, at the end.
class ByteSink {
public:
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    // Moves the write position to an absolute offset from the start.
    virtual void seek(std::uint64_t offset) = 0;
    [[nodiscard]] virtual bool failed() const = 0;

protected:
    ByteSink() = default;
    ByteSink(const ByteSink&) = default;
    ByteSink& operator=(const ByteSink&) = default;
    ~ByteSink() = default;
};

}  // namespace mixmidi
