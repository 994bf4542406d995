// A write that fails part way, at every byte, through the write seam of the
// platform layer: on every platform the path keeps its old bytes (or stays
// absent) and no temporary file is left.
#include "cli/driver.h"
#include "platform/platform.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mixmidi {
namespace {

using test::Bytes;
using test::hex;

// The ways a file reaches its path: a new file and a plain one are renamed
// into place; one with a second hard link is rewritten in place.
enum class Route { new_file, renamed, hard_link };

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome run(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"mixmidi"};
    for (const auto& arg : args) {
        argv.push_back(arg.c_str());
    }
    argv.push_back(nullptr);
    Outcome outcome;
    std::string errors;
    TextOut out(outcome.output);
    TextOut err(errors);
    outcome.status = run_command_line(static_cast<int>(argv.size() - 1), argv.data(), out, err);
    out.flush();
    return outcome;
}

TEST(WriteFailure, AtEveryByteTheOldFileSurvivesWhole)
{
    const Bytes old_contents = {'o', 'l', 'd'};
    const Bytes expected =
        test::smf_file(hex("00 B0 07 01 00 F0 26 00 00 7E 40 00 08 00" + test::repeated(" 78", 30) + " F7"));
    for (const Route route : {Route::new_file, Route::renamed, Route::hard_link}) {
        SCOPED_TRACE(static_cast<int>(route));
        test::TempDir dir;
        const std::string path = dir.file("out.mid");
        if (route != Route::new_file) {
            test::write_file(path, old_contents);
        }
        if (route == Route::hard_link) {
            std::filesystem::create_hard_link(path, dir.file("link.mid"));
        }
        const auto before = dir.entries();
        // A file renamed into place is written, then its track length patched:
        // 4 bytes more than its size go through the seam.
        bool written = false;
        for (std::size_t budget = 0; budget <= expected.size() + 4 && !written; ++budget) {
            SCOPED_TRACE(budget);
            platform::fail_writes_after(budget);
            const Outcome outcome = run({path, "1", "-vol", "1", "-d1", std::string(30, 'x')});
            platform::fail_writes_after(platform::never);
            written = outcome.status != exit_file_error;
            if (!written) {
                EXPECT_EQ(outcome.status, exit_file_error);
                EXPECT_EQ(outcome.output, "Set channel 1\nCannot write file " + path + "\n");
                EXPECT_EQ(test::file_exists(path), route != Route::new_file);
                if (route != Route::new_file) {
                    EXPECT_EQ(test::read_file(path), old_contents);
                }
                EXPECT_EQ(dir.entries(), before);
            } else {
                EXPECT_GE(budget, expected.size());
                EXPECT_EQ(outcome.status, exit_ok) << outcome.output;
                EXPECT_EQ(test::to_hex(test::read_file(path)), test::to_hex(expected));
            }
            if (HasFailure()) {
                return;
            }
        }
        EXPECT_TRUE(written);
        if (route == Route::hard_link) {
            EXPECT_EQ(test::read_file(dir.file("link.mid")), expected);
        }
    }
}

}  // namespace
}  // namespace mixmidi
