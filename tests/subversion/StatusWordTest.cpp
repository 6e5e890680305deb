// A walked file's status word, as the backend tells it: one row per state a working copy and its
// repository can be in. No server: the walk's findings are given as data.
#include "subversion/SvnBackend.h"
#include "subversion/SvnStatusWalk.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

namespace fs = qor4::FileStatus;
using standin::svn::LockInfo;
using standin::svn::NodeInfo;

constexpr long kBase = 7;
const LockInfo kMine{"opaquelocktoken:mine", "alice", ""};
const LockInfo kTheirs{"opaquelocktoken:theirs", "bob", ""};

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
        WordCase{"up to date", Node(svn_wc_status_normal), 0, 0},
        WordCase{"not met by the walk", NodeInfo{}, fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"unversioned", Node(svn_wc_status_unversioned), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"ignored", Node(svn_wc_status_ignored), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"unversioned, in a tree conflict", UnversionedInConflict(), fs::kNotInDepot, fs::kNotInDepot},
        WordCase{"scheduled for addition", Node(svn_wc_status_added, -1), fs::kMarkedForAdd, fs::kMarkedForAdd},
        WordCase{"replaced", Node(svn_wc_status_replaced), fs::kMarkedForAdd, fs::kMarkedForAdd},
        WordCase{"added and then removed from disk", Node(svn_wc_status_missing, -1), fs::kMarkedForAdd,
                 fs::kMarkedForAdd},
        WordCase{"missing from disk, not added", Node(svn_wc_status_missing), 0, 0},
        WordCase{"scheduled for deletion", Node(svn_wc_status_deleted), fs::kMarkedForDelete, fs::kMarkedForDelete},
        WordCase{"a folder where the file was", Node(svn_wc_status_obstructed), fs::kIOError, fs::kIOError},
        WordCase{"my lock, held on the server", Locked(Node(svn_wc_status_normal), kMine, kMine),
                 fs::kCheckedOut | fs::kLockedByMe, fs::kCheckedOut | fs::kLockedByMe},
        WordCase{"my lock, stolen on the server", Locked(Node(svn_wc_status_normal), kMine, kTheirs),
                 fs::kCheckedOut | fs::kLockedByMe, fs::kCheckedOutByOther | fs::kLockedByOther},
        WordCase{"my lock, broken on the server", Locked(Node(svn_wc_status_normal), kMine, LockInfo{}),
                 fs::kCheckedOut | fs::kLockedByMe, 0},
        WordCase{"another's lock", Locked(Node(svn_wc_status_normal), LockInfo{}, kTheirs), 0,
                 fs::kCheckedOutByOther | fs::kLockedByOther},
        WordCase{"newer in the repository", Behind(Node(svn_wc_status_normal)), 0, fs::kNotAtHead},
        WordCase{"another's lock on a newer revision", Behind(Locked(Node(svn_wc_status_normal), LockInfo{}, kTheirs)),
                 0, fs::kCheckedOutByOther | fs::kLockedByOther | fs::kNotAtHead},
        WordCase{"locked by me and scheduled for deletion", Locked(Node(svn_wc_status_deleted), kMine, kMine),
                 fs::kMarkedForDelete | fs::kCheckedOut | fs::kLockedByMe,
                 fs::kMarkedForDelete | fs::kCheckedOut | fs::kLockedByMe}),
    [](const ::testing::TestParamInfo<WordCase>& info) {
        std::string name;
        bool upper = true;
        for (const char* c = info.param.name; *c; ++c) {
            if (!std::isalnum(static_cast<unsigned char>(*c))) {
                upper = true;
                continue;
            }
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
            upper = false;
        }
        return name;
    });

} // namespace
