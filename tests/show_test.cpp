// mixmidi --show, run as a user runs it.
#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;
using test::to_hex;

const std::string program = MIXMIDI_BINARY;

std::string last_line(const std::string& output)
{
    const std::string text = output.ends_with('\n') ? output.substr(0, output.size() - 1) : output;
    return text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
}

// The shells the rebuild line is meant for. CI has both; elsewhere a missing
// one is skipped, unless MIXMIDI_REQUIRE_TOOLS is set.
std::vector<std::string> shells()
{
    std::vector<std::string> found;
    if (test::on_windows) {
        return found;  // the rebuild line is for a POSIX shell; on Windows, Git Bash or WSL
    }
    for (const std::string name : {"bash", "zsh"}) {
        const std::string path = test::find_program(name);
        if (!path.empty()) {
            found.push_back(path);
        } else if (std::getenv("MIXMIDI_REQUIRE_TOOLS") != nullptr) {
            ADD_FAILURE() << name << " is missing";
        }
    }
    return found;
}

// Runs a command line through a shell in dir, with the built mixmidi first on PATH.
test::ProgramResult run_in_shell(const std::string& shell, const std::string& command, const std::string& dir)
{
    static const bool path_set = [] {
        test::prepend_to_path(std::filesystem::path(program).parent_path().string());
        return true;
    }();
    (void)path_set;
    return test::run_program(shell, {"-c", command}, dir);
}

// Whether text is valid UTF-8 with no control character but line feeds.
bool safe_to_print(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
            ++i;
            continue;
        }
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size() || (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

struct RoundTrip {
    const char* name;
    std::vector<std::string> args;  // the arguments after the file name
};

TEST(Show, TheShownCommandRebuildsTheFileByteForByte)
{
    const std::vector<std::string> every_option = {
        "-vol",    "100",   "-bal",      "1",   "-pan",     "127",  "-exp",    "0",    "-fx1",   "12",
        "-fx2",    "13",    "-fx1p",     "pre", "-fx2p",    "post", "-fx1m",   "true", "-fx2m",  "false",
        "-withfx", "true",  "-setflags", "63",  "-sendmix", "5",    "-master", "90",   "-reset", "x",
        "-d1",     "HELLO", "-d2",       "",    "-load",    "7",    "-save",   "5"};
    std::vector<std::string> on_three = {"3"};
    on_three.insert(on_three.end(), every_option.begin(), every_option.end());
    std::vector<std::string> on_all = {"all"};
    on_all.insert(on_all.end(), every_option.begin(), every_option.end());
    const RoundTrip cases[] = {
        {"every option on one channel", on_three},
        {"every option on all channels", on_all},
        {"levels that clamp", {"16", "-vol", "200", "-pan", "-5", "-exp", "abc", "-bal", " 42x"}},
        {"board-wide options only, on channel 9", {"9", "-master", "3", "-load", "2"}},
        {"text of 200 bytes, a two-byte count", {"2", "-d1", std::string(200, 'x')}},
        {"non-ASCII text",
         {"4", "-d2",
          "Gr\xC3\xBC\xC3\x9F"
          "e, \xE6\x97\xA5\xE6\x9C\xAC"}},
        {"bytes a text may hold", {"4", "-d1", "\xF7\x80\xFF\x01"}},
        {"quotes and spaces", {"5", "-d1", "it's \"quoted\"  with  spaces", "-d2", "'"}},
        {"shell characters", {"6", "-d1", "$HOME \\ `date` $(id) * ? ; & | < > ~ # !", "-d2", "$HOME"}},
        {"line breaks, one at the end", {"7", "-d1", "line one\nline two\n", "-d2", "\n"}},
        {"a setting that looks like an option", {"8", "-d1", "-vol", "-d2", "--show", "-d1", "-chan"}},
        {"text on all channels", {"all", "-d1", "A", "-vol", "5", "-save", "3"}},
        {"control bytes, an escape sequence, CR, tab, DEL",
         {"1", "-d1", "ok\r\x1B[2Kmixmidi esc.mid 1 -vol 1 #", "-d2", "a\tb\x7F\x01"}},
        {"C1 controls and bytes that are not UTF-8", {"2", "-d1", "\xC2\x85\xC2\x9B", "-d2", "\xFF\xC3(\xE6\x97"}},
        {"words zsh or bash would expand",
         {"3", "-d1", "=ls", "-d2", "~root", "-d1", "a=~", "-d1", "!!", "-d2", "$(id)"}},
        {"quotes with a line break", {"4", "-d1", "it's\n\"both\"\\", "-d2", "!\n'"}},
        {"a scene of several channels",
         {"all", "-vol", "0",  "-chan", "1",  "-vol",  "100", "-pan", "64", "-fx1",    "40", "-chan",
          "2",   "-vol", "90", "-pan",  "20", "-chan", "3",   "-vol", "0",  "-master", "110"}},
        {"channel 3, then 1, then 3 again, with all between",
         {"3", "-vol", "1", "-chan", "1", "-vol", "2", "-chan", "all", "-exp", "9", "-chan", "3", "-pan", "5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        // Windows names hold no control characters and only valid UTF-16.
        const std::vector<std::string> names =
            test::on_windows ? std::vector<std::string>{"out.mid", "my mix's.mid"}
                             : std::vector<std::string>{"out.mid", "my mix's.mid", "new\nline \x1B[31m\xFF.mid"};
        for (const std::string& name : names) {
            std::vector<std::string> args = {name};
            args.insert(args.end(), c.args.begin(), c.args.end());
            ASSERT_EQ(test::run_program(program, args, dir.path()).exit_status, 0);
            const Bytes original = test::read_file(dir.file(name));
            test::write_file(dir.file("copy"), original);

            const auto shown = test::run_program(program, {"--show", name}, dir.path());
            EXPECT_EQ(shown.exit_status, 0);
            EXPECT_TRUE(safe_to_print(shown.output)) << shown.output;
            const std::string command = last_line(shown.output);
            ASSERT_TRUE(command.starts_with("mixmidi ")) << shown.output;
            for (const auto& shell : shells()) {
                SCOPED_TRACE(shell);
                std::filesystem::remove(dir.file(name));
                const auto rebuilt = run_in_shell(shell, command, dir.path());
                EXPECT_EQ(rebuilt.exit_status, 0) << rebuilt.output << rebuilt.errors;
                EXPECT_EQ(to_hex(test::read_file(dir.file(name))), to_hex(original));
            }
        }
    }
}

TEST(Show, HandWrittenScenesRebuildThroughTheShell)
{
    const struct {
        const char* name;
        std::string events;
    } cases[] = {
        {"channel 3, then 1, then 3 again", "00 B2 07 64 00 B0 07 01 00 B2 0A 40 00 B2 0B 7F"},
        {"an all group between single channels",
         "00 B4 07 10 " + test::on_every_channel("00 B%X 0C 20") + "00 B6 07 30 00 B0 17 6E"},
        {"texts between channels",
         "00 B1 07 01 00 F0 0A 00 00 7E 40 00 08 00 41 42 F7 00 B9 07 02 00 F0 09 00 00 7E 80 00 08 00 0A F7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = test::smf_file(hex(c.events));
        for (const auto& shell : shells()) {
            SCOPED_TRACE(shell);
            test::TempDir dir;
            test::write_file(dir.file("scene.mid"), bytes);
            const auto shown = test::run_program(program, {"--show", "scene.mid"}, dir.path());
            EXPECT_EQ(shown.exit_status, 0);
            const std::string command = last_line(shown.output);
            ASSERT_TRUE(command.starts_with("mixmidi scene.mid ")) << shown.output;
            EXPECT_NE(command.find(" -chan "), std::string::npos) << command;
            std::filesystem::remove(dir.file("scene.mid"));
            EXPECT_EQ(run_in_shell(shell, command, dir.path()).exit_status, 0);
            EXPECT_EQ(to_hex(test::read_file(dir.file("scene.mid"))), to_hex(bytes));
        }
    }
}

TEST(Show, TheFileNameIsQuotedAsGiven)
{
    test::TempDir dir;
    ASSERT_EQ(test::run_program(program, {"./-h", "2", "-vol", "1"}, dir.path()).exit_status, 0);
    ASSERT_EQ(test::run_program(program, {"a b.mid", "2", "-vol", "1"}, dir.path()).exit_status, 0);
    EXPECT_EQ(last_line(test::run_program(program, {"--show", "-h"}, dir.path()).output), "mixmidi ./-h 2 -vol 1");
    EXPECT_EQ(last_line(test::run_program(program, {"--show", "a b.mid"}, dir.path()).output),
              "mixmidi 'a b.mid' 2 -vol 1");
    std::filesystem::remove(dir.file("a b.mid"));
    for (const auto& shell : shells()) {
        EXPECT_EQ(run_in_shell(shell, "mixmidi 'a b.mid' 2 -vol 1", dir.path()).exit_status, 0);
        EXPECT_EQ(test::read_file(dir.file("a b.mid")), test::read_file(dir.file("-h")));
    }
}

TEST(Show, ListsEveryEventInFileOrder)
{
    test::TempDir dir;
    ASSERT_EQ(test::run_program(program, {"mix.mid", "3", "-vol", "100", "-master", "90", "-d1", "Hi"}, dir.path())
                  .exit_status,
              0);
    const auto result = test::run_program(program, {"--show", "mix.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(
        result.output,
        "      0  4D 54 68 64 00 00 00 06 00 00 00 01 00 60  header: format 0, 1 track, 96 ticks per quarter note\n"
        "     14  4D 54 72 6B 00 00 00 19  track 1: 25 bytes\n"
        "     22  00 B2 07 64              channel 3  -vol 100\n"
        "     26  00 B0 17 5A              board  -master 90\n"
        "     30  00 F0 0A 00 00 7E 40 00 08 00 48 69 F7  text  -d1 \"Hi\"\n"
        "     43  00 FF 2F 00              end of track\n"
        "mixmidi mix.mid 3 -vol 100 -master 90 -d1 Hi\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"mix.mid"});
}

TEST(Show, ListsEachTrackOfAFormat1File)
{
    test::TempDir dir;
    test::write_file(dir.file("song.mid"),
                     hex("4D 54 68 64 00 00 00 06 00 01 00 02 01 E0  4D 54 72 6B 00 00 00 0B 00 FF 03 03 4D 69 78 00 "
                         "FF 2F 00  4D 54 72 6B 00 00 00 0C 00 90 3C 40 83 60 3C 00 00 FF 2F 00"));
    const auto result = test::run_program(program, {"--show", "song.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output,
              "      0  4D 54 68 64 00 00 00 06 00 01 00 02 01 E0  header: format 1, 2 tracks, 480 ticks per quarter "
              "note\n"
              "     14  4D 54 72 6B 00 00 00 0B  track 1: 11 bytes\n"
              "     22  00 FF 03 03 4D 69 78     track name (FF 03) \"Mix\"\n"
              "     29  00 FF 2F 00              end of track\n"
              "     33  4D 54 72 6B 00 00 00 0C  track 2: 12 bytes\n"
              "     41  00 90 3C 40              channel 1  note on 60, velocity 64\n"
              "     45  83 60 3C 00              channel 1  note on 60, velocity 0, 480 ticks after the last event, "
              "running status\n"
              "     49  00 FF 2F 00              end of track\n"
              "No single run of mixmidi writes this file: mixmidi writes only the header of format 0, one track, 96 "
              "ticks per quarter note.\n");
}

TEST(Show, FilesThatNoRunWritesSayWhy)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::string last_line;
    } cases[] = {
        {"events after the end of track",
         hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 08 00 FF 2F 00 00 B0 07 01"),
         "No single run of mixmidi writes this file: the event at offset 26 follows the end of track, and players "
         "ignore it."},
        {"a text of 128 KiB",
         test::smf_file(hex("00 F0 88 80 08 00 00 7E 40 00 08 00 " + test::repeated("41 ", 131072) + "F7")),
         "No single run of mixmidi writes this file: the text at offset 22 is longer than one command-line argument "
         "can hold (128 KiB)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::write_file(dir.file("in.mid"), c.bytes);
        const auto result = test::run_program(program, {"--show", "in.mid"}, dir.path());
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(last_line(result.output), c.last_line);
    }
    // Listed, and marked.
    test::TempDir dir;
    test::write_file(dir.file("in.mid"), cases[0].bytes);
    const auto result = test::run_program(program, {"--show", "in.mid"}, dir.path());
    EXPECT_NE(result.output.find("     26  00 B0 07 01              channel 1  -vol 1, after the end of track: players "
                                 "ignore it\n"),
              std::string::npos)
        << result.output;
}

TEST(Show, ACommandTooLongToRunIsNotOffered)
{
    // 100,000 settings on one channel: a command line of some 900 KB.
    test::TempDir dir;
    Bytes events;
    for (int i = 0; i < 100000; ++i) {
        const Bytes event = hex("00 B2 07 64");
        events.insert(events.end(), event.begin(), event.end());
    }
    test::write_file(dir.file("big.mid"), test::smf_file(events));
    const auto result = test::run_program(program, {"--show", "big.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(last_line(result.output),
              "No single run of mixmidi writes this file: the command would be too long to run.");
}

// A text message in the layout without the count after F0.
std::string uncounted(const char* selector, const std::string& text_hex)
{
    return std::string("00 F0 00 00 7E ") + selector + " 00 08 00 " + text_hex + " F7 ";
}

TEST(Show, TextsWithoutTheirCountRebuildInTheStandardForm)
{
    if (shells().empty()) {
        GTEST_SKIP() << "needs bash or zsh to run the rebuild line (on Windows, Git Bash or WSL)";
    }
    std::string all_texts;
    for (int i = 0; i < 16; ++i) {
        all_texts += uncounted("80", "41 42");
    }
    const struct {
        const char* name;
        std::string events;
        std::vector<std::string> same_settings;  // the arguments of a direct run
    } cases[] = {
        {"with a channel setting",
         uncounted("40", "48 45 4C 4C 4F") + "00 B2 07 64 " + uncounted("80", ""),
         {"3", "-d1", "HELLO", "-vol", "100", "-d2", ""}},
        {"on all channels", all_texts, {"all", "-d2", "AB"}},
        {"with quotes and a line break", uncounted("40", "27 0A 22"), {"1", "-d1", "'\n\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::write_file(dir.file("old.mid"), test::smf_file(hex(c.events)));
        const auto shown = test::run_program(program, {"--show", "old.mid"}, dir.path());
        EXPECT_EQ(shown.exit_status, 0);
        EXPECT_NE(shown.output.find(", without its length after F0\n"), std::string::npos) << shown.output;
        for (const auto& shell : shells()) {
            const auto rebuilt = run_in_shell(shell, last_line(shown.output), dir.path());
            EXPECT_EQ(rebuilt.exit_status, 0) << rebuilt.output;
        }

        std::vector<std::string> direct = {"direct.mid"};
        direct.insert(direct.end(), c.same_settings.begin(), c.same_settings.end());
        ASSERT_EQ(test::run_program(program, direct, dir.path()).exit_status, 0);
        EXPECT_EQ(to_hex(test::read_file(dir.file("old.mid"))), to_hex(test::read_file(dir.file("direct.mid"))));
    }
}

TEST(Show, AFileThatCannotBeReadGetsOneMessageAndStatus2)
{
    const std::string header = "4D 54 68 64 00 00 00 06 00 00 00 01 00 60 ";
    const struct {
        const char* name;
        Bytes bytes;
        std::string message;
    } cases[] = {
        {"empty file", {}, "Cannot read file in.mid at offset 0: the file is empty"},
        {"not a MIDI file",
         {'h', 'e', 'l', 'l', 'o', '\n'},
         "Cannot read file in.mid at offset 0: not a MIDI file: it does not begin with MThd"},
        {"truncated header", hex("4D 54 68 64 00 00 00 06 00 00 00"),
         "Cannot read file in.mid at offset 4: the file ends inside its header"},
        {"truncated track chunk", hex(header + "4D 54 72 6B 00 00"),
         "Cannot read file in.mid at offset 14: the file ends inside a chunk's type and length"},
        {"track length past the end", hex(header + "4D 54 72 6B 00 00 00 10 00 B0 07 64 00 FF 2F 00"),
         "Cannot read file in.mid at offset 18: the chunk's length runs past the end of the file"},
        {"truncated event", hex(header + "4D 54 72 6B 00 00 00 07 00 B0 07 64 00 B0 07"),
         "Cannot read file in.mid at offset 26: the track ends inside an event"},
        {"VLQ running past the end", hex(header + "4D 54 72 6B 00 00 00 05 00 B0 07 64 80"),
         "Cannot read file in.mid at offset 26: a variable-length number runs past the end of the track"},
        {"sysex count past the end", hex(header + "4D 54 72 6B 00 00 00 05 00 F0 20 00 00"),
         "Cannot read file in.mid at offset 24: the event's length runs past the end of the track"},
        {"data byte without a status", hex(header + "4D 54 72 6B 00 00 00 03 00 07 64"),
         "Cannot read file in.mid at offset 23: a data byte where a status byte belongs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::write_file(dir.file("in.mid"), c.bytes);
        const auto result = test::run_program(program, {"--show", "in.mid"}, dir.path());
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_EQ(last_line(result.output), c.message);
        EXPECT_EQ(result.output.find("mixmidi "), std::string::npos);
        EXPECT_EQ(test::read_file(dir.file("in.mid")), c.bytes);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.mid"});
    }
}

TEST(Show, TheEventsBeforeAFaultAreListed)
{
    test::TempDir dir;
    test::write_file(dir.file("cut.mid"), hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 07 00 B2 "
                                              "07 64 00 B2 0A"));
    const auto result = test::run_program(program, {"--show", "cut.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(
        result.output,
        "      0  4D 54 68 64 00 00 00 06 00 00 00 01 00 60  header: format 0, 1 track, 96 ticks per quarter note\n"
        "     14  4D 54 72 6B 00 00 00 07  track 1: 7 bytes\n"
        "     22  00 B2 07 64              channel 3  -vol 100\n"
        "Cannot read file cut.mid at offset 26: the track ends inside an event\n");
}

TEST(Show, AMissingFileOrADirectoryGetsTheSystemsReason)
{
    test::TempDir dir;
    if (test::on_windows) {
        GTEST_SKIP() << "the system's words for these errors differ on Windows";
    }
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder")));
    const auto missing = test::run_program(program, {"--show", "nothing.mid"}, dir.path());
    EXPECT_EQ(missing.exit_status, 2);
    EXPECT_EQ(missing.output, "Cannot read file nothing.mid: No such file or directory\n");
    const auto folder = test::run_program(program, {"--show", "folder"}, dir.path());
    EXPECT_EQ(folder.exit_status, 2);
    EXPECT_EQ(folder.output, "Cannot read file folder: Is a directory\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"folder"});
}

TEST(Show, AnEndlessInputStopsAtTheSizeLimit)
{
    if (!test::file_exists("/dev/zero")) {
        GTEST_SKIP() << "no /dev/zero here";
    }
    test::TempDir dir;
    const auto result = test::run_program(program, {"--show", "/dev/zero"}, dir.path());
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.output, "Cannot read file /dev/zero: File too large\n");
}

TEST(Show, ListsSeveralFilesInTurn)
{
    if (test::on_windows) {
        GTEST_SKIP() << "Windows names hold no control characters, and its words for a missing file differ";
    }
    test::TempDir dir;
    test::write_file(dir.file("a.mid"), test::smf_file(hex("00 B2 07 64")));
    test::write_file(dir.file("b\x1B.mid"), test::smf_file(hex("00 B0 17 5A")));
    const auto both = test::run_program(program, {"--show", "a.mid", "b\x1B.mid", "missing.mid", "a.mid"}, dir.path());
    EXPECT_EQ(both.exit_status, 2);  // one could not be read; the others still were
    EXPECT_EQ(both.output, "==> a.mid <==\n"
                           "      0  4D 54 68 64 00 00 00 06 00 00 00 01 00 60  header: format 0, 1 track, 96 ticks "
                           "per quarter note\n"
                           "     14  4D 54 72 6B 00 00 00 08  track 1: 8 bytes\n"
                           "     22  00 B2 07 64              channel 3  -vol 100\n"
                           "     26  00 FF 2F 00              end of track\n"
                           "mixmidi a.mid 3 -vol 100\n"
                           "\n"
                           "==> b\\x1B.mid <==\n"
                           "      0  4D 54 68 64 00 00 00 06 00 00 00 01 00 60  header: format 0, 1 track, 96 ticks "
                           "per quarter note\n"
                           "     14  4D 54 72 6B 00 00 00 08  track 1: 8 bytes\n"
                           "     22  00 B0 17 5A              board  -master 90\n"
                           "     26  00 FF 2F 00              end of track\n"
                           "mixmidi $'b\\x1B.mid' 1 -master 90\n"
                           "\n"
                           "==> missing.mid <==\n"
                           "Cannot read file missing.mid: No such file or directory\n"
                           "\n"
                           "==> a.mid <==\n"
                           "      0  4D 54 68 64 00 00 00 06 00 00 00 01 00 60  header: format 0, 1 track, 96 ticks "
                           "per quarter note\n"
                           "     14  4D 54 72 6B 00 00 00 08  track 1: 8 bytes\n"
                           "     22  00 B2 07 64              channel 3  -vol 100\n"
                           "     26  00 FF 2F 00              end of track\n"
                           "mixmidi a.mid 3 -vol 100\n");
    EXPECT_EQ(test::run_program(program, {"--show", "a.mid", "a.mid"}, dir.path()).exit_status, 0);

    const auto none = test::run_program(program, {"--show"}, dir.path());
    EXPECT_EQ(none.exit_status, 1);
    EXPECT_TRUE(none.output.starts_with("Usage: ")) << none.output;
}

TEST(Show, AFileWithFewerTracksThanItsHeaderAnnouncesIsAFault)
{
    test::TempDir dir;
    test::write_file(dir.file("cut.mid"),
                     hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60 4D 54 72 6B 00 00 00 04 00 FF 2F 00"));
    const auto result = test::run_program(program, {"--show", "cut.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.output,
              "      0  4D 54 68 64 00 00 00 06 00 01 00 02 00 60  header: format 1, 2 tracks, 96 ticks per quarter "
              "note\n"
              "     14  4D 54 72 6B 00 00 00 04  track 1: 4 bytes\n"
              "     22  00 FF 2F 00              end of track\n"
              "Cannot read file cut.mid at offset 26: the header announces 2 tracks, the file holds 1\n");
}

TEST(Show, ReadsStandardInputForDash)
{
    if (test::on_windows) {
        GTEST_SKIP() << "uses /bin/sh to redirect standard input";
    }
    test::TempDir dir;
    test::write_file(dir.file("a.mid"), test::smf_file(hex("00 B2 07 64")));
    const auto result = run_in_shell("/bin/sh", "mixmidi --show - < a.mid", dir.path());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(last_line(result.output), "mixmidi - 3 -vol 100");
}

}  // namespace
}  // namespace mixmidi
