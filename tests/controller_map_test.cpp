#include "encode/controller_map.h"

#include <gtest/gtest.h>
#include <set>

namespace mixmidi {
namespace {

TEST(ControllerMap, OptionsAndControllerNumbersAreUnique)
{
    std::set<std::string_view> options;
    std::set<int> controllers;
    for (const auto& entry : controller_map) {
        EXPECT_TRUE(options.insert(entry.option).second) << entry.option;
        if (entry.kind != SettingKind::text) {
            EXPECT_TRUE(controllers.insert(entry.number).second) << entry.option;
            EXPECT_LE(entry.number, 127) << entry.option;
        }
        EXPECT_EQ(entry.kind == SettingKind::keyword, !entry.on_keyword.empty() && !entry.off_keyword.empty())
            << entry.option;
    }
}

TEST(ControllerMap, BoardWideOptionsAreLoadMasterResetSave)
{
    std::set<std::string_view> board_wide;
    for (const auto& entry : controller_map) {
        if (entry.board_wide) {
            board_wide.insert(entry.option);
        }
    }
    EXPECT_EQ(board_wide, (std::set<std::string_view>{"-load", "-master", "-reset", "-save"}));
}

TEST(ControllerMap, LookupIsExactAndCaseSensitive)
{
    ASSERT_NE(find_option("-withfx"), nullptr);
    EXPECT_EQ(find_option("-withfx")->number, 15);
    EXPECT_EQ(find_option("-WITHFX"), nullptr);
    EXPECT_EQ(find_option("-with"), nullptr);
    EXPECT_EQ(find_option("-withfxx"), nullptr);
}

}  // namespace
}  // namespace mixmidi
