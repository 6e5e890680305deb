// The demo's command line.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace demo {

struct DemoOptions {
    enum class Mode { Interactive, Walkthrough };

    Mode mode = Mode::Interactive;
    bool modeGiven = false;
    // Windows render offscreen: a picture of the main window is asked for without a display.
    bool offscreen = false;
    QString dataDir;    // empty: the default data folder (interactive) or a fresh temporary one (walkthrough)
    QString outDir;     // walkthrough pictures and log
    QString screenshot; // interactive: picture the main window after start-up and quit
    std::string user;
    std::string server;     // an existing repository's URL instead of the sample project
    std::string workspace;  // its working copy
    bool https = false;     // the sample project through the demo's own Apache over TLS
    std::string configDir;  // Subversion's configuration folder ("" the user's own)
    std::string lockServer; // behind a replica: the master that keeps the locks ("" the one it records)
    int sessionLifetimeSeconds = 0;
    // Interactive: refreshes after start-up, the resident memory told after the second and the
    // last, then quit (0: none). The second is the first one the start-up's memory no longer shows.
    int refreshes = 0;
    // The sample project's server at a distance: milliseconds each way through a relay (-1: none).
    int linkDelayMs = -1;
    bool ok = true;
    bool help = false;
    QString error;

    static constexpr const char* kDefaultOutDir = "demo-output";
    static constexpr int kMinimumRefreshes = 2;
    static QString Usage();
    // args without the program name.
    static DemoOptions Parse(const QStringList& args);
    // The walkthrough runs when asked for, or when there is no display and no platform chosen, and
    // only on the sample project with its server nearby (no --link-delay). Without a display, another server's
    // repository is shown only as a picture (--screenshot); otherwise ok turns false with what is needed.
    void ChooseMode(bool hasDisplay, bool platformChosen);
};

} // namespace demo
