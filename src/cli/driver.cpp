#include "cli/driver.h"

#include "cli/input_file.h"
#include "cli/output_file.h"
#include "cli/usage.h"
#include "encode/controller_map.h"
#include "encode/encoder.h"
#include "encode/listing.h"
#include "midifile/file_sink.h"
#include "midifile/smf_writer.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#ifndef MIXMIDI_VERSION
#define MIXMIDI_VERSION "0.0.0"
#endif

namespace mixmidi {

namespace {

constexpr int first_pair_index = 3;  // program, filename, chan, then the pairs
// The stored track length adds the end-of-track event to the count.
constexpr std::uint64_t max_track_byte_count = std::numeric_limits<std::uint32_t>::max() - end_of_track.size();

void print_text(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

void print_line(std::FILE* out, std::string_view before, std::string_view subject, std::string_view after)
{
    print_text(out, before);
    print_text(out, subject);
    print_text(out, after);
}

void print_rejection(std::FILE* out, Rejection rejection, std::string_view option, std::string_view setting)
{
    switch (rejection) {
    case Rejection::none:
        return;
    case Rejection::unknown_option:
        print_line(out, "cannot understand option ", option, ", skipping this option\n");
        return;
    case Rejection::bad_keyword: {
        const ControllerEntry* entry = find_option(option);
        print_line(out, "Cannot understand setting ", setting, "");
        print_line(out, " for ", option, ", skipping this option\n");
        print_line(out, "Try using '", entry->on_keyword, "' or '");
        print_line(out, entry->off_keyword, "' for ", option);
        print_text(out, " settings\n");
        return;
    }
    case Rejection::text_too_long:
        print_line(out, "Text for option ", option, " is too long, skipping this option\n");
        return;
    }
}

// The state of one run between the header and the end of the track.
struct Track {
    ByteSink& stream;
    std::FILE* out;
    std::uint64_t byte_count = 0;
    bool skipped = false;
};

// Rare, so kept out of the way of the loop over channels.
[[gnu::noinline, gnu::cold]] void note_rejection(Track& track, Rejection rejection, std::string_view option,
                                                 std::string_view setting)
{
    track.skipped = true;
    print_rejection(track.out, rejection, option, setting);
}

void encode_once(Track& track, const PreparedOption& prepared, std::string_view option, std::string_view setting,
                 int channel)
{
    const EncodeResult result = write_option(prepared, channel, track.stream);
    track.byte_count += result.bytes_written;
    if (result.rejection != Rejection::none) {
        note_rejection(track, result.rejection, option, setting);
    }
}

// One option/setting pair: once on channel 0 for board-wide options, once on
// the selected channel, or once on each of the 16 channels in turn. The
// setting is read once; a rejection is reported once per channel it would
// have gone to.
void encode_pair(Track& track, std::string_view option, std::string_view setting, int channel_selector)
{
    const ControllerEntry* entry = find_option(option);
    const ChannelRun run = channels_for(entry != nullptr && entry->board_wide, channel_selector);
    if (entry == nullptr) {
        for (int pass = 0; pass < run.count; ++pass) {
            note_rejection(track, Rejection::unknown_option, option, setting);
        }
        return;
    }
    const PreparedOption prepared = prepare_option(*entry, setting);
    for (int channel = run.first; channel < run.first + run.count; ++channel) {
        encode_once(track, prepared, option, setting, channel);
    }
}

void encode_pairs(Track& track, int argc, const char* const* argv, int channel_selector)
{
    int i = first_pair_index;
    for (; i + 1 < argc; i += 2) {
        encode_pair(track, argv[i], argv[i + 1], channel_selector);
    }
    if (i < argc) {
        track.skipped = true;
        print_line(track.out, "Missing setting for option ", argv[i], ", skipping this option\n");
    }
}

void print_channel_line(std::FILE* out, int channel_selector)
{
    if (channel_selector == all_channels) {
        print_text(out, "Set all channels\n");
    } else {
        std::fprintf(out, "Set channel %d\n", channel_selector + 1);
    }
}

// Writes the file for arguments already known to be good.
int write_mixer_file(int argc, const char* const* argv, int channel_selector, std::FILE* out)
{
    const std::string path = argv[1];
    OutputFile file;
    if (!open_output(path, file)) {
        print_line(out, "Cannot open file ", path, " for writing\n");
        return exit_file_error;
    }
    print_channel_line(out, channel_selector);

    FileSink sink(file.fd);
    Track track{sink, out, write_file_header(sink)};
    encode_pairs(track, argc, argv, channel_selector);
    const bool fits = track.byte_count <= max_track_byte_count;
    finish_track(sink, static_cast<std::uint32_t>(track.byte_count));

    const bool written = sink.flush() && fits;
    if (!commit_output(file, written)) {
        print_line(out, "Cannot write file ", path, "\n");
        return exit_file_error;
    }
    return track.skipped ? exit_skipped : exit_ok;
}

// Lists a file's events and the command that rebuilds it; writes nothing.
int show_file(const std::string& path, std::FILE* out)
{
    std::vector<std::uint8_t> bytes;
    if (const int error = read_input(path, bytes); error != 0) {
        print_line(out, "Cannot read file ", path, ": ");
        print_line(out, "", std::strerror(error), "\n");
        return exit_file_error;
    }
    const Listing listing = list_file(bytes, path);
    print_text(out, listing.text);
    return listing.read_to_end ? exit_ok : exit_file_error;
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

int run_command_line(int argc, const char* const* argv, std::FILE* out)
{
    const std::string_view program = argc > 0 ? argv[0] : "mixmidi";
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        print_usage(out, program);
        return exit_ok;
    }
    if (first == "--version") {
        print_text(out, "mixmidi " MIXMIDI_VERSION "\n");
        return exit_ok;
    }
    if (first == "--show") {
        if (argc != 3) {
            print_usage(out, program);
            return exit_usage;
        }
        return show_file(argv[2], out);
    }
    if (argc < 5) {
        print_usage(out, program);
        return exit_usage;
    }
    const std::optional<int> channel_selector = parse_channel(argv[2]);
    if (!channel_selector) {
        print_line(out, "Cannot understand channel ", argv[2], ", use 1-16 or all\n");
        return exit_usage;
    }
    return write_mixer_file(argc, argv, *channel_selector, out);
}

}  // namespace mixmidi
