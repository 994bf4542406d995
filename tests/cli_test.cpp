#include "encode/controller_map.h"
#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;
using test::on_every_channel;
using test::repeated;
using test::to_hex;

const std::string program = MIXMIDI_BINARY;

struct CliCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string output;
    std::string events;  // the track's events in hex; the file must hold exactly them
};

const std::string missing = "no file";

TEST(Cli, WritesTheFileAndReportsWhatItDid)
{
    const std::string fx1p_rejected = "Cannot understand setting PRE for -fx1p, skipping this option\n"
                                      "Try using 'pre' or 'post' for -fx1p settings\n";
    const CliCase cases[] = {
        {"two options on channel 3",
         {"out.mid", "3", "-vol", "100", "-pan", "64"},
         0,
         "Set channel 3\n",
         "00 B2 07 64 00 B2 0A 40"},
        {"all channels in ascending order",
         {"out.mid", "all", "-vol", "100"},
         0,
         "Set all channels\n",
         on_every_channel("00 B%X 07 64")},
        {"board-wide save on all", {"out.mid", "all", "-save", "5"}, 0, "Set all channels\n", "00 B0 16 05"},
        {"board-wide load on 3", {"out.mid", "3", "-load", "7"}, 0, "Set channel 3\n", "00 B0 18 07"},
        {"board-wide master on 16", {"out.mid", "16", "-master", "90"}, 0, "Set channel 16\n", "00 B0 17 5A"},
        {"board-wide reset on all", {"out.mid", "all", "-reset", "x"}, 0, "Set all channels\n", "00 B0 78 00"},
        {"channel 16 is BF", {"out.mid", "16", "-vol", "1"}, 0, "Set channel 16\n", "00 BF 07 01"},
        {"channel with spaces", {"out.mid", " 5", "-vol", "1"}, 0, "Set channel 5\n", "00 B4 07 01"},
        {"channel with plus", {"out.mid", "+5", "-vol", "1"}, 0, "Set channel 5\n", "00 B4 07 01"},
        {"channel with trailing text", {"out.mid", "5abc", "-vol", "1"}, 0, "Set channel 5\n", "00 B4 07 01"},
        {"options in command-line order, save not last",
         {"out.mid", "1", "-save", "2", "-withfx", "true", "-fx2m", "false"},
         0,
         "Set channel 1\n",
         "00 B0 16 02 00 B0 0F 7F 00 B0 53 00"},
        {"text messages",
         {"out.mid", "2", "-d1", "HELLO", "-d2", ""},
         0,
         "Set channel 2\n",
         "00 F0 0D 00 00 7E 40 00 08 00 48 45 4C 4C 4F F7  00 F0 08 00 00 7E 80 00 08 00 F7"},
        {"text on all channels, 16 times",
         {"out.mid", "all", "-d1", "A"},
         0,
         "Set all channels\n",
         repeated("00 F0 09 00 00 7E 40 00 08 00 41 F7 ", 16)},
        {"bad keyword skipped, the rest written",
         {"out.mid", "1", "-fx1p", "PRE", "-vol", "9"},
         3,
         "Set channel 1\n" + fx1p_rejected,
         "00 B0 07 09"},
        {"bad keyword on all, 16 messages",
         {"out.mid", "all", "-fx1p", "PRE"},
         3,
         "Set all channels\n" + repeated(fx1p_rejected, 16),
         ""},
        {"unknown option",
         {"out.mid", "1", "-foo", "1"},
         3,
         "Set channel 1\ncannot understand option -foo, skipping this option\n",
         ""},
        {"unknown option on all, 16 messages",
         {"out.mid", "all", "-foo", "1"},
         3,
         "Set all channels\n" + repeated("cannot understand option -foo, skipping this option\n", 16),
         ""},
        {"dangling option",
         {"out.mid", "all", "-vol", "100", "-bal"},
         3,
         "Set all channels\nMissing setting for option -bal, skipping this option\n",
         on_every_channel("00 B%X 07 64")},
        {"huge level clamps", {"out.mid", "1", "-vol", "99999999999999999999"}, 0, "Set channel 1\n", "00 B0 07 7F"},
        {"-chan switches the channel for the pairs after it",
         {"out.mid", "1", "-vol", "1", "-chan", "3", "-vol", "3", "-chan", "16", "-pan", "16"},
         0,
         "Set channel 1\nSet channel 3\nSet channel 16\n",
         "00 B0 07 01 00 B2 07 03 00 BF 0A 10"},
        {"-chan all after a channel, and back",
         {"out.mid", "2", "-vol", "2", "-chan", "all", "-exp", "9", "-chan", " 2x", "-pan", "5"},
         0,
         "Set channel 2\nSet all channels\nSet channel 2\n",
         "00 B1 07 02 " + on_every_channel("00 B%X 0B 09") + "00 B1 0A 05"},
        {"board-wide options after a switch stay on channel 1",
         {"out.mid", "1", "-chan", "5", "-master", "90", "-save", "2", "-vol", "1"},
         0,
         "Set channel 1\nSet channel 5\n",
         "00 B0 17 5A 00 B0 16 02 00 B4 07 01"},
        {"-chan as a text is just text",
         {"out.mid", "1", "-d1", "-chan", "-vol", "1"},
         0,
         "Set channel 1\n",
         "00 F0 0D 00 00 7E 40 00 08 00 2D 63 68 61 6E F7 00 B0 07 01"},
        {"a dangling -chan",
         {"out.mid", "1", "-vol", "1", "-chan"},
         3,
         "Set channel 1\nMissing setting for option -chan, skipping this option\n",
         "00 B0 07 01"},
        {"-chan with all as the channel argument",
         {"out.mid", "all", "-vol", "7", "-chan", "4", "-vol", "8"},
         0,
         "Set all channels\nSet channel 4\n",
         on_every_channel("00 B%X 07 07") + "00 B3 07 08"},
        {"-chan is never rejected nor repeated with all",
         {"out.mid", "all", "-chan", "all", "-chan", "1", "-reset", "0"},
         0,
         "Set all channels\nSet all channels\nSet channel 1\n",
         "00 B0 78 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto result = test::run_program(program, c.args, dir.path());
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(to_hex(test::read_file(dir.file("out.mid"))), to_hex(test::smf_file(hex(c.events))));
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.mid"});  // no temporary file left over
    }
}

TEST(Cli, BadChannelIsRejectedAndNoFileIsCreated)
{
    for (const std::string channel : {"0", "17", "-3", "ALL", "All", "x", "", "99999999999", "-99999999999"}) {
        SCOPED_TRACE(channel);
        test::TempDir dir;
        const auto result = test::run_program(program, {"out.mid", channel, "-vol", "1"}, dir.path());
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.output, "Cannot understand channel " + channel + ", use 1-16 or all\n");
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(Cli, BadChanSettingIsRejectedBeforeAnyFileIsTouched)
{
    for (const std::string channel : {"0", "17", "ALL", "x", ""}) {
        SCOPED_TRACE(channel);
        test::TempDir dir;
        const Bytes old_contents = {'o', 'l', 'd'};
        test::write_file(dir.file("out.mid"), old_contents);
        const auto result =
            test::run_program(program, {"out.mid", "1", "-vol", "1", "-chan", "2", "-chan", channel}, dir.path());
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.output, "Cannot understand channel " + channel + ", use 1-16 or all\n");
        EXPECT_EQ(test::read_file(dir.file("out.mid")), old_contents);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.mid"});
    }
    test::TempDir dir;
    EXPECT_EQ(test::run_program(program, {"new.mid", "1", "-chan", "0", "-vol", "1"}, dir.path()).exit_status, 1);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Cli, ExistingFileIsLeftAloneWhenTheArgumentsAreBad)
{
    const std::vector<std::vector<std::string>> bad_runs = {
        {"out.mid", "0", "-vol", "1"},
        {"out.mid", "x", "-vol", "1"},
        {"out.mid", "3", "-vol"},
        {"out.mid"},
    };
    for (const auto& args : bad_runs) {
        test::TempDir dir;
        const Bytes old_contents = {'o', 'l', 'd'};
        test::write_file(dir.file("out.mid"), old_contents);
        const auto result = test::run_program(program, args, dir.path());
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(test::read_file(dir.file("out.mid")), old_contents);
    }
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(Cli, TooFewArgumentsPrintTheUsageAndExit1)
{
    test::TempDir dir;
    const auto result = test::run_program(program, {"out.mid", "3", "-vol"}, dir.path());
    EXPECT_EQ(result.exit_status, 1);
    const auto lines = lines_of(result.output);
    ASSERT_EQ(lines.size(), 39U);
    // The program's name as it was started (on Windows, as the system spells the path).
    EXPECT_TRUE(lines.front().starts_with("Usage: ")) << lines.front();
    EXPECT_TRUE(lines.front().ends_with(" filename chan option option...")) << lines.front();
    if (!test::on_windows) {
        EXPECT_EQ(lines.front(), "Usage: " + program + " filename chan option option...");
    }
    EXPECT_EQ(lines.back(), "-save option, if used, should always be the last option in the line");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Cli, UsageListsEveryOptionButTheTextMessages)
{
    test::TempDir dir;
    const auto result = test::run_program(program, {"out.mid"}, dir.path());
    EXPECT_EQ(result.exit_status, 1);
    std::vector<std::string> listed;
    for (const auto& line : lines_of(result.output)) {
        if (line.starts_with("-") && !line.starts_with("-save option")) {
            listed.push_back(line.substr(0, line.find(' ')));
        }
    }
    std::vector<std::string> expected;
    for (const auto& entry : controller_map) {
        if (entry.kind != SettingKind::text) {
            expected.emplace_back(entry.option);
        }
    }
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
}

TEST(Cli, HelpIsTheUsageThenWhatItLeavesOut)
{
    test::TempDir dir;
    const std::string usage = test::run_program(program, {"out.mid"}, dir.path()).output;
    for (const std::string flag : {"-h", "--help"}) {
        const auto result = test::run_program(program, {flag}, dir.path());
        EXPECT_EQ(result.exit_status, 0) << flag;
        EXPECT_TRUE(result.output.starts_with(usage)) << flag;
        const std::string more = result.output.substr(usage.size());
        for (const char* topic : {"-chan", "-d1", "-d2", "--show FILE...", "--help", "--version", "filename may be -",
                                  "Exit status: 0", "1 usage", "2 the file", "3 written"}) {
            EXPECT_NE(more.find(topic), std::string::npos) << flag << ": " << topic;
        }
    }
    const auto version = test::run_program(program, {"--version"}, dir.path());
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.output, "mixmidi 1.0.0\n");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Cli, WriteToAFullDeviceExits2)
{
    if (!test::file_exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    test::TempDir dir;
    const auto result = test::run_program(program, {"/dev/full", "1", "-vol", "1"}, dir.path());
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.output, "Set channel 1\nCannot write file /dev/full\n");
}

TEST(Cli, FileThatCannotBeCreatedExits2)
{
    test::TempDir dir;
    for (const std::string path : {"missing/out.mid", "", "."}) {
        const auto result = test::run_program(program, {path, "1", "-vol", "1"}, dir.path());
        EXPECT_EQ(result.exit_status, 2) << path;
        EXPECT_EQ(result.output, "Cannot open file " + path + " for writing\n") << path;
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Cli, ManPageDocumentsEveryOption)
{
    std::ifstream in(MIXMIDI_MAN_PAGE);
    ASSERT_TRUE(in) << MIXMIDI_MAN_PAGE;
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& entry : controller_map) {
        // roff writes a hyphen in an option name as \-
        const std::string name = "\\-" + std::string(entry.option.substr(1));
        EXPECT_NE(page.find(name), std::string::npos) << entry.option;
    }
}

}  // namespace
}  // namespace mixmidi
