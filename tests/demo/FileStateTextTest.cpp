#include "FileStateText.h"

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;

demo::FileState Known(qor4::StatusWord status, std::string changeList = {}, std::vector<std::string> holders = {})
{
    demo::FileState state;
    state.depotPath = "chars/hero.qor";
    state.statusKnown = true;
    state.status = status;
    state.changeList = std::move(changeList);
    state.holders = std::move(holders);
    state.exists = true;
    state.readOnly = true;
    return state;
}

TEST(FileStateTextTest, ServerStatesNameChangelistsAndOtherUsers)
{
    EXPECT_EQ(demo::DescribeServerState(Known(0)), "up to date");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kCheckedOut, "7")), "checked out in changelist 7");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kMarkedForAdd)), "marked for add in default changelist");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kCheckedOutByOther | fs::kLockedByOther, "", {"bob", "bob"})),
              "opened by bob; locked by bob");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kCheckedOutByOther, "", {"bob", "carol"})), "opened by bob, carol");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kLockedByOther)), "locked by another user");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kNotAtHead | fs::kNotInDepot)), "not at head; not in depot");
    EXPECT_EQ(demo::DescribeServerState(Known(fs::kMarkedForDelete | fs::kLockedByMe, "2")),
              "marked for delete in changelist 2; locked by me");
}

TEST(FileStateTextTest, UnknownStateAndDiskStates)
{
    demo::FileState state = Known(fs::kCheckedOut);
    state.statusKnown = false;
    EXPECT_EQ(demo::DescribeServerState(state), "state unknown (no live session)");
    EXPECT_EQ(demo::DescribeDiskState(state), "read-only");
    state.readOnly = false;
    EXPECT_EQ(demo::DescribeDiskState(state), "writable");
    state.exists = false;
    EXPECT_EQ(demo::DescribeDiskState(state), "missing");
    EXPECT_EQ(demo::DescribeFile(Known(fs::kNotAtHead)), "chars/hero.qor: not at head | read-only");
}

} // namespace
