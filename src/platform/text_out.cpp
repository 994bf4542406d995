#include "platform/text_out.h"

namespace mixmidi {

bool TextOut::flush()
{
    const std::string_view pending(buffer_.data(), used_);
    used_ = 0;
    if (capture_ != nullptr) {
        capture_->append(pending);
    } else if (error_ == 0 && !pending.empty()) {
        error_ = platform::write_all(handle_,
                                     std::span(reinterpret_cast<const std::uint8_t*>(pending.data()), pending.size()));
    }
    return error_ == 0;
}

void TextOut::put_slow(std::string_view text)
{
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            flush();
        }
        const std::size_t room = std::min(buffer_.size() - used_, text.size());
        std::memcpy(buffer_.data() + used_, text.data(), room);
        used_ += room;
        text.remove_prefix(room);
    }
}

}  // namespace mixmidi
