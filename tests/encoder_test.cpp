#include "encode/encoder.h"
#include "midifile/memory_sink.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace mixmidi {
namespace {

using test::hex;
using test::to_hex;

TEST(ParseNumber, ReadsTheLeadingDecimalNumber)
{
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    const struct {
        std::string_view text;
        std::int32_t value;
    } cases[] = {
        {"100", 100},
        {"  42", 42},
        {"\t\n\v\f\r 7", 7},
        {"+7", 7},
        {"-5", -5},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"0x1F", 0},
        {"007", 7},
        {"2147483647", max},
        {"2147483648", max},
        {"-2147483648", min},
        {"-2147483649", min},
        {"99999999999999999999", max},
        {"-99999999999999999999999999999999", min},
        {std::string_view("5\0"
                          "9",
                          3),
         5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_number(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseLevel, ClampsToAControllerValue)
{
    const struct {
        std::string_view text;
        int level;
    } cases[] = {
        {"200", 127},        {"127", 127}, {"128", 127}, {"0", 0},      {"-5", 0},
        {"abc", 0},          {"  42", 42}, {"+7", 7},    {"12abc", 12}, {"99999999999999999999", 127},
        {"-99999999999", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_level(c.text), c.level) << '"' << c.text << '"';
    }
}

struct EncodeCase {
    const char* option;
    std::string setting;
    int channel;
    const char* bytes;  // what lands in the track; empty when rejected
    Rejection rejection;
};

void expect_encodes(const EncodeCase& c)
{
    MemorySink sink;
    const EncodeResult result = encode_option(c.option, c.setting, c.channel, sink);
    const auto expected = hex(c.bytes);
    EXPECT_EQ(to_hex(sink.bytes()), to_hex(expected)) << c.option << " " << c.setting;
    EXPECT_EQ(result.bytes_written, expected.size()) << c.option << " " << c.setting;
    EXPECT_EQ(result.rejection, c.rejection) << c.option << " " << c.setting;
}

TEST(EncodeOption, EveryOptionWritesItsControlChange)
{
    const EncodeCase cases[] = {
        {"-vol", "100", 2, "00 B2 07 64", Rejection::none},
        {"-bal", "1", 0, "00 B0 08 01", Rejection::none},
        {"-pan", "64", 2, "00 B2 0A 40", Rejection::none},
        {"-exp", "127", 15, "00 BF 0B 7F", Rejection::none},
        {"-fx1", "5", 1, "00 B1 0C 05", Rejection::none},
        {"-fx2", "6", 1, "00 B1 0D 06", Rejection::none},
        {"-fx1p", "pre", 0, "00 B0 50 7F", Rejection::none},
        {"-fx1p", "post", 0, "00 B0 50 00", Rejection::none},
        {"-fx2p", "pre", 3, "00 B3 51 7F", Rejection::none},
        {"-fx2p", "post", 3, "00 B3 51 00", Rejection::none},
        {"-fx1m", "true", 4, "00 B4 52 7F", Rejection::none},
        {"-fx1m", "false", 4, "00 B4 52 00", Rejection::none},
        {"-fx2m", "false", 15, "00 BF 53 00", Rejection::none},
        {"-withfx", "true", 0, "00 B0 0F 7F", Rejection::none},
        {"-withfx", "false", 0, "00 B0 0F 00", Rejection::none},
        {"-setflags", "99", 0, "00 B0 14 63", Rejection::none},
        {"-sendmix", "5", 0, "00 B0 15 00", Rejection::none},
        {"-master", "90", 0, "00 B0 17 5A", Rejection::none},
        {"-reset", "whatever", 0, "00 B0 78 00", Rejection::none},
        {"-load", "100", 0, "00 B0 18 64", Rejection::none},
        {"-save", "5", 0, "00 B0 16 05", Rejection::none},
    };
    for (const auto& c : cases) {
        expect_encodes(c);
    }
}

TEST(EncodeOption, LevelsAreClampedNotRejected)
{
    const EncodeCase cases[] = {
        {"-vol", "200", 0, "00 B0 07 7F", Rejection::none},
        {"-vol", "-5", 0, "00 B0 07 00", Rejection::none},
        {"-vol", "abc", 0, "00 B0 07 00", Rejection::none},
        {"-vol", "  42", 0, "00 B0 07 2A", Rejection::none},
        {"-vol", "+7", 0, "00 B0 07 07", Rejection::none},
        {"-vol", "12abc", 0, "00 B0 07 0C", Rejection::none},
        {"-vol", "99999999999999999999", 0, "00 B0 07 7F", Rejection::none},
    };
    for (const auto& c : cases) {
        expect_encodes(c);
    }
}

TEST(EncodeOption, RejectsWithoutWriting)
{
    const EncodeCase cases[] = {
        {"-fx1p", "PRE", 0, "", Rejection::bad_keyword},  {"-fx2p", "", 0, "", Rejection::bad_keyword},
        {"-fx1m", "True", 0, "", Rejection::bad_keyword}, {"-withfx", "1", 0, "", Rejection::bad_keyword},
        {"-foo", "1", 0, "", Rejection::unknown_option},  {"-VOL", "1", 0, "", Rejection::unknown_option},
        {"vol", "1", 0, "", Rejection::unknown_option},   {"-vol ", "1", 0, "", Rejection::unknown_option},
        {"", "1", 0, "", Rejection::unknown_option},
    };
    for (const auto& c : cases) {
        expect_encodes(c);
    }
}

TEST(EncodeOption, StatusByteIsB0OrTheChannelsLowEightBits)
{
    const EncodeCase cases[] = {
        {"-vol", "1", -1, "00 FF 07 01", Rejection::none},
        {"-vol", "1", 16, "00 B0 07 01", Rejection::none},
        {"-vol", "1", 0x10F, "00 BF 07 01", Rejection::none},
    };
    for (const auto& c : cases) {
        expect_encodes(c);
    }
}

TEST(EncodeOption, TextGoesInASystemExclusiveEventWithItsCount)
{
    const EncodeCase cases[] = {
        {"-d1", "HELLO", 0, "00 F0 0D 00 00 7E 40 00 08 00 48 45 4C 4C 4F F7", Rejection::none},
        {"-d2", "", 0, "00 F0 08 00 00 7E 80 00 08 00 F7", Rejection::none},
        // The channel plays no part in the bytes.
        {"-d2", "Hi", 9, "00 F0 0A 00 00 7E 80 00 08 00 48 69 F7", Rejection::none},
        // Text goes out unchanged, top-bit bytes and all.
        {"-d1", "\xC3\xA9\xF7", 0, "00 F0 0B 00 00 7E 40 00 08 00 C3 A9 F7 F7", Rejection::none},
    };
    for (const auto& c : cases) {
        expect_encodes(c);
    }
}

TEST(EncodeOption, TextOf120BytesOrMoreTakesATwoByteCount)
{
    const struct {
        std::size_t text_size;
        const char* count;
    } cases[] = {{119, "7F"}, {120, "81 00"}, {16375, "FF 7F"}, {16376, "81 80 00"}};
    for (const auto& c : cases) {
        MemorySink sink;
        const std::string text(c.text_size, 'a');
        const EncodeResult result = encode_option("-d1", text, 0, sink);
        const auto count = hex(c.count);
        ASSERT_EQ(result.bytes_written, c.text_size + 10 + count.size());
        ASSERT_EQ(sink.bytes().size(), result.bytes_written);
        EXPECT_EQ(
            to_hex({sink.bytes().begin() + 2, sink.bytes().begin() + 2 + static_cast<std::ptrdiff_t>(count.size())}),
            c.count);
        EXPECT_EQ(to_hex({sink.bytes().begin() + 2 + static_cast<std::ptrdiff_t>(count.size()),
                          sink.bytes().begin() + 9 + static_cast<std::ptrdiff_t>(count.size())}),
                  "00 00 7E 40 00 08 00");
        EXPECT_EQ(sink.bytes().back(), 0xF7);
    }
}

}  // namespace
}  // namespace mixmidi
