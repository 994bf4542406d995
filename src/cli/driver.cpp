#include "cli/driver.h"

#include "cli/usage.h"
#include "encode/controller_map.h"
#include "encode/encoder.h"
#include "encode/listing.h"
#include "midifile/file_sink.h"
#include "midifile/memory_sink.h"
#include "midifile/smf_writer.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#ifndef MIXMIDI_VERSION
#define MIXMIDI_VERSION "0.0.0"
#endif

namespace mixmidi {

namespace {

// Far beyond any file a run of mixmidi writes; stops /dev/zero and the like.
constexpr std::size_t max_input_size = std::size_t{256} << 20;

constexpr int first_pair_index = 3;  // program, filename, chan, then the pairs
// The stored track length adds the end-of-track event to the count.
constexpr std::uint64_t max_track_byte_count = std::numeric_limits<std::uint32_t>::max() - end_of_track.size();

void print_line(TextOut& out, std::string_view before, std::string_view subject, std::string_view after)
{
    out.put(before);
    out.put(subject);
    out.put(after);
}

void print_rejection(TextOut& out, Rejection rejection, std::string_view option, std::string_view setting)
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
        out.put(" settings\n");
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
    TextOut& out;
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

void print_channel_line(TextOut& out, int channel_selector)
{
    if (channel_selector == all_channels) {
        out.put("Set all channels\n");
        return;
    }
    out.put("Set channel ");
    out.put_decimal(static_cast<std::uint64_t>(channel_selector + 1));
    out.put('\n');
}

// Writes the events and finishes the track; true if the sink took every byte
// and the track length fits its 32 bits.
bool write_track(ByteSink& sink, TextOut& out, int argc, const char* const* argv, int channel_selector, bool& skipped)
{
    Track track{sink, out, write_file_header(sink)};
    encode_pairs(track, argc, argv, channel_selector);
    skipped = track.skipped;
    const bool fits = track.byte_count <= max_track_byte_count;
    finish_track(sink, static_cast<std::uint32_t>(track.byte_count));
    return fits && !sink.failed();
}

// Writes the file for arguments already known to be good. A file renamed
// into place streams through a small buffer; one written in place or to a
// pipe is built in memory first, since it goes out in one piece.
int write_mixer_file(int argc, const char* const* argv, int channel_selector, TextOut& out, TextOut& err)
{
    const std::string_view path = argv[1];
    platform::OutputFile file;
    if (platform::open_output(path, file) != 0) {
        print_line(path == "-" ? err : out, "Cannot open file ", path, " for writing\n");
        return exit_file_error;
    }
    // The file goes to standard output, so the messages go to standard error.
    TextOut& messages = file.is_standard_output ? err : out;
    print_channel_line(messages, channel_selector);

    bool skipped = false;
    platform::Error error = 0;
    if (file.kind == platform::OutputKind::temp_file) {
        FileSink sink(file.handle);
        const bool written = write_track(sink, messages, argc, argv, channel_selector, skipped) && sink.flush();
        error = platform::commit_output(file, {}, written);
    } else {
        MemorySink sink;
        const bool written = write_track(sink, messages, argc, argv, channel_selector, skipped);
        error = platform::commit_output(file, sink.bytes(), written);
    }
    if (error != 0) {
        print_line(messages, "Cannot write file ", path, "\n");
        return exit_file_error;
    }
    return skipped ? exit_skipped : exit_ok;
}

// Lists a file's events and the command that rebuilds it; writes nothing.
int show_file(const std::string& path, TextOut& out)
{
    std::vector<std::uint8_t> bytes;
    if (const platform::Error error = platform::read_file(path, max_input_size, bytes); error != 0) {
        print_line(out, "Cannot read file ", path, ": ");
        print_line(out, "", platform::error_text(error), "\n");
        return exit_file_error;
    }
    const Listing listing = list_file(bytes, path);
    out.put(listing.text);
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

int run_command_line(int argc, const char* const* argv, TextOut& out, TextOut& err)
{
    const std::string_view program = argc > 0 ? argv[0] : "mixmidi";
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        print_usage(out, program);
        return exit_ok;
    }
    if (first == "--version") {
        out.put("mixmidi " MIXMIDI_VERSION "\n");
        return exit_ok;
    }
    if (first == "--show") {
        if (argc != 3) {
            print_usage(out, program);
            return exit_usage;
        }
        return show_file(argv[2], out);
    }
    // With "-" the file goes to standard output, so the messages go to standard error.
    TextOut& messages = first == "-" ? err : out;
    if (argc < 5) {
        print_usage(messages, program);
        return exit_usage;
    }
    const std::optional<int> channel_selector = parse_channel(argv[2]);
    if (!channel_selector) {
        print_line(messages, "Cannot understand channel ", argv[2], ", use 1-16 or all\n");
        return exit_usage;
    }
    return write_mixer_file(argc, argv, *channel_selector, out, err);
}

int finish_standard_output(TextOut& out, TextOut& err, int status)
{
    out.flush();
    platform::Error error = out.error();
    const platform::Error closed = platform::close_handle(platform::standard_handle(platform::StdStream::output));
    if (error == 0 && !platform::closed_at_start(platform::StdStream::output)) {
        error = closed;
    }
    if (error == 0) {
        return status;
    }
    print_line(err, "Cannot write to standard output: ", platform::error_text(error), "\n");
    err.flush();
    return exit_file_error;
}

int main_entry(int argc, const char* const* argv)
{
    platform::prepare_process();
    TextOut out(platform::StdStream::output);
    TextOut err(platform::StdStream::error);
    const int status = run_command_line(argc, argv, out, err);
    return finish_standard_output(out, err, status);
}

}  // namespace mixmidi
