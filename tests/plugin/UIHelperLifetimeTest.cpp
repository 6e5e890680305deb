// The UI helper's registration, its connections to the host's proxy, and its progress box.
#include "HostFixture.h"

#include "CRevisionControlUIHelper.h"
#include "PluginEntry.h"
#include "PluginTranslator.h"
#include "framework/LiveCounters.h"
#include "framework/QORDBProxy.h"
#include "framework/System.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The fixture's host has registered the plug-in and built its helper already; the tests here build
// helpers of their own beside it.
using UIHelperLifetimeTest = HostFixture;

// Registration asks nothing of a system that is not initialised, passes the host's refusal of a
// second registration on unchanged, and installs the translation of the language the host set.
TEST_F(UIHelperLifetimeTest, RegistrationFollowsTheSystemsStateSpeaksTheHostsLanguageAndReleaseEndsSaveNotices)
{
    standin::System& system = standin::System::Instance();
    EXPECT_TRUE(system.HasFactory("RevisionControlUIHelper"));
    system.SetInitialized(false);
    const int requests = system.SystemRequests();
    const int registrations = system.RegisterFactoryCalls();
    EXPECT_FALSE(pxkPluginRegister());
    EXPECT_EQ(system.SystemRequests(), requests) << "larkGetSystem must not be called";
    EXPECT_EQ(system.RegisterFactoryCalls(), registrations);
    system.SetInitialized(true);

    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_FALSE(pxkPluginRegister());
    EXPECT_EQ(system.RegisterFactoryCalls(), registrations + 1);
    const QString title = QCoreApplication::translate("CRevisionControlUIHelper", "Check Out Before Saving");
    PluginTranslator::Remove();
    QLocale::setDefault(previous);
    EXPECT_EQ(title, QStringLiteral("Vor dem Speichern auschecken"));

    // Releasing the item library ends the helper's save notifications.
    const opal::datamodel::IItemLibraryNotification* listener = &Helper();
    const auto saveListeners = [this, listener] {
        int count = 0;
        for (const auto& registration : Library().GetRegistrations())
            count += registration.listener == listener &&
                     (registration.mask & opal::datamodel::NotificationMask::kSave) != 0;
        return count;
    };
    ASSERT_EQ(saveListeners(), 1) << "the open data base's saves reach the helper";

    Proxy().ReleaseItemLibrary();

    EXPECT_EQ(saveListeners(), 0);
    const auto& calls = Library().GetRegistrationCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_FALSE(calls.back().added);
    EXPECT_EQ(calls.back().registration.listener, listener);
    EXPECT_EQ(calls.back().registration.mask,
              opal::datamodel::NotificationMask::kSave | opal::datamodel::NotificationMask::kSaveRecord);
}

// Init connects once to each of the proxy's signals and Term releases them all; a library whose
// context was never refreshed gets no notification. The progress box has only Cancel and the fixed
// text and shows while the wait lasts, which ends with false when the operation completes and with
// true when the user cancels, by button or by Escape.
TEST_F(UIHelperLifetimeTest, InitConnectsOncePerSignalTheProgressBoxTellsACancelAndTermReleasesEveryConnection)
{
    const long disconnectsBefore = standin::LiveCounters::DisconnectCalls();
    const long connectionsBefore = standin::LiveCounters::LiveConnections();
    const auto listeners = [this] {
        return std::vector<std::size_t>{Proxy().DataModelMgrReadyListeners(), Proxy().ItemLibraryReadyListeners(),
                                        Proxy().ItemLibraryReleasedListeners()};
    };
    const std::vector<std::size_t> before = listeners();
    {
        CRevisionControlUIHelper helper;
        EXPECT_EQ(listeners(), before) << "construction connects nothing";
        helper.Init();
        EXPECT_EQ(helper.GetDataModelMgrReadyConnections().size(), 1U);
        EXPECT_EQ(helper.GetItemLibraryReadyConnections().size(), 1U);
        EXPECT_EQ(helper.GetItemLibraryReleasedConnections().size(), 1U);
        EXPECT_EQ(listeners(), (std::vector<std::size_t>{before[0] + 1, before[1] + 1, before[2] + 1}));
        EXPECT_EQ(standin::LiveCounters::LiveConnections(), connectionsBefore + 3);
        opal::datamodel::ItemLibraryAccessor unrefreshed;
        unrefreshed.ResetContext(&Library(), 3);
        Proxy().SetItemLibrary(unrefreshed);
        for (const auto& registration : Library().GetRegistrations())
            EXPECT_NE(registration.listener, &helper);

        QMessageBox* box = helper.GetProgressBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Perforce Operation in Progress, press Cancel to abort");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Cancel);
        EXPECT_EQ(box->parent(), nullptr);
        EXPECT_FALSE(box->isVisible());
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = box->isVisible();
            helper.NotifyCompletion();
        });
        EXPECT_FALSE(helper.WaitForCompletion());
        EXPECT_TRUE(shown);
        EXPECT_FALSE(box->isVisible());
        QTimer::singleShot(0, [&] { box->button(QMessageBox::Cancel)->click(); });
        EXPECT_TRUE(helper.WaitForCompletion());
        QTimer::singleShot(0, [&] { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_TRUE(helper.WaitForCompletion());
        helper.Term();
    }
    EXPECT_EQ(standin::LiveCounters::DisconnectCalls(), disconnectsBefore + 3);
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), connectionsBefore);
    EXPECT_EQ(listeners(), before);
}

} // namespace
