// midicsv, an independent reader, must see in our files exactly the events
// we meant to write.
#include "test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mixmidi {
namespace {

const std::string program = MIXMIDI_BINARY;
const std::string midicsv = MIXMIDI_MIDICSV;  // found by CMake; empty where there is none

std::string control_change(int channel, int controller, int value)
{
    return "1, 0, Control_c, " + std::to_string(channel) + ", " + std::to_string(controller) + ", " +
           std::to_string(value) + "\n";
}

// A text event as midicsv lists it: the count, then every byte after it.
std::string text_event(int selector, const std::string& text)
{
    std::string line = "1, 0, System_exclusive, " + std::to_string(text.size() + 8) + ", 0, 0, 126, " +
                       std::to_string(selector) + ", 0, 8, 0";
    for (const char c : text) {
        line += ", " + std::to_string(static_cast<unsigned char>(c));
    }
    return line + ", 247\n";
}

std::string csv_file(const std::string& events)
{
    return "0, 0, Header, 0, 1, 96\n1, 0, Start_track\n" + events + "1, 0, End_track\n0, 0, End_of_file\n";
}

struct ReaderCase {
    const char* name;
    std::vector<std::string> args;  // after the file name
    std::string events;
};

std::vector<ReaderCase> reader_cases()
{
    const std::string long_text(130, 'a');  // needs a two-byte count
    const std::string high_text = "caf\xC3\xA9 \x80\xFF";
    std::string every_channel_vol;
    std::string every_channel_text;
    std::string every_channel_keyword;
    for (int channel = 0; channel < 16; ++channel) {
        every_channel_vol += control_change(channel, 7, 100);
        every_channel_keyword += control_change(channel, 81, 127);
        every_channel_text += text_event(128, long_text);
    }
    return {
        {"every option on one channel",
         {"3",     "-vol",    "100",  "-bal",      "1",   "-pan",     "127",   "-exp",    "0",    "-fx1",
          "12",    "-fx2",    "13",   "-fx1p",     "pre", "-fx2p",    "post",  "-fx1m",   "true", "-fx2m",
          "false", "-withfx", "true", "-setflags", "63",  "-sendmix", "9",     "-master", "90",   "-reset",
          "0",     "-load",   "2",    "-save",     "3",   "-d1",      "HELLO", "-d2",     "x y"},
         control_change(2, 7, 100) + control_change(2, 8, 1) + control_change(2, 10, 127) + control_change(2, 11, 0) +
             control_change(2, 12, 12) + control_change(2, 13, 13) + control_change(2, 80, 127) +
             control_change(2, 81, 0) + control_change(2, 82, 127) + control_change(2, 83, 0) +
             control_change(2, 15, 127) + control_change(2, 20, 63) + control_change(2, 21, 0) +
             control_change(0, 23, 90) + control_change(0, 120, 0) + control_change(0, 24, 2) +
             control_change(0, 22, 3) + text_event(64, "HELLO") + text_event(128, "x y")},
        {"all channels",
         {"all", "-vol", "100", "-fx2p", "pre", "-save", "1", "-d2", long_text},
         every_channel_vol + every_channel_keyword + control_change(0, 22, 1) + every_channel_text},
        {"text with top-bit bytes and an empty text",
         {"16", "-d1", high_text, "-d2", ""},
         text_event(64, high_text) + text_event(128, "")},
    };
}

TEST(IndependentReader, MidicsvAgreesOnEveryEvent)
{
    if (const std::string reason = MIXMIDI_MIDICSV_SKIP; !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    if (midicsv.empty() || !test::file_exists(midicsv)) {
        if (std::getenv("MIXMIDI_REQUIRE_MIDICSV") != nullptr) {
            FAIL() << "midicsv is missing";
        }
        GTEST_SKIP() << "midicsv is not installed";
    }
    for (const auto& c : reader_cases()) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::vector<std::string> args = {"out.mid"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_EQ(test::run_program(program, args, dir.path()).exit_status, 0);
        const auto read_back = test::run_program(midicsv, {"out.mid"}, dir.path());
        EXPECT_EQ(read_back.exit_status, 0);
        EXPECT_EQ(read_back.output, csv_file(c.events));
    }
}

}  // namespace
}  // namespace mixmidi
