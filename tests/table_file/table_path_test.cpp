#include "table_file/table_path.hpp"

#include <gtest/gtest.h>

namespace {

TEST(TablePath, ComposesTheWindowsNameFromTheAnswersAsRead)
{
    EXPECT_EQ(compose_table_name("maps", "sierra"), "c:\\images\\maps\\sierra_tab.txt");
    EXPECT_EQ(compose_table_name("Maps", "sierra_tab.txt"), "c:\\images\\Maps\\sierra_tab.txt_tab.txt");
}

#ifndef _WIN32
TEST(TablePath, PutsTheDriveAtItsRootAndTurnsBackslashesIntoSlashes)
{
    const struct {
        const char* composed;
        const char* root;
        const char* local;
    } cases[] = {
        {"c:\\images\\maps\\sierra_tab.txt", ".", "./images/maps/sierra_tab.txt"},
        {"c:\\images\\maps\\sierra_tab.txt", "/mnt/c", "/mnt/c/images/maps/sierra_tab.txt"},
        {"c:\\images\\a\\b\\c_tab.txt", "/mnt/c\\d", "/mnt/c\\d/images/a/b/c_tab.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(local_table_path(c.composed, c.root), c.local);
    }
}
#endif

}  // namespace
