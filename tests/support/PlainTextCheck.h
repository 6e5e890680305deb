// Checks that a window shows a text from outside as it stands: no markup rendered, no picture
// loaded, no link to follow, and nothing handed to the desktop (browser, file manager) on a click.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QLabel;
class QTextEdit;
class QWidget;

// Markup a server hook or another user of the repository could put in a text.
inline const QString kHostileText =
    QStringLiteral("<b>x</b><a href=\"file:///etc\">y</a><img src=\"/usr/share/pixmaps/debian-logo.png\">");

// Records every URL the application would open with the desktop's handlers, while it lives.
class DesktopOpenRecorder : public QObject {
    Q_OBJECT

public:
    DesktopOpenRecorder();
    ~DesktopOpenRecorder() override;

    const QStringList& Opened() const { return opened; }

public slots:
    void Open(const QUrl& url);

private:
    QStringList opened;
};

// The label whose text holds the hostile text, among the window's labels; null when none does.
QLabel* LabelShowing(QWidget* window, const QString& text = kHostileText);
// A label given its text as plain text, showing part among it, with clicks all over it opening nothing.
void ExpectLabelShowsLiterally(QLabel* label, const QString& part = kHostileText);
// A text box holding the text as characters: no anchor, no image in its document.
void ExpectEditShowsLiterally(const QTextEdit* edit, const QString& text);
