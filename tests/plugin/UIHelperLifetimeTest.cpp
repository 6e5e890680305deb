#include "PluginTestHost.h"

#include "CRevisionControlUIHelper.h"
#include "PluginEntry.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

using ::testing::_;
using ::testing::Eq;
using ::testing::Return;

namespace {

class UIHelperLifetimeTest : public PluginTestHost {
protected:
    // Builds the helper the way the host does: through the registered factory, then Init.
    CRevisionControlUIHelper* BuildHelper()
    {
        EXPECT_TRUE(pxkPluginRegister());
        auto* helper = dynamic_cast<CRevisionControlUIHelper*>(
            standin::System::Instance().GetSingleton("RevisionControlUIHelper"));
        EXPECT_NE(helper, nullptr);
        return helper;
    }
};

TEST_F(UIHelperLifetimeTest, RegistrationStopsWhenTheSystemIsNotInitialised)
{
    standin::System& system = standin::System::Instance();
    system.SetInitialized(false);
    const int requests = system.SystemRequests();
    EXPECT_FALSE(pxkPluginRegister());
    EXPECT_EQ(system.SystemRequests(), requests) << "larkGetSystem must not be called";
    EXPECT_FALSE(system.HasFactory("RevisionControlUIHelper"));
}

TEST_F(UIHelperLifetimeTest, RegistersTheFactoryUnderItsSingletonNameAndPassesRefusalOn)
{
    standin::System& system = standin::System::Instance();
    EXPECT_TRUE(pxkPluginRegister());
    EXPECT_TRUE(system.HasFactory("RevisionControlUIHelper"));
    // A second registration is refused by this host; the answer is passed on unchanged.
    EXPECT_FALSE(pxkPluginRegister());
    EXPECT_EQ(system.RegisterFactoryCalls(), 2);
}

TEST_F(UIHelperLifetimeTest, InitConnectsOncePerSignalAndDestructionReleasesEveryConnection)
{
    const long disconnectsBefore = standin::LiveCounters::DisconnectCalls();
    {
        CRevisionControlUIHelper helper;
        EXPECT_EQ(proxy->DataModelMgrReadyListeners(), 0U) << "construction connects nothing";
        helper.Init();
        EXPECT_EQ(helper.GetDataModelMgrReadyConnections().size(), 1U);
        EXPECT_EQ(helper.GetItemLibraryReadyConnections().size(), 1U);
        EXPECT_EQ(helper.GetItemLibraryReleasedConnections().size(), 1U);
        EXPECT_EQ(proxy->DataModelMgrReadyListeners(), 1U);
        EXPECT_EQ(proxy->ItemLibraryReadyListeners(), 1U);
        EXPECT_EQ(proxy->ItemLibraryReleasedListeners(), 1U);
        EXPECT_EQ(standin::LiveCounters::LiveConnections(), connectionsAtStart + 3);
        helper.Term();
    }
    EXPECT_EQ(standin::LiveCounters::DisconnectCalls(), disconnectsBefore + 3);
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), connectionsAtStart);
    EXPECT_EQ(proxy->DataModelMgrReadyListeners() + proxy->ItemLibraryReadyListeners() +
                  proxy->ItemLibraryReleasedListeners(),
              0U);
}

TEST_F(UIHelperLifetimeTest, InvalidLibraryGetsNoNotification)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    MockItemLibrary library;
    EXPECT_CALL(library, AddNotification(_, _, _)).Times(0);
    opal::datamodel::ItemLibraryAccessor unrefreshed;
    unrefreshed.ResetContext(&library, 3);
    proxy->SetItemLibrary(unrefreshed);
    helper.Term();
}

TEST_F(UIHelperLifetimeTest, ProgressBoxHasOnlyCancelAndTheFixedText)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    QMessageBox* box = helper.GetProgressBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Perforce Operation in Progress, press Cancel to abort");
    EXPECT_EQ(box->standardButtons(), QMessageBox::Cancel);
    EXPECT_EQ(box->parent(), nullptr);
    EXPECT_FALSE(box->isVisible());
    helper.Term();
}

TEST_F(UIHelperLifetimeTest, WaitEndsWithFalseWhenTheOperationCompletes)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = helper.GetProgressBox()->isVisible();
        helper.NotifyCompletion();
    });
    EXPECT_FALSE(helper.WaitForCompletion());
    EXPECT_TRUE(shown);
    EXPECT_FALSE(helper.GetProgressBox()->isVisible());
    helper.Term();
}

TEST_F(UIHelperLifetimeTest, WaitEndsWithTrueWhenTheUserCancels)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    QTimer::singleShot(0, [&] { helper.GetProgressBox()->button(QMessageBox::Cancel)->click(); });
    EXPECT_TRUE(helper.WaitForCompletion());

    QTimer::singleShot(0, [&] { QTest::keyClick(helper.GetProgressBox(), Qt::Key_Escape); });
    EXPECT_TRUE(helper.WaitForCompletion());
    helper.Term();
}

TEST_F(UIHelperLifetimeTest, AnEarlyCompletionIsForgotten)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    helper.NotifyCompletion();
    QTimer::singleShot(0, [&] { helper.GetProgressBox()->button(QMessageBox::Cancel)->click(); });
    EXPECT_TRUE(helper.WaitForCompletion()) << "the user, not the early completion, closed the box";
    helper.Term();
}

TEST_F(UIHelperLifetimeTest, TermTwiceDeletesTheBoxOnce)
{
    CRevisionControlUIHelper helper;
    helper.Init();
    QPointer<QMessageBox> box = helper.GetProgressBox();
    helper.Term();
    EXPECT_TRUE(box.isNull());
    EXPECT_EQ(helper.GetProgressBox(), nullptr);
    helper.Term();
    // After Term the delegate cannot block the operation.
    EXPECT_FALSE(helper.WaitForCompletion());
}

} // namespace
