// Feeds arbitrary bytes to the reader, the decoder and the listing that
// --show prints. Any crash, sanitizer report or hang is a fault.
#include "encode/decoder.h"
#include "encode/listing.h"
#include "midifile/smf_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const mixmidi::SmfFile file = mixmidi::read_smf(bytes, mixmidi::uncounted_text_message);
    for (const auto& chunk : file.chunks) {
        for (const auto& event : chunk.events) {
            // Every event lies inside the file, where the reader says it is.
            if (event.bytes.data() != data + event.offset || event.offset + event.bytes.size() > size) {
                __builtin_trap();
            }
        }
    }
    if (file.fault == mixmidi::ReadFault::none && !file.chunks.empty()) {
        (void)mixmidi::rebuild_command(file);
        (void)mixmidi::standard_form(file);
    }
    (void)mixmidi::list_file(bytes, "fuzz.mid");
    return 0;
}
