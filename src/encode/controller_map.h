#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mixmidi {

// How an option's setting becomes the message's value.
enum class SettingKind : std::uint8_t {
    level,       // a number, clamped to 0..127
    keyword,     // on_keyword gives 127, off_keyword gives 0
    fixed_zero,  // the setting is ignored, the value is 0
    text,        // the setting goes out as text in a system-exclusive event
};

struct ControllerEntry {
    std::string_view option;
    SettingKind kind;
    // The controller number; for text options, the byte that tells -d1 from -d2.
    std::uint8_t number;
    // Board-wide options are sent once, on channel 1, whatever the channel.
    bool board_wide;
    std::string_view on_keyword;
    std::string_view off_keyword;
};

inline constexpr std::uint8_t keyword_on_value = 127;
inline constexpr std::uint8_t keyword_off_value = 0;

// The one map from options to messages: the encoder writes from it and the
// decoder reads back through it. Options are looked up in this order.
inline constexpr std::array<ControllerEntry, 19> controller_map = {{
    {"-vol", SettingKind::level, 7, false, {}, {}},
    {"-bal", SettingKind::level, 8, false, {}, {}},
    {"-pan", SettingKind::level, 10, false, {}, {}},
    {"-exp", SettingKind::level, 11, false, {}, {}},
    {"-fx1", SettingKind::level, 12, false, {}, {}},
    {"-fx2", SettingKind::level, 13, false, {}, {}},
    {"-fx1p", SettingKind::keyword, 80, false, "pre", "post"},
    {"-fx2p", SettingKind::keyword, 81, false, "pre", "post"},
    {"-fx1m", SettingKind::keyword, 82, false, "true", "false"},
    {"-fx2m", SettingKind::keyword, 83, false, "true", "false"},
    {"-withfx", SettingKind::keyword, 15, false, "true", "false"},
    {"-setflags", SettingKind::level, 20, false, {}, {}},
    {"-sendmix", SettingKind::fixed_zero, 21, false, {}, {}},
    {"-master", SettingKind::level, 23, true, {}, {}},
    {"-reset", SettingKind::fixed_zero, 120, true, {}, {}},
    {"-d1", SettingKind::text, 0x40, false, {}, {}},
    {"-d2", SettingKind::text, 0x80, false, {}, {}},
    {"-load", SettingKind::level, 24, true, {}, {}},
    {"-save", SettingKind::level, 22, true, {}, {}},
}};

// The entry for an option name, compared exactly; nullptr if there is none.
constexpr const ControllerEntry* find_option(std::string_view option)
{
    for (const auto& entry : controller_map) {
        if (entry.option == option) {
            return &entry;
        }
    }
    return nullptr;
}

// The reverse: the entry whose number this is, among the Control Change
// options or, when text is true, among the text options; nullptr if none.
constexpr const ControllerEntry* find_number(std::uint8_t number, bool text)
{
    for (const auto& entry : controller_map) {
        if (entry.number == number && (entry.kind == SettingKind::text) == text) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace mixmidi
