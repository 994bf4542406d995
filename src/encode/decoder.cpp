#include "encode/decoder.h"

#include "encode/encoder.h"
#include "encode/text_message.h"
#include "midifile/memory_sink.h"
#include "midifile/smf_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace mixmidi {

namespace {

constexpr std::size_t text_selector_index = 3;  // after the three-byte prefix
constexpr std::size_t text_start = 7;           // prefix, selector, infix

std::string_view as_text(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool starts_text_message(std::span<const std::uint8_t> bytes)
{
    return bytes.size() > text_start && std::equal(std::begin(text_prefix), std::end(text_prefix), bytes.begin()) &&
           find_number(bytes[text_selector_index], true) != nullptr &&
           std::equal(std::begin(text_infix), std::end(text_infix), bytes.begin() + text_selector_index + 1);
}

std::string format(const char* pattern, unsigned a, unsigned b = 0)
{
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), pattern, a, b);
    return buffer.data();
}

std::string channel_label(int channel) { return format("channel %u", static_cast<unsigned>(channel) + 1); }

// The Control Change of a mixer option read back: its setting, or why no run
// of mixmidi writes it.
DecodedEvent decode_control_change(int channel, std::uint8_t number, std::uint8_t value)
{
    const std::string plain = channel_label(channel) + format("  controller %u = %u", number, value);
    const ControllerEntry* entry = find_number(number, false);
    if (entry == nullptr) {
        return {nullptr, channel, {}, plain + ", no mixer setting"};
    }
    const std::string option(entry->option);
    if (entry->board_wide && channel != 0) {
        return {nullptr, channel, {}, plain + ", " + option + " but not on channel 1, where it belongs"};
    }
    std::string setting;
    switch (entry->kind) {
    case SettingKind::level:
        setting = std::to_string(value);
        break;
    case SettingKind::keyword:
        if (value != keyword_on_value && value != keyword_off_value) {
            return {nullptr, channel, {}, plain + ", " + option + " but neither 0 nor 127"};
        }
        setting = value == keyword_on_value ? entry->on_keyword : entry->off_keyword;
        break;
    case SettingKind::fixed_zero:
        if (value != 0) {
            return {nullptr, channel, {}, plain + ", " + option + " but not 0"};
        }
        setting = "0";
        break;
    case SettingKind::text:
        break;
    }
    const std::string where = entry->board_wide ? "board" : channel_label(channel);
    return {entry, channel, setting, where + "  " + option + " " + setting};
}

DecodedEvent decode_channel_message(const Event& event)
{
    const int channel = event.status & 0x0F;
    const unsigned first = event.data[0];
    const unsigned second = event.data.size() > 1 ? event.data[1] : 0;
    const std::string where = channel_label(channel) + "  ";
    switch (event.status & 0xF0) {
    case 0x80:
        return {nullptr, channel, {}, where + format("note off %u, velocity %u", first, second)};
    case 0x90:
        return {nullptr, channel, {}, where + format("note on %u, velocity %u", first, second)};
    case 0xA0:
        return {nullptr, channel, {}, where + format("key pressure %u = %u", first, second)};
    case 0xB0:
        return decode_control_change(channel, event.data[0], event.data[1]);
    case 0xC0:
        return {nullptr, channel, {}, where + format("program change %u", first)};
    case 0xD0:
        return {nullptr, channel, {}, where + format("channel pressure %u", first)};
    default:
        return {nullptr, channel, {}, where + format("pitch bend %u", first | (second << 7))};
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

DecodedEvent decode_meta(const Event& event)
{
    if (event.meta_type == 0x2F && event.data.empty()) {
        return {nullptr, 0, {}, "end of track"};
    }
    std::string description = std::string(meta_name(event.meta_type)) + format(" (FF %02X)", event.meta_type);
    if (event.meta_type >= 0x01 && event.meta_type <= 0x07) {
        return {nullptr, 0, {}, description + " " + quote_text(as_text(event.data))};
    }
    return {nullptr, 0, {}, description + format(", %u bytes", static_cast<unsigned>(event.data.size()))};
}

DecodedEvent decode_sysex(const Event& event)
{
    const auto data = event.data;
    if (event.kind == EventKind::sysex && starts_text_message(data) && data.back() == sysex_end) {
        const ControllerEntry* entry = find_number(data[text_selector_index], true);
        std::string text(as_text(data.subspan(text_start, data.size() - text_start - 1)));
        std::string description = "text  " + std::string(entry->option) + " " + quote_text(text);
        if (event.uncounted) {
            description += ", without its length after F0";
        }
        return {entry, 0, std::move(text), std::move(description)};
    }
    const auto size = static_cast<unsigned>(data.size());
    if (event.kind == EventKind::escape) {
        return {nullptr, 0, {}, format("escaped bytes (F7), %u bytes", size)};
    }
    return {nullptr, 0, {}, format("system exclusive, %u bytes", size)};
}

std::string describe_timing(const Event& event)
{
    std::string notes;
    if (event.delta != 0) {
        notes += format(", %u ticks after the last event", event.delta);
    }
    if (event.running_status) {
        notes += ", running status";
    }
    return notes;
}

struct Pair {
    const ControllerEntry* entry;
    std::string setting;
};

bool same_setting(const DecodedEvent& a, const DecodedEvent& b) { return a.entry == b.entry && a.setting == b.setting; }

// The pairs that write these events on one channel, or nothing.
std::optional<std::vector<Pair>> pairs_for_one_channel(const std::vector<DecodedEvent>& events, int channel)
{
    std::vector<Pair> pairs;
    for (const auto& event : events) {
        const bool any_channel = event.entry->board_wide || event.entry->kind == SettingKind::text;
        if (!any_channel && event.channel != channel) {
            return std::nullopt;
        }
        pairs.push_back({event.entry, event.setting});
    }
    return pairs;
}

// The pairs that write these events with "all": each pair that is not
// board-wide is 16 equal events, on channels 1 to 16 in turn.
std::optional<std::vector<Pair>> pairs_for_all_channels(const std::vector<DecodedEvent>& events)
{
    std::vector<Pair> pairs;
    for (std::size_t i = 0; i < events.size();) {
        const DecodedEvent& first = events[i];
        const ChannelRun run = channels_for(first.entry->board_wide, all_channels);
        if (events.size() - i < static_cast<std::size_t>(run.count)) {
            return std::nullopt;
        }
        for (int k = 0; k < run.count; ++k) {
            const DecodedEvent& event = events[i + static_cast<std::size_t>(k)];
            const bool on_channel = first.entry->kind == SettingKind::text || event.channel == run.first + k;
            if (!same_setting(event, first) || !on_channel) {
                return std::nullopt;
            }
        }
        pairs.push_back({first.entry, first.setting});
        i += static_cast<std::size_t>(run.count);
    }
    return pairs;
}

// What one run with these arguments writes, as the driver writes it.
std::vector<std::uint8_t> write_run(int channel_selector, const std::vector<Pair>& pairs)
{
    MemorySink sink;
    std::uint32_t count = write_file_header(sink);
    for (const auto& pair : pairs) {
        const ChannelRun run = channels_for(pair.entry->board_wide, channel_selector);
        for (int channel = run.first; channel < run.first + run.count; ++channel) {
            count += encode_entry(*pair.entry, pair.setting, channel, sink).bytes_written;
        }
    }
    finish_track(sink, count);
    return sink.bytes();
}

std::vector<std::string> words_for(int channel_selector, const std::vector<Pair>& pairs)
{
    std::vector<std::string> words = {channel_selector == all_channels ? "all" : std::to_string(channel_selector + 1)};
    for (const auto& pair : pairs) {
        words.emplace_back(pair.entry->option);
        words.push_back(pair.setting);
    }
    return words;
}

Rebuild no_run(std::string reason) { return {{}, std::move(reason)}; }

std::string at_offset(std::size_t offset) { return "at offset " + std::to_string(offset); }

std::string channel_list(const std::vector<DecodedEvent>& events)
{
    std::array<bool, all_channels> used{};
    for (const auto& event : events) {
        if (!event.entry->board_wide && event.entry->kind != SettingKind::text) {
            used[static_cast<std::size_t>(event.channel)] = true;
        }
    }
    std::string list;
    for (std::size_t c = 0; c < used.size(); ++c) {
        if (used[c]) {
            list += (list.empty() ? "" : ", ") + std::to_string(c + 1);
        }
    }
    return list;
}

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// An event's bytes, with the count after F0 put in where it was left out.
std::vector<std::uint8_t> standard_event(const Event& event)
{
    std::vector<std::uint8_t> out;
    if (!event.uncounted) {
        append(out, event.bytes);
        return out;
    }
    // The delta time and the F0 come before the message's bytes.
    append(out, event.bytes.first(event.bytes.size() - event.data.size()));
    const Vlq count = variable_length_quantity(static_cast<std::uint32_t>(event.data.size()));
    append(out, std::span(count.bytes).first(count.size));
    append(out, event.data);
    return out;
}

// The offset of the first of the file's events that a run writes otherwise.
std::size_t first_difference(const std::vector<Event>& events, std::span<const std::uint8_t> written)
{
    const SmfFile run = read_smf(written);
    const auto& run_events = run.chunks.at(1).events;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i >= run_events.size() || !std::ranges::equal(standard_event(events[i]), run_events[i].bytes)) {
            return events[i].offset;
        }
    }
    return events.back().offset;
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

DecodedEvent decode_event(const Event& event)
{
    DecodedEvent decoded;
    switch (event.kind) {
    case EventKind::channel:
        decoded = decode_channel_message(event);
        break;
    case EventKind::meta:
        decoded = decode_meta(event);
        break;
    case EventKind::sysex:
    case EventKind::escape:
        decoded = decode_sysex(event);
        break;
    }
    decoded.description += describe_timing(event);
    return decoded;
}

std::vector<std::uint8_t> standard_form(const SmfFile& file)
{
    std::vector<std::uint8_t> out;
    for (const auto& chunk : file.chunks) {
        const bool has_uncounted =
            std::any_of(chunk.events.begin(), chunk.events.end(), [](const Event& e) { return e.uncounted; });
        if (!has_uncounted) {
            append(out, chunk.bytes);
            continue;
        }
        std::vector<std::uint8_t> data;
        for (const auto& event : chunk.events) {
            append(data, standard_event(event));
        }
        append(out, chunk.bytes.first(4));
        append(out, big_endian_32(static_cast<std::uint32_t>(data.size())));
        append(out, data);
    }
    return out;
}

Rebuild rebuild_command(const SmfFile& file)
{
    constexpr std::size_t header_chunk_size = 14;
    if (file.fault != ReadFault::none) {
        return no_run("the file could not be read to its end");
    }
    if (!std::equal(file.chunks[0].bytes.begin(), file.chunks[0].bytes.end(), file_header.begin(),
                    file_header.begin() + header_chunk_size) ||
        file.chunks[0].bytes.size() != header_chunk_size) {
        return no_run("mixmidi writes only the header of format 0, one track, 96 ticks per quarter note");
    }
    if (file.chunks.size() != 2 || file.chunks[1].type != "MTrk") {
        return no_run("mixmidi writes one track chunk and nothing else");
    }
    const auto& track = file.chunks[1].events;
    const bool ends_right = !track.empty() && std::ranges::equal(track.back().bytes, end_of_track);
    if (!ends_right) {
        return no_run("the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes");
    }
    std::vector<DecodedEvent> settings;
    for (std::size_t i = 0; i + 1 < track.size(); ++i) {
        DecodedEvent decoded = decode_event(track[i]);
        if (decoded.entry == nullptr) {
            return no_run("the event " + at_offset(track[i].offset) + " is no mixer setting");
        }
        if (decoded.setting.find('\0') != std::string::npos) {
            return no_run("the text " + at_offset(track[i].offset) +
                          " holds a NUL byte, which no command-line argument can carry");
        }
        settings.push_back(std::move(decoded));
    }
    if (settings.empty()) {
        return no_run("the file holds no settings, and mixmidi writes such a file only when it skips every option");
    }
    // One channel, the one of the first setting that has a channel, or 1.
    const auto with_channel = std::find_if(settings.begin(), settings.end(), [](const DecodedEvent& e) {
        return !e.entry->board_wide && e.entry->kind != SettingKind::text;
    });
    const int channel = with_channel == settings.end() ? 0 : with_channel->channel;
    const auto one = pairs_for_one_channel(settings, channel);
    const auto all = pairs_for_all_channels(settings);
    if (!one && !all) {
        return no_run("the settings go to channels " + channel_list(settings) +
                      ", and one run sets one channel or all 16 in turn");
    }
    // The shorter command; with a tie, the single channel.
    const bool use_all = all && (!one || all->size() < one->size());
    const int selector = use_all ? all_channels : channel;
    const std::vector<Pair>& pairs = use_all ? *all : *one;
    const std::vector<std::uint8_t> wanted = standard_form(file);
    const std::vector<std::uint8_t> written = write_run(selector, pairs);
    if (written != wanted) {
        return no_run("the event " + at_offset(first_difference(track, written)) +
                      " is not as mixmidi writes it: its delta time, running status or length differs");
    }
    return {words_for(selector, pairs), {}};
}

std::string quote_text(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += format("\\x%02X", byte);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string shell_quote(std::string_view word)
{
    const auto safe = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
    };
    if (!word.empty() && std::all_of(word.begin(), word.end(), safe)) {
        return std::string(word);
    }
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string command_line(std::string_view file_name, const std::vector<std::string>& words)
{
    // As the first argument these would not name a file.
    constexpr std::array<std::string_view, 4> flags = {"-h", "--help", "--version", "--show"};
    const bool is_flag = std::find(flags.begin(), flags.end(), file_name) != flags.end();
    std::string path = is_flag ? "./" : "";
    path += file_name;
    std::string line = "mixmidi ";
    line += shell_quote(path);
    for (const auto& word : words) {
        line += ' ';
        line += shell_quote(word);
    }
    return line;
}

}  // namespace mixmidi
