#pragma once

#include "encode/controller_map.h"
#include "midifile/byte_sink.h"
#include "midifile/smf_writer.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace mixmidi {

enum class Rejection : std::uint8_t {
    none,
    unknown_option,  // the option is not in the controller map
    bad_keyword,     // a keyword option's setting is neither of its keywords
    text_too_long,   // a text longer than a system-exclusive count can hold
};

// What one encode did: the bytes it wrote to the stream, or why it wrote none.
struct EncodeResult {
    std::uint32_t bytes_written = 0;
    Rejection rejection = Rejection::none;
};

// The signed decimal number the text begins with: leading white space, one
// optional sign, digits up to the first non-digit; 0 without digits. Numbers
// beyond the 32-bit range saturate at its limits.
constexpr std::int32_t parse_number(std::string_view text)
{
    std::size_t i = 0;
    // Space, tab, line feed, vertical tab, form feed, carriage return.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude stops growing at one past the 32-bit limit, so that
    // however many digits follow it cannot overflow.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        if (magnitude < limit) {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (negative) {
        return magnitude >= limit ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= limit ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(magnitude);
}

// parse_number clamped to a controller value, 0 to 127.
constexpr std::uint8_t parse_level(std::string_view setting)
{
    const std::int32_t number = parse_number(setting);
    return static_cast<std::uint8_t>(number < 0 ? 0 : number > 127 ? 127 : number);
}

// The Control Change status byte for a zero-based channel: B0 OR its low eight bits.
constexpr int control_change_status(int channel) { return 0xB0 | (channel & 0xFF); }

// An option's setting read once, ready to be written on any number of
// channels: the controller value, or why the setting is rejected.
struct PreparedOption {
    const ControllerEntry* entry = nullptr;
    std::string_view setting;  // the text, for text options
    std::uint8_t value = 0;
    Rejection rejection = Rejection::none;
};

constexpr PreparedOption prepare_option(const ControllerEntry& entry, std::string_view setting)
{
    PreparedOption prepared{&entry, setting};
    switch (entry.kind) {
    case SettingKind::level:
        prepared.value = parse_level(setting);
        break;
    case SettingKind::fixed_zero:
    case SettingKind::text:
        break;
    case SettingKind::keyword:
        if (setting == entry.on_keyword) {
            prepared.value = keyword_on_value;
        } else if (setting == entry.off_keyword) {
            prepared.value = keyword_off_value;
        } else {
            prepared.rejection = Rejection::bad_keyword;
        }
        break;
    }
    return prepared;
}

// Writes a text option's system-exclusive event (see text_message.h).
EncodeResult encode_text(const PreparedOption& prepared, ByteSink& stream);

// Writes a prepared option's message for one zero-based channel. Inline: with
// all channels the driver writes each option 16 times.
inline EncodeResult write_option(const PreparedOption& prepared, int channel, ByteSink& stream)
{
    if (prepared.rejection != Rejection::none) {
        return {0, prepared.rejection};
    }
    if (prepared.entry->kind == SettingKind::text) {
        return encode_text(prepared, stream);
    }
    write_event_bytes(stream, 0, control_change_status(channel), prepared.entry->number, prepared.value);
    return {4, Rejection::none};
}

// Writes one option's message for one zero-based channel, for an option
// already found in the controller map.
inline EncodeResult encode_entry(const ControllerEntry& entry, std::string_view setting, int channel, ByteSink& stream)
{
    return write_option(prepare_option(entry, setting), channel, stream);
}

inline constexpr int all_channels = 16;

// The zero-based channels one option/setting pair goes to, first and count:
// channel 0 once for a board-wide option, else the selected channel once or,
// for a selector of all_channels, each of the 16 in turn.
struct ChannelRun {
    int first = 0;
    int count = 1;
};

constexpr ChannelRun channels_for(bool board_wide, int channel_selector)
{
    if (board_wide) {
        return {0, 1};
    }
    if (channel_selector < all_channels) {
        return {channel_selector, 1};
    }
    return {0, all_channels};
}

// Writes one option's message for one zero-based channel.
EncodeResult encode_option(std::string_view option, std::string_view setting, int channel, ByteSink& stream);

}  // namespace mixmidi
