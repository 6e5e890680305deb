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

class DesktopUtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window of another test is still open";
        ASSERT_FALSE(QApplication::overrideCursor());
    }
    void TearDown() override
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
};

} // namespace

TEST_F(DesktopUtilitiesTest, MainWindowIsTheFirstVisibleWindowWithTheHostName)
{
    EXPECT_FALSE(IsInteractive());
    EXPECT_EQ(GetMainWindow(), nullptr);

    auto hidden = MakeWindow(kMainWindowObjectName, false);
    auto other = MakeWindow("SomeOtherWindow", true);
    EXPECT_TRUE(IsInteractive());
    EXPECT_EQ(GetMainWindow(), nullptr);

    auto main = MakeWindow(kMainWindowObjectName, true);
    EXPECT_EQ(GetMainWindow(), main.get());
    main->hide();
    EXPECT_EQ(GetMainWindow(), nullptr);
    hidden->show();
    EXPECT_EQ(GetMainWindow(), hidden.get());
}

TEST_F(DesktopUtilitiesTest, HiddenWindowsStillCountAsInteractive)
{
    auto hidden = MakeWindow("Hidden", false);
    EXPECT_TRUE(IsInteractive());
    hidden.reset();
    EXPECT_FALSE(IsInteractive());
}

TEST(ToNativePath, CleansAndUsesBackslashes)
{
    EXPECT_EQ(ToNativePath("/work//assets/../models/chair.qor"), "\\work\\models\\chair.qor");
    EXPECT_EQ(ToNativePath("C:/Data/./scene.qor"), "C:\\Data\\scene.qor");
    EXPECT_EQ(ToNativePath("relative/dir/"), "relative\\dir");
    EXPECT_EQ(ToNativePath(QString::fromUtf8("/tmp/Gr\xC3\xBC\xC3\x9F"
                                             "e/a b;c.qor")),
              "\\tmp\\Gr\xC3\xBC\xC3\x9F"
              "e\\a b;c.qor");
    EXPECT_EQ(ToNativePath(""), "");
}

TEST_F(DesktopUtilitiesTest, GuardsNestLikeTheOverrideCursorStack)
{
    auto window = MakeWindow("Window", true);
    {
        const BusyCursorGuard busy;
        EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
        {
            const BusyCursorGuard arrow(Qt::ArrowCursor);
            EXPECT_EQ(ShownCursor(), Qt::ArrowCursor);
        }
        EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
    }
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(DesktopUtilitiesTest, GuardWithoutWindowsLeavesTheCursorAlone)
{
    {
        const BusyCursorGuard busy;
        EXPECT_FALSE(QApplication::overrideCursor());
    }
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(DesktopUtilitiesTest, GuardEndingAfterAWindowOpenedRestoresOneCursor)
{
    QApplication::setOverrideCursor(Qt::CrossCursor);
    std::unique_ptr<QWidget> window;
    {
        const BusyCursorGuard busy; // no window yet: pushes nothing
        EXPECT_EQ(ShownCursor(), Qt::CrossCursor);
        window = MakeWindow("Window", true);
    } // a window now exists: pops one cursor, the one pushed before the guard
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(DesktopUtilitiesTest, GuardEndingAfterTheLastWindowClosedLeavesItsCursor)
{
    auto window = MakeWindow("Window", true);
    {
        const BusyCursorGuard busy;
        window.reset();
    }
    EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
}
