// The demo's command line: what each set of arguments asks for, or why it is refused; and which
// mode it runs in with and without a display.
#include "DemoOptions.h"

#include <gtest/gtest.h>

namespace {

using demo::DemoOptions;
using Mode = DemoOptions::Mode;

using Args = QStringList;

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

const Args kServer{"--server", "svn://host/depot", "--workspace", "/w"};

TEST(DemoOptionsParse, AcceptsWhatFitsTogetherAndSaysWhatDoesNot)
{
    const struct {
        const char* name;
        Args args;
        const char* error; // empty: accepted
        std::string asked; // what an accepted command line asks for, as Asked() tells it
    } cases[] = {
        {"nothing", Args{}, "", "user=alice"},
        {"another sample user", Args{"--user", "bob"}, "", "user=bob"},
        {"an unknown sample user", Args{"--user", "mallory"}, "unknown user mallory", ""},
        {"an empty user name", Args{"--user", ""}, "--user takes a user name; it was empty", ""},
        {"a blank user name for someone else's repository", kServer + Args{"--user", " "},
         "--user takes a user name; it was empty", ""},
        {"a user name with a line break", kServer + Args{"--user", "al\nice"},
         "--user takes a user name; it held a control character", ""},
        {"the sample project over https with a configuration folder",
         Args{"--https", "--config-dir", "/etc/studio-svn"}, "", "user=alice https config=/etc/studio-svn"},
        {"someone else's repository", kServer + Args{"--user", "zoe"}, "",
         "user=zoe server=svn://host/depot workspace=/w"},
        {"a replica with its master named",
         Args{"--server", "https://office/svn/depot", "--workspace", "/w", "--lock-server", "https://master/svn/depot"},
         "", "user=alice server=https://office/svn/depot workspace=/w lock=https://master/svn/depot"},
        {"a master without the replica it serves", Args{"--lock-server", "https://master/svn/depot"},
         "--lock-server names the master of the replica given with --server", ""},
        {"a server without its workspace", Args{"--server", "svn://host/depot"}, "go together", ""},
        {"a workspace without its server", Args{"--workspace", "/w"}, "go together", ""},
        {"https with someone else's server", Args{"--https", "--server", "https://host/depot", "--workspace", "/w"},
         "--https serves the sample project", ""},
        {"the walkthrough with someone else's server", Args{"--walkthrough"} + kServer,
         "the walkthrough plays on the sample project", ""},
        {"both modes", Args{"--walkthrough", "--interactive"}, "exclude each other", ""},
        {"a session lifetime", Args{"--session-lifetime", "90"}, "", "user=alice lifetime=90"},
        {"a lifetime that is no number", Args{"--session-lifetime", "soon"}, "positive number of seconds", ""},
        {"a lifetime of zero", Args{"--session-lifetime", "0"}, "positive number of seconds", ""},
        {"refreshes asked for", Args{"--refreshes", "50", "--screenshot", "/tmp/w.png"}, "", "user=alice refreshes=50"},
        {"refreshes that are no number", Args{"--refreshes", "many"}, "--refreshes takes a number", ""},
        {"a single refresh, which tells no growth", Args{"--refreshes", "1"}, "at least 2", ""},
        {"refreshes in the walkthrough", Args{"--walkthrough", "--refreshes", "5"}, "not the walkthrough", ""},
        {"the sample project at a distance", Args{"--https", "--link-delay", "50"}, "", "user=alice https delay=50"},
        {"a link delay that is no number", Args{"--link-delay", "far"}, "--link-delay takes milliseconds", ""},
        {"a negative link delay", Args{"--link-delay", "-5"}, "--link-delay takes milliseconds", ""},
        {"a link delay past any link", Args{"--link-delay", "600000"}, "--link-delay takes milliseconds", ""},
        {"the walkthrough at a distance", Args{"--walkthrough", "--link-delay", "50"},
         "the walkthrough's script expects its server nearby", ""},
        {"a link delay to someone else's server", kServer + Args{"--link-delay", "50"},
         "--link-delay puts the sample project's own server at a distance", ""},
        {"an option without its value", Args{"--user"}, "Missing value after '--user'", ""},
        {"an unknown option", Args{"--frobnicate"}, "Unknown option 'frobnicate'", ""},
        {"a stray argument", Args{"extra"}, "unknown argument extra", ""}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const DemoOptions options = DemoOptions::Parse(entry.args);
        EXPECT_EQ(options.ok, !*entry.error) << options.error.toStdString();
        EXPECT_TRUE(options.error.contains(QString::fromUtf8(entry.error))) << options.error.toStdString();
        if (options.ok) {
            EXPECT_EQ(Asked(options), entry.asked);
        }
    }
}

TEST(DemoOptionsUsage, NamesTheProgramAsItIsCalledWithItsOptions)
{
    const QString usage = DemoOptions::Usage();
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage: zrdemo [options]\n"))) << usage.toStdString();
    for (const char* option : {"--help", "--user <NAME>", "--server <URL>", "--workspace <PATH>", "--walkthrough"})
        EXPECT_TRUE(usage.contains(QLatin1String(option))) << option;
}

TEST(DemoOptionsMode, RunsWhatWasAskedOrSaysWhatItNeeds)
{
    const Args distant{"--link-delay", "50"};
    const Args picture{"--screenshot", "/tmp/x.png"};
    const struct {
        const char* name;
        Args args;
        bool display;
        bool platformChosen;
        bool ok; // false: refused for want of --screenshot
        Mode mode;
        bool offscreen;
    } cases[] = {
        {"the sample project with a display", Args{}, true, false, true, Mode::Interactive, false},
        {"the sample project without one plays the walkthrough", Args{}, false, false, true, Mode::Walkthrough, false},
        {"a platform chosen counts as a display", Args{}, false, true, true, Mode::Interactive, false},
        {"someone else's repository with a display", kServer, true, false, true, Mode::Interactive, false},
        {"someone else's repository without one needs a picture to take", kServer, false, false, false,
         Mode::Interactive, false},
        {"someone else's repository pictured offscreen", kServer + picture, false, false, true, Mode::Interactive,
         true},
        {"the sample project at a distance without a display needs a picture to take", distant, false, false, false,
         Mode::Interactive, false},
        {"the sample project at a distance pictured offscreen", distant + picture, false, false, true,
         Mode::Interactive, true}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        DemoOptions options = DemoOptions::Parse(entry.args);
        ASSERT_TRUE(options.ok) << options.error.toStdString();
        options.ChooseMode(entry.display, entry.platformChosen);
        EXPECT_EQ(options.ok, entry.ok) << options.error.toStdString();
        if (!options.ok) {
            EXPECT_TRUE(options.error.contains(QStringLiteral("--screenshot FILE"))) << options.error.toStdString();
            continue;
        }
        EXPECT_EQ(options.mode, entry.mode);
        EXPECT_EQ(options.offscreen, entry.offscreen);
    }
}

} // namespace
