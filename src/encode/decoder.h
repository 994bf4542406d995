#pragma once

#include "encode/controller_map.h"
#include "midifile/smf_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace mixmidi {

// Recognises a text message written without the count after F0, as earlier
// versions wrote it: 00 00 7E <selector> 00 08 00 <text> F7. Returns the
// number of bytes after the F0 up to and including the first F7, or 0.
std::size_t uncounted_text_message(std::span<const std::uint8_t> after_f0);

// Why a Control Change of a known controller is still no setting mixmidi writes.
enum class Misfit : std::uint8_t {
    none,
    unknown_controller,    // no option sends this controller
    board_wide_elsewhere,  // a board-wide option not on channel 1
    keyword_value,         // a keyword option with a value other than 0 or 127
    nonzero_value,         // an option whose value is always 0, with another
};

// One event read back through the controller map.
struct DecodedSetting {
    const ControllerEntry* entry = nullptr;  // the option; nullptr when the event is no mixer setting
    int channel = 0;                         // zero-based, for Control Changes
    std::uint8_t controller = 0;             // for Control Changes
    std::uint8_t value = 0;                  // for Control Changes
    std::string_view text;                   // for text messages
    Misfit misfit = Misfit::none;            // for Control Changes that are no setting
    std::string_view misfit_option;          // the option a misfit's controller belongs to
    bool is_control_change = false;
};

DecodedSetting decode_setting(const Event& event);

// The command-line word that writes a decoded setting: the keyword, the
// number (written into digits) or the text.
std::string_view setting_word(const DecodedSetting& setting, std::array<char, 4>& digits);

// For text messages: where the text starts after the F0 (and its count).
inline constexpr std::size_t text_start = 7;

}  // namespace mixmidi
