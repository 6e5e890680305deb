// The demo's message boxes and tooltips. What they show comes from servers, hooks and the
// repository (refusals, file and user names, certificates): data, shown as it stands, never markup
// to render or links to open.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace demo {

class DemoMessageBox {
public:
    // A warning with an OK button.
    static void Warn(QWidget* parent, const QString& title, const QString& text);
    // A question answered Yes (the default) or No; true for Yes.
    static bool Ask(QWidget* parent, const QString& title, const QString& text);
    // Makes every text the box holds now plain: call it once its texts are set.
    static void MakePlain(QMessageBox& box);
    // A tooltip that reads as the text itself (tooltips guess rich text from their content).
    static QString ToolTip(const QString& text);

    static constexpr const char* kWarningName = "demoWarningBox";
    static constexpr const char* kQuestionName = "demoQuestionBox";
};

} // namespace demo
