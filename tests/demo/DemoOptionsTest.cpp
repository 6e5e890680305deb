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
    const char* error; // empty: accepted
    std::string asked; // what an accepted command line asks for, as Asked() tells it
};

void PrintTo(const ParseCase& entry, std::ostream* out)
{
    *out << entry.name;
}

// The user, then each setting that differs from its default.
std::string Asked(const DemoOptions& options)
{
    std::string asked = "user=" + options.user;
    if (!options.server.empty()) asked += " server=" + options.server + " workspace=" + options.workspace;
    if (options.https) asked += " https";
    if (!options.configDir.empty()) asked += " config=" + options.configDir;
    if (options.sessionLifetimeSeconds != 0) asked += " lifetime=" + std::to_string(options.sessionLifetimeSeconds);
    if (!options.lockServer.empty()) asked += " lock=" + options.lockServer;
    if (options.linkDelayMs != -1) asked += " delay=" + std::to_string(options.linkDelayMs);
    if (options.refreshes != 0) asked += " refreshes=" + std::to_string(options.refreshes);
    return asked;
}

class DemoOptionsParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DemoOptionsParse, AcceptsWhatFitsTogetherAndSaysWhatDoesNot)
{
    const ParseCase& entry = GetParam();
    const DemoOptions options = DemoOptions::Parse(entry.args);
    EXPECT_EQ(options.ok, !*entry.error) << options.error.toStdString();
    EXPECT_TRUE(options.error.contains(QString::fromUtf8(entry.error))) << options.error.toStdString();
    if (options.ok) {
        EXPECT_EQ(Asked(options), entry.asked);
    }
}

const QStringList kServer{"--server", "svn://host/depot", "--workspace", "/w"};

INSTANTIATE_TEST_SUITE_P(
    Arguments, DemoOptionsParse,
    ::testing::Values(
        ParseCase{"nothing", {}, "", "user=alice"}, ParseCase{"another sample user", {"--user", "bob"}, "", "user=bob"},
        ParseCase{"an unknown sample user", {"--user", "mallory"}, "unknown user mallory", ""},
        ParseCase{"an empty user name", {"--user", ""}, "--user takes a user name; it was empty", ""},
        ParseCase{"a blank user name for someone else's repository", kServer + QStringList{"--user", " "},
                  "--user takes a user name; it was empty", ""},
        ParseCase{"a user name with a line break", kServer + QStringList{"--user", "al\nice"},
                  "--user takes a user name; it held a control character", ""},
        ParseCase{"the sample project over https with a configuration folder",
                  {"--https", "--config-dir", "/etc/studio-svn"},
                  "",
                  "user=alice https config=/etc/studio-svn"},
        ParseCase{"someone else's repository", kServer + QStringList{"--user", "zoe"}, "",
                  "user=zoe server=svn://host/depot workspace=/w"},
        ParseCase{
            "a replica with its master named",
            {"--server", "https://office/svn/depot", "--workspace", "/w", "--lock-server", "https://master/svn/depot"},
            "",
            "user=alice server=https://office/svn/depot workspace=/w lock=https://master/svn/depot"},
        ParseCase{"a master without the replica it serves",
                  {"--lock-server", "https://master/svn/depot"},
                  "--lock-server names the master of the replica given with --server",
                  ""},
        ParseCase{"a server without its workspace", {"--server", "svn://host/depot"}, "go together", ""},
        ParseCase{"a workspace without its server", {"--workspace", "/w"}, "go together", ""},
        ParseCase{"https with someone else's server",
                  {"--https", "--server", "https://host/depot", "--workspace", "/w"},
                  "--https serves the sample project",
                  ""},
        ParseCase{"the walkthrough with someone else's server", QStringList{"--walkthrough"} + kServer,
                  "the walkthrough plays on the sample project", ""},
        ParseCase{"both modes", {"--walkthrough", "--interactive"}, "exclude each other", ""},
        ParseCase{"a session lifetime", {"--session-lifetime", "90"}, "", "user=alice lifetime=90"},
        ParseCase{"a lifetime that is no number", {"--session-lifetime", "soon"}, "positive number of seconds", ""},
        ParseCase{"a lifetime of zero", {"--session-lifetime", "0"}, "positive number of seconds", ""},
        ParseCase{
            "refreshes asked for", {"--refreshes", "50", "--screenshot", "/tmp/w.png"}, "", "user=alice refreshes=50"},
        ParseCase{"refreshes that are no number", {"--refreshes", "many"}, "--refreshes takes a number", ""},
        ParseCase{"a single refresh, which tells no growth", {"--refreshes", "1"}, "at least 2", ""},
        ParseCase{"refreshes in the walkthrough", {"--walkthrough", "--refreshes", "5"}, "not the walkthrough", ""},
        ParseCase{
            "the sample project at a distance", {"--https", "--link-delay", "50"}, "", "user=alice https delay=50"},
        ParseCase{"a link delay that is no number", {"--link-delay", "far"}, "--link-delay takes milliseconds", ""},
        ParseCase{"a negative link delay", {"--link-delay", "-5"}, "--link-delay takes milliseconds", ""},
        ParseCase{"a link delay past any link", {"--link-delay", "600000"}, "--link-delay takes milliseconds", ""},
        ParseCase{"the walkthrough at a distance",
                  {"--walkthrough", "--link-delay", "50"},
                  "the walkthrough's script expects its server nearby",
                  ""},
        ParseCase{"a link delay to someone else's server", kServer + QStringList{"--link-delay", "50"},
                  "--link-delay puts the sample project's own server at a distance", ""},
        ParseCase{"an option without its value", {"--user"}, "Missing value after '--user'", ""},
        ParseCase{"an unknown option", {"--frobnicate"}, "Unknown option 'frobnicate'", ""},
        ParseCase{"a stray argument", {"extra"}, "unknown argument extra", ""}));

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

const QStringList kDistant{"--link-delay", "50"};
const QStringList kPicture{"--screenshot", "/tmp/x.png"};

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
        ModeCase{"someone else's repository pictured offscreen", kServer + kPicture, false, false, true,
                 Mode::Interactive, true},
        ModeCase{"the sample project at a distance without a display needs a picture to take", kDistant, false, false,
                 false, Mode::Interactive, false},
        ModeCase{"the sample project at a distance pictured offscreen", kDistant + kPicture, false, false, true,
                 Mode::Interactive, true}));

} // namespace
