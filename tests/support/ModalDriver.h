// ModalDriver: answers the modal windows a flow opens, in order, and records what each showed.
//
//     ModalDriver driver;
//     driver.PressNext(QMessageBox::Retry);
//     driver.RejectNext();
//     flowUnderTest();                 // opens two modal windows
//     EXPECT_EQ(driver.Pending(), 0u);
//     EXPECT_EQ(driver.Seen()[0].title, "Connection Error");
//
// Answers are queued before the flow runs; a timer watches QApplication::activeModalWidget() from
// the nested event loop of each modal window and applies the next answer to the next new window.
// A window counts again when its own event loop is back in charge, so an outer window that shows
// through for a moment while an inner one's loop unwinds is not mistaken for a new one.
#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

class ModalDriver : public QObject {
public:
    struct Window {
        QString className;
        QString objectName;
        QString title;
        QString text;
        QString informativeText;
        QString detailedText;
        QStringList buttons; // message boxes: button texts in layout order
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    using Action = std::function<void(QWidget* modal)>;

    ModalDriver();
    ~ModalDriver() override;

    // Queues an answer for the next modal window that appears.
    void AnswerNext(Action action);
    // Message boxes: clicks the standard button.
    void PressNext(QMessageBox::StandardButton button);
    // Clicks the first push button (of any window) whose text, without '&', is text.
    void PressNextByText(const QString& text);
    // Sends a key press (Qt::Key_Escape, Qt::Key_Return, ...) to the window.
    void KeyNext(int key);
    void AcceptNext();
    void RejectNext();
    // Records the window and leaves it open (for flows that close it themselves).
    void WatchNext();

    // Windows answered so far, in order.
    const std::vector<Window>& Seen() const { return m_seen; }
    // Answers not used yet.
    std::size_t Pending() const { return m_actions.size(); }

private:
    struct Handled {
        QPointer<QWidget> window;
        int loopLevel = 0; // event-loop depth at which the window was answered
    };

    void Poll();
    bool IsUnwindingPast(const QWidget* modal, int loopLevel);
    static Window Describe(QWidget* modal);

    std::deque<Action> m_actions;
    std::vector<Window> m_seen;
    std::vector<Handled> m_handled;
    QPointer<QWidget> m_lastHandled;
    QElapsedTimer m_sinceAnswer;
    QTimer m_timer;
};
