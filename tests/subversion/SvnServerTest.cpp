// The project's own svnserve: loopback only, and gone when stopped or when its owner goes.
#include "SvnSandbox.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

bool ProcessExists(pid_t pid)
{
    return kill(pid, 0) == 0;
}

TEST(SvnServerTest, ServesOnLoopbackAndLeavesNoProcessBehind)
{
    pid_t pid = 0;
    {
        SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}});
        ASSERT_EQ(sandbox.Error(), "");
        pid = sandbox.Server().Pid();
        EXPECT_TRUE(ProcessExists(pid));
        EXPECT_EQ(sandbox.Url().rfind("svn://127.0.0.1:", 0), 0u) << sandbox.Url();
        EXPECT_EQ(sandbox.Url(), "svn://127.0.0.1:" + std::to_string(sandbox.Server().Port()) + "/depot");

        // A stopped (SIGSTOP) server is still ended by Stop.
        kill(pid, SIGSTOP);
        sandbox.Server().Stop();
        EXPECT_FALSE(ProcessExists(pid));
        sandbox.Server().Stop();
    }
    EXPECT_FALSE(ProcessExists(pid));
}

} // namespace
