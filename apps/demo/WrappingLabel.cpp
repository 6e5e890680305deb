#include "WrappingLabel.h"

namespace demo {

void WrappingLabel::Show(const QString& text)
{
    setText(text);
    FitHeight();
}

void WrappingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    FitHeight();
}

void WrappingLabel::FitHeight()
{
    const int needed = heightForWidth(width());
    if (needed > 0 && needed != minimumHeight()) setMinimumHeight(needed);
}

} // namespace demo
