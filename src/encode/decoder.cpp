#include "encode/decoder.h"

#include "encode/text_message.h"

#include <algorithm>
#include <charconv>

namespace mixmidi {

namespace {

constexpr std::size_t text_selector_index = 3;  // after the three-byte prefix

bool starts_text_message(std::span<const std::uint8_t> bytes)
{
    return bytes.size() > text_start && std::equal(std::begin(text_prefix), std::end(text_prefix), bytes.begin()) &&
           find_number(bytes[text_selector_index], true) != nullptr &&
           std::equal(std::begin(text_infix), std::end(text_infix), bytes.begin() + text_selector_index + 1);
}

DecodedSetting decode_control_change(int channel, std::uint8_t number, std::uint8_t value)
{
    DecodedSetting decoded;
    decoded.is_control_change = true;
    decoded.channel = channel;
    decoded.controller = number;
    decoded.value = value;
    const ControllerEntry* entry = find_number(number, false);
    if (entry == nullptr) {
        decoded.misfit = Misfit::unknown_controller;
        return decoded;
    }
    decoded.entry = entry;
    if (entry->board_wide && channel != 0) {
        decoded.misfit = Misfit::board_wide_elsewhere;
    } else if (entry->kind == SettingKind::keyword && value != keyword_on_value && value != keyword_off_value) {
        decoded.misfit = Misfit::keyword_value;
    } else if (entry->kind == SettingKind::fixed_zero && value != 0) {
        decoded.misfit = Misfit::nonzero_value;
    }
    if (decoded.misfit != Misfit::none) {
        decoded.entry = nullptr;
        decoded.misfit_option = entry->option;
    }
    return decoded;
}

}  // namespace

std::size_t uncounted_text_message(std::span<const std::uint8_t> after_f0)
{
    if (!starts_text_message(after_f0)) {
        return 0;
    }
    const auto end = std::find(after_f0.begin() + text_start, after_f0.end(), sysex_end);
    return end == after_f0.end() ? 0 : static_cast<std::size_t>(end - after_f0.begin()) + 1;
}

DecodedSetting decode_setting(const Event& event)
{
    if (event.kind == EventKind::channel) {
        if ((event.status & 0xF0) != 0xB0) {
            return {};
        }
        return decode_control_change(event.status & 0x0F, event.data[0], event.data[1]);
    }
    const auto data = event.data;
    if (event.kind == EventKind::sysex && starts_text_message(data) && data.back() == sysex_end) {
        DecodedSetting decoded;
        decoded.entry = find_number(data[text_selector_index], true);
        const auto text = data.subspan(text_start, data.size() - text_start - 1);
        decoded.text = {reinterpret_cast<const char*>(text.data()), text.size()};
        return decoded;
    }
    return {};
}

std::string_view setting_word(const DecodedSetting& setting, std::array<char, 4>& digits)
{
    switch (setting.entry->kind) {
    case SettingKind::level:
    case SettingKind::fixed_zero: {
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), setting.value).ptr;
        return {digits.data(), static_cast<std::size_t>(end - digits.data())};
    }
    case SettingKind::keyword:
        return setting.value == keyword_on_value ? setting.entry->on_keyword : setting.entry->off_keyword;
    case SettingKind::text:
        return setting.text;
    }
    return {};
}

}  // namespace mixmidi
