#include "show/rebuild.h"

#include "encode/run.h"
#include "midifile/compare_sink.h"
#include "midifile/smf_writer.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace mixmidi {

namespace {

constexpr std::size_t group_size = all_channels;
constexpr std::uint32_t all_bit = 1U << all_channels;
constexpr std::uint32_t any_single_channel = all_bit - 1;
constexpr std::uint32_t any_selection = all_bit | any_single_channel;
constexpr std::size_t pointer_size = sizeof(char*);

std::string at_offset(std::size_t offset) { return "at offset " + std::to_string(offset); }

bool is_end_of_track(const Event& event)
{
    return event.kind == EventKind::meta && event.meta_type == 0x2F && event.data.empty();
}

// Whether the event's bytes are those the encoder writes for it: delta time
// 0, no running status, the count after F0 in its fewest bytes.
bool written_as_mixmidi_writes(const Event& event)
{
    if (event.delta != 0 || event.running_status || event.bytes[0] != 0x00) {
        return false;
    }
    if (event.kind == EventKind::channel) {
        return event.bytes.size() == 4;
    }
    if (event.uncounted) {
        return true;
    }
    const std::size_t count_size = variable_length_quantity(static_cast<std::uint32_t>(event.data.size())).size;
    return event.bytes.size() == 2 + count_size + event.data.size();
}

bool same_setting(const DecodedSetting& a, const DecodedSetting& b)
{
    return a.entry == b.entry && a.value == b.value && a.text == b.text;
}

bool is_text(const DecodedSetting& setting) { return setting.entry->kind == SettingKind::text; }

// Walks a file's events to find the index of the one that holds a byte
// offset, and the offset of the one at an index; for naming the first event
// a run writes otherwise.
class EventLocator final : public SmfVisitor {
public:
    EventLocator(std::size_t offset, std::size_t index) : offset_(offset), index_(index) {}
    void on_chunk(const Chunk&) override {}
    void on_event(const Event& event) override
    {
        if (!holder_found_ && event.offset + event.bytes.size() > offset_) {
            holder_found_ = true;
            holder_ = count_;
        }
        if (count_ <= index_) {
            offset_at_index_ = event.offset;  // the last event, where there are fewer
        }
        ++count_;
    }
    // The index of the event that holds the offset, or the last one.
    [[nodiscard]] std::size_t holder() const { return holder_found_ ? holder_ : (count_ > 0 ? count_ - 1 : 0); }
    [[nodiscard]] std::size_t offset_at_index() const { return offset_at_index_; }

private:
    std::size_t offset_;
    std::size_t index_;
    std::size_t count_ = 0;
    std::size_t holder_ = 0;
    bool holder_found_ = false;
    std::size_t offset_at_index_ = 0;
};

// The file as mixmidi writes it today: every text message without its count
// given one, and the track length to match. Only for a header and one track.
class StandardForm final : public SmfVisitor {
public:
    void on_chunk(const Chunk& chunk) override
    {
        if (chunk.offset == 0) {
            out_.assign(chunk.bytes.begin(), chunk.bytes.end());
        } else {
            track_type_ = chunk.bytes.first(4);
        }
    }
    void on_event(const Event& event) override
    {
        if (!event.uncounted) {
            track_.insert(track_.end(), event.bytes.begin(), event.bytes.end());
            return;
        }
        // The delta time and the F0 come before the message's bytes.
        const auto head = event.bytes.first(event.bytes.size() - event.data.size());
        track_.insert(track_.end(), head.begin(), head.end());
        const Vlq count = variable_length_quantity(static_cast<std::uint32_t>(event.data.size()));
        track_.insert(track_.end(), count.bytes.begin(), count.bytes.begin() + static_cast<std::ptrdiff_t>(count.size));
        track_.insert(track_.end(), event.data.begin(), event.data.end());
    }
    std::vector<std::uint8_t> bytes()
    {
        out_.insert(out_.end(), track_type_.begin(), track_type_.end());
        const auto length = big_endian_32(static_cast<std::uint32_t>(track_.size()));
        out_.insert(out_.end(), length.begin(), length.end());
        out_.insert(out_.end(), track_.begin(), track_.end());
        return std::move(out_);
    }

private:
    std::vector<std::uint8_t> out_;
    std::span<const std::uint8_t> track_type_;
    std::vector<std::uint8_t> track_;
};

// Notes whether a run skipped anything; prints nothing.
class SkipCheck final : public RunReport {
public:
    void channel_set(int) override {}
    void rejected(Rejection, std::string_view, std::string_view) override { skipped = true; }
    void dangling(std::string_view) override { skipped = true; }
    bool skipped = false;
};

}  // namespace

std::vector<std::uint8_t> standard_form(std::span<const std::uint8_t> bytes)
{
    StandardForm form;
    read_smf(bytes, uncounted_text_message, form);
    return form.bytes();
}

RebuildFinder::RebuildFinder(std::string_view file_name, std::size_t argument_budget) : budget_(argument_budget)
{
    // The program's name and the file's, each with its NUL and pointer, and
    // the pointer that ends the list.
    used_ = std::string_view("mixmidi").size() + file_name.size() + 2 * (1 + pointer_size) + pointer_size;
    too_long_ = used_ > budget_;
}

void RebuildFinder::set_reason(std::string reason)
{
    if (reason_.empty()) {
        reason_ = std::move(reason);
    }
}

void RebuildFinder::on_chunk(const Chunk& chunk)
{
    constexpr std::size_t header_chunk_size = 14;
    ++chunks_;
    if (chunks_ == 1) {
        if (chunk.bytes.size() != header_chunk_size ||
            !std::equal(chunk.bytes.begin(), chunk.bytes.end(), file_header.begin())) {
            set_reason("mixmidi writes only the header of format 0, one track, 96 ticks per quarter note");
        }
    } else if (chunks_ > 2 || chunk.type != "MTrk") {
        set_reason("mixmidi writes one track chunk and nothing else");
    }
}

void RebuildFinder::on_event(const Event& event, const DecodedSetting& setting)
{
    if (!reason_.empty()) {
        return;
    }
    if (ended_) {
        set_reason("the event " + at_offset(event.offset) + " follows the end of track, and players ignore it");
        return;
    }
    if (is_end_of_track(event)) {
        ended_ = true;
        if (event.delta != 0 || event.running_status) {
            set_reason("the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes");
        }
        return;
    }
    if (setting.entry == nullptr) {
        set_reason("the event " + at_offset(event.offset) + " is no mixer setting");
        return;
    }
    if (setting.text.find('\0') != std::string_view::npos) {
        set_reason("the text " + at_offset(event.offset) +
                   " holds a NUL byte, which no command-line argument can carry");
        return;
    }
    if (setting.text.size() >= max_argument_size) {
        set_reason("the text " + at_offset(event.offset) +
                   " is longer than one command-line argument can hold (128 KiB)");
        return;
    }
    if (!written_as_mixmidi_writes(event)) {
        set_reason("the event " + at_offset(event.offset) +
                   " is not as mixmidi writes it: its delta time, running status or length differs");
        return;
    }
    any_setting_ = true;
    any_uncounted_ = any_uncounted_ || event.uncounted;
    take(setting);
}

// Whether next, at index in the window, continues a group of 16 equal
// events that begins with first: a Control Change on channels 1 to 16 in
// turn, or the same text 16 times.
bool RebuildFinder::starts_group(const DecodedSetting& first, const DecodedSetting& next, std::size_t index) const
{
    if (first.entry->board_wide || !same_setting(first, next)) {
        return false;
    }
    return is_text(first) || next.channel == static_cast<int>(index);
}

void RebuildFinder::take(const DecodedSetting& setting)
{
    window_.push_back(setting);
    if (!starts_group(window_.front(), setting, window_.size() - 1)) {
        settle_front(false);
    } else if (window_.size() == group_size) {
        add_unit(all_bit, window_.front());
        window_.clear();
    }
}

// Writes out the front of the window as single pairs until what remains may
// still become a group (or, at the end, until nothing remains).
void RebuildFinder::settle_front(bool at_end)
{
    while (!window_.empty()) {
        if (!at_end) {
            bool group = true;
            for (std::size_t i = 0; i < window_.size() && group; ++i) {
                group = starts_group(window_.front(), window_[i], i);
            }
            if (group) {
                return;
            }
        }
        const DecodedSetting& front = window_.front();
        ChannelMask mask = any_selection;
        if (is_text(front)) {
            mask = any_single_channel;
        } else if (!front.entry->board_wide) {
            mask = 1U << front.channel;
        }
        add_unit(mask, front);
        window_.erase(window_.begin());
    }
}

// A pair, written under any selection the mask allows. The pairs are
// gathered into segments that share one selection; a segment ends where the
// next pair allows none of its selections, which gives the fewest -chan.
void RebuildFinder::add_unit(ChannelMask mask, const DecodedSetting& setting)
{
    if ((segment_mask_ & mask) != 0) {
        segment_mask_ &= mask;
    } else {
        close_segment();
        segment_mask_ = mask;
    }
    std::array<char, 4> digits{};
    add_word(segment_words_, std::string(setting.entry->option));
    add_word(segment_words_, std::string(setting_word(setting, digits)));
}

void RebuildFinder::close_segment()
{
    if (segment_mask_ == 0) {
        return;
    }
    int selector = last_channel_;  // where any single channel will do, the last one used
    if (segment_mask_ == all_bit) {
        selector = all_channels;
    } else if ((segment_mask_ & (segment_mask_ - 1)) == 0) {
        selector = std::countr_zero(segment_mask_);
    }
    const std::string channel = selector == all_channels ? "all" : std::to_string(selector + 1);
    if (!words_.empty() || too_long_) {
        add_word(words_, std::string(channel_option));
    }
    add_word(words_, channel);
    for (auto& word : segment_words_) {
        if (!too_long_) {
            words_.push_back(std::move(word));
        }
    }
    segment_words_.clear();
    if (selector != all_channels) {
        last_channel_ = selector;
    }
    segment_mask_ = 0;
}

// Counts a word as the system counts an argument and keeps it, until the
// whole would be too long to run; from then on nothing is kept.
void RebuildFinder::add_word(std::vector<std::string>& words, std::string word)
{
    used_ += word.size() + 1 + pointer_size;
    if (used_ > budget_) {
        too_long_ = true;
    }
    if (too_long_) {
        words_.clear();
        segment_words_.clear();
        return;
    }
    words.push_back(std::move(word));
}

Rebuild RebuildFinder::finish(std::span<const std::uint8_t> bytes)
{
    if (chunks_ < 2) {
        set_reason("mixmidi writes one track chunk and nothing else");
    }
    if (!ended_) {
        set_reason("the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes");
    }
    settle_front(true);
    close_segment();
    if (!reason_.empty()) {
        return {{}, reason_};
    }
    if (!any_setting_) {
        return {{}, "the file holds no settings, and mixmidi writes such a file only when it skips every option"};
    }
    if (too_long_) {
        return {{}, "the command would be too long to run"};
    }
    // The command is offered only once it is known to write these bytes.
    std::vector<std::uint8_t> standard;
    std::span<const std::uint8_t> expected = bytes;
    if (any_uncounted_) {
        standard = standard_form(bytes);
        expected = standard;
    }
    CompareSink sink(expected, track_length_offset, header_size);
    SkipCheck check;
    write_file_header(sink);
    std::vector<const char*> pairs;
    for (std::size_t i = 1; i < words_.size(); ++i) {
        pairs.push_back(words_[i].c_str());
    }
    const RunTotals totals = write_pairs(pairs, parse_channel(words_.front()).value_or(0), sink, check);
    finish_track(sink, static_cast<std::uint32_t>(std::min<std::uint64_t>(totals.byte_count, UINT32_MAX - 4)));
    if (sink.matches() && !check.skipped) {
        return {std::move(words_), {}};
    }
    EventLocator in_expected(sink.first_difference(), 0);
    read_smf(expected, uncounted_text_message, in_expected);
    EventLocator in_file(0, in_expected.holder());
    read_smf(bytes, uncounted_text_message, in_file);
    return {{},
            "the event " + at_offset(in_file.offset_at_index()) +
                " is not as mixmidi writes it: its delta time, running status or length differs"};
}

}  // namespace mixmidi
