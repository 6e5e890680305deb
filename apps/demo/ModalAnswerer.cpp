#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace demo {

namespace {

constexpr int kPollIntervalMs = 20;
// Lets the window lay itself out and paint before it is pictured and answered.
constexpr int kSettleMs = 150;
constexpr const char* kUnexpected = "unexpected: closed";
constexpr qint64 kStuckMs = 15000;
constexpr const char* kStuck = "stayed open after its answer: closed";

QString PlainText(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QString FileNamePart(const QString& title)
{
    QString part = title.toLower();
    part.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    part.remove(QRegularExpression(QStringLiteral("^-+|-+$")));
    return part.isEmpty() ? QStringLiteral("window") : part;
}

QString VisibleText(QWidget* window)
{
    if (auto* box = qobject_cast<QMessageBox*>(window))
        return box->text() + (box->informativeText().isEmpty() ? QString() : "\n" + box->informativeText());
    QStringList lines;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty()) lines << label->text();
    return lines.join(QLatin1Char('\n'));
}

void CloseWindow(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace

ModalAnswerer::ModalAnswerer(const QDir& pictureDir) : m_pictureDir(pictureDir)
{
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::Poll);
    m_timer.start();
}

void ModalAnswerer::AnswerNext(const QString& description, Action action)
{
    m_actions.push_back({description, std::move(action)});
}

void ModalAnswerer::Poll()
{
    if (m_lastSeen && !m_lastSeen->isVisible()) m_lastSeen = nullptr;
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr || !window->isVisible()) return;
    if (IsUnwindingPast(window, QThread::currentThread()->loopLevel())) return;
    if (window == m_lastSeen) {
        // An answer that did not close its window would block the walkthrough for good.
        if (m_sinceSeen.elapsed() > kStuckMs) {
            m_windows.push_back({QString::fromLatin1(window->metaObject()->className()), window->objectName(),
                                 window->windowTitle(), VisibleText(window), QString(), QString::fromLatin1(kStuck),
                                 false});
            CloseWindow(window);
            m_sinceSeen.restart();
        }
        return;
    }
    m_lastSeen = window;
    m_sinceSeen.restart();
    QPointer<QWidget> guarded(window);
    QTimer::singleShot(kSettleMs, this, [this, guarded] {
        // By now another window may have come up above it.
        if (!guarded || !guarded->isVisible() || guarded != QApplication::activeModalWidget()) {
            if (m_lastSeen == guarded) m_lastSeen = nullptr;
            return;
        }
        const int loopLevel = QThread::currentThread()->loopLevel();
        if (IsUnwindingPast(guarded, loopLevel)) {
            m_lastSeen = nullptr;
            return;
        }
        m_answered.push_back({guarded, loopLevel});
        Answer(guarded);
    });
}

bool ModalAnswerer::IsUnwindingPast(const QWidget* window, int loopLevel)
{
    m_answered.erase(
        std::remove_if(m_answered.begin(), m_answered.end(), [](const Answered& a) { return a.window.isNull(); }),
        m_answered.end());
    return std::any_of(m_answered.begin(), m_answered.end(),
                       [&](const Answered& a) { return a.window == window && loopLevel > a.loopLevel; });
}

void ModalAnswerer::Answer(QWidget* window)
{
    Window seen;
    seen.className = QString::fromLatin1(window->metaObject()->className());
    seen.objectName = window->objectName();
    seen.title = window->windowTitle();
    seen.text = VisibleText(window);
    seen.picture = TakePicture(window);
    if (m_actions.empty()) {
        seen.expected = false;
        seen.answer = QString::fromLatin1(kUnexpected);
        m_windows.push_back(seen);
        CloseWindow(window);
        return;
    }
    QueuedAnswer next = std::move(m_actions.front());
    m_actions.pop_front();
    seen.answer = next.description;
    m_windows.push_back(seen);
    next.action(window);
}

QString ModalAnswerer::TakePicture(QWidget* window)
{
    const QString name =
        QStringLiteral("%1-%2-%3.png").arg(m_prefix).arg(++m_pictureCount).arg(FileNamePart(window->windowTitle()));
    return window->grab().save(m_pictureDir.filePath(name)) ? name : QString();
}

ModalAnswerer::Action ModalAnswerer::Click(const QString& objectNameOrText)
{
    return [objectNameOrText](QWidget* window) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->objectName() == objectNameOrText || PlainText(button->text()) == objectNameOrText) {
                button->click();
                return;
            }
        }
        CloseWindow(window);
    };
}

ModalAnswerer::Action ModalAnswerer::Type(const QString& editName, const QString& text)
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

ModalAnswerer::Action ModalAnswerer::Sequence(std::vector<Action> actions)
{
    return [actions](QWidget* window) {
        QPointer<QWidget> guarded(window);
        for (const Action& action : actions)
            if (guarded) action(guarded);
    };
}

} // namespace demo
