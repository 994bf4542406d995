#pragma once

#include "encode/decoder.h"
#include "midifile/smf_reader.h"
#include "platform/text_out.h"

namespace mixmidi {

// Writes what an event does, as in "channel 3  -vol 100", "board  -master 90"
// or "text  -d1 \"HELLO\"", then any note on its timing. Other events are
// described plainly: other controllers, notes, meta events, system exclusive.
void describe_event(TextOut& out, const Event& event, const DecodedSetting& setting);

}  // namespace mixmidi
