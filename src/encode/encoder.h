#pragma once

#include "encode/controller_map.h"
#include "midifile/byte_sink.h"

#include <cstdint>
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
std::int32_t parse_number(std::string_view text);

// parse_number clamped to a controller value, 0 to 127.
std::uint8_t parse_level(std::string_view setting);

// The Control Change status byte for a zero-based channel: B0 OR its low eight bits.
constexpr int control_change_status(int channel) { return 0xB0 | (channel & 0xFF); }

// Writes one option's message for one zero-based channel.
EncodeResult encode_option(std::string_view option, std::string_view setting, int channel, ByteSink& stream);

// The same, for an option already found in the controller map.
EncodeResult encode_entry(const ControllerEntry& entry, std::string_view setting, int channel, ByteSink& stream);

}  // namespace mixmidi
