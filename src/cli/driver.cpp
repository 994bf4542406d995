#include "cli/driver.h"

#include "cli/usage.h"
#include "encode/controller_map.h"
#include "encode/encoder.h"
#include "encode/run.h"
#include "midifile/file_sink.h"
#include "midifile/memory_sink.h"
#include "midifile/smf_writer.h"
#include "platform/platform.h"
#include "show/listing.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#ifndef MIXMIDI_VERSION
#define MIXMIDI_VERSION "0.0.0"
#endif

namespace mixmidi {

namespace {

constexpr int first_pair_index = 3;  // program, filename, chan, then the pairs
// The stored track length adds the end-of-track event to the count.
constexpr std::uint64_t max_track_byte_count = std::numeric_limits<std::uint32_t>::max() - end_of_track.size();

void print_line(TextOut& out, std::string_view before, std::string_view subject, std::string_view after)
{
    out.put(before);
    out.put(subject);
    out.put(after);
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

// The run's messages, printed as they happen.
class PrintedReport final : public RunReport {
public:
    explicit PrintedReport(TextOut& out) : out_(out) {}

    void channel_set(int channel_selector) override { print_channel_line(out_, channel_selector); }

    void rejected(Rejection rejection, std::string_view option, std::string_view setting) override
    {
        switch (rejection) {
        case Rejection::none:
            return;
        case Rejection::unknown_option:
            print_line(out_, "cannot understand option ", option, ", skipping this option\n");
            return;
        case Rejection::bad_keyword: {
            const ControllerEntry* entry = find_option(option);
            print_line(out_, "Cannot understand setting ", setting, "");
            print_line(out_, " for ", option, ", skipping this option\n");
            print_line(out_, "Try using '", entry->on_keyword, "' or '");
            print_line(out_, entry->off_keyword, "' for ", option);
            out_.put(" settings\n");
            return;
        }
        case Rejection::text_too_long:
            print_line(out_, "Text for option ", option, " is too long, skipping this option\n");
            return;
        }
    }

    void dangling(std::string_view option) override
    {
        print_line(out_, "Missing setting for option ", option, ", skipping this option\n");
    }

private:
    TextOut& out_;
};

// Writes the header, the events and the end of the track; true if the sink
// took every byte and the track length fits its 32 bits.
bool write_track(ByteSink& sink, Words pairs, int channel_selector, RunReport& report, bool& skipped)
{
    write_file_header(sink);
    report.channel_set(channel_selector);
    const RunTotals totals = write_pairs(pairs, channel_selector, sink, report);
    skipped = totals.skipped;
    const bool fits = totals.byte_count <= max_track_byte_count;
    finish_track(sink, static_cast<std::uint32_t>(totals.byte_count));
    return fits && !sink.failed();
}

// Writes the file for arguments already known to be good. A file renamed
// into place streams through a small buffer; one written in place or to a
// pipe is built in memory first, since it goes out in one piece.
int write_mixer_file(std::string_view path, Words pairs, int channel_selector, TextOut& out, TextOut& err)
{
    platform::OutputFile file;
    if (platform::open_output(path, file) != 0) {
        print_line(path == "-" ? err : out, "Cannot open file ", path, " for writing\n");
        return exit_file_error;
    }
    // The file goes to standard output, so the messages go to standard error.
    TextOut& messages = file.is_standard_output ? err : out;
    PrintedReport report(messages);
    bool skipped = false;
    platform::Error error = 0;
    if (file.kind == platform::OutputKind::temp_file) {
        FileSink sink(file.handle);
        const bool written = write_track(sink, pairs, channel_selector, report, skipped) && sink.flush();
        error = platform::commit_output(file, {}, written);
    } else {
        MemorySink sink;
        const bool written = write_track(sink, pairs, channel_selector, report, skipped);
        error = platform::commit_output(file, sink.bytes(), written);
    }
    if (error != 0) {
        print_line(messages, "Cannot write file ", path, "\n");
        return exit_file_error;
    }
    return skipped ? exit_skipped : exit_ok;
}

int write_command(int argc, const char* const* argv, TextOut& out, TextOut& err)
{
    const std::string_view program = argv[0];
    // With "-" the file goes to standard output, so the messages go to standard error.
    TextOut& messages = std::string_view(argv[1]) == "-" ? err : out;
    if (argc < 5) {
        print_usage(messages, program);
        return exit_usage;
    }
    const std::optional<int> channel_selector = parse_channel(argv[2]);
    if (!channel_selector) {
        print_line(messages, "Cannot understand channel ", argv[2], ", use 1-16 or all\n");
        return exit_usage;
    }
    const Words pairs(argv + first_pair_index, static_cast<std::size_t>(argc - first_pair_index));
    if (const char* bad = find_bad_channel(pairs)) {
        print_line(messages, "Cannot understand channel ", bad, ", use 1-16 or all\n");
        return exit_usage;
    }
    return write_mixer_file(argv[1], pairs, *channel_selector, out, err);
}

}  // namespace

int run_command_line(int argc, const char* const* argv, TextOut& out, TextOut& err)
{
    const char* const fallback[] = {"mixmidi", nullptr};
    if (argc < 1) {
        argc = 1;
        argv = fallback;
    }
    const std::string_view program = argv[0];
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        print_help(out, program);
        return exit_ok;
    }
    if (first == "--version") {
        out.put("mixmidi " MIXMIDI_VERSION "\n");
        return exit_ok;
    }
    if (first == "--show") {
        if (argc < 3) {
            print_usage(out, program);
            return exit_usage;
        }
        const std::vector<std::string_view> files(argv + 2, argv + argc);
        return show_files(files, out) ? exit_ok : exit_file_error;
    }
    if (argc < 2) {
        print_usage(out, program);
        return exit_usage;
    }
    return write_command(argc, argv, out, err);
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
