#include "midifile/smf_writer.h"

namespace mixmidi {

std::uint32_t write_file_header(ByteSink& stream)
{
    stream.write(file_header);
    return 0;
}

void finish_track(ByteSink& stream, std::uint32_t track_byte_count)
{
    stream.write(end_of_track);
    stream.seek(track_length_offset);
    stream.write(big_endian_32(track_byte_count + static_cast<std::uint32_t>(end_of_track.size())));
}

}  // namespace mixmidi
