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
    QString dataDir;    // empty: the default data folder (interactive) or a fresh temporary one (walkthrough)
    QString outDir;     // walkthrough pictures and log
    QString screenshot; // interactive: picture the main window after start-up and quit
    std::string user;
    std::string server;    // an existing repository's URL instead of the sample project
    std::string workspace; // its working copy
    int sessionLifetimeSeconds = 0;
    bool ok = true;
    bool help = false;
    QString error;

    static constexpr const char* kDefaultOutDir = "demo-output";
    static QString Usage();
    // args without the program name.
    static DemoOptions Parse(const QStringList& args);
    // The walkthrough runs when asked for, or when there is no display and no platform chosen.
    void ChooseMode(bool hasDisplay, bool platformChosen);
};

} // namespace demo
