#pragma once

#include "midifile/byte_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace mixmidi {

// A Standard MIDI File of format 0: one track, every event at delta-time 0.
//
//   offset  0  "MThd" 00 00 00 06  format 0  one track  96 ticks per quarter
//   offset 14  "MTrk" and the track length, patched in by finish_track
//   offset 22  the events, then 00 FF 2F 00 (end of track)

inline constexpr std::size_t header_size = 22;
inline constexpr std::size_t track_length_offset = 18;
inline constexpr std::array<std::uint8_t, 4> end_of_track = {0x00, 0xFF, 0x2F, 0x00};

inline constexpr std::array<std::uint8_t, header_size> file_header = {
    'M',  'T',  'h', 'd', 0x00, 0x00, 0x00, 0x06,  // header chunk, length 6
    0x00, 0x00,                                    // format 0
    0x00, 0x01,                                    // one track
    0x00, 0x60,                                    // 96 ticks per quarter note
    'M',  'T',  'r', 'k', 0x00, 0x00, 0x00, 0x00,  // track chunk, length patched at the end
};

// The four bytes of a 32-bit value, most significant first.
constexpr std::array<std::uint8_t, 4> big_endian_32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>((value >> 24) & 0xFF), static_cast<std::uint8_t>((value >> 16) & 0xFF),
            static_cast<std::uint8_t>((value >> 8) & 0xFF), static_cast<std::uint8_t>(value & 0xFF)};
}

// A variable-length quantity: seven bits a byte, most significant group
// first, the top bit set on every byte but the last. Values up to 0x0FFFFFFF
// take at most four bytes, the most a Standard MIDI File allows.
struct Vlq {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t size = 0;
};

inline constexpr std::uint32_t vlq_max = 0x0FFFFFFF;

constexpr Vlq variable_length_quantity(std::uint32_t value)
{
    Vlq vlq;
    std::size_t groups = 1;
    while (groups < 4 && (value >> (7 * groups)) != 0) {
        ++groups;
    }
    for (std::size_t i = 0; i < groups; ++i) {
        const auto shift = 7 * (groups - 1 - i);
        const auto continuation = (i + 1 < groups) ? 0x80U : 0x00U;
        vlq.bytes[i] = static_cast<std::uint8_t>(((value >> shift) & 0x7F) | continuation);
    }
    vlq.size = groups;
    return vlq;
}

// Writes the fixed 22-byte header; returns 0, the starting track byte count.
std::uint32_t write_file_header(ByteSink& stream);

// Writes delta, status, data1, data2: the low eight bits of each. Inline,
// since a run with all channels writes one per channel and option.
inline void write_event_bytes(ByteSink& stream, int delta, int status, int data1, int data2)
{
    const std::array<std::uint8_t, 4> event = {
        static_cast<std::uint8_t>(delta & 0xFF), static_cast<std::uint8_t>(status & 0xFF),
        static_cast<std::uint8_t>(data1 & 0xFF), static_cast<std::uint8_t>(data2 & 0xFF)};
    stream.write(event);
}

// Appends the end-of-track event and patches the track length at offset 18:
// the events' byte count plus the four bytes of the end-of-track event.
void finish_track(ByteSink& stream, std::uint32_t track_byte_count);

}  // namespace mixmidi
