#include "DemoOptions.h"

#include "SampleProject.h"

namespace demo {

QString DemoOptions::Usage()
{
    return QStringLiteral(
        "Usage: zrdemo [--interactive | --walkthrough] [--data DIR] [--user NAME] [--out DIR] [--screenshot FILE]\n"
        "       zrdemo --server URL --user NAME --workspace PATH [--interactive] [--screenshot FILE]\n"
        "  --interactive     the main window (needs a display)\n"
        "  --walkthrough     play the scripted scenario offscreen, write pictures and a log to --out\n"
        "  --data DIR        the project's data folder (default ~/.local/share/zrdemo; the walkthrough\n"
        "                    uses a fresh temporary folder unless given)\n"
        "  --user NAME       act as alice (default), bob or carol; instances share the repository\n"
        "  --server URL      work with an existing Subversion repository (svn://, file://, https://)\n"
        "  --workspace PATH  its working copy (with --server); the plug-in asks for the password\n"
        "  --session-lifetime SECONDS  how long a session lasts before the password is asked again\n"
        "                    (default 12 hours)\n"
        "  --out DIR         where the walkthrough writes (default ./demo-output)\n"
        "  --screenshot FILE picture the main window after start-up, then quit\n");
}

DemoOptions DemoOptions::Parse(const QStringList& args)
{
    DemoOptions options;
    options.user = SampleUsers::kMain;
    options.outDir = QString::fromLatin1(kDefaultOutDir);
    for (int i = 0; i < args.size() && options.ok; ++i) {
        const QString& arg = args[i];
        auto value = [&](QString& target) {
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--"))) {
                options.ok = false;
                options.error = arg + QStringLiteral(" needs a value");
                return;
            }
            target = args[++i];
        };
        if (arg == QLatin1String("--walkthrough") || arg == QLatin1String("--interactive")) {
            options.mode = arg == QLatin1String("--walkthrough") ? Mode::Walkthrough : Mode::Interactive;
            options.modeGiven = true;
        } else if (arg == QLatin1String("--data")) {
            value(options.dataDir);
        } else if (arg == QLatin1String("--out")) {
            value(options.outDir);
        } else if (arg == QLatin1String("--screenshot")) {
            value(options.screenshot);
        } else if (arg == QLatin1String("--user")) {
            QString user;
            value(user);
            options.user = user.toStdString();
        } else if (arg == QLatin1String("--server") || arg == QLatin1String("--workspace")) {
            QString text;
            value(text);
            (arg == QLatin1String("--server") ? options.server : options.workspace) = text.toStdString();
        } else if (arg == QLatin1String("--session-lifetime")) {
            QString seconds;
            value(seconds);
            bool number = false;
            options.sessionLifetimeSeconds = seconds.toInt(&number);
            if (options.ok && (!number || options.sessionLifetimeSeconds <= 0)) {
                options.ok = false;
                options.error = QStringLiteral("--session-lifetime takes a positive number of seconds");
            }
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else {
            options.ok = false;
            options.error = QStringLiteral("unknown argument %1").arg(arg);
        }
    }
    if (!options.ok) return options;
    const std::string& user = options.user;
    if (options.server.empty() != options.workspace.empty()) {
        options.ok = false;
        options.error = QStringLiteral("--server and --workspace go together");
    } else if (options.server.empty() && user != SampleUsers::kMain && user != SampleUsers::kOther &&
               user != SampleUsers::kThird) {
        options.ok = false;
        options.error = QStringLiteral("unknown user %1 (alice, bob or carol)").arg(QString::fromStdString(user));
    } else if (!options.server.empty() && options.mode == Mode::Walkthrough && options.modeGiven) {
        options.ok = false;
        options.error = QStringLiteral("the walkthrough plays on the sample project, not with --server");
    }
    return options;
}

void DemoOptions::ChooseMode(bool hasDisplay, bool platformChosen)
{
    if (!modeGiven && !hasDisplay && !platformChosen) mode = Mode::Walkthrough;
}

} // namespace demo
