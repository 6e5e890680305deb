// A message box that shows its texts as they stand. The texts of the plug-in's boxes carry what
// servers, hooks and repositories say (file names, user names, refusals): data, never markup, so
// nothing in them is rendered, loaded or opened.
#pragma once

#include <QMessageBox>

class QLabel;

// No Q_OBJECT of its own: to the host and its tools it is the QMessageBox it always was.
class PlainMessageBox : public QMessageBox {
public:
    PlainMessageBox();
    PlainMessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons = NoButton,
                    QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    // Makes a label show its text literally: plain text, selectable, with no link to follow.
    static void MakePlain(QLabel& label);

private:
    void MakeLabelsPlain();
};
