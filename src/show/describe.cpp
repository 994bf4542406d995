#include "show/describe.h"

#include "show/escape.h"

namespace mixmidi {

namespace {

void put_channel(TextOut& out, int channel)
{
    out.put("channel ");
    out.put_decimal(static_cast<std::uint64_t>(channel) + 1);
    out.put("  ");
}

void put_pair(TextOut& out, std::string_view label, unsigned first, std::string_view between, unsigned second)
{
    out.put(label);
    out.put_decimal(first);
    out.put(between);
    out.put_decimal(second);
}

// Why a known controller's message is still no setting mixmidi writes.
std::string_view misfit_reason(Misfit misfit)
{
    switch (misfit) {
    case Misfit::board_wide_elsewhere:
        return " but not on channel 1, where it belongs";
    case Misfit::keyword_value:
        return " but neither 0 nor 127";
    case Misfit::nonzero_value:
        return " but not 0";
    case Misfit::none:
    case Misfit::unknown_controller:
        break;
    }
    return {};
}

void describe_control_change(TextOut& out, const DecodedSetting& setting)
{
    if (setting.entry != nullptr) {
        if (setting.entry->board_wide) {
            out.put("board  ");
        } else {
            put_channel(out, setting.channel);
        }
        std::array<char, 4> digits{};
        out.put(setting.entry->option);
        out.put(' ');
        out.put(setting_word(setting, digits));
        return;
    }
    put_channel(out, setting.channel);
    put_pair(out, "controller ", setting.controller, " = ", setting.value);
    if (setting.misfit == Misfit::none || setting.misfit == Misfit::unknown_controller) {
        out.put(", no mixer setting");
        return;
    }
    out.put(", ");
    out.put(setting.misfit_option);
    out.put(misfit_reason(setting.misfit));
}

void describe_channel_message(TextOut& out, const Event& event, const DecodedSetting& setting)
{
    if ((event.status & 0xF0) == 0xB0) {
        describe_control_change(out, setting);
        return;
    }
    const unsigned first = event.data[0];
    const unsigned second = event.data.size() > 1 ? event.data[1] : 0;
    put_channel(out, event.status & 0x0F);
    switch (event.status & 0xF0) {
    case 0x80:
        put_pair(out, "note off ", first, ", velocity ", second);
        return;
    case 0x90:
        put_pair(out, "note on ", first, ", velocity ", second);
        return;
    case 0xA0:
        put_pair(out, "key pressure ", first, " = ", second);
        return;
    case 0xC0:
        out.put("program change ");
        out.put_decimal(first);
        return;
    case 0xD0:
        out.put("channel pressure ");
        out.put_decimal(first);
        return;
    default:
        out.put("pitch bend ");
        out.put_decimal(first | (second << 7));
        return;
    }
}

std::string_view meta_name(std::uint8_t type)
{
    switch (type) {
    case 0x00:
        return "sequence number";
    case 0x01:
        return "text";
    case 0x02:
        return "copyright";
    case 0x03:
        return "track name";
    case 0x04:
        return "instrument name";
    case 0x05:
        return "lyric";
    case 0x06:
        return "marker";
    case 0x07:
        return "cue point";
    case 0x20:
        return "channel prefix";
    case 0x21:
        return "port";
    case 0x51:
        return "tempo";
    case 0x54:
        return "SMPTE offset";
    case 0x58:
        return "time signature";
    case 0x59:
        return "key signature";
    case 0x7F:
        return "sequencer-specific";
    default:
        return "meta event";
    }
}

void put_byte_count(TextOut& out, std::size_t size)
{
    out.put(", ");
    out.put_decimal(size);
    out.put(size == 1 ? " byte" : " bytes");
}

void describe_meta(TextOut& out, const Event& event)
{
    if (event.meta_type == 0x2F && event.data.empty()) {
        out.put("end of track");
        return;
    }
    out.put(meta_name(event.meta_type));
    out.put(" (FF ");
    out.put_hex(event.meta_type);
    out.put(')');
    if (event.meta_type >= 0x01 && event.meta_type <= 0x07) {
        out.put(' ');
        put_quoted(out, {reinterpret_cast<const char*>(event.data.data()), event.data.size()});
        return;
    }
    put_byte_count(out, event.data.size());
}

void describe_sysex(TextOut& out, const Event& event, const DecodedSetting& setting)
{
    if (setting.entry != nullptr) {
        out.put("text  ");
        out.put(setting.entry->option);
        out.put(' ');
        put_quoted(out, setting.text);
        if (event.uncounted) {
            out.put(", without its length after F0");
        }
        return;
    }
    out.put(event.kind == EventKind::escape ? "escaped bytes (F7)" : "system exclusive");
    put_byte_count(out, event.data.size());
}

}  // namespace

void describe_event(TextOut& out, const Event& event, const DecodedSetting& setting)
{
    switch (event.kind) {
    case EventKind::channel:
        describe_channel_message(out, event, setting);
        break;
    case EventKind::meta:
        describe_meta(out, event);
        break;
    case EventKind::sysex:
    case EventKind::escape:
        describe_sysex(out, event, setting);
        break;
    }
    if (event.delta != 0) {
        out.put(", ");
        out.put_decimal(event.delta);
        out.put(" ticks after the last event");
    }
    if (event.running_status) {
        out.put(", running status");
    }
}

}  // namespace mixmidi
