// The headless walkthrough: plays the step table against a running host and its main window,
// pictures every window met, and writes a plain log of each step with the state before and after.
#pragma once

#include "DemoHost.h"
#include "testkit/ModalDriver.h"

#include <QDir>
#include <QString>

class QWidget;

namespace demo {

class Walkthrough {
public:
    static constexpr const char* kLogFile = "walkthrough.log";
    static constexpr const char* kMainWindowPicture = "main-window.png";

    // mainWindow is refreshed through refresh after each step and pictured at the end.
    Walkthrough(DemoHost& host, QWidget& mainWindow, std::function<void()> refresh, const QDir& outDir);

    // Runs every step; true when each one came out as the scenario expects. The log is written
    // even when a step fails.
    bool Run();
    QString LogPath() const { return m_outDir.filePath(kLogFile); }

private:
    std::string RunStep(std::size_t index, bool& passed);
    // Saves a picture of the window as "<prefix>-<n>-<title>.png"; answers its file name.
    QString TakePicture(QWidget* window);

    DemoHost& m_host;
    QWidget& m_mainWindow;
    std::function<void()> m_refresh;
    QDir m_outDir;
    standin::ModalDriver m_modal;
    QString m_picturePrefix;
    int m_pictureCount = 0;
};

} // namespace demo
