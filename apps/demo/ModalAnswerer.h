// ModalAnswerer: plays the user in front of the plug-in's modal windows. Answers are queued before
// the action that opens the windows; a timer watches QApplication::activeModalWidget() from the
// windows' nested event loops, takes a picture of each window and applies the next answer. A window
// that nobody expected is pictured, recorded as unexpected and closed. An answered window counts
// again only once its own event loop is back in charge, not while an inner window's loop unwinds.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace demo {

class ModalAnswerer : public QObject {
public:
    using Action = std::function<void(QWidget* window)>;

    struct Window {
        QString className;
        QString objectName;
        QString title;
        QString text;    // a message box's text, or the labels of a dialog
        QString picture; // file name of its PNG
        QString answer;  // what was done, or "unexpected"
        bool expected = true;
    };

    explicit ModalAnswerer(const QDir& pictureDir);

    // Pictures of the following windows are named "<prefix>-<n>-<title>.png".
    void SetPicturePrefix(const QString& prefix) { m_prefix = prefix; }
    // Queues what to do with the next window; description goes to the record.
    void AnswerNext(const QString& description, Action action);

    const std::vector<Window>& Windows() const { return m_windows; }
    std::size_t Pending() const { return m_actions.size(); }
    // Forgets unused answers; the record stays.
    void DropPending() { m_actions.clear(); }

    // --- Answers -----------------------------------------------------------------------------------
    // Clicks the child button with this object name, or with this text ('&' ignored).
    static Action Click(const QString& objectNameOrText);
    // Types text into the child line edit with this object name.
    static Action Type(const QString& editName, const QString& text);
    // Runs several answers in order.
    static Action Sequence(std::vector<Action> actions);

private:
    struct QueuedAnswer {
        QString description;
        Action action;
    };

    struct Answered {
        QPointer<QWidget> window;
        int loopLevel = 0; // event-loop depth at which it was answered
    };

    void Poll();
    bool IsUnwindingPast(const QWidget* window, int loopLevel);
    void Answer(QWidget* window);
    QString TakePicture(QWidget* window);

    QDir m_pictureDir;
    QString m_prefix;
    std::deque<QueuedAnswer> m_actions;
    std::vector<Window> m_windows;
    std::vector<Answered> m_answered;
    QPointer<QWidget> m_lastSeen;
    QElapsedTimer m_sinceSeen;
    QTimer m_timer;
    int m_pictureCount = 0;
};

} // namespace demo
