#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mixmidi {

// Reading a Standard MIDI File from memory. Every read is checked against the
// end of the bytes; a fault comes back as a value naming what is wrong and the
// offset, from the start of the file, where it was found.

enum class ReadFault : std::uint8_t {
    none,
    empty_file,
    not_midi,                // the file does not begin with "MThd"
    truncated_header,        // the file ends inside the header chunk
    short_header,            // a header chunk shorter than its six bytes
    truncated_chunk,         // the file ends inside a chunk's type and length
    chunk_past_end,          // a chunk's length runs past the end of the file
    truncated_event,         // the track ends inside an event
    vlq_past_end,            // a variable-length quantity runs past the end of its track
    vlq_too_long,            // a variable-length quantity of more than four bytes
    length_past_end,         // a system-exclusive or meta length runs past the end of its track
    no_running_status,       // a data byte where a status byte belongs, with no status to repeat
    data_byte_out_of_range,  // a channel message's data byte with the top bit set
    bad_status,              // a status byte a file cannot hold (F1 to F6, F8 to FE)
    missing_tracks,          // the file ends before the number of tracks its header announces
};

// One line of description per fault, as in "the track ends inside an event".
std::string_view describe_fault(ReadFault fault);

enum class EventKind : std::uint8_t {
    channel,  // a channel message: status 80 to EF
    sysex,    // F0, a count, then the bytes it counts
    escape,   // F7, a count, then the bytes it counts
    meta,     // FF, a type, a length, then the data
};

struct Event {
    std::size_t offset = 0;               // of its delta time, from the start of the file
    std::span<const std::uint8_t> bytes;  // the whole event, delta time included
    std::uint32_t delta = 0;
    EventKind kind = EventKind::channel;
    std::uint8_t status = 0;  // for channel messages the status in force, running or not
    bool running_status = false;
    // A system-exclusive event written without its count: F0, then bytes up to F7.
    bool uncounted = false;
    std::uint8_t meta_type = 0;
    // Channel messages: their one or two data bytes. System exclusive and
    // escapes: the bytes after the count (for F0, up to and including its F7).
    // Meta events: the data after the length.
    std::span<const std::uint8_t> data;
};

struct Chunk {
    std::size_t offset = 0;  // of its four-byte type
    std::string_view type;
    std::span<const std::uint8_t> bytes;  // the type, the length and the data
    std::span<const std::uint8_t> data;
    std::vector<Event> events;  // read only for "MTrk" chunks
};

struct SmfHeader {
    std::uint16_t format = 0;
    std::uint16_t tracks = 0;
    std::uint16_t division = 0;
};

// Some writers leave out the count after F0. Given the bytes after an F0,
// such a recogniser returns how many of them (up to and including the F7)
// make the uncounted message, or 0 where the bytes are not one.
using UncountedSysex = std::size_t (*)(std::span<const std::uint8_t> after_f0);

struct ReadResult {
    SmfHeader header;
    ReadFault fault = ReadFault::none;
    std::size_t fault_offset = 0;  // where the fault was found
    std::size_t tracks_found = 0;  // "MTrk" chunks read
};

// Takes a file's chunks and events as they are read, in file order.
class SmfVisitor {
public:
    // The header chunk's fields, just before that chunk is given to on_chunk.
    virtual void on_header(const SmfHeader&) {}
    // Every chunk, the header chunk first, before its events; events stays empty.
    virtual void on_chunk(const Chunk& chunk) = 0;
    // Each event of the last "MTrk" chunk given to on_chunk.
    virtual void on_event(const Event& event) = 0;

protected:
    SmfVisitor() = default;
    SmfVisitor(const SmfVisitor&) = default;
    SmfVisitor& operator=(const SmfVisitor&) = default;
    ~SmfVisitor() = default;
};

// Reads the header chunk, every chunk after it and the events of every
// track, up to the end of the bytes or the first fault, handing each to the
// visitor as it goes: memory does not grow with the file. The spans handed
// over point into bytes.
ReadResult read_smf(std::span<const std::uint8_t> bytes, UncountedSysex uncounted, SmfVisitor& visitor);

struct SmfFile {
    SmfHeader header;
    std::vector<Chunk> chunks;  // the header chunk first, then the others in file order
    ReadFault fault = ReadFault::none;
    std::size_t fault_offset = 0;  // where the fault was found; the chunks before it are kept
};

// The same, kept whole: every chunk with the events of every track.
// The chunks and events point into bytes, which must outlive the result.
SmfFile read_smf(std::span<const std::uint8_t> bytes, UncountedSysex uncounted = nullptr);

}  // namespace mixmidi
