#pragma once

#include "midifile/byte_sink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace mixmidi {

// A sink that keeps nothing: it compares what is written with the bytes
// expected, so that a run can be checked against a file without a second
// copy of it. The bytes in [deferred_begin, deferred_end) are compared only
// once written after a seek, since a writer fills them in at the end (the
// track length).
class CompareSink final : public ByteSink {
public:
    CompareSink(std::span<const std::uint8_t> expected, std::size_t deferred_begin, std::size_t deferred_end)
        : expected_(expected), deferred_begin_(deferred_begin), deferred_end_(deferred_end)
    {
    }

    void seek(std::uint64_t offset) override
    {
        position_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, expected_.size() + 1));
        sought_ = true;
    }
    [[nodiscard]] bool failed() const override { return false; }

    // Whether everything written matches and covers the expected bytes exactly.
    [[nodiscard]] bool matches() const { return !differs_ && end_ == expected_.size(); }
    // The first offset that differs (or where the written bytes end short or run long).
    [[nodiscard]] std::size_t first_difference() const { return differs_ ? first_difference_ : end_; }

protected:
    void overflow(std::span<const std::uint8_t> bytes) override
    {
        const bool clear_of_deferred =
            sought_ || position_ >= deferred_end_ || position_ + bytes.size() <= deferred_begin_;
        if (clear_of_deferred && position_ + bytes.size() <= expected_.size() &&
            std::memcmp(expected_.data() + position_, bytes.data(), bytes.size()) == 0) {
            position_ += bytes.size();
            end_ = std::max(end_, position_);
            return;
        }
        for (const std::uint8_t byte : bytes) {
            const bool deferred = !sought_ && position_ >= deferred_begin_ && position_ < deferred_end_;
            if (!deferred && (position_ >= expected_.size() || expected_[position_] != byte)) {
                note_difference(position_);
            }
            ++position_;
        }
        end_ = std::max(end_, position_);
    }

private:
    void note_difference(std::size_t offset)
    {
        if (!differs_ || offset < first_difference_) {
            first_difference_ = offset;
        }
        differs_ = true;
    }

    std::span<const std::uint8_t> expected_;
    std::size_t deferred_begin_;
    std::size_t deferred_end_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    std::size_t first_difference_ = 0;
    bool differs_ = false;
    bool sought_ = false;
};

}  // namespace mixmidi
