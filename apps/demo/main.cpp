// zrdemo: the stand-in host application with the revision-control plug-in loaded from disk.
#include "DemoHost.h"
#include "DemoOptions.h"
#include "OrnisWindow.h"
#include "Walkthrough.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";
constexpr const char* kOffscreen = "offscreen";
constexpr const char* kDefaultDataFolder = "zrdemo";
constexpr int kScreenshotDelayMs = 500;
// The refresh after which the resident memory is first told: the first one may still grow it by
// what only a second load reuses.
constexpr int kFirstToldRefresh = 2;
// The offscreen platform's notice for every shown window; it says nothing about the demo.
constexpr const char* kOffscreenNoise = "This plugin does not support propagateSizeHints()";

QtMessageHandler previousHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QLatin1String(kOffscreenNoise)) return;
    if (previousHandler) previousHandler(type, context, message);
}

bool HasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

QString DefaultDataDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir(base).filePath(kDefaultDataFolder);
}

// This process's resident memory in kB (VmRSS), or -1 when the system does not tell it.
long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(line.find_first_not_of(" \t", 6)));
    return -1;
}

// Refreshes the window (its Refresh action) the number of times asked, each once the one before has
// its rows and states, and tells the resident memory after the second and after the last.
class RefreshRun {
public:
    RefreshRun(demo::OrnisWindow& window, int count, std::function<void()> finished)
        : m_window(window), m_count(count), m_finished(std::move(finished))
    {
    }
    // A load is complete: the start-up's, then each refresh's.
    void Loaded()
    {
        if (m_refreshed == kFirstToldRefresh || m_refreshed == m_count)
            std::printf("zrdemo: after refresh %d of %d: VmRSS %ld kB\n", m_refreshed, m_count, ResidentKb());
        std::fflush(stdout);
        if (m_refreshed == m_count) {
            m_finished();
            return;
        }
        QTimer::singleShot(0, &m_window, [this] { Next(); });
    }

private:
    void Next()
    {
        ++m_refreshed;
        if (auto* refresh = m_window.findChild<QAction*>(QStringLiteral("refreshAction"))) refresh->trigger();
        if (!m_window.Loading()) Loaded(); // a small project is in at once
    }

    demo::OrnisWindow& m_window;
    const int m_count;
    int m_refreshed = 0;
    std::function<void()> m_finished;
};

int RunWalkthrough(demo::DemoHost& host, demo::OrnisWindow& window, const QString& outDir)
{
    QDir out(outDir);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "zrdemo: cannot create %s\n", qPrintable(outDir));
        return 2;
    }
    for (const QString& old : out.entryList({QStringLiteral("*.png"), demo::Walkthrough::kLogFile}, QDir::Files))
        out.remove(old);
    demo::Walkthrough walkthrough(
        host, window, [&window] { window.Refresh(); }, out);
    int exitCode = 0;
    QTimer::singleShot(0, [&] {
        exitCode = walkthrough.Run() ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    std::printf("Walkthrough %s.\nPictures: %s/*.png\nLog:      %s\n",
                exitCode == 0 ? "finished: every step came out as expected" : "FAILED: see the log",
                qPrintable(out.absolutePath()), qPrintable(QFileInfo(walkthrough.LogPath()).absoluteFilePath()));
    return exitCode;
}

int RunInteractive(demo::OrnisWindow& window, const QString& screenshot, int refreshes)
{
    auto takePicture = [&window, screenshot] {
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot);
            std::printf("zrdemo: status bar: %s\n", qPrintable(window.StatusMessage()));
            std::printf("%s %s\n", saved ? "Screenshot:" : "Cannot write the screenshot", qPrintable(screenshot));
            QApplication::exit(saved ? 0 : 2);
        });
    };
    bool pictureTaken = false;
    std::unique_ptr<RefreshRun> refreshRun;
    if (refreshes > 0)
        refreshRun = std::make_unique<RefreshRun>(window, refreshes, [&] {
            pictureTaken = true;
            if (screenshot.isEmpty())
                QApplication::exit(0);
            else
                takePicture();
        });
    window.SetLoadedCallback([&](const demo::AssetTreeFeeder::LoadTimes& times) {
        std::printf("zrdemo: %zu assets: first rows after %lld ms, every row after %lld ms, %s after %lld ms "
                    "(the first rows' after %lld ms); the window answered at least every %lld ms\n",
                    times.assets, static_cast<long long>(times.firstRowsMs), static_cast<long long>(times.allRowsMs),
                    times.statesKnown ? "the server's states"
                                      : "no server states (not connected, or the server did not answer)",
                    static_cast<long long>(times.statesMs), static_cast<long long>(times.firstStatesMs),
                    static_cast<long long>(times.longestPauseMs));
        std::fflush(stdout);
        if (refreshRun) {
            refreshRun->Loaded();
            return;
        }
        if (!screenshot.isEmpty() && !pictureTaken) {
            pictureTaken = true;
            takePicture();
        }
    });
    // A small project is on screen with its states as soon as the window is.
    if (refreshRun && !window.Loading()) {
        refreshRun->Loaded();
    } else if (!screenshot.isEmpty() && !window.Loading()) {
        pictureTaken = true;
        takePicture();
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    demo::DemoOptions options = demo::DemoOptions::Parse(args);
    if (!options.ok || options.help) {
        if (!options.ok) std::fprintf(stderr, "zrdemo: %s\n", qPrintable(options.error));
        std::fputs(qPrintable(demo::DemoOptions::Usage()), options.ok ? stdout : stderr);
        return options.ok ? 0 : 2;
    }
    options.ChooseMode(HasDisplay(), qEnvironmentVariableIsSet(kPlatformVariable));
    if (!options.ok) {
        std::fprintf(stderr, "zrdemo: %s\n", qPrintable(options.error));
        return 2;
    }
    const bool walkthrough = options.mode == demo::DemoOptions::Mode::Walkthrough;
    if (walkthrough || options.offscreen) qputenv(kPlatformVariable, kOffscreen);

    previousHandler = qInstallMessageHandler(&FilterMessages);
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    QString dataDir = options.dataDir;
    if (dataDir.isEmpty()) dataDir = walkthrough ? scratch.path() : DefaultDataDir();
    if (dataDir.isEmpty()) {
        std::fprintf(stderr, "zrdemo: no data folder\n");
        return 2;
    }

    int exitCode = 0;
    {
        demo::DemoHost host(dataDir, options.user,
                            {options.server, options.workspace, options.sessionLifetimeSeconds, options.https,
                             options.configDir, options.lockServer, options.linkDelayMs});
        const demo::HostStart start = host.Start();
        if (!start.ok) {
            std::fprintf(stderr, "zrdemo: %s\n", start.error.c_str());
            return 2;
        }
        std::printf("zrdemo: user %s, Subversion server %s, working copy %s\n", options.user.c_str(),
                    host.ServerUrl().c_str(), host.Workspace().c_str());
        demo::OrnisWindow window(host);
        window.show();
        exitCode = walkthrough ? RunWalkthrough(host, window, options.outDir)
                               : RunInteractive(window, options.screenshot, options.refreshes);
    }
    return exitCode;
}
