#include "encode/text_message.h"

#include "midifile/smf_writer.h"

#include <array>

namespace mixmidi {

bool text_fits(std::size_t text_size) { return text_size <= vlq_max - text_overhead; }

std::uint32_t write_text_message(ByteSink& stream, std::uint8_t selector, std::string_view text)
{
    const auto count = static_cast<std::uint32_t>(text.size()) + text_overhead;
    const Vlq length = variable_length_quantity(count);

    const std::array<std::uint8_t, 2> start = {0x00, sysex_start};
    stream.write(start);
    stream.write(std::span(length.bytes).first(length.size));
    stream.write(text_prefix);
    stream.write(std::span(&selector, 1));
    stream.write(text_infix);
    stream.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    stream.write(std::span(&sysex_end, 1));
    return static_cast<std::uint32_t>(start.size() + length.size) + count;
}

}  // namespace mixmidi
