#include "DesktopUtilities.h"
#include "BusyCursorGuard.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

Qt::CursorShape ShownCursor()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BlankCursor;
}

std::unique_ptr<QWidget> MakeWindow(const char* name, bool visible)
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QLatin1String(name));
    if (visible) window->show();
    return window;
}

} // namespace

TEST(DesktopUtilitiesTest, MainWindowIsTheFirstVisibleWindowWithTheHostNameAndBusyGuardsNest)
{
    ASSERT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window of another test is still open";
    ASSERT_FALSE(QApplication::overrideCursor());
    EXPECT_FALSE(IsInteractive());
    EXPECT_EQ(GetMainWindow(), nullptr);

    auto hidden = MakeWindow(kMainWindowObjectName, false);
    EXPECT_TRUE(IsInteractive()); // hidden windows count too
    auto other = MakeWindow("SomeOtherWindow", true);
    EXPECT_EQ(GetMainWindow(), nullptr);

    auto main = MakeWindow(kMainWindowObjectName, true);
    EXPECT_EQ(GetMainWindow(), main.get());
    main->hide();
    EXPECT_EQ(GetMainWindow(), nullptr);
    hidden->show();
    EXPECT_EQ(GetMainWindow(), hidden.get());

    // The guards nest like the override cursor stack.
    {
        const BusyCursorGuard busy;
        EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
        {
            const BusyCursorGuard arrow(Qt::ArrowCursor);
            EXPECT_EQ(ShownCursor(), Qt::ArrowCursor);
        }
        EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
        hidden.reset();
        other.reset();
        main.reset();
        EXPECT_FALSE(IsInteractive());
    } // the last window closed before the end: the guard leaves its cursor
    EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
}
