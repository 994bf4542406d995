#include "encode/listing.h"

#include "encode/decoder.h"
#include "midifile/smf_reader.h"

#include <cstdio>

namespace mixmidi {

namespace {

// The hex column is as wide as eight bytes; longer events push the meaning right.
constexpr std::size_t hex_column_width = 23;
constexpr std::size_t header_chunk_size = 14;
constexpr std::size_t chunk_prefix_size = 8;

std::string hex_bytes(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const auto byte : bytes) {
        std::array<char, 4> pair{};
        std::snprintf(pair.data(), pair.size(), "%02X ", byte);
        text += pair.data();
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

void add_line(std::string& out, std::size_t offset, std::span<const std::uint8_t> bytes, std::string_view meaning)
{
    std::array<char, 32> number{};
    std::snprintf(number.data(), number.size(), "%7zu  ", offset);
    std::string hex = hex_bytes(bytes);
    if (hex.size() < hex_column_width) {
        hex.resize(hex_column_width, ' ');
    }
    out += number.data();
    out += hex;
    out += "  ";
    out += meaning;
    out += '\n';
}

std::string describe_header(const SmfHeader& header, std::size_t data_size)
{
    std::string text = "header: format " + std::to_string(header.format) + ", " + std::to_string(header.tracks) +
                       (header.tracks == 1 ? " track, " : " tracks, ");
    if ((header.division & 0x8000U) != 0) {
        text += "SMPTE time";
    } else {
        text += std::to_string(header.division) + " ticks per quarter note";
    }
    if (data_size > 6) {
        text += ", " + std::to_string(data_size - 6) + " more bytes ignored";
    }
    return text;
}

std::string byte_count(std::size_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

}  // namespace

Listing list_file(std::span<const std::uint8_t> bytes, std::string_view file_name)
{
    const SmfFile file = read_smf(bytes, uncounted_text_message);
    Listing listing;
    std::string& out = listing.text;
    int track_number = 0;
    for (const auto& chunk : file.chunks) {
        if (chunk.offset == 0) {
            add_line(out, 0, chunk.bytes.first(header_chunk_size), describe_header(file.header, chunk.data.size()));
            continue;
        }
        const auto prefix = chunk.bytes.first(chunk_prefix_size);
        if (chunk.type != "MTrk") {
            add_line(out, chunk.offset, prefix,
                     "chunk " + quote_text(chunk.type) + ": " + byte_count(chunk.data.size()) +
                         ", not a track, skipped");
            continue;
        }
        add_line(out, chunk.offset, prefix,
                 "track " + std::to_string(++track_number) + ": " + byte_count(chunk.data.size()));
        for (const auto& event : chunk.events) {
            add_line(out, event.offset, event.bytes, decode_event(event).description);
        }
    }
    if (file.fault != ReadFault::none) {
        out += "Cannot read file " + std::string(file_name) + " at offset " + std::to_string(file.fault_offset) + ": " +
               std::string(describe_fault(file.fault)) + "\n";
        return listing;
    }
    const Rebuild rebuild = rebuild_command(file);
    if (rebuild.words.empty()) {
        out += "No single run of mixmidi writes this file: " + rebuild.reason + ".\n";
    } else {
        out += command_line(file_name, rebuild.words) + "\n";
    }
    listing.read_to_end = true;
    return listing;
}

}  // namespace mixmidi
