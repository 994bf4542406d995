#include "encode/run.h"

#include "encode/controller_map.h"

namespace mixmidi {

namespace {

// Rare, so kept out of the way of the loop over channels.
[[gnu::noinline, gnu::cold]] void note_rejection(RunReport& report, RunTotals& totals, Rejection rejection,
                                                 std::string_view option, std::string_view setting)
{
    totals.skipped = true;
    report.rejected(rejection, option, setting);
}

// One option/setting pair on the channels it goes to. The setting is read
// once; a rejection is reported once per channel it would have gone to.
void write_pair(std::string_view option, std::string_view setting, int channel_selector, ByteSink& sink,
                RunReport& report, RunTotals& totals)
{
    const ControllerEntry* entry = find_option(option);
    const ChannelRun run = channels_for(entry != nullptr && entry->board_wide, channel_selector);
    if (entry == nullptr) {
        for (int pass = 0; pass < run.count; ++pass) {
            note_rejection(report, totals, Rejection::unknown_option, option, setting);
        }
        return;
    }
    const PreparedOption prepared = prepare_option(*entry, setting);
    for (int channel = run.first; channel < run.first + run.count; ++channel) {
        const EncodeResult result = write_option(prepared, channel, sink);
        totals.byte_count += result.bytes_written;
        if (result.rejection != Rejection::none) {
            note_rejection(report, totals, result.rejection, option, setting);
        }
    }
}

}  // namespace

std::optional<int> parse_channel(std::string_view argument)
{
    if (argument == "all") {
        return all_channels;
    }
    const std::int32_t number = parse_number(argument);
    if (number < 1 || number > 16) {
        return std::nullopt;
    }
    return number - 1;
}

const char* find_bad_channel(Words pairs)
{
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs[i] == channel_option && !parse_channel(pairs[i + 1])) {
            return pairs[i + 1];
        }
    }
    return nullptr;
}

RunTotals write_pairs(Words pairs, int channel_selector, ByteSink& sink, RunReport& report)
{
    RunTotals totals;
    std::size_t i = 0;
    for (; i + 1 < pairs.size(); i += 2) {
        if (pairs[i] == channel_option) {
            channel_selector = parse_channel(pairs[i + 1]).value_or(channel_selector);
            report.channel_set(channel_selector);
            continue;
        }
        write_pair(pairs[i], pairs[i + 1], channel_selector, sink, report, totals);
    }
    if (i < pairs.size()) {
        totals.skipped = true;
        report.dangling(pairs[i]);
    }
    return totals;
}

}  // namespace mixmidi
