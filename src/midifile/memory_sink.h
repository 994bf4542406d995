#pragma once

#include "midifile/byte_sink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mixmidi {

// A sink that keeps the file in memory. It can be told to fail once a given
// number of bytes has been written, to stand in for a full disk.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::size_t capacity = SIZE_MAX) : capacity_(capacity) {}

    void seek(std::uint64_t offset) override
    {
        if (offset > data_.size()) {
            failed_ = true;
            return;
        }
        position_ = static_cast<std::size_t>(offset);
    }

    [[nodiscard]] bool failed() const override { return failed_; }
    [[nodiscard]] const std::vector<std::uint8_t>& bytes() const { return data_; }

protected:
    // Lends no buffer, so every write arrives here.
    void overflow(std::span<const std::uint8_t> bytes) override
    {
        if (failed_) {
            return;
        }
        if (position_ + bytes.size() > capacity_) {
            failed_ = true;
            return;
        }
        // Overwrites what is there (after a seek back), then appends the rest.
        const std::size_t overwrite = std::min(bytes.size(), data_.size() - position_);
        std::copy_n(bytes.begin(), overwrite, data_.begin() + static_cast<std::ptrdiff_t>(position_));
        data_.insert(data_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(overwrite), bytes.end());
        position_ += bytes.size();
    }

private:
    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
    std::size_t capacity_;
    bool failed_ = false;
};

}  // namespace mixmidi
