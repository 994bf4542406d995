#pragma once

#include "encode/decoder.h"
#include "midifile/smf_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mixmidi {

// The arguments, after the file name, of the one run of mixmidi that writes
// exactly a file's bytes (or, for text messages without their count, the
// standard form of them): the channel, then the option/setting pairs, with
// -chan where the channel changes. Where there is no such run, words is
// empty and reason says why.
struct Rebuild {
    std::vector<std::string> words;
    std::string reason;
};

// The file as mixmidi writes it today: every text message written without
// its count given one, and the track length to match. For a file of a header
// and one track that reads without a fault.
std::vector<std::uint8_t> standard_form(std::span<const std::uint8_t> bytes);

// A word of the command line may hold fewer bytes than this, its NUL included
// (Linux's limit on one argument).
inline constexpr std::size_t max_argument_size = 128 * 1024;

// Finds the command while the file is read, keeping bounded state: it stops
// collecting words once they would take more than argument_budget bytes,
// each with its NUL and a pointer, as the system counts an argument list.
class RebuildFinder {
public:
    RebuildFinder(std::string_view file_name, std::size_t argument_budget);

    void on_chunk(const Chunk& chunk);
    void on_event(const Event& event, const DecodedSetting& setting);
    // After the whole file was read without a fault.
    Rebuild finish(std::span<const std::uint8_t> bytes);

private:
    // What a group of events needs of the channel selected when it is written:
    // bit c for channel c (0 to 15), bit 16 for all.
    using ChannelMask = std::uint32_t;
    struct Pending {
        DecodedSetting setting;
        std::size_t offset = 0;
    };

    void set_reason(std::string reason);
    bool starts_group(const DecodedSetting& first, const DecodedSetting& next, std::size_t index) const;
    void take(const DecodedSetting& setting);
    void settle_front(bool at_end);
    void add_unit(ChannelMask mask, const DecodedSetting& setting);
    void close_segment();
    void add_word(std::vector<std::string>& words, std::string word);

    std::string reason_;
    std::size_t budget_;
    std::size_t used_ = 0;
    bool too_long_ = false;
    std::size_t chunks_ = 0;
    bool ended_ = false;  // the track's end-of-track event was read
    bool any_setting_ = false;
    bool any_uncounted_ = false;
    std::vector<DecodedSetting> window_;  // at most 16: the settings that may yet be one pair under "all"
    ChannelMask segment_mask_ = 0;        // 0 before the first setting
    int last_channel_ = 0;
    std::vector<std::string> segment_words_;
    std::vector<std::string> words_;
};

}  // namespace mixmidi
