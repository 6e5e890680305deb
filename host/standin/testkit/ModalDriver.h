// ModalDriver: plays the user in front of modal windows, for the tests and the demo's walkthrough.
//
//     standin::ModalDriver driver;
//     driver.PressNext(QMessageBox::Retry);
//     driver.AnswerNext(standin::ModalDriver::Click("okButton"), "OK");
//     flowUnderTest();                 // opens two modal windows
//     EXPECT_EQ(driver.Pending(), 0u);
//     EXPECT_EQ(driver.Seen()[0].title, "Connection Error");
//
// Answers are queued before the flow runs; a timer watches QApplication::activeModalWidget() from
// the nested event loop of each modal window and applies the next answer to the next new window.
// A window counts again only once its own event loop is back in charge, so an outer window that
// shows through for a moment while an inner one's loop unwinds is not mistaken for a new one.
#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace standin {

class ModalDriver : public QObject {
public:
    struct Window {
        QString className;
        QString objectName;
        QString title;
        QString text; // a message box's text, or the visible labels of another window
        QString informativeText;
        QString detailedText;
        QStringList buttons; // message boxes: button texts in layout order
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool sizeGrip = false; // a message box the user can resize by its corner
        QString picture;       // file name given by the picture taker, if any
        QString answer;        // the description of what was done
        bool expected = true;
    };
    using Action = std::function<void(QWidget* window)>;
    // Takes a picture of a window about to be answered; answers its file name.
    using PictureTaker = std::function<QString(QWidget* window)>;
    // Told when a window could not be answered as queued.
    using ProblemHandler = std::function<void(const std::string& problem)>;

    struct Options {
        // Lets a window lay itself out and paint before it is answered (and pictured).
        int settleMs = 0;
        // Closes windows that come when no answer is queued, instead of leaving them to the flow.
        bool closeUnexpected = false;
    };

    ModalDriver();
    explicit ModalDriver(Options options);
    ~ModalDriver() override;

    // Queues an answer for the next modal window that appears.
    void AnswerNext(Action action, const QString& description = QString());
    // Message boxes: clicks the standard button.
    void PressNext(QMessageBox::StandardButton button);
    // Clicks the first button whose text, without '&', is text.
    void PressNextByText(const QString& text);
    // Sends a key press (Qt::Key_Escape, Qt::Key_Return, ...) to the window.
    void KeyNext(int key);
    void AcceptNext();
    void RejectNext();
    // Records the window and leaves it open (for flows that close it themselves).
    void WatchNext();

    // Ready-made answers.
    static Action Click(const QString& objectNameOrText);
    static Action Type(const QString& editName, const QString& text);
    static Action Sequence(std::vector<Action> actions);

    void SetPictureTaker(PictureTaker taker) { m_pictures = std::move(taker); }
    void SetProblemHandler(ProblemHandler handler) { m_problem = std::move(handler); }
    // Windows this answers true for are left to the flow: no answer is spent on them, none is closed
    // (the host's progress box, which comes and goes by itself when an operation takes a while).
    void SetLeaveAlone(std::function<bool(const QWidget* window)> leaveAlone) { m_leaveAlone = std::move(leaveAlone); }

    // Windows met so far, in order.
    const std::vector<Window>& Seen() const { return m_seen; }
    // Answers not used yet.
    std::size_t Pending() const { return m_actions.size(); }
    // Forgets unused answers; the record stays.
    void DropPending() { m_actions.clear(); }

private:
    struct Queued {
        Action action;
        QString description;
    };
    struct Handled {
        QPointer<QWidget> window;
        int loopLevel = 0; // event-loop depth at which the window was answered
    };

    void Poll();
    void Handle(QWidget* window);
    bool IsUnwindingPast(const QWidget* window, int loopLevel);
    void Report(const std::string& problem) const;
    void UpdateTimer();
    static Window Describe(QWidget* window);

    Options m_options;
    std::deque<Queued> m_actions;
    std::vector<Window> m_seen;
    std::vector<Handled> m_handled;
    QPointer<QWidget> m_lastSeen;
    QElapsedTimer m_sinceSeen;
    QTimer m_timer;
    PictureTaker m_pictures;
    ProblemHandler m_problem;
    std::function<bool(const QWidget* window)> m_leaveAlone;
};

} // namespace standin
