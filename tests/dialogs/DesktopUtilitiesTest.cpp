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
    EXPECT_TRUE(IsInteractive()); // hidden windows count too
    auto other = MakeWindow("SomeOtherWindow", true);
    EXPECT_EQ(GetMainWindow(), nullptr);

    auto main = MakeWindow(kMainWindowObjectName, true);
    EXPECT_EQ(GetMainWindow(), main.get());
    main->hide();
    EXPECT_EQ(GetMainWindow(), nullptr);
    hidden->show();
    EXPECT_EQ(GetMainWindow(), hidden.get());

    hidden.reset();
    other.reset();
    main.reset();
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
        window.reset();
    } // the last window closed before the end: the guard leaves its cursor
    EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
}
