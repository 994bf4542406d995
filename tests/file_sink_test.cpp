#include "midifile/file_sink.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace mixmidi {
namespace {

using test::Bytes;

// Writes the pieces through a FileSink, patches offset 2 with "PATCH" and
// returns what lands on disk.
Bytes write_through_sink(const std::vector<Bytes>& pieces, bool& ok)
{
    test::TempDir dir;
    const std::string path = dir.file("out");
    platform::OutputFile file;
    EXPECT_EQ(platform::open_output(path, file), 0);
    FileSink sink(file.handle);
    for (const auto& piece : pieces) {
        sink.write(piece);
    }
    const Bytes patch = {'P', 'A', 'T', 'C', 'H'};
    sink.seek(2);
    sink.write(patch);
    const bool flushed = sink.flush();
    ok = platform::commit_output(file, {}, flushed) == 0 && flushed;
    return test::read_file(path);
}

TEST(FileSink, SmallAndLargeWritesArriveInOrderAroundTheBuffer)
{
    // Pieces smaller than, straddling and larger than the 64 KiB buffer.
    std::vector<Bytes> pieces;
    Bytes expected;
    std::uint8_t next = 0;
    for (const std::size_t size : {3U, 65533U, 2U, 70000U, 1U, 65536U, 4U}) {
        Bytes piece(size);
        for (auto& byte : piece) {
            byte = next++;
        }
        expected.insert(expected.end(), piece.begin(), piece.end());
        pieces.push_back(piece);
    }
    std::copy_n("PATCH", 5, expected.begin() + 2);
    bool ok = false;
    const Bytes written = write_through_sink(pieces, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(written, expected);
}

#ifndef _WIN32
TEST(FileSink, WriteToAFullDeviceFails)
{
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    FileSink sink(fd);
    sink.write(Bytes(10, 0));
    EXPECT_FALSE(sink.failed());  // still in the buffer
    EXPECT_FALSE(sink.flush());
    EXPECT_TRUE(sink.failed());
    ::close(fd);
}

TEST(FileSink, SeekOnAPipeFails)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FileSink sink(fds[1]);
    sink.seek(18);
    EXPECT_TRUE(sink.failed());
    ::close(fds[0]);
    ::close(fds[1]);
}

#endif

TEST(FileSink, AFailedWriteIsKeptAndLaterWritesDropped)
{
    test::TempDir dir;
    platform::OutputFile file;
    ASSERT_EQ(platform::open_output(dir.file("out"), file), 0);
    FileSink sink(file.handle);
    platform::fail_writes_after(5);
    sink.write(Bytes(10, 1));
    EXPECT_FALSE(sink.flush());
    platform::fail_writes_after(platform::never);
    sink.write(Bytes(10, 2));
    EXPECT_FALSE(sink.flush());
    EXPECT_TRUE(sink.failed());
    EXPECT_NE(platform::commit_output(file, {}, false), 0);
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
}  // namespace mixmidi
