// A workspace whose images/maps already holds the table sierra, and the
// check that a run left that table as it was, with nothing beside it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workspace.hpp"

inline const std::string old_table = "7\t70\r\n";

struct WithOldTable : Workspace {
    WithOldTable() { write(table("sierra"), old_table); }
};

inline void expect_old_table_kept(const WithOldTable& workspace)
{
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), old_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}
