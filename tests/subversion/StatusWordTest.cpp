// A walked file's status word, as the backend tells it: one row per state a working copy and its
// repository can be in. No server: the walk's findings are given as data.
#include "subversion/SvnBackend.h"
#include "subversion/SvnStatusWalk.h"

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;
using standin::svn::LockInfo;
using standin::svn::NodeInfo;

constexpr long kBase = 7;
const LockInfo kMine{"opaquelocktoken:mine", "alice", ""};
const LockInfo kTheirs{"opaquelocktoken:theirs", "bob", ""};
constexpr qor4::StatusWord kHeld = fs::kCheckedOut | fs::kLockedByMe;
constexpr qor4::StatusWord kHeldByOther = fs::kCheckedOutByOther | fs::kLockedByOther;

NodeInfo Node(svn_wc_status_kind node, long revision = kBase)
{
    NodeInfo info;
    info.reported = true;
    info.versioned = node != svn_wc_status_unversioned && node != svn_wc_status_ignored;
    info.node = node;
    info.revision = revision;
    return info;
}

// Subversion reports a tree conflict's victim that the working copy does not version as not
// versioned, in conflict.
NodeInfo UnversionedInConflict()
{
    NodeInfo info;
    info.reported = true;
    info.node = svn_wc_status_conflicted;
    return info;
}

NodeInfo Locked(NodeInfo info, const LockInfo& local, const LockInfo& repository)
{
    info.localLock = local;
    info.repositoryLock = repository;
    return info;
}

NodeInfo Behind(NodeInfo info)
{
    info.repositoryNode = svn_wc_status_modified;
    return info;
}

struct WordCase {
    const char* name;
    NodeInfo node;
    qor4::StatusWord local;  // the working copy alone
    qor4::StatusWord remote; // with the repository
};

void PrintTo(const WordCase& entry, std::ostream* out)
{
    *out << entry.name;
}

class StatusWordTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(StatusWordTest, TheWordOfAWalkedFile)
{
    EXPECT_EQ(standin::SvnBackend::WordOf(GetParam().node, false), GetParam().local) << "working copy alone";
    EXPECT_EQ(standin::SvnBackend::WordOf(GetParam().node, true), GetParam().remote) << "with the repository";
}

INSTANTIATE_TEST_SUITE_P(
    States, StatusWordTest,
    ::testing::Values(
        WordCase{"UpToDate", Node(svn_wc_status_normal), 0, 0},
        WordCase{"NotMetByTheWalk", NodeInfo{}, fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"Unversioned", Node(svn_wc_status_unversioned), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"Ignored", Node(svn_wc_status_ignored), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"UnversionedInATreeConflict", UnversionedInConflict(), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"ScheduledForAddition", Node(svn_wc_status_added, -1), fs::kMarkedForAdd, fs::kMarkedForAdd},
        WordCase{"Replaced", Node(svn_wc_status_replaced), fs::kMarkedForAdd, fs::kMarkedForAdd},
        WordCase{"AddedAndThenRemovedFromDisk", Node(svn_wc_status_missing, -1), fs::kMarkedForAdd, fs::kMarkedForAdd},
        WordCase{"MissingFromDiskNotAdded", Node(svn_wc_status_missing), 0, 0},
        WordCase{"ScheduledForDeletion", Node(svn_wc_status_deleted), fs::kMarkedForDelete, fs::kMarkedForDelete},
        WordCase{"AFolderWhereTheFileWas", Node(svn_wc_status_obstructed), fs::kIOError, fs::kIOError},
        WordCase{"MyLockHeldOnTheServer", Locked(Node(svn_wc_status_normal), kMine, kMine), kHeld, kHeld},
        WordCase{"MyLockStolenOnTheServer", Locked(Node(svn_wc_status_normal), kMine, kTheirs), kHeld, kHeldByOther},
        WordCase{"MyLockBrokenOnTheServer", Locked(Node(svn_wc_status_normal), kMine, LockInfo{}), kHeld, 0},
        WordCase{"AnotherSLock", Locked(Node(svn_wc_status_normal), LockInfo{}, kTheirs), 0, kHeldByOther},
        WordCase{"NewerInTheRepository", Behind(Node(svn_wc_status_normal)), 0, fs::kNotAtHead},
        WordCase{"AnotherSLockOnANewerRevision", Behind(Locked(Node(svn_wc_status_normal), LockInfo{}, kTheirs)), 0,
                 kHeldByOther | fs::kNotAtHead},
        WordCase{"LockedByMeAndScheduledForDeletion", Locked(Node(svn_wc_status_deleted), kMine, kMine),
                 fs::kMarkedForDelete | kHeld, fs::kMarkedForDelete | kHeld}),
    [](const ::testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

} // namespace
