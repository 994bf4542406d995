#pragma once

#include "platform/platform.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace mixmidi {

// Buffered text for a standard stream, or for a string in tests. The first
// failed write is kept and later text is dropped: the caller asks error()
// once, after flush(), and reports it in one place.
class TextOut {
public:
    explicit TextOut(platform::StdStream stream)
        : handle_(platform::standard_handle(stream)),
          error_(platform::closed_at_start(stream) ? platform::closed_stream_error() : 0)
    {
    }
    // Collects the text in a string instead.
    explicit TextOut(std::string& capture) : capture_(&capture) {}
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;
    ~TextOut() { flush(); }

    void put(std::string_view text)
    {
        if (text.size() <= buffer_.size() - used_) {
            std::memcpy(buffer_.data() + used_, text.data(), text.size());
            used_ += text.size();
            return;
        }
        put_slow(text);
    }
    void put(char c)
    {
        if (used_ == buffer_.size()) {
            flush();
        }
        buffer_[used_++] = c;
    }
    void put_decimal(std::uint64_t value)
    {
        std::array<char, 20> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        put(std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
    }
    // Right-aligned in width columns.
    void put_decimal(std::uint64_t value, std::size_t width)
    {
        std::array<char, 20> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        const auto size = static_cast<std::size_t>(end - digits.data());
        for (std::size_t i = size; i < width; ++i) {
            put(' ');
        }
        put(std::string_view(digits.data(), size));
    }
    // Two upper-case hex digits.
    void put_hex(std::uint8_t byte)
    {
        constexpr std::string_view digits = "0123456789ABCDEF";
        put(digits[byte >> 4]);
        put(digits[byte & 0x0F]);
    }

    // Room to write up to size bytes straight into the buffer (size at most
    // the buffer's); commit() then says how many were written.
    char* room(std::size_t size)
    {
        if (buffer_.size() - used_ < size) {
            flush();
        }
        return buffer_.data() + used_;
    }
    void commit(std::size_t size) { used_ += size; }
    static constexpr std::size_t capacity = 64 * 1024;

    // Sends what is buffered; false once anything has failed.
    bool flush();
    [[nodiscard]] platform::Error error() const { return error_; }

private:
    void put_slow(std::string_view text);

    platform::Handle handle_ = platform::no_handle;
    std::string* capture_ = nullptr;
    platform::Error error_ = 0;
    std::size_t used_ = 0;
    std::array<char, capacity> buffer_{};
};

}  // namespace mixmidi
