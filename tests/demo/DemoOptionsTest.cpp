// The demo's command line: what each set of arguments asks for, or why it is refused; and which
// mode it runs in with and without a display.
#include "DemoOptions.h"

#include <gtest/gtest.h>

namespace {

using demo::DemoOptions;
using Mode = DemoOptions::Mode;

struct ParseCase {
    const char* name;
    QStringList args;
    QString error; // empty: accepted
    // What an accepted command line asks for.
    std::string user;
    std::string server;
    bool https;
    std::string configDir;
    int lifetime;
    std::string lockServer;
    int linkDelay;
};

void PrintTo(const ParseCase& entry, std::ostream* out)
{
    *out << entry.name;
}

ParseCase Accepted(const char* name, QStringList args, std::string user = "alice", std::string server = {},
                   bool https = false, std::string configDir = {}, int lifetime = 0, std::string lockServer = {},
                   int linkDelay = -1)
{
    return {name,  std::move(args),      {},       std::move(user),       std::move(server),
            https, std::move(configDir), lifetime, std::move(lockServer), linkDelay};
}

ParseCase Refused(const char* name, QStringList args, const char* error)
{
    return {name, std::move(args), QString::fromUtf8(error), {}, {}, false, {}, 0, {}, -1};
}

class DemoOptionsParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DemoOptionsParse, AcceptsWhatFitsTogetherAndSaysWhatDoesNot)
{
    const ParseCase& entry = GetParam();
    const DemoOptions options = DemoOptions::Parse(entry.args);
    EXPECT_EQ(options.ok, entry.error.isEmpty()) << options.error.toStdString();
    EXPECT_TRUE(options.error.contains(entry.error)) << options.error.toStdString();
    if (!options.ok) return;
    EXPECT_EQ(options.user, entry.user);
    EXPECT_EQ(options.server, entry.server);
    EXPECT_EQ(options.https, entry.https);
    EXPECT_EQ(options.configDir, entry.configDir);
    EXPECT_EQ(options.sessionLifetimeSeconds, entry.lifetime);
    EXPECT_EQ(options.lockServer, entry.lockServer);
    EXPECT_EQ(options.linkDelayMs, entry.linkDelay);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, DemoOptionsParse,
    ::testing::Values(
        Accepted("nothing", {}), Accepted("another sample user", {"--user", "bob"}, "bob"),
        Refused("an unknown sample user", {"--user", "mallory"}, "unknown user mallory"),
        Refused("an empty user name", {"--user", ""}, "--user takes a user name; it was empty"),
        Refused("a blank user name for someone else's repository",
                {"--server", "svn://host/depot", "--workspace", "/w", "--user", " "},
                "--user takes a user name; it was empty"),
        Refused("a user name with a line break",
                {"--server", "svn://host/depot", "--workspace", "/w", "--user", "al\nice"},
                "--user takes a user name; it held a control character"),
        Accepted("the sample project over https with a configuration folder",
                 {"--https", "--config-dir", "/etc/studio-svn"}, "alice", "", true, "/etc/studio-svn"),
        Accepted("someone else's repository", {"--server", "svn://host/depot", "--workspace", "/w", "--user", "zoe"},
                 "zoe", "svn://host/depot"),
        Accepted("a replica with its master named",
                 {"--server", "https://office/svn/depot", "--workspace", "/w", "--lock-server",
                  "https://master/svn/depot"},
                 "alice", "https://office/svn/depot", false, "", 0, "https://master/svn/depot"),
        Refused("a master without the replica it serves", {"--lock-server", "https://master/svn/depot"},
                "--lock-server names the master of the replica given with --server"),
        Refused("a server without its workspace", {"--server", "svn://host/depot"}, "go together"),
        Refused("a workspace without its server", {"--workspace", "/w"}, "go together"),
        Refused("https with someone else's server", {"--https", "--server", "https://host/depot", "--workspace", "/w"},
                "--https serves the sample project"),
        Refused("the walkthrough with someone else's server",
                {"--walkthrough", "--server", "svn://host/depot", "--workspace", "/w"},
                "the walkthrough plays on the sample project"),
        Refused("both modes", {"--walkthrough", "--interactive"}, "exclude each other"),
        Accepted("a session lifetime", {"--session-lifetime", "90"}, "alice", "", false, "", 90),
        Refused("a lifetime that is no number", {"--session-lifetime", "soon"}, "positive number of seconds"),
        Refused("a lifetime of zero", {"--session-lifetime", "0"}, "positive number of seconds"),
        Refused("refreshes that are no number", {"--refreshes", "many"}, "--refreshes takes a number"),
        Refused("a single refresh, which tells no growth", {"--refreshes", "1"}, "at least 2"),
        Refused("refreshes in the walkthrough", {"--walkthrough", "--refreshes", "5"}, "not the walkthrough"),
        Accepted("the sample project at a distance", {"--https", "--link-delay", "50"}, "alice", "", true, "", 0, "",
                 50),
        Refused("a link delay that is no number", {"--link-delay", "far"}, "--link-delay takes milliseconds"),
        Refused("a negative link delay", {"--link-delay", "-5"}, "--link-delay takes milliseconds"),
        Refused("a link delay past any link", {"--link-delay", "600000"}, "--link-delay takes milliseconds"),
        Refused("the walkthrough at a distance", {"--walkthrough", "--link-delay", "50"},
                "the walkthrough's script expects its server nearby"),
        Refused("a link delay to someone else's server",
                {"--server", "svn://host/depot", "--workspace", "/w", "--link-delay", "50"},
                "--link-delay puts the sample project's own server at a distance"),
        Refused("an option without its value", {"--user"}, "Missing value after '--user'"),
        Refused("an unknown option", {"--frobnicate"}, "Unknown option 'frobnicate'"),
        Refused("a stray argument", {"extra"}, "unknown argument extra")));

TEST(DemoOptionsRefreshes, NoneUnlessAskedForThenTheNumberAsked)
{
    EXPECT_EQ(DemoOptions::Parse({}).refreshes, 0);
    const DemoOptions options = DemoOptions::Parse({"--refreshes", "50", "--screenshot", "/tmp/w.png"});
    ASSERT_TRUE(options.ok) << options.error.toStdString();
    EXPECT_EQ(options.refreshes, 50);
}

TEST(DemoOptionsUsage, NamesTheProgramAsItIsCalledWithItsOptions)
{
    const QString usage = DemoOptions::Usage();
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage: zrdemo [options]\n"))) << usage.toStdString();
    for (const char* option : {"--help", "--user <NAME>", "--server <URL>", "--workspace <PATH>", "--walkthrough"})
        EXPECT_TRUE(usage.contains(QLatin1String(option))) << option;
}

struct ModeCase {
    const char* name;
    QStringList args;
    bool display;
    bool platformChosen;
    bool ok;
    Mode mode;
    bool offscreen;
};

void PrintTo(const ModeCase& entry, std::ostream* out)
{
    *out << entry.name;
}

class DemoOptionsMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DemoOptionsMode, RunsWhatWasAskedOrSaysWhatItNeeds)
{
    const ModeCase& entry = GetParam();
    DemoOptions options = DemoOptions::Parse(entry.args);
    ASSERT_TRUE(options.ok) << options.error.toStdString();
    options.ChooseMode(entry.display, entry.platformChosen);
    EXPECT_EQ(options.ok, entry.ok) << options.error.toStdString();
    if (!options.ok) {
        EXPECT_TRUE(options.error.contains(QStringLiteral("--screenshot FILE"))) << options.error.toStdString();
        return;
    }
    EXPECT_EQ(options.mode, entry.mode);
    EXPECT_EQ(options.offscreen, entry.offscreen);
}

const QStringList kServer{"--server", "svn://host/depot", "--workspace", "/w"};

INSTANTIATE_TEST_SUITE_P(
    Displays, DemoOptionsMode,
    ::testing::Values(
        ModeCase{"the sample project with a display", {}, true, false, true, Mode::Interactive, false},
        ModeCase{
            "the sample project without one plays the walkthrough", {}, false, false, true, Mode::Walkthrough, false},
        ModeCase{"a platform chosen counts as a display", {}, false, true, true, Mode::Interactive, false},
        ModeCase{"someone else's repository with a display", kServer, true, false, true, Mode::Interactive, false},
        ModeCase{"someone else's repository without one needs a picture to take", kServer, false, false, false,
                 Mode::Interactive, false},
        ModeCase{"someone else's repository pictured offscreen", kServer + QStringList{"--screenshot", "/tmp/x.png"},
                 false, false, true, Mode::Interactive, true},
        ModeCase{"the sample project at a distance without a display needs a picture to take",
                 {"--link-delay", "50"},
                 false,
                 false,
                 false,
                 Mode::Interactive,
                 false},
        ModeCase{"the sample project at a distance pictured offscreen",
                 {"--link-delay", "50", "--screenshot", "/tmp/x.png"},
                 false,
                 false,
                 true,
                 Mode::Interactive,
                 true}));

} // namespace
