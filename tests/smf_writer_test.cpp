#include "midifile/memory_sink.h"
#include "midifile/smf_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;
using test::to_hex;

constexpr const char* header_hex = "4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 00";

TEST(SmfWriter, HeaderIsTheFixedTemplateAndStartsTheCountAtZero)
{
    MemorySink sink;
    EXPECT_EQ(write_file_header(sink), 0U);
    EXPECT_EQ(to_hex(sink.bytes()), to_hex(hex(header_hex)));
}

TEST(SmfWriter, EventBytesKeepTheLowEightBitsOfEachArgument)
{
    MemorySink sink;
    write_event_bytes(sink, 0, 0xB2, 7, 100);
    write_event_bytes(sink, 0x100, 0xB0 | -1, 0x10A, -1);
    EXPECT_EQ(to_hex(sink.bytes()), "00 B2 07 64 00 FF 0A FF");
}

TEST(SmfWriter, FileWithoutEventsIsHeaderAndEndOfTrack)
{
    MemorySink sink;
    finish_track(sink, write_file_header(sink));
    EXPECT_EQ(sink.bytes().size(), 26U);
    EXPECT_EQ(to_hex(sink.bytes()), to_hex(test::smf_file({})));
}

TEST(SmfWriter, TrackLengthCountsEventsAndEndOfTrack)
{
    MemorySink sink;
    write_file_header(sink);
    write_event_bytes(sink, 0, 0xB2, 0x07, 0x64);
    write_event_bytes(sink, 0, 0xB2, 0x0A, 0x40);
    finish_track(sink, 8);
    EXPECT_EQ(sink.bytes().size(), 34U);
    EXPECT_EQ(to_hex(Bytes(sink.bytes().begin() + 18, sink.bytes().begin() + 22)), "00 00 00 0C");
    EXPECT_EQ(to_hex(sink.bytes()), to_hex(test::smf_file(hex("00 B2 07 64 00 B2 0A 40"))));
}

TEST(SmfWriter, LengthByte0AIsStoredOnceAndLeavesTheFirstEventIntact)
{
    MemorySink sink;
    write_file_header(sink);
    Bytes events;
    for (int i = 0; i < 262 / 2; ++i) {  // 262 bytes of events, two at a time for easy counting
        sink.write(hex("00 B0"));
        events.push_back(0x00);
        events.push_back(0xB0);
    }
    finish_track(sink, 262);
    const Bytes& file = sink.bytes();
    ASSERT_EQ(file.size(), 22U + 262U + 4U);
    EXPECT_EQ(to_hex(Bytes(file.begin() + 18, file.begin() + 24)), "00 00 01 0A 00 B0");
}

TEST(SmfWriter, TrackLengthIsBigEndian)
{
    const struct {
        std::uint32_t value;
        const char* bytes;
    } cases[] = {{0x0000000C, "00 00 00 0C"},
                 {0x0000010A, "00 00 01 0A"},
                 {0x01020304, "01 02 03 04"},
                 {0xFFFFFFFF, "FF FF FF FF"}};
    for (const auto& c : cases) {
        const auto bytes = big_endian_32(c.value);
        EXPECT_EQ(to_hex(Bytes(bytes.begin(), bytes.end())), c.bytes);
    }
}

TEST(SmfWriter, VariableLengthQuantityMatchesTheStandardExamples)
{
    const struct {
        std::uint32_t value;
        const char* bytes;
    } cases[] = {
        {0x00, "00"},
        {0x7F, "7F"},
        {0x80, "81 00"},
        {0x2000, "C0 00"},
        {0x3FFF, "FF 7F"},
        {0x4000, "81 80 00"},
        {0x1FFFFF, "FF FF 7F"},
        {0x200000, "81 80 80 00"},
        {0x0FFFFFFF, "FF FF FF 7F"},
    };
    for (const auto& c : cases) {
        const Vlq vlq = variable_length_quantity(c.value);
        EXPECT_EQ(to_hex(Bytes(vlq.bytes.begin(), vlq.bytes.begin() + static_cast<std::ptrdiff_t>(vlq.size))), c.bytes)
            << std::hex << c.value;
    }
}

TEST(SmfWriter, FailedStreamStaysFailed)
{
    MemorySink sink(25);  // room for the header and three bytes
    write_file_header(sink);
    EXPECT_FALSE(sink.failed());
    write_event_bytes(sink, 0, 0xB0, 7, 100);
    EXPECT_TRUE(sink.failed());
    finish_track(sink, 4);
    EXPECT_TRUE(sink.failed());
    EXPECT_EQ(sink.bytes().size(), 22U);
}

}  // namespace
}  // namespace mixmidi
