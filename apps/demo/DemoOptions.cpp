#include "DemoOptions.h"

#include "SampleProject.h"

#include <QCommandLineParser>

#include <algorithm>

namespace demo {

namespace {

constexpr const char* kProgramName = "zrdemo";

const QCommandLineOption kInteractive(QStringLiteral("interactive"),
                                      QStringLiteral("The main window (needs a display)."));
const QCommandLineOption
    kWalkthrough(QStringLiteral("walkthrough"),
                 QStringLiteral("Play the scripted scenario offscreen; pictures and a log go to --out."));
const QCommandLineOption kData(QStringLiteral("data"),
                               QStringLiteral("The project's data folder (default ~/.local/share/zrdemo; the "
                                              "walkthrough uses a fresh temporary folder unless given)."),
                               QStringLiteral("DIR"));
const QCommandLineOption kUser(QStringLiteral("user"),
                               QStringLiteral("Act as alice (default), bob or carol; instances share the repository."),
                               QStringLiteral("NAME"));
const QCommandLineOption
    kServer(QStringLiteral("server"),
            QStringLiteral("Work with an existing Subversion repository (svn://, file://, https://)."),
            QStringLiteral("URL"));
const QCommandLineOption
    kWorkspace(QStringLiteral("workspace"),
               QStringLiteral("Its working copy (with --server); the plug-in asks for the password."),
               QStringLiteral("PATH"));
const QCommandLineOption kHttps(QStringLiteral("https"),
                                QStringLiteral("Serve the sample project through the demo's own Apache with "
                                               "mod_dav_svn over TLS instead of svnserve."));
const QCommandLineOption kConfigDir(QStringLiteral("config-dir"),
                                    QStringLiteral("Subversion's configuration folder to read (default the user's own, "
                                                   "~/.subversion); nothing is written there."),
                                    QStringLiteral("PATH"));
const QCommandLineOption kLockServer(QStringLiteral("lock-server"),
                                     QStringLiteral("With --server through a replica: the master that keeps the "
                                                    "locks, as its URL of the repository (default the master the "
                                                    "replica records)."),
                                     QStringLiteral("URL"));
const QCommandLineOption kLifetime(QStringLiteral("session-lifetime"),
                                   QStringLiteral("How long a session lasts before the password is asked again "
                                                  "(default 12 hours)."),
                                   QStringLiteral("SECONDS"));
const QCommandLineOption kLinkDelay(QStringLiteral("link-delay"),
                                    QStringLiteral("Put the sample project's server at a distance: everything it "
                                                   "sends and receives is delayed this long each way (a round "
                                                   "trip takes twice as long)."),
                                    QStringLiteral("MS"));
// Longer than any user would wait on a link; a typing slip rather than a distance.
constexpr int kLongestLinkDelayMs = 10000;
const QCommandLineOption kOut(QStringLiteral("out"),
                              QStringLiteral("Where the walkthrough writes (default ./demo-output)."),
                              QStringLiteral("DIR"));
const QCommandLineOption kScreenshot(QStringLiteral("screenshot"),
                                     QStringLiteral("Picture the main window after start-up, then quit (offscreen "
                                                    "without a display)."),
                                     QStringLiteral("FILE"));

const QCommandLineOption kRefreshes(QStringLiteral("refreshes"),
                                    QStringLiteral("After start-up, refresh N times (the Refresh action), print the "
                                                   "resident memory after the second and the last, then quit."),
                                    QStringLiteral("N"));

void Describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "The stand-in host with the revision-control plug-in.\n"
        "  zrdemo [--interactive | --walkthrough] [--https] [--link-delay MS] [--data DIR] [--user NAME] [--out DIR]\n"
        "  zrdemo --server URL --user NAME --workspace PATH [--lock-server URL] [--interactive] [--screenshot FILE]"));
    parser.addHelpOption();
    parser.addOptions({kInteractive, kWalkthrough, kData, kUser, kServer, kWorkspace, kHttps, kConfigDir, kLockServer,
                       kLifetime, kLinkDelay, kOut, kScreenshot, kRefreshes});
}

} // namespace

QString DemoOptions::Usage()
{
    QCommandLineParser parser;
    Describe(parser);
    // The parser names the program after the running application's first argument, or a
    // placeholder before there is one: the usage line names the program as users call it.
    QString text = parser.helpText();
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, lineEnd, QStringLiteral("Usage: %1 [options]").arg(QLatin1String(kProgramName)));
    return text;
}

DemoOptions DemoOptions::Parse(const QStringList& args)
{
    DemoOptions options;
    options.user = SampleUsers::kMain;
    options.outDir = QString::fromLatin1(kDefaultOutDir);
    QCommandLineParser parser;
    Describe(parser);
    auto fail = [&options](const QString& error) {
        options.ok = false;
        options.error = error;
        return options;
    };
    if (!parser.parse(QStringList{QLatin1String(kProgramName)} + args)) return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unknown argument %1").arg(parser.positionalArguments().first()));
    options.help = parser.isSet(QStringLiteral("help"));
    if (parser.isSet(kInteractive) && parser.isSet(kWalkthrough))
        return fail(QStringLiteral("--interactive and --walkthrough exclude each other"));
    options.modeGiven = parser.isSet(kInteractive) || parser.isSet(kWalkthrough);
    if (parser.isSet(kWalkthrough)) options.mode = Mode::Walkthrough;
    options.dataDir = parser.value(kData);
    if (parser.isSet(kOut)) options.outDir = parser.value(kOut);
    options.screenshot = parser.value(kScreenshot);
    if (parser.isSet(kUser)) {
        const QString user = parser.value(kUser);
        // No account has an empty name: the server would refuse every password asked for it.
        if (user.trimmed().isEmpty()) return fail(QStringLiteral("--user takes a user name; it was empty"));
        // It is shown in windows and logs and sent to the server: a line break would forge a line.
        if (std::any_of(user.begin(), user.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
            return fail(QStringLiteral("--user takes a user name; it held a control character"));
        options.user = user.toStdString();
    }
    options.server = parser.value(kServer).toStdString();
    options.workspace = parser.value(kWorkspace).toStdString();
    options.https = parser.isSet(kHttps);
    options.configDir = parser.value(kConfigDir).toStdString();
    options.lockServer = parser.value(kLockServer).toStdString();
    if (parser.isSet(kLifetime)) {
        bool number = false;
        options.sessionLifetimeSeconds = parser.value(kLifetime).toInt(&number);
        if (!number || options.sessionLifetimeSeconds <= 0)
            return fail(QStringLiteral("--session-lifetime takes a positive number of seconds"));
    }
    if (parser.isSet(kRefreshes)) {
        bool number = false;
        options.refreshes = parser.value(kRefreshes).toInt(&number);
        if (!number || options.refreshes < kMinimumRefreshes)
            return fail(QStringLiteral("--refreshes takes a number of refreshes, at least %1").arg(kMinimumRefreshes));
        if (parser.isSet(kWalkthrough))
            return fail(QStringLiteral("--refreshes is for the main window, not the walkthrough"));
    }
    if (parser.isSet(kLinkDelay)) {
        bool number = false;
        options.linkDelayMs = parser.value(kLinkDelay).toInt(&number);
        if (!number || options.linkDelayMs < 0 || options.linkDelayMs > kLongestLinkDelayMs)
            return fail(QStringLiteral("--link-delay takes milliseconds from 0 to %1").arg(kLongestLinkDelayMs));
    }

    const std::string& user = options.user;
    if (options.server.empty() != options.workspace.empty())
        return fail(QStringLiteral("--server and --workspace go together"));
    if (!options.lockServer.empty() && options.server.empty())
        return fail(QStringLiteral("--lock-server names the master of the replica given with --server"));
    if (!options.server.empty() && options.https)
        return fail(QStringLiteral("--https serves the sample project; --server names another repository"));
    if (options.mode == Mode::Walkthrough && options.linkDelayMs >= 0)
        return fail(QStringLiteral("the walkthrough's script expects its server nearby, not with --link-delay"));
    if (!options.server.empty() && options.linkDelayMs >= 0)
        return fail(QStringLiteral("--link-delay puts the sample project's own server at a distance, not --server"));
    if (options.server.empty() && user != SampleUsers::kMain && user != SampleUsers::kOther &&
        user != SampleUsers::kThird)
        return fail(QStringLiteral("unknown user %1 (alice, bob or carol)").arg(QString::fromStdString(user)));
    if (!options.server.empty() && options.mode == Mode::Walkthrough && options.modeGiven)
        return fail(QStringLiteral("the walkthrough plays on the sample project, not with --server"));
    return options;
}

void DemoOptions::ChooseMode(bool hasDisplay, bool platformChosen)
{
    if (hasDisplay || platformChosen) return;
    // The walkthrough's script expects its server nearby: at a distance, as with another server,
    // there is only a picture to take.
    if (server.empty() && linkDelayMs < 0) {
        if (!modeGiven) mode = Mode::Walkthrough;
        return;
    }
    if (screenshot.isEmpty()) {
        ok = false;
        error = QStringLiteral("there is no display: with --server or --link-delay, give --screenshot FILE for a "
                               "picture of the repository's assets, or run where DISPLAY or WAYLAND_DISPLAY is set");
        return;
    }
    mode = Mode::Interactive;
    offscreen = true;
}

} // namespace demo
