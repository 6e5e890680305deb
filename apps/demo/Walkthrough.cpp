#include "Walkthrough.h"

#include "AssetSnapshot.h"
#include "WalkthroughSteps.h"

#include "framework/PrintableText.h"

#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QWidget>

namespace demo {

namespace {

// Lets each window lay itself out and paint before it is pictured and answered.
constexpr int kSettleMs = 150;
constexpr const char* kRule = "==========================================================================\n";

std::string Indented(const std::string& text, const std::string& indent)
{
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        result += indent + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return result;
}

} // namespace

Walkthrough::Walkthrough(DemoHost& host, QWidget& mainWindow, std::function<void()> refresh, const QDir& outDir)
    : m_host(host), m_mainWindow(mainWindow), m_refresh(std::move(refresh)), m_outDir(outDir),
      m_modal(standin::ModalDriver::Options{kSettleMs, true})
{
    m_modal.SetPictureTaker([this](QWidget* window) { return TakePicture(window); });
}

QString Walkthrough::TakePicture(QWidget* window)
{
    QString title = window->windowTitle().toLower();
    title.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    title.remove(QRegularExpression(QStringLiteral("^-+|-+$")));
    if (title.isEmpty()) title = QStringLiteral("window");
    const QString name = QStringLiteral("%1-%2-%3.png").arg(m_picturePrefix).arg(++m_pictureCount).arg(title);
    return window->grab().save(m_outDir.filePath(name)) ? name : QString();
}

bool Walkthrough::Run()
{
    std::string log = std::string("Revision-control plug-in walkthrough, user ") + m_host.User() + ", data folder " +
                      m_host.Project().DataDir().toStdString() + "\nSubversion server: " + m_host.ServerUrl() +
                      ", working copy " + m_host.Workspace() + "\n\nInitial state:\n" +
                      ProjectSnapshot::Take(m_host).Format() + "\n";
    bool allPassed = true;
    const std::vector<StepDefinition>& steps = WalkthroughStepTable();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        bool passed = false;
        log += RunStep(i, passed);
        allPassed = allPassed && passed;
    }
    m_refresh();
    const bool pictured = m_mainWindow.grab().save(m_outDir.filePath(kMainWindowPicture));
    log += kRule;
    log += std::string("Result: ") + (allPassed ? "every step came out as expected" : "SOME STEPS FAILED") + "\n";
    if (!pictured) log += "(the main window could not be pictured)\n";

    // Windows' texts and the host log hold what the server and its hooks said: written escaped.
    const std::string printable = standin::PrintableText(log);
    QFile file(LogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(printable.c_str()) < 0) return false;
    return allPassed;
}

std::string Walkthrough::RunStep(std::size_t index, bool& passed)
{
    const StepDefinition& step = WalkthroughStepTable()[index];
    const QString prefix = QStringLiteral("%1-%2").arg(index + 1, 2, 10, QLatin1Char('0')).arg(step.id);
    m_picturePrefix = prefix;
    const std::size_t logStart = m_host.Log().Count();

    std::string text = kRule;
    text += "Step " + std::to_string(index + 1) + ": " + step.title + "\n";
    text += "Before:\n" + ProjectSnapshot::Take(m_host).Format();

    StepContext context{m_host, m_modal, m_modal.Seen().size(), {}, {}};
    step.run(context);
    if (m_modal.Pending() != 0) {
        context.failures.push_back("expected " + std::to_string(m_modal.Pending()) + " more window(s) that never came");
        m_modal.DropPending();
    }
    for (const standin::ModalDriver::Window& window : context.Windows())
        if (!window.expected) context.failures.push_back("no window \"" + window.title.toStdString() + "\"");
    m_refresh();

    text += "Windows:\n";
    if (context.Windows().empty()) text += "  none\n";
    for (const standin::ModalDriver::Window& window : context.Windows()) {
        text += "  \"" + window.title.toStdString() + "\" (" + window.className.toStdString() + ", picture " +
                (window.picture.isEmpty() ? std::string("none") : window.picture.toStdString()) + ")\n";
        const QString shown =
            window.informativeText.isEmpty() ? window.text : window.text + QLatin1Char('\n') + window.informativeText;
        text += Indented(shown.toStdString(), "    | ");
        text += "    answer: " + window.answer.toStdString() + "\n";
    }
    text += "Plug-in log entries:\n";
    const auto& entries = m_host.Log().Entries();
    if (entries.size() == logStart) text += "  none\n";
    for (std::size_t i = logStart; i < entries.size(); ++i)
        text += Indented(entries[i].text, "  [" + std::to_string(static_cast<int>(entries[i].type)) + "] ");
    for (const std::string& note : context.notes)
        text += "Note: " + note + "\n";
    text += "After:\n" + ProjectSnapshot::Take(m_host).Format();

    passed = context.failures.empty();
    text += std::string("Outcome: ") + (passed ? "as expected" : "NOT AS EXPECTED") + "\n";
    for (const std::string& failure : context.failures)
        text += "  - " + failure + "\n";
    text += "\n";
    return text;
}

} // namespace demo
