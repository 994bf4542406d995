#pragma once

#include "midifile/byte_sink.h"

#include <cstdint>
#include <string_view>

namespace mixmidi {

// A text message is a system-exclusive event:
//   00 F0 <count> 00 00 7E <selector> 00 08 00 <text> F7
// where the count, a variable-length quantity, covers every byte after it up
// to and including the F7, and the selector is 40 for -d1 and 80 for -d2.
inline constexpr std::uint8_t sysex_start = 0xF0;
inline constexpr std::uint8_t sysex_end = 0xF7;
inline constexpr std::uint8_t text_prefix[3] = {0x00, 0x00, 0x7E};
inline constexpr std::uint8_t text_infix[3] = {0x00, 0x08, 0x00};
// The fixed bytes the count covers besides the text: prefix, selector, infix, F7.
inline constexpr std::uint32_t text_overhead = 8;

// Whether a text of this many bytes fits in one event's count.
bool text_fits(std::size_t text_size);

// Writes the event; returns the number of bytes written. The text must fit.
std::uint32_t write_text_message(ByteSink& stream, std::uint8_t selector, std::string_view text);

}  // namespace mixmidi
