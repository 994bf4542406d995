#pragma once

#include "encode/encoder.h"
#include "midifile/byte_sink.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mixmidi {

// The command line's own word for changing the channel part way: its setting
// is a channel as the channel argument takes it. It is no controller.
inline constexpr std::string_view channel_option = "-chan";

// The zero-based channel selector for a channel argument: 0 to 15, or
// all_channels for "all"; nothing for anything else.
std::optional<int> parse_channel(std::string_view argument);

// What a run tells its caller as it goes.
class RunReport {
public:
    // The channel argument, or a -chan, took effect.
    virtual void channel_set(int channel_selector) = 0;
    // An option or setting was skipped (once for each channel it would have gone to).
    virtual void rejected(Rejection rejection, std::string_view option, std::string_view setting) = 0;
    // The last option has no setting.
    virtual void dangling(std::string_view option) = 0;

protected:
    RunReport() = default;
    RunReport(const RunReport&) = default;
    RunReport& operator=(const RunReport&) = default;
    ~RunReport() = default;
};

struct RunTotals {
    std::uint64_t byte_count = 0;  // the track's event bytes
    bool skipped = false;          // something was rejected or left dangling
};

// The words after the channel argument, as the command line holds them.
using Words = std::span<const char* const>;

// The first -chan setting, among the pairs, that is no channel; nullptr if
// every one is good. Checked before any file is touched.
const char* find_bad_channel(Words pairs);

// Writes the events of a run: the option/setting pairs in order, each once
// on channel 1 when board-wide, else on the selected channel or on each of
// the 16 in turn; -chan changes the selection for the pairs after it. The
// -chan settings must have been checked with find_bad_channel.
RunTotals write_pairs(Words pairs, int channel_selector, ByteSink& sink, RunReport& report);

}  // namespace mixmidi
