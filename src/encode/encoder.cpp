#include "encode/encoder.h"

#include "encode/text_message.h"
#include "midifile/smf_writer.h"

#include <cstdint>
#include <limits>

namespace mixmidi {

namespace {

constexpr bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

EncodeResult write_control_change(const ControllerEntry& entry, int channel, std::uint8_t value, ByteSink& stream)
{
    write_event_bytes(stream, 0, control_change_status(channel), entry.number, value);
    return {4, Rejection::none};
}

}  // namespace

std::int32_t parse_number(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing it at one past the
    // 32-bit limit, so that however many digits follow it cannot overflow.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        if (magnitude < limit) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::uint8_t parse_level(std::string_view setting)
{
    const std::int32_t number = parse_number(setting);
    if (number < 0) {
        return 0;
    }
    if (number > 127) {
        return 127;
    }
    return static_cast<std::uint8_t>(number);
}

EncodeResult encode_entry(const ControllerEntry& entry, std::string_view setting, int channel, ByteSink& stream)
{
    switch (entry.kind) {
    case SettingKind::level:
        return write_control_change(entry, channel, parse_level(setting), stream);
    case SettingKind::fixed_zero:
        return write_control_change(entry, channel, 0, stream);
    case SettingKind::keyword:
        if (setting == entry.on_keyword) {
            return write_control_change(entry, channel, keyword_on_value, stream);
        }
        if (setting == entry.off_keyword) {
            return write_control_change(entry, channel, keyword_off_value, stream);
        }
        return {0, Rejection::bad_keyword};
    case SettingKind::text:
        if (!text_fits(setting.size())) {
            return {0, Rejection::text_too_long};
        }
        return {write_text_message(stream, entry.number, setting), Rejection::none};
    }
    return {0, Rejection::unknown_option};
}

EncodeResult encode_option(std::string_view option, std::string_view setting, int channel, ByteSink& stream)
{
    const ControllerEntry* entry = find_option(option);
    if (entry == nullptr) {
        return {0, Rejection::unknown_option};
    }
    return encode_entry(*entry, setting, channel, stream);
}

}  // namespace mixmidi
