#include "encode/decoder.h"
#include "midifile/smf_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;

constexpr std::string_view format0_header = "4D 54 68 64 00 00 00 06 00 00 00 01 00 60 ";

// A format-0 file whose one track holds exactly these bytes, with its length
// right and no end-of-track event added: the events start at offset 22.
Bytes one_track(std::string_view track_hex)
{
    const Bytes track = hex(track_hex);
    Bytes file = hex(format0_header);
    file.insert(file.end(), {'M', 'T', 'r', 'k', 0, 0, static_cast<std::uint8_t>(track.size() >> 8),
                             static_cast<std::uint8_t>(track.size() & 0xFF)});
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// Each event of every chunk as "offset: bytes", to compare in one go.
std::vector<std::string> event_list(const SmfFile& file)
{
    std::vector<std::string> events;
    for (const auto& chunk : file.chunks) {
        for (const auto& event : chunk.events) {
            events.push_back(std::to_string(event.offset) + ": " +
                             test::to_hex(Bytes(event.bytes.begin(), event.bytes.end())));
        }
    }
    return events;
}

struct ReadCase {
    const char* name;
    Bytes bytes;
    ReadFault fault;
    std::size_t fault_offset;
    std::vector<std::string> events;  // those read before any fault
};

TEST(SmfReader, ReadsTheEventsOfEveryTrack)
{
    const ReadCase cases[] = {
        {"what mixmidi writes",
         one_track("00 B2 07 64 00 FF 2F 00"),
         ReadFault::none,
         0,
         {"22: 00 B2 07 64", "26: 00 FF 2F 00"}},
        {"running status and a two-byte delta",
         one_track("00 B2 07 64 81 00 0A 40"),
         ReadFault::none,
         0,
         {"22: 00 B2 07 64", "26: 81 00 0A 40"}},
        {"program change and channel pressure have one data byte",
         one_track("00 C1 05 00 D1 07 00 E0 00 40"),
         ReadFault::none,
         0,
         {"22: 00 C1 05", "25: 00 D1 07", "28: 00 E0 00 40"}},
        {"meta event with data", one_track("00 FF 03 03 4D 69 78"), ReadFault::none, 0, {"22: 00 FF 03 03 4D 69 78"}},
        {"sysex and escape with their counts",
         one_track("00 F0 03 01 02 F7 00 F7 01 F8"),
         ReadFault::none,
         0,
         {"22: 00 F0 03 01 02 F7", "28: 00 F7 01 F8"}},
        {"a delta of four bytes, the most there is",
         one_track("FF FF FF 7F B0 07 01"),
         ReadFault::none,
         0,
         {"22: FF FF FF 7F B0 07 01"}},
        {"two tracks and a foreign chunk between them",
         hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60  4D 54 72 6B 00 00 00 04 00 FF 2F 00 "
             "58 59 5A 5A 00 00 00 02 B0 07  4D 54 72 6B 00 00 00 07 00 90 3C 40 10 3C 00"),
         ReadFault::none,
         0,
         {"22: 00 FF 2F 00", "44: 00 90 3C 40", "48: 10 3C 00"}},
        {"a header chunk longer than six bytes",
         hex("4D 54 68 64 00 00 00 08 00 00 00 01 00 60 AA BB  4D 54 72 6B 00 00 00 04 00 FF 2F 00"),
         ReadFault::none,
         0,
         {"24: 00 FF 2F 00"}},
        {"a header that announces no track, and none",
         hex("4D 54 68 64 00 00 00 06 00 00 00 00 00 60"),
         ReadFault::none,
         0,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SmfFile file = read_smf(c.bytes);
        EXPECT_EQ(file.fault, c.fault);
        EXPECT_EQ(event_list(file), c.events);
    }
}

TEST(SmfReader, ReportsEachFaultWithItsOffset)
{
    const ReadCase cases[] = {
        {"empty file", {}, ReadFault::empty_file, 0, {}},
        {"not a MIDI file", hex("52 49 46 46 00 00 00 06"), ReadFault::not_midi, 0, {}},
        {"one byte that is no M", hex("00"), ReadFault::not_midi, 0, {}},
        {"the first bytes of MThd only", hex("4D 54 68"), ReadFault::truncated_header, 0, {}},
        {"header cut short", hex("4D 54 68 64 00 00 00 06 00 00"), ReadFault::truncated_header, 4, {}},
        {"header chunk shorter than six bytes", hex("4D 54 68 64 00 00 00 02 00 00"), ReadFault::short_header, 4, {}},
        {"track chunk type cut short",
         hex(std::string(format0_header) + "4D 54 72"),
         ReadFault::truncated_chunk,
         14,
         {}},
        {"track length past the end",
         hex(std::string(format0_header) + "4D 54 72 6B 00 00 00 09 00 FF 2F 00"),
         ReadFault::chunk_past_end,
         18,
         {}},
        {"track length near 2^32",
         hex(std::string(format0_header) + "4D 54 72 6B FF FF FF FF 00"),
         ReadFault::chunk_past_end,
         18,
         {}},
        {"delta runs past the end of the track",
         one_track("00 B0 07 64 81"),
         ReadFault::vlq_past_end,
         26,
         {"22: 00 B0 07 64"}},
        {"delta of five bytes", one_track("FF FF FF FF 00 B0 07 64"), ReadFault::vlq_too_long, 22, {}},
        {"track ends after the delta", one_track("00"), ReadFault::truncated_event, 22, {}},
        {"track ends inside a controller", one_track("00 B0 07"), ReadFault::truncated_event, 22, {}},
        {"track ends inside a meta event", one_track("00 FF"), ReadFault::truncated_event, 22, {}},
        {"sysex count past the end", one_track("00 F0 05 01 F7"), ReadFault::length_past_end, 24, {}},
        {"sysex count runs past the end", one_track("00 F0 81"), ReadFault::vlq_past_end, 24, {}},
        {"meta length past the end", one_track("00 FF 01 04 41"), ReadFault::length_past_end, 25, {}},
        {"data byte with no status before it", one_track("00 40 00"), ReadFault::no_running_status, 23, {}},
        {"sysex cancels the running status",
         one_track("00 B0 07 64 00 F0 01 F7 00 07 10"),
         ReadFault::no_running_status,
         31,
         {"22: 00 B0 07 64", "26: 00 F0 01 F7"}},
        {"status byte where a data byte belongs", one_track("00 B0 87 00"), ReadFault::data_byte_out_of_range, 24, {}},
        {"system common byte", one_track("00 F4"), ReadFault::bad_status, 23, {}},
        {"second track cut short",
         hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60  4D 54 72 6B 00 00 00 04 00 FF 2F 00  4D 54 72 6B 00 00 00 05 "
             "00 90 3C 40"),
         ReadFault::chunk_past_end,
         30,
         {"22: 00 FF 2F 00"}},
        {"fault in the second track keeps the first",
         hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60  4D 54 72 6B 00 00 00 04 00 FF 2F 00  4D 54 72 6B 00 00 00 03 "
             "00 90 3C"),
         ReadFault::truncated_event,
         34,
         {"22: 00 FF 2F 00"}},
        {"a header and no track", hex(format0_header), ReadFault::missing_tracks, 14, {}},
        {"two tracks announced, one held, cut at a chunk boundary",
         hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60  4D 54 72 6B 00 00 00 04 00 FF 2F 00"),
         ReadFault::missing_tracks,
         26,
         {"22: 00 FF 2F 00"}},
        {"a foreign chunk is no track",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60  58 59 5A 5A 00 00 00 00"),
         ReadFault::missing_tracks,
         22,
         {}},
        {"bytes after the last chunk",
         hex(std::string(format0_header) + "4D 54 72 6B 00 00 00 00 00 00"),
         ReadFault::truncated_chunk,
         22,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SmfFile file = read_smf(c.bytes);
        EXPECT_EQ(file.fault, c.fault);
        EXPECT_EQ(file.fault_offset, c.fault_offset);
        EXPECT_EQ(event_list(file), c.events);
    }
}

TEST(SmfReader, KeepsWhatEachEventIs)
{
    Bytes long_sysex = hex("00 F0 81 00");
    long_sysex.resize(long_sysex.size() + 128, 0x11);
    Bytes track_bytes = hex("00 B2 07 64  83 60 0A 40  00 FF 51 03 07 A1 20");
    track_bytes.insert(track_bytes.end(), long_sysex.begin(), long_sysex.end());
    const Bytes bytes = one_track(test::to_hex(track_bytes));
    const SmfFile file = read_smf(bytes);  // its spans point into bytes
    ASSERT_EQ(file.fault, ReadFault::none);
    EXPECT_EQ(file.header.format, 0);
    EXPECT_EQ(file.header.tracks, 1);
    EXPECT_EQ(file.header.division, 96);
    ASSERT_EQ(file.chunks.size(), 2U);
    const auto& events = file.chunks[1].events;
    ASSERT_EQ(events.size(), 4U);
    EXPECT_FALSE(events[0].running_status);
    EXPECT_EQ(events[1].delta, 480U);
    EXPECT_TRUE(events[1].running_status);
    EXPECT_EQ(events[1].status, 0xB2);
    EXPECT_EQ(Bytes(events[1].data.begin(), events[1].data.end()), hex("0A 40"));
    EXPECT_EQ(events[2].kind, EventKind::meta);
    EXPECT_EQ(events[2].meta_type, 0x51);
    EXPECT_EQ(Bytes(events[2].data.begin(), events[2].data.end()), hex("07 A1 20"));
    EXPECT_EQ(events[3].kind, EventKind::sysex);
    EXPECT_EQ(events[3].data.size(), 128U);  // a count of two bytes
}

TEST(SmfReader, TakesATextMessageWithoutItsCountOnlyWhereTheRecogniserSaysSo)
{
    const Bytes file_bytes = one_track("00 F0 00 00 7E 40 00 08 00 48 49 F7  00 B0 07 64");
    const SmfFile plain = read_smf(file_bytes);
    // Read by the rule for F0, the 00 is a count of zero and the rest is garbage.
    EXPECT_EQ(plain.fault, ReadFault::no_running_status);

    const SmfFile file = read_smf(file_bytes, uncounted_text_message);
    ASSERT_EQ(file.fault, ReadFault::none);
    ASSERT_EQ(file.chunks[1].events.size(), 2U);
    const Event& text = file.chunks[1].events[0];
    EXPECT_TRUE(text.uncounted);
    EXPECT_EQ(text.bytes.size(), 12U);
    EXPECT_EQ(Bytes(text.data.begin(), text.data.end()), hex("00 00 7E 40 00 08 00 48 49 F7"));
}

}  // namespace
}  // namespace mixmidi
