#include "show/listing.h"

#include "encode/decoder.h"
#include "midifile/smf_reader.h"
#include "platform/platform.h"
#include "show/describe.h"
#include "show/escape.h"
#include "show/rebuild.h"
#include "show/shell_quote.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace mixmidi {

namespace {

// Far beyond any file a run of mixmidi writes; stops /dev/zero and the like.
constexpr std::size_t max_input_size = std::size_t{256} << 20;
// The hex column is as wide as eight bytes; longer events push the meaning right.
constexpr std::size_t hex_column_width = 23;
constexpr std::size_t offset_width = 7;
constexpr std::size_t header_chunk_size = 14;
constexpr std::size_t chunk_prefix_size = 8;

// Most events are a few bytes: their line start is written in one piece.
constexpr std::size_t short_event = 64;
constexpr std::size_t short_line_start = 20 + 2 + short_event * 3 + 2;

void put_short_line_start(TextOut& out, std::size_t offset, std::span<const std::uint8_t> bytes)
{
    constexpr std::string_view hex = "0123456789ABCDEF";
    char* const start = out.room(short_line_start);
    std::array<char, 20> digits{};
    const auto digits_end = std::to_chars(digits.data(), digits.data() + digits.size(), offset).ptr;
    const auto digit_count = static_cast<std::size_t>(digits_end - digits.data());
    char* p = start;
    if (digit_count < offset_width) {
        std::memset(p, ' ', offset_width - digit_count);
        p += offset_width - digit_count;
    }
    p = std::copy(digits.data(), digits_end, p);
    *p++ = ' ';
    *p++ = ' ';
    char* const hex_start = p;
    for (const std::uint8_t byte : bytes) {
        *p++ = hex[byte >> 4];
        *p++ = hex[byte & 0x0F];
        *p++ = ' ';
    }
    if (!bytes.empty()) {
        --p;
    }
    const auto hex_width = static_cast<std::size_t>(p - hex_start);
    const std::size_t pad = (hex_width < hex_column_width ? hex_column_width - hex_width : 0) + 2;
    std::memset(p, ' ', pad);
    p += pad;
    out.commit(static_cast<std::size_t>(p - start));
}

void put_line_start(TextOut& out, std::size_t offset, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() <= short_event) {
        put_short_line_start(out, offset, bytes);
        return;
    }
    out.put_decimal(offset, offset_width);
    out.put("  ");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out.put(' ');
        }
        out.put_hex(bytes[i]);
    }
    const std::size_t width = bytes.empty() ? 0 : bytes.size() * 3 - 1;
    for (std::size_t i = width; i < hex_column_width; ++i) {
        out.put(' ');
    }
    out.put("  ");
}

void put_plural(TextOut& out, std::size_t count, std::string_view one, std::string_view many)
{
    out.put_decimal(count);
    out.put(count == 1 ? one : many);
}

void describe_header(TextOut& out, const SmfHeader& header, std::size_t data_size)
{
    out.put("header: format ");
    out.put_decimal(header.format);
    out.put(", ");
    put_plural(out, header.tracks, " track, ", " tracks, ");
    if ((header.division & 0x8000U) != 0) {
        out.put("SMPTE time");
    } else {
        out.put_decimal(header.division);
        out.put(" ticks per quarter note");
    }
    if (data_size > 6) {
        out.put(", ");
        out.put_decimal(data_size - 6);
        out.put(" more bytes ignored");
    }
}

// Prints each chunk and event as it is read, and hands them to the rebuild.
class Lister final : public SmfVisitor {
public:
    Lister(TextOut& out, RebuildFinder& rebuild) : out_(out), rebuild_(rebuild) {}

    void on_header(const SmfHeader& header) override { header_ = header; }

    void on_chunk(const Chunk& chunk) override
    {
        rebuild_.on_chunk(chunk);
        ended_ = false;
        if (chunk.offset == 0) {
            put_line_start(out_, 0, chunk.bytes.first(std::min(chunk.bytes.size(), header_chunk_size)));
            describe_header(out_, header_, chunk.data.size());
        } else if (chunk.type != "MTrk") {
            put_line_start(out_, chunk.offset, chunk.bytes.first(chunk_prefix_size));
            out_.put("chunk ");
            put_quoted(out_, chunk.type);
            out_.put(": ");
            put_plural(out_, chunk.data.size(), " byte", " bytes");
            out_.put(", not a track, skipped");
        } else {
            put_line_start(out_, chunk.offset, chunk.bytes.first(chunk_prefix_size));
            out_.put("track ");
            out_.put_decimal(++track_number_);  // counts from 1
            out_.put(": ");
            put_plural(out_, chunk.data.size(), " byte", " bytes");
        }
        out_.put('\n');
    }

    void on_event(const Event& event) override
    {
        const DecodedSetting setting = decode_setting(event);
        rebuild_.on_event(event, setting);
        put_line_start(out_, event.offset, event.bytes);
        describe_event(out_, event, setting);
        if (ended_) {
            out_.put(", after the end of track: players ignore it");
        }
        ended_ = ended_ || (event.kind == EventKind::meta && event.meta_type == 0x2F);
        out_.put('\n');
    }

private:
    TextOut& out_;
    RebuildFinder& rebuild_;
    SmfHeader header_;
    std::uint64_t track_number_ = 0;
    bool ended_ = false;
};

void put_fault(TextOut& out, std::string_view file_name, const ReadResult& result)
{
    out.put("Cannot read file ");
    put_escaped(out, file_name);
    out.put(" at offset ");
    out.put_decimal(result.fault_offset);
    out.put(": ");
    if (result.fault == ReadFault::missing_tracks) {
        out.put("the header announces ");
        put_plural(out, result.header.tracks, " track", " tracks");
        out.put(", the file holds ");
        out.put_decimal(result.tracks_found);
    } else {
        out.put(describe_fault(result.fault));
    }
    out.put('\n');
}

}  // namespace

bool list_file(std::span<const std::uint8_t> bytes, std::string_view file_name, std::size_t argument_budget,
               TextOut& out)
{
    RebuildFinder rebuild(file_name, argument_budget);
    Lister lister(out, rebuild);
    const ReadResult result = read_smf(bytes, uncounted_text_message, lister);
    if (result.fault != ReadFault::none) {
        put_fault(out, file_name, result);
        return false;
    }
    const Rebuild command = rebuild.finish(bytes);
    if (command.words.empty()) {
        out.put("No single run of mixmidi writes this file: ");
        out.put(command.reason);
        out.put(".\n");
    } else {
        put_command_line(out, file_name, command.words);
    }
    return true;
}

bool show_files(std::span<const std::string_view> files, TextOut& out)
{
    const std::size_t argument_budget = platform::argument_space() / 2;
    bool all_read = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string_view file = files[i];
        if (files.size() > 1) {
            out.put(i > 0 ? "\n==> " : "==> ");
            put_escaped(out, file);
            out.put(" <==\n");
        }
        std::vector<std::uint8_t> bytes;
        if (const platform::Error error = platform::read_file(file, max_input_size, bytes); error != 0) {
            out.put("Cannot read file ");
            put_escaped(out, file);
            out.put(": ");
            out.put(platform::error_text(error));
            out.put('\n');
            all_read = false;
            continue;
        }
        all_read = list_file(bytes, file, argument_budget, out) && all_read;
    }
    return all_read;
}

}  // namespace mixmidi
