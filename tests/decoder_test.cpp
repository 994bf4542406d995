#include "encode/decoder.h"
#include "midifile/smf_reader.h"
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

TEST(Decoder, DescribesEachEvent)
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
        {"00 F0 0B 00 00 7E 40 00 08 00 22 0A 01 F7", "text  -d1 \"\\\"\\n\\x01\"", "-d1"},
        {"00 F0 00 00 7E 40 00 08 00 48 49 F7", "text  -d1 \"HI\", without its length after F0", "-d1"},
        {"00 F0 09 00 00 7E 41 00 08 00 41 F7", "system exclusive, 9 bytes", nullptr},
        {"00 F0 03 43 10 F7", "system exclusive, 3 bytes", nullptr},
        {"00 F7 02 F0 F7", "escaped bytes (F7), 2 bytes", nullptr},
        {"00 FF 03 03 4D 69 78", "track name (FF 03) \"Mix\"", nullptr},
        {"00 FF 51 03 07 A1 20", "tempo (FF 51), 3 bytes", nullptr},
        {"83 60 B2 07 64", "channel 3  -vol 100, 480 ticks after the last event", "-vol"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        const Bytes bytes = smf_file(hex(c.events));
        const SmfFile file = read_smf(bytes, uncounted_text_message);
        ASSERT_EQ(file.fault, ReadFault::none);
        const DecodedEvent decoded = decode_event(file.chunks[1].events.at(0));
        EXPECT_EQ(decoded.description, c.description);
        EXPECT_EQ(decoded.entry == nullptr ? nullptr : decoded.entry->option.data(),
                  c.option == nullptr ? nullptr : find_option(c.option)->option.data());
    }
}

TEST(Decoder, RunningStatusIsNoted)
{
    const Bytes bytes = smf_file(hex("00 B2 07 64 00 0A 40"));
    const SmfFile file = read_smf(bytes, uncounted_text_message);
    ASSERT_EQ(file.fault, ReadFault::none);
    EXPECT_EQ(decode_event(file.chunks[1].events.at(1)).description, "channel 3  -pan 64, running status");
}

TEST(Decoder, FindsTheOneRunThatWritesTheFile)
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
        {"two channels", smf_file(hex("00 B2 07 64 00 B4 07 64")),
         "the settings go to channels 3, 5, and one run sets one channel or all 16 in turn"},
        {"fifteen channels only", smf_file(hex(on_every_channel("00 B%X 07 64").substr(12))),
         "the settings go to channels 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, and one run sets one "
         "channel or all 16 in turn"},
        {"a foreign event", smf_file(hex("00 B2 07 64 00 92 3C 40")), "the event at offset 26 is no mixer setting"},
        {"a late event", smf_file(hex("00 B2 07 64 60 B2 0A 40")),
         "the event at offset 26 is not as mixmidi writes it: its delta time, running status or length differs"},
        {"running status", smf_file(hex("00 B2 07 64 00 0A 40")),
         "the event at offset 26 is not as mixmidi writes it: its delta time, running status or length differs"},
        {"a NUL in a text", smf_file(hex("00 F0 0A 00 00 7E 40 00 08 00 41 00 F7")),
         "the text at offset 22 holds a NUL byte, which no command-line argument can carry"},
        {"no settings", smf_file({}),
         "the file holds no settings, and mixmidi writes such a file only when it skips every option"},
        {"no end of track", hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 04 00 B0 07 01"),
         "the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes"},
        {"an event after the end of track",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 08 00 FF 2F 00 00 B0 07 01"),
         "the track does not end with the end-of-track event 00 FF 2F 00 that mixmidi writes"},
        {"another division", hex("4D 54 68 64 00 00 00 06 00 00 00 01 01 E0 4D 54 72 6B 00 00 00 04 00 FF 2F 00"),
         "mixmidi writes only the header of format 0, one track, 96 ticks per quarter note"},
        {"two tracks",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 04 00 FF 2F 00 4D 54 72 6B 00 00 00 04 00 "
             "FF 2F 00"),
         "mixmidi writes one track chunk and nothing else"},
        {"no track", hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60"),
         "mixmidi writes one track chunk and nothing else"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SmfFile file = read_smf(c.bytes, uncounted_text_message);
        ASSERT_EQ(file.fault, ReadFault::none);
        const Rebuild rebuild = rebuild_command(file);
        EXPECT_EQ(rebuild.words.empty() ? rebuild.reason : join(rebuild.words), c.command);
    }
}

TEST(Decoder, StandardFormGivesUncountedTextsTheirCount)
{
    const Bytes old_layout =
        smf_file(hex("00 B2 07 64 00 F0 00 00 7E 80 00 08 00 48 49 F7 00 F0 00 00 7E 40 00 08 00 F7"));
    const SmfFile file = read_smf(old_layout, uncounted_text_message);
    ASSERT_EQ(file.fault, ReadFault::none);
    EXPECT_EQ(test::to_hex(standard_form(file)),
              test::to_hex(smf_file(
                  hex("00 B2 07 64 00 F0 0A 00 00 7E 80 00 08 00 48 49 F7 00 F0 08 00 00 7E 40 00 08 00 F7"))));

    const Bytes counted = smf_file(hex("00 F0 0A 00 00 7E 80 00 08 00 48 49 F7"));
    EXPECT_EQ(standard_form(read_smf(counted, uncounted_text_message)), counted);
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

TEST(Decoder, QuotesWordsForAPosixShell)
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
        {"it's", "'it'\\''s'"},
        {"'", "''\\'''"},
        {"$HOME", "'$HOME'"},
        {"back\\slash", "'back\\slash'"},
        {"line\nbreak", "'line\nbreak'"},
        {"~", "'~'"},
        {"#", "'#'"},
        {"*", "'*'"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "'Gr\xC3\xBC\xC3\x9F"
         "e'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell_quote(c.word), c.quoted) << c.word;
    }
}

TEST(Decoder, CommandLineKeepsTheFileNameFromBeingAFlag)
{
    EXPECT_EQ(command_line("my mix.mid", {"3", "-d1", "a b"}), "mixmidi 'my mix.mid' 3 -d1 'a b'");
    EXPECT_EQ(command_line("--show", {"1", "-vol", "1"}), "mixmidi ./--show 1 -vol 1");
    EXPECT_EQ(command_line("-h", {"1", "-vol", "1"}), "mixmidi ./-h 1 -vol 1");
    EXPECT_EQ(command_line("-x.mid", {"1", "-vol", "1"}), "mixmidi -x.mid 1 -vol 1");
}

}  // namespace
}  // namespace mixmidi
