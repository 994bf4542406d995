// The pieces behind --show: what each event does, the command that rebuilds
// a file, and printing text and words safely.
#include "encode/decoder.h"
#include "midifile/smf_reader.h"
#include "show/describe.h"
#include "show/escape.h"
#include "show/rebuild.h"
#include "show/shell_quote.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;
using test::on_every_channel;
using test::repeated;
using test::smf_file;

std::string join(const std::vector<std::string>& words)
{
    std::string line;
    for (const auto& word : words) {
        line += (line.empty() ? "" : " ") + word;
    }
    return line;
}

std::string description(const Event& event)
{
    std::string text;
    {
        TextOut out(text);
        describe_event(out, event, decode_setting(event));
    }
    return text;
}

// Reads a file through the rebuild, as the listing does.
class RebuildReader final : public SmfVisitor {
public:
    explicit RebuildReader(std::size_t budget) : finder("out.mid", budget) {}
    void on_chunk(const Chunk& chunk) override { finder.on_chunk(chunk); }
    void on_event(const Event& event) override { finder.on_event(event, decode_setting(event)); }
    RebuildFinder finder;
};

// The words after the file name, or the reason there are none.
std::string rebuild_of(const Bytes& bytes, std::size_t budget = 1 << 20)
{
    RebuildReader reader(budget);
    EXPECT_EQ(read_smf(bytes, uncounted_text_message, reader).fault, ReadFault::none);
    const Rebuild rebuild = reader.finder.finish(bytes);
    return rebuild.words.empty() ? rebuild.reason : join(rebuild.words);
}

TEST(Describe, SaysWhatEachEventDoes)
{
    const struct {
        const char* events;  // one event, in a file of its own
        std::string description;
        const char* option;  // the option it decodes to, or nullptr
    } cases[] = {
        {"00 B2 07 64", "channel 3  -vol 100", "-vol"},
        {"00 BF 0A 00", "channel 16  -pan 0", "-pan"},
        {"00 B0 50 7F", "channel 1  -fx1p pre", "-fx1p"},
        {"00 B0 51 00", "channel 1  -fx2p post", "-fx2p"},
        {"00 B4 52 7F", "channel 5  -fx1m true", "-fx1m"},
        {"00 B4 0F 00", "channel 5  -withfx false", "-withfx"},
        {"00 B0 15 00", "channel 1  -sendmix 0", "-sendmix"},
        {"00 B0 17 5A", "board  -master 90", "-master"},
        {"00 B0 78 00", "board  -reset 0", "-reset"},
        {"00 B0 16 05", "board  -save 5", "-save"},
        {"00 B0 18 07", "board  -load 7", "-load"},
        {"00 B0 50 05", "channel 1  controller 80 = 5, -fx1p but neither 0 nor 127", nullptr},
        {"00 B0 15 01", "channel 1  controller 21 = 1, -sendmix but not 0", nullptr},
        {"00 B2 17 5A", "channel 3  controller 23 = 90, -master but not on channel 1, where it belongs", nullptr},
        {"00 B0 40 7F", "channel 1  controller 64 = 127, no mixer setting", nullptr},
        {"00 92 3C 40", "channel 3  note on 60, velocity 64", nullptr},
        {"00 82 3C 00", "channel 3  note off 60, velocity 0", nullptr},
        {"00 C0 05", "channel 1  program change 5", nullptr},
        {"00 E0 00 40", "channel 1  pitch bend 8192", nullptr},
        {"00 F0 0D 00 00 7E 40 00 08 00 48 45 4C 4C 4F F7", "text  -d1 \"HELLO\"", "-d1"},
        {"00 F0 08 00 00 7E 80 00 08 00 F7", "text  -d2 \"\"", "-d2"},
        {"00 F0 0B 00 00 7E 40 00 08 00 22 0A 01 F7", R"(text  -d1 "\"\n\x01")", "-d1"},
        {"00 F0 10 00 00 7E 40 00 08 00 1B 5B 32 4B 0D 7F C2 85 F7", R"(text  -d1 "\x1B[2K\r\x7F\xC2\x85")", "-d1"},
        {"00 F0 0E 00 00 7E 40 00 08 00 FF C3 28 E6 97 A5 F7", "text  -d1 \"\\xFF\\xC3(\xE6\x97\xA5\"", "-d1"},
        {"00 F0 00 00 7E 40 00 08 00 48 49 F7", "text  -d1 \"HI\", without its length after F0", "-d1"},
        {"00 F0 09 00 00 7E 41 00 08 00 41 F7", "system exclusive, 9 bytes", nullptr},
        {"00 F0 03 43 10 F7", "system exclusive, 3 bytes", nullptr},
        {"00 F0 01 F7", "system exclusive, 1 byte", nullptr},
        {"00 F7 02 F0 F7", "escaped bytes (F7), 2 bytes", nullptr},
        {"00 FF 03 03 4D 69 78", "track name (FF 03) \"Mix\"", nullptr},
        {"00 FF 03 02 1B 5B", R"(track name (FF 03) "\x1B[")", nullptr},
        {"00 FF 51 03 07 A1 20", "tempo (FF 51), 3 bytes", nullptr},
        {"83 60 B2 07 64", "channel 3  -vol 100, 480 ticks after the last event", "-vol"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        const Bytes bytes = smf_file(hex(c.events));
        const SmfFile file = read_smf(bytes, uncounted_text_message);
        ASSERT_EQ(file.fault, ReadFault::none);
        const Event& event = file.chunks[1].events.at(0);
        EXPECT_EQ(description(event), c.description);
        const DecodedSetting decoded = decode_setting(event);
        EXPECT_EQ(decoded.entry == nullptr ? nullptr : decoded.entry->option.data(),
                  c.option == nullptr ? nullptr : find_option(c.option)->option.data());
    }
}

TEST(Describe, RunningStatusIsNoted)
{
    const Bytes bytes = smf_file(hex("00 B2 07 64 00 0A 40"));
    const SmfFile file = read_smf(bytes, uncounted_text_message);
    ASSERT_EQ(file.fault, ReadFault::none);
    EXPECT_EQ(description(file.chunks[1].events.at(1)), "channel 3  -pan 64, running status");
}

const char* const late = "is not as mixmidi writes it: its delta time, running status or length differs";

TEST(Rebuild, FindsTheRunWithTheFewestWords)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::string command;  // the words after the file name, or the reason there are none
    } cases[] = {
        {"one channel", smf_file(hex("00 B2 07 64 00 B2 0A 40")), "3 -vol 100 -pan 64"},
        {"all", smf_file(hex(on_every_channel("00 B%X 07 64"))), "all -vol 100"},
        {"all, then a board-wide option, then all again",
         smf_file(hex(on_every_channel("00 B%X 07 64") + "00 B0 16 05 " + on_every_channel("00 B%X 50 00"))),
         "all -vol 100 -save 5 -fx1p post"},
        {"board-wide only, on channel 1", smf_file(hex("00 B0 17 5A 00 B0 78 00")), "1 -master 90 -reset 0"},
        {"board-wide options do not fix the channel", smf_file(hex("00 B0 16 01 00 B6 07 01")), "7 -save 1 -vol 1"},
        {"one text: channel 1", smf_file(hex("00 F0 09 00 00 7E 40 00 08 00 41 F7")), "1 -d1 A"},
        {"sixteen equal texts: all", smf_file(hex(repeated("00 F0 09 00 00 7E 40 00 08 00 41 F7 ", 16))), "all -d1 A"},
        {"text on all among channel settings",
         smf_file(hex(on_every_channel("00 B%X 07 01") + repeated("00 F0 08 00 00 7E 80 00 08 00 F7 ", 16))),
         "all -vol 1 -d2 "},
        {"text without its count", smf_file(hex("00 F0 00 00 7E 40 00 08 00 48 49 F7 00 B2 07 64")),
         "3 -d1 HI -vol 100"},
        {"an F7 inside a counted text", smf_file(hex("00 F0 0A 00 00 7E 40 00 08 00 F7 41 F7")),
         "1 -d1 \xF7"
         "A"},
        {"two channels", smf_file(hex("00 B2 07 64 00 B4 07 64")), "3 -vol 100 -chan 5 -vol 100"},
        {"channel 3, then 1, then 3 again", smf_file(hex("00 B2 07 64 00 B0 07 01 00 B2 0A 40")),
         "3 -vol 100 -chan 1 -vol 1 -chan 3 -pan 64"},
        {"an all group between single channels",
         smf_file(hex("00 B2 07 64 " + on_every_channel("00 B%X 0B 10") + "00 B2 0A 40")),
         "3 -vol 100 -chan all -exp 16 -chan 3 -pan 64"},
        {"texts and board-wide options stay on the channel in use",
         smf_file(hex("00 B4 07 01 00 F0 09 00 00 7E 40 00 08 00 41 F7 00 B0 17 05 00 B4 07 02")),
         "5 -vol 1 -d1 A -master 5 -vol 2"},
        {"a text after all goes back to the last channel",
         smf_file(hex("00 B4 07 01 " + on_every_channel("00 B%X 07 02") +
                      "00 F0 09 00 00 7E 40 00 08 00 41 F7 00 B4 07 03")),
         "5 -vol 1 -chan all -vol 2 -chan 5 -d1 A -vol 3"},
        {"a group that begins part way", smf_file(hex("00 B3 07 64 " + on_every_channel("00 B%X 07 64"))),
         "4 -vol 100 -chan all -vol 100"},
        {"fifteen channels only", smf_file(hex(on_every_channel("00 B%X 07 64").substr(12))),
         "2 -vol 100 -chan 3 -vol 100 -chan 4 -vol 100 -chan 5 -vol 100 -chan 6 -vol 100 -chan 7 -vol 100 -chan 8 "
         "-vol 100 -chan 9 -vol 100 -chan 10 -vol 100 -chan 11 -vol 100 -chan 12 -vol 100 -chan 13 -vol 100 -chan 14 "
         "-vol 100 -chan 15 -vol 100 -chan 16 -vol 100"},
        {"a foreign event", smf_file(hex("00 B2 07 64 00 92 3C 40")), "the event at offset 26 is no mixer setting"},
        {"a late event", smf_file(hex("00 B2 07 64 60 B2 0A 40")), std::string("the event at offset 26 ") + late},
        {"running status", smf_file(hex("00 B2 07 64 00 0A 40")), std::string("the event at offset 26 ") + late},
        {"a count after F0 longer than it needs", smf_file(hex("00 F0 80 09 00 00 7E 40 00 08 00 41 F7")),
         std::string("the event at offset 22 ") + late},
        {"a NUL in a text", smf_file(hex("00 F0 0A 00 00 7E 40 00 08 00 41 00 F7")),
         "the text at offset 22 holds a NUL byte, which no command-line argument can carry"},
        {"no settings", smf_file({}),
         "the file holds no settings, and mixmidi writes such a file only when it skips every option"},
        {"no end of track", hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 04 00 B0 07 01"),
         "the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes"},
        {"an event after the end of track",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 08 00 FF 2F 00 00 B0 07 01"),
         "the event at offset 26 follows the end of track, and players ignore it"},
        {"another division", hex("4D 54 68 64 00 00 00 06 00 00 00 01 01 E0 4D 54 72 6B 00 00 00 04 00 FF 2F 00"),
         "mixmidi writes only the header of format 0, one track, 96 ticks per quarter note"},
        {"two tracks",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 04 00 FF 2F 00 4D 54 72 6B 00 00 00 04 00 "
             "FF 2F 00"),
         "mixmidi writes one track chunk and nothing else"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rebuild_of(c.bytes), c.command);
    }
}

// A file of one text message of size bytes, its count in three bytes.
Bytes text_file(std::size_t size)
{
    const auto count = static_cast<std::uint32_t>(size) + 8;
    Bytes event = {0x00, 0xF0, static_cast<std::uint8_t>(0x80 | (count >> 14)),
                   static_cast<std::uint8_t>(0x80 | ((count >> 7) & 0x7F)), static_cast<std::uint8_t>(count & 0x7F)};
    const Bytes head = hex("00 00 7E 40 00 08 00");
    event.insert(event.end(), head.begin(), head.end());
    event.insert(event.end(), size, 'x');
    event.push_back(0xF7);
    return smf_file(event);
}

TEST(Rebuild, OffersOnlyCommandsThatCanRun)
{
    // "mixmidi", "out.mid", "3", "-vol", "100": 22 bytes, 5 NULs, 6 pointers (one ends the list).
    const Bytes one_vol = smf_file(hex("00 B2 07 64"));
    const std::size_t needed = 22 + 5 + 6 * sizeof(char*);
    EXPECT_EQ(rebuild_of(one_vol, needed), "3 -vol 100");
    EXPECT_EQ(rebuild_of(one_vol, needed - 1), "the command would be too long to run");

    // One argument holds less than 128 KiB, its NUL included.
    EXPECT_EQ(rebuild_of(text_file(128 * 1024 - 1)).substr(0, 8), "1 -d1 xx");
    EXPECT_EQ(rebuild_of(text_file(128 * 1024)),
              "the text at offset 22 is longer than one command-line argument can hold (128 KiB)");
}

TEST(Decoder, UncountedTextNeedsTheWholeLayoutAndAnF7)
{
    const struct {
        const char* after_f0;
        std::size_t size;
    } cases[] = {
        {"00 00 7E 40 00 08 00 41 F7", 9},
        {"00 00 7E 80 00 08 00 F7 00 F7", 8},  // the first F7 ends it
        {"00 00 7E 40 00 08 00 41", 0},        // no F7
        {"00 00 7E 41 00 08 00 41 F7", 0},     // no such selector
        {"00 00 7D 40 00 08 00 41 F7", 0},
        {"00 00 7E 40 00 09 00 41 F7", 0},
        {"0A 00 00 7E 40 00 08 00 41 F7", 0},  // counted
        {"00 00 7E 40", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        const Bytes bytes = hex(c.after_f0);
        EXPECT_EQ(uncounted_text_message(bytes), c.size) << c.after_f0;
    }
}

TEST(Escape, PrintsOnlyValidUtf8WithoutControls)
{
    const struct {
        std::string text;
        std::string printed;
    } cases[] = {
        {"plain", "plain"},
        {R"("q" \)", R"(\"q\" \\)"},
        {"\n\t\r", R"(\n\t\r)"},
        {std::string("\0\x01\x1B\x1F\x7F", 5), R"(\x00\x01\x1B\x1F\x7F)"},
        {"\xC2\x80\xC2\x9F", R"(\xC2\x80\xC2\x9F)"},  // C1 controls
        {"\xC2\xA0\xC3\xBC\xE6\x97\xA5\xF0\x9F\x8E\x9A", "\xC2\xA0\xC3\xBC\xE6\x97\xA5\xF0\x9F\x8E\x9A"},
        {"\xFF\xFE", R"(\xFF\xFE)"},
        {"\xC0\xAF", R"(\xC0\xAF)"},                  // overlong
        {"\xED\xA0\x80", R"(\xED\xA0\x80)"},          // a surrogate
        {"\xF4\x90\x80\x80", R"(\xF4\x90\x80\x80)"},  // past U+10FFFF
        {"\xE6\x97", R"(\xE6\x97)"},                  // cut short
        {"\xE6\x97x", R"(\xE6\x97x)"},
    };
    for (const auto& c : cases) {
        std::string printed;
        {
            TextOut out(printed);
            put_escaped(out, c.text);
        }
        EXPECT_EQ(printed, c.printed) << test::to_hex(Bytes(c.text.begin(), c.text.end()));
    }
}

TEST(ShellQuote, QuotesEachWordInTheSimplestSafeForm)
{
    const struct {
        std::string word;
        std::string quoted;
    } cases[] = {
        {"mix.mid", "mix.mid"},
        {"-vol", "-vol"},
        {"a_b@c%d+e=f:g,h/i", "a_b@c%d+e=f:g,h/i"},
        {"", "''"},
        {"two words", "'two words'"},
        {"it's", R"('it'\''s')"},
        {"'", R"(''\''')"},
        {"$HOME", "'$HOME'"},
        {"$(id)", "'$(id)'"},
        {R"(back\slash)", R"('back\slash')"},
        {"=ls", "'=ls'"},
        {"~", "'~'"},
        {"~x", "'~x'"},
        {"a=~", "'a=~'"},
        {"!", "'!'"},
        {"#", "'#'"},
        {"*", "'*'"},
        {"a^b", "'a^b'"},
        {"{a,b}", "'{a,b}'"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "'Gr\xC3\xBC\xC3\x9F"
         "e'"},
        {"line\nbreak", R"($'line\nbreak')"},
        {"tab\there", R"($'tab\there')"},
        {"ok\r\x1B[2K", R"($'ok\x0D\x1B[2K')"},
        {"it's\n\\", R"($'it\'s\n\\')"},
        {"bang!\n", R"($'bang\x21\n')"},
        {"\xFF\xC2\x85\xC3\xBC", "$'\\xFF\\xC2\\x85\xC3\xBC'"},
        {"\x7F"
         "F",
         R"($'\x7FF')"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell_quote(c.word), c.quoted) << c.word;
    }
}

TEST(ShellQuote, CommandLineKeepsTheFileNameFromBeingAFlag)
{
    const auto line = [](std::string_view file, const std::vector<std::string>& words) {
        std::string text;
        {
            TextOut out(text);
            put_command_line(out, file, words);
        }
        return text;
    };
    EXPECT_EQ(line("my mix.mid", {"3", "-d1", "a b"}), "mixmidi 'my mix.mid' 3 -d1 'a b'\n");
    EXPECT_EQ(line("--show", {"1", "-vol", "1"}), "mixmidi ./--show 1 -vol 1\n");
    EXPECT_EQ(line("-h", {"1", "-vol", "1"}), "mixmidi ./-h 1 -vol 1\n");
    EXPECT_EQ(line("-x.mid", {"1", "-vol", "1"}), "mixmidi -x.mid 1 -vol 1\n");
    EXPECT_EQ(line("new\nline.mid", {"1", "-vol", "1"}), "mixmidi $'new\\nline.mid' 1 -vol 1\n");
}

}  // namespace
}  // namespace mixmidi
