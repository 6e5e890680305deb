// WrappingLabel: a word-wrapped label whose height follows its text. A status bar lays its widgets
// out by their size hints alone and would cut the lines of a long report off.
#pragma once

#include <QLabel>

namespace demo {

class WrappingLabel final : public QLabel {
public:
    using QLabel::QLabel;
    void Show(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitHeight();
};

} // namespace demo
