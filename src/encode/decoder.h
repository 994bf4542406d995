#pragma once

#include "encode/controller_map.h"
#include "midifile/smf_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mixmidi {

// Recognises a text message written without the count after F0, as earlier
// versions wrote it: 00 00 7E <selector> 00 08 00 <text> F7. Returns the
// number of bytes after the F0 up to and including the first F7, or 0.
std::size_t uncounted_text_message(std::span<const std::uint8_t> after_f0);

// One event read back as a mixer setting, where it is one.
struct DecodedEvent {
    const ControllerEntry* entry = nullptr;  // nullptr for events that are no mixer setting
    int channel = 0;                         // zero-based; for text messages it plays no part
    std::string setting;                     // the command-line word that writes it
    std::string description;                 // what it does, as in "channel 3  -vol 100"
};

DecodedEvent decode_event(const Event& event);

// The arguments of the one run of mixmidi that writes exactly these bytes
// (or, for text messages without their count, the standard form of them):
// the channel, then the option/setting pairs. Where there is no such run,
// words is empty and reason says why.
struct Rebuild {
    std::vector<std::string> words;
    std::string reason;
};

Rebuild rebuild_command(const SmfFile& file);

// The file as mixmidi writes it today: every text message without its count
// given one, and the track lengths to match.
std::vector<std::uint8_t> standard_form(const SmfFile& file);

// Text for a listing, in double quotes, with control bytes, quotes and
// backslashes written as escapes ("\n", "\x01") so that it stays on one line.
std::string quote_text(std::string_view text);

// A word as a POSIX shell reads it back unchanged: as it is when made only of
// safe characters, else in single quotes.
std::string shell_quote(std::string_view word);

// "mixmidi FILE WORDS...", quoted, with the file name kept from being read
// as one of the program's own flags.
std::string command_line(std::string_view file_name, const std::vector<std::string>& words);

}  // namespace mixmidi
