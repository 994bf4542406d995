#include "encode/encoder.h"

#include "encode/text_message.h"

namespace mixmidi {

EncodeResult encode_text(const PreparedOption& prepared, ByteSink& stream)
{
    if (!text_fits(prepared.setting.size())) {
        return {0, Rejection::text_too_long};
    }
    return {write_text_message(stream, prepared.entry->number, prepared.setting), Rejection::none};
}

EncodeResult encode_option(std::string_view option, std::string_view setting, int channel, ByteSink& stream)
{
    const ControllerEntry* entry = find_option(option);
    if (entry == nullptr) {
        return {0, Rejection::unknown_option};
    }
    return encode_entry(*entry, setting, channel, stream);
}

}  // namespace mixmidi
