#include "midifile/smf_writer.h"

namespace mixmidi {

std::uint32_t write_file_header(ByteSink& stream)
{
    stream.write(file_header);
    return 0;
}

void write_event_bytes(ByteSink& stream, int delta, int status, int data1, int data2)
{
    const std::array<std::uint8_t, 4> event = {
        static_cast<std::uint8_t>(delta & 0xFF), static_cast<std::uint8_t>(status & 0xFF),
        static_cast<std::uint8_t>(data1 & 0xFF), static_cast<std::uint8_t>(data2 & 0xFF)};
    stream.write(event);
}

void finish_track(ByteSink& stream, std::uint32_t track_byte_count)
{
    stream.write(end_of_track);
    stream.seek(track_length_offset);
    stream.write(big_endian_32(track_byte_count + static_cast<std::uint32_t>(end_of_track.size())));
}

}  // namespace mixmidi
