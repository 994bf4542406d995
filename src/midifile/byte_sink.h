#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace mixmidi {

// Where a MIDI file's bytes go: a buffered file, or memory in tests.
// A sink may lend a buffer: then a write that fits is a plain copy, inlined
// at the call, and only a full buffer reaches the sink's own code (overflow).
// Failures are sticky: once a write or the seek has failed, failed() stays
// true and later writes are dropped, so a caller checks once, at the end.
class ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes)
    {
        if (bytes.size() <= static_cast<std::size_t>(end_ - next_)) {
            if (!bytes.empty()) {
                std::memcpy(next_, bytes.data(), bytes.size());
                next_ += bytes.size();
            }
            return;
        }
        overflow(bytes);
    }
    // Moves the write position to an absolute offset from the start.
    virtual void seek(std::uint64_t offset) = 0;
    [[nodiscard]] virtual bool failed() const = 0;

protected:
    ByteSink() = default;
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;
    ~ByteSink() = default;

    // Takes bytes that do not fit in the rest of the buffer.
    virtual void overflow(std::span<const std::uint8_t> bytes) = 0;

    void set_buffer(std::uint8_t* begin, std::uint8_t* end)
    {
        begin_ = begin;
        next_ = begin;
        end_ = end;
    }
    [[nodiscard]] std::span<const std::uint8_t> buffered() const
    {
        return {begin_, static_cast<std::size_t>(next_ - begin_)};
    }
    void empty_buffer() { next_ = begin_; }

private:
    std::uint8_t* begin_ = nullptr;
    std::uint8_t* next_ = nullptr;
    std::uint8_t* end_ = nullptr;
};

}  // namespace mixmidi
