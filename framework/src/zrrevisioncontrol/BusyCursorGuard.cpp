#include "BusyCursorGuard.h"

#include "DesktopUtilities.h"

#include <QApplication>
#include <QCursor>

// No flag is kept on purpose: both ends ask IsInteractive() anew, so a window opened while the
// guard lives still gets its override cursor popped.
BusyCursorGuard::BusyCursorGuard() : BusyCursorGuard(Qt::WaitCursor) {}

BusyCursorGuard::BusyCursorGuard(Qt::CursorShape shape)
{
    if (IsInteractive()) QApplication::setOverrideCursor(QCursor(shape));
}

BusyCursorGuard::~BusyCursorGuard()
{
    if (IsInteractive()) QApplication::restoreOverrideCursor();
}
