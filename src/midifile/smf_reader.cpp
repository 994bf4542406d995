#include "midifile/smf_reader.h"

#include <algorithm>

namespace mixmidi {

namespace {

constexpr std::size_t chunk_prefix_size = 8;  // four bytes of type, four of length
constexpr std::size_t header_data_size = 6;
constexpr std::size_t vlq_max_bytes = 4;

// A position inside one span, with the offset of that span in the file so
// that faults can name file offsets.
struct Cursor {
    std::span<const std::uint8_t> bytes;
    std::size_t base = 0;
    std::size_t pos = 0;

    [[nodiscard]] std::size_t left() const { return bytes.size() - pos; }
    [[nodiscard]] std::size_t file_offset() const { return base + pos; }
};

struct Fault {
    ReadFault kind = ReadFault::none;
    std::size_t offset = 0;
};

constexpr std::uint32_t read_be32(std::span<const std::uint8_t> b)
{
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

constexpr std::uint16_t read_be16(std::span<const std::uint8_t> b)
{
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

// Reads a variable-length quantity at the cursor, advancing past it.
Fault read_vlq(Cursor& at, std::uint32_t& value)
{
    const std::size_t start = at.file_offset();
    value = 0;
    for (std::size_t i = 0; i < vlq_max_bytes; ++i) {
        if (at.left() == 0) {
            return {ReadFault::vlq_past_end, start};
        }
        const std::uint8_t byte = at.bytes[at.pos++];
        value = (value << 7) | (byte & 0x7FU);
        if ((byte & 0x80U) == 0) {
            return {};
        }
    }
    return {ReadFault::vlq_too_long, start};
}

// Takes count bytes at the cursor into out, or reports the given fault at start.
Fault take(Cursor& at, std::size_t count, std::span<const std::uint8_t>& out, ReadFault fault, std::size_t start)
{
    if (count > at.left()) {
        return {fault, start};
    }
    out = at.bytes.subspan(at.pos, count);
    at.pos += count;
    return {};
}

constexpr std::size_t data_bytes_for(std::uint8_t status)
{
    const auto high = status & 0xF0U;
    return (high == 0xC0U || high == 0xD0U) ? 1 : 2;
}

// Reads the one or two data bytes of a channel message.
Fault read_channel_data(Cursor& at, Event& event)
{
    const std::size_t first_data = at.pos;
    const std::size_t count = data_bytes_for(event.status);
    if (at.left() < count) {
        return {ReadFault::truncated_event, event.offset};
    }
    event.data = at.bytes.subspan(first_data, count);
    for (std::size_t i = 0; i < count; ++i) {
        if (event.data[i] >= 0x80) {
            return {ReadFault::data_byte_out_of_range, at.base + first_data + i};
        }
    }
    at.pos = first_data + count;
    return {};
}

Fault read_sysex(Cursor& at, Event& event, UncountedSysex uncounted)
{
    if (event.kind == EventKind::sysex && uncounted != nullptr) {
        if (const std::size_t size = uncounted(at.bytes.subspan(at.pos)); size > 0 && size <= at.left()) {
            event.uncounted = true;
            event.data = at.bytes.subspan(at.pos, size);
            at.pos += size;
            return {};
        }
    }
    const std::size_t count_offset = at.file_offset();
    std::uint32_t count = 0;
    if (const Fault fault = read_vlq(at, count); fault.kind != ReadFault::none) {
        return fault;
    }
    return take(at, count, event.data, ReadFault::length_past_end, count_offset);
}

Fault read_meta(Cursor& at, Event& event)
{
    if (at.left() == 0) {
        return {ReadFault::truncated_event, event.offset};
    }
    event.meta_type = at.bytes[at.pos++];
    const std::size_t length_offset = at.file_offset();
    std::uint32_t length = 0;
    if (const Fault fault = read_vlq(at, length); fault.kind != ReadFault::none) {
        return fault;
    }
    return take(at, length, event.data, ReadFault::length_past_end, length_offset);
}

// Reads one event at the cursor; the running status is carried from one call
// to the next.
Fault read_event(Cursor& at, std::uint8_t& running_status, UncountedSysex uncounted, Event& event)
{
    const std::size_t start = at.pos;
    event.offset = at.file_offset();
    if (const Fault fault = read_vlq(at, event.delta); fault.kind != ReadFault::none) {
        return fault;
    }
    if (at.left() == 0) {
        return {ReadFault::truncated_event, event.offset};
    }
    const std::size_t status_offset = at.file_offset();
    const std::uint8_t first = at.bytes[at.pos];
    Fault fault;
    if (first < 0x80) {
        if (running_status == 0) {
            return {ReadFault::no_running_status, status_offset};
        }
        event.kind = EventKind::channel;
        event.status = running_status;
        event.running_status = true;
        fault = read_channel_data(at, event);
    } else if (first < 0xF0) {
        ++at.pos;
        event.kind = EventKind::channel;
        event.status = first;
        running_status = first;
        fault = read_channel_data(at, event);
    } else if (first == 0xF0 || first == 0xF7 || first == 0xFF) {
        ++at.pos;
        event.status = first;
        // System-exclusive and meta events cancel any running status.
        running_status = 0;
        if (first == 0xFF) {
            event.kind = EventKind::meta;
            fault = read_meta(at, event);
        } else {
            event.kind = first == 0xF0 ? EventKind::sysex : EventKind::escape;
            fault = read_sysex(at, event, uncounted);
        }
    } else {
        return {ReadFault::bad_status, status_offset};
    }
    if (fault.kind == ReadFault::none) {
        event.bytes = at.bytes.subspan(start, at.pos - start);
    }
    return fault;
}

Fault read_track_events(const Chunk& chunk, std::size_t data_offset, UncountedSysex uncounted, SmfVisitor& visitor)
{
    Cursor at{chunk.data, data_offset, 0};
    std::uint8_t running_status = 0;
    // Each event takes at least two bytes, so the loop always advances.
    while (at.left() > 0) {
        Event event;
        if (const Fault fault = read_event(at, running_status, uncounted, event); fault.kind != ReadFault::none) {
            return fault;
        }
        visitor.on_event(event);
    }
    return {};
}

// Keeps every chunk and event, for read_smf without a visitor.
class Collector final : public SmfVisitor {
public:
    explicit Collector(SmfFile& file) : file_(file) {}
    void on_chunk(const Chunk& chunk) override { file_.chunks.push_back(chunk); }
    void on_event(const Event& event) override { file_.chunks.back().events.push_back(event); }

private:
    SmfFile& file_;
};

std::string_view chunk_type(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), 4};
}

}  // namespace

std::string_view describe_fault(ReadFault fault)
{
    switch (fault) {
    case ReadFault::none:
        return "no fault";
    case ReadFault::empty_file:
        return "the file is empty";
    case ReadFault::not_midi:
        return "not a MIDI file: it does not begin with MThd";
    case ReadFault::truncated_header:
        return "the file ends inside its header";
    case ReadFault::short_header:
        return "the header chunk is shorter than 6 bytes";
    case ReadFault::truncated_chunk:
        return "the file ends inside a chunk's type and length";
    case ReadFault::chunk_past_end:
        return "the chunk's length runs past the end of the file";
    case ReadFault::truncated_event:
        return "the track ends inside an event";
    case ReadFault::vlq_past_end:
        return "a variable-length number runs past the end of the track";
    case ReadFault::vlq_too_long:
        return "a variable-length number is longer than four bytes";
    case ReadFault::length_past_end:
        return "the event's length runs past the end of the track";
    case ReadFault::no_running_status:
        return "a data byte where a status byte belongs";
    case ReadFault::data_byte_out_of_range:
        return "a data byte with its top bit set";
    case ReadFault::bad_status:
        return "a status byte that has no place in a file";
    case ReadFault::missing_tracks:
        return "the file holds fewer tracks than its header announces";
    }
    return "unknown fault";
}

ReadResult read_smf(std::span<const std::uint8_t> bytes, UncountedSysex uncounted, SmfVisitor& visitor)
{
    ReadResult result;
    const auto fail = [&result](Fault fault) {
        result.fault = fault.kind;
        result.fault_offset = fault.offset;
        return result;
    };
    if (bytes.empty()) {
        return fail({ReadFault::empty_file, 0});
    }
    constexpr std::string_view header_type = "MThd";
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(bytes.size(), 4));
    if (!header_type.starts_with(start)) {
        return fail({ReadFault::not_midi, 0});
    }
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const bool is_header = pos == 0;
        const std::size_t left = bytes.size() - pos;
        if (left < chunk_prefix_size) {
            return fail({is_header ? ReadFault::truncated_header : ReadFault::truncated_chunk, pos});
        }
        const auto prefix = bytes.subspan(pos, chunk_prefix_size);
        const std::uint32_t length = read_be32(prefix.subspan(4));
        if (length > left - chunk_prefix_size) {
            return fail({is_header ? ReadFault::truncated_header : ReadFault::chunk_past_end, pos + 4});
        }
        Chunk chunk;
        chunk.offset = pos;
        chunk.type = chunk_type(prefix);
        chunk.bytes = bytes.subspan(pos, chunk_prefix_size + length);
        chunk.data = chunk.bytes.subspan(chunk_prefix_size);
        pos += chunk.bytes.size();
        if (is_header) {
            if (length < header_data_size) {
                return fail({ReadFault::short_header, 4});
            }
            result.header = {read_be16(chunk.data), read_be16(chunk.data.subspan(2)), read_be16(chunk.data.subspan(4))};
            visitor.on_header(result.header);
            visitor.on_chunk(chunk);
            continue;
        }
        visitor.on_chunk(chunk);
        if (chunk.type == "MTrk") {
            ++result.tracks_found;
            if (const Fault fault = read_track_events(chunk, chunk.offset + chunk_prefix_size, uncounted, visitor);
                fault.kind != ReadFault::none) {
                return fail(fault);
            }
        }
    }
    if (result.tracks_found < result.header.tracks) {
        return fail({ReadFault::missing_tracks, bytes.size()});
    }
    return result;
}

SmfFile read_smf(std::span<const std::uint8_t> bytes, UncountedSysex uncounted)
{
    SmfFile file;
    Collector collector(file);
    const ReadResult result = read_smf(bytes, uncounted, collector);
    file.header = result.header;
    file.fault = result.fault;
    file.fault_offset = result.fault_offset;
    return file;
}

}  // namespace mixmidi
