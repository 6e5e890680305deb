#include "testkit/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace standin {

namespace {

constexpr int kPollIntervalMs = 5;
// A window still up this long after its answer was applied did not take the answer.
constexpr qint64 kStuckMs = 10000;
constexpr char kUnexpected[] = "unexpected: closed";
constexpr char kStuck[] = "stayed open after its answer: closed";

QString PlainText(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// Clicks the first button with this object name or this text ('&' ignored); false when none.
bool ClickButton(QWidget* window, const QString& objectNameOrText)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->objectName() == objectNameOrText || PlainText(button->text()) == objectNameOrText) {
            button->click();
            return true;
        }
    }
    return false;
}

void CloseWindow(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace

ModalDriver::ModalDriver() : ModalDriver(Options()) {}

ModalDriver::ModalDriver(Options options) : m_options(options)
{
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::Poll);
    UpdateTimer();
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::AnswerNext(Action action, const QString& description)
{
    m_actions.push_back({std::move(action), description});
    UpdateTimer();
}

void ModalDriver::PressNext(QMessageBox::StandardButton button)
{
    AnswerNext([this, button](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (QAbstractButton* target = box ? box->button(button) : nullptr) {
            target->click();
            return;
        }
        Report("the window has no such standard button; closed it");
        CloseWindow(window);
    });
}

void ModalDriver::PressNextByText(const QString& text)
{
    AnswerNext(
        [this, text](QWidget* window) {
            if (ClickButton(window, text)) return;
            Report("no button '" + text.toStdString() + "'; closed the window");
            CloseWindow(window);
        },
        text);
}

void ModalDriver::KeyNext(int key)
{
    AnswerNext([key](QWidget* window) { QTest::keyClick(window, static_cast<Qt::Key>(key)); });
}

void ModalDriver::AcceptNext()
{
    AnswerNext([](QWidget* window) {
        if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->accept();
    });
}

void ModalDriver::RejectNext()
{
    AnswerNext([](QWidget* window) {
        if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->reject();
    });
}

void ModalDriver::WatchNext()
{
    AnswerNext([](QWidget*) {});
}

ModalDriver::Action ModalDriver::Click(const QString& objectNameOrText)
{
    return [objectNameOrText](QWidget* window) {
        if (!ClickButton(window, objectNameOrText)) CloseWindow(window);
    };
}

ModalDriver::Action ModalDriver::Type(const QString& editName, const QString& text)
{
    return [editName, text](QWidget* window) {
        auto* edit = window->findChild<QLineEdit*>(editName);
        if (!edit) return;
        edit->setFocus();
        // Key by key, as a user types: dialogs react to edits, not to text set by the program.
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
            QApplication::sendEvent(edit, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
            QApplication::sendEvent(edit, &release);
        }
    };
}

ModalDriver::Action ModalDriver::Sequence(std::vector<Action> actions)
{
    return [actions](QWidget* window) {
        QPointer<QWidget> guarded(window);
        for (const Action& action : actions)
            if (guarded) action(guarded);
    };
}

ModalDriver::Window ModalDriver::Describe(QWidget* window)
{
    Window seen;
    seen.className = QString::fromLatin1(window->metaObject()->className());
    seen.objectName = window->objectName();
    seen.title = window->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.detailedText = box->detailedText();
        seen.icon = box->icon();
        seen.sizeGrip = box->isSizeGripEnabled();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << PlainText(button->text());
        return seen;
    }
    QStringList lines;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty()) lines << label->text();
    seen.text = lines.join(QLatin1Char('\n'));
    return seen;
}

bool ModalDriver::IsUnwindingPast(const QWidget* window, int loopLevel)
{
    m_handled.erase(
        std::remove_if(m_handled.begin(), m_handled.end(), [](const Handled& h) { return h.window.isNull(); }),
        m_handled.end());
    // An answered window seen from deeper than its own loop: an inner window has just closed and
    // its loop has not returned yet.
    return std::any_of(m_handled.begin(), m_handled.end(),
                       [&](const Handled& h) { return h.window == window && loopLevel > h.loopLevel; });
}

void ModalDriver::Report(const std::string& problem) const
{
    if (m_problem) m_problem("ModalDriver: " + problem);
}

void ModalDriver::UpdateTimer()
{
    const bool wanted = !m_actions.empty() || m_options.closeUnexpected;
    if (wanted && !m_timer.isActive()) m_timer.start();
    if (!wanted && m_timer.isActive()) m_timer.stop();
}

void ModalDriver::Poll()
{
    QWidget* window = QApplication::activeModalWidget();
    // The window just answered may still be on screen until its event loop ends.
    if (window == nullptr || !window->isVisible()) return;
    // The last window met counts as met while it lives, also when it is shown again (the host's
    // progress box comes back for every long operation).
    if (window == m_lastSeen) {
        // An answer that did not close its window would block the flow for good.
        if (m_sinceSeen.elapsed() > kStuckMs) {
            Window stuck = Describe(window);
            stuck.answer = QString::fromLatin1(kStuck);
            stuck.expected = false;
            m_seen.push_back(stuck);
            Report("'" + window->windowTitle().toStdString() + "' " + kStuck);
            CloseWindow(window);
            m_sinceSeen.restart();
        }
        return;
    }
    if (IsUnwindingPast(window, QThread::currentThread()->loopLevel())) return;
    m_lastSeen = window;
    m_sinceSeen.restart();
    // Acted on from an event of its own: a timer does not fire again while its own slot runs, and
    // the answer may open the next modal window.
    QPointer<QWidget> guarded(window);
    QTimer::singleShot(m_options.settleMs, this, [this, guarded] {
        // By now another window may have come up above it.
        if (!guarded || !guarded->isVisible() || guarded != QApplication::activeModalWidget() ||
            IsUnwindingPast(guarded, QThread::currentThread()->loopLevel())) {
            if (m_lastSeen == guarded) m_lastSeen = nullptr;
            return;
        }
        Handle(guarded);
    });
}

void ModalDriver::Handle(QWidget* window)
{
    if ((m_actions.empty() && !m_options.closeUnexpected) || (m_leaveAlone && m_leaveAlone(window))) {
        m_lastSeen = nullptr;
        return;
    }
    m_handled.push_back({window, QThread::currentThread()->loopLevel()});
    Window seen = Describe(window);
    if (m_pictures) seen.picture = m_pictures(window);
    if (m_actions.empty()) {
        seen.answer = QString::fromLatin1(kUnexpected);
        seen.expected = false;
        m_seen.push_back(seen);
        CloseWindow(window);
        return;
    }
    Queued next = std::move(m_actions.front());
    m_actions.pop_front();
    UpdateTimer();
    seen.answer = next.description;
    m_seen.push_back(seen);
    next.action(window);
}

} // namespace standin
