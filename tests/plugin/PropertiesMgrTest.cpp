#include "PluginTestHost.h"

#include "BaseSystem/zrconnection.h"

#include <memory>

using ::testing::_;
using ::testing::DoAll;
using ::testing::Return;
using ::testing::SetArgReferee;
using Action = IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset;

namespace {

class CountingListener : public IRevisionControlPropertiesMgr_Slot {
public:
    explicit CountingListener(std::vector<int>* order = nullptr, int id = 0) : m_order(order), m_id(id) {}
    void OnPropertiesChanged(IRevisionControlPropertiesMgr* manager) override
    {
        ++calls;
        last = manager;
        if (m_order) m_order->push_back(m_id);
    }
    int calls = 0;
    IRevisionControlPropertiesMgr* last = nullptr;

private:
    std::vector<int>* m_order;
    int m_id;
};

class PropertiesMgrTest : public PluginTestHost {
protected:
    std::unique_ptr<lark::signalling::IConnection> Listen(IRevisionControlPropertiesMgr_Slot& listener)
    {
        lark::signalling::IConnection* connection = nullptr;
        properties->Connect(&listener, &connection);
        return std::unique_ptr<lark::signalling::IConnection>(connection);
    }
};

TEST_F(PropertiesMgrTest, EmptyStoreGivesTheDefaults)
{
    Action action = IRevisionControlPropertiesMgr::kMakeWritable;
    EXPECT_TRUE(properties->GetActionWhenEditingReadOnlyAsset(action));
    EXPECT_EQ(action, IRevisionControlPropertiesMgr::kPrompt);

    bool always = true, prompt = true, use = true;
    EXPECT_TRUE(properties->GetAlwaysUseSetting(always));
    EXPECT_TRUE(properties->GetPromptForChangeListWhenCheckingOut(prompt));
    EXPECT_TRUE(properties->GetUseSourceDataControl(use));
    EXPECT_FALSE(always);
    EXPECT_FALSE(prompt);
    EXPECT_FALSE(use);

    std::string user = "x", server = "y", workspace = "z", changeList = "7";
    EXPECT_TRUE(properties->GetAccountProperties(user, server, workspace));
    EXPECT_EQ(user + server + workspace, "");
    EXPECT_TRUE(properties->GetChangeListToUseWhenAutoCheckingOut(changeList));
    EXPECT_EQ(changeList, "");
    EXPECT_FALSE(properties->GetUserSawSourceControlDialog());
}

TEST_F(PropertiesMgrTest, EveryActionRoundTripsAndAnOutOfRangeOneIsRefused)
{
    for (Action stored : {IRevisionControlPropertiesMgr::kContinue, IRevisionControlPropertiesMgr::kPrompt,
                          IRevisionControlPropertiesMgr::kCheckOut, IRevisionControlPropertiesMgr::kMakeWritable}) {
        EXPECT_TRUE(properties->SetActionWhenEditingReadOnlyAsset(stored));
        Action read = stored == IRevisionControlPropertiesMgr::kPrompt ? IRevisionControlPropertiesMgr::kContinue
                                                                       : IRevisionControlPropertiesMgr::kPrompt;
        EXPECT_TRUE(properties->GetActionWhenEditingReadOnlyAsset(read));
        EXPECT_EQ(read, stored);
        EXPECT_EQ(prefs->RawValue("RevControl.ActionWhenEditingReadOnlyAsset")->toInt(), static_cast<int>(stored));
    }

    for (int outOfRange : {7, -1, 4}) {
        prefs->SetRawValue("RevControl.ActionWhenEditingReadOnlyAsset", outOfRange);
        Action untouched = IRevisionControlPropertiesMgr::kCheckOut;
        EXPECT_FALSE(properties->GetActionWhenEditingReadOnlyAsset(untouched)) << outOfRange;
        EXPECT_EQ(untouched, IRevisionControlPropertiesMgr::kCheckOut);
    }
}

TEST_F(PropertiesMgrTest, ValuesLiveInTheHostStoreUnderTheirKeys)
{
    EXPECT_TRUE(properties->SetAlwaysUseSetting(true));
    EXPECT_TRUE(properties->SetPromptForChangeListWhenCheckingOut(true));
    EXPECT_TRUE(properties->SetChangeListToUseWhenAutoCheckingOut("12"));
    EXPECT_TRUE(prefs->RawValue("RevControl.AlwaysUseSetting")->toBool());
    EXPECT_TRUE(prefs->RawValue("RevControl.PromptForChangeListWhenCheckingOut")->toBool());
    EXPECT_EQ(prefs->RawValue("RevControl.ChangeListToUseWhenAutoCheckingOut")->toString(), "12");

    // Whatever the store holds now is what a getter gives, including values written by others.
    prefs->SetRawValue("RevControl.ChangeListToUseWhenAutoCheckingOut", "33");
    std::string changeList;
    properties->GetChangeListToUseWhenAutoCheckingOut(changeList);
    EXPECT_EQ(changeList, "33");
}

TEST_F(PropertiesMgrTest, EveryWriteNotifiesOnceEvenWhenNothingChanged)
{
    CountingListener listener;
    auto connection = Listen(listener);
    MockFileVersionControl fileVersionControl;
    EXPECT_CALL(fileVersionControl, CreateUserParameters(_, _, _, _, _)).WillRepeatedly(Return(nullptr));
    InstallServices(nullptr, &fileVersionControl);

    properties->SetUseSourceDataControl(false);
    properties->SetUseSourceDataControl(false);
    properties->SetAlwaysUseSetting(true);
    properties->SetPromptForChangeListWhenCheckingOut(true);
    properties->SetChangeListToUseWhenAutoCheckingOut("");
    properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kPrompt);
    properties->SetAccountProperties("ann", "srv:1666", "ann-ws");
    properties->SetUserSawSourceControlDialog(true);
    EXPECT_EQ(listener.calls, 8);
    EXPECT_EQ(listener.last, properties);
    EXPECT_TRUE(properties->GetUserSawSourceControlDialog());

    int reads = listener.calls;
    bool value = false;
    properties->GetAlwaysUseSetting(value);
    std::string a, b, c;
    properties->GetAccountProperties(a, b, c);
    EXPECT_EQ(listener.calls, reads) << "getters never notify";
}

TEST_F(PropertiesMgrTest, ListenersHearInConnectionOrderAndBlockedOnesAreSkipped)
{
    std::vector<int> order;
    CountingListener first(&order, 1), second(&order, 2), unowned(&order, 3);
    auto firstConnection = Listen(first);
    auto secondConnection = Listen(second);
    properties->Connect(&unowned, nullptr);

    properties->SetAlwaysUseSetting(true);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    secondConnection->Block();
    EXPECT_TRUE(secondConnection->Blocked());
    properties->SetAlwaysUseSetting(true);
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(first.calls, 2);
    EXPECT_EQ(unowned.calls, 2);

    secondConnection->Unblock();
    firstConnection->Disconnect();
    properties->SetAlwaysUseSetting(false);
    EXPECT_EQ(first.calls, 2);
    EXPECT_EQ(second.calls, 2);
    EXPECT_EQ(unowned.calls, 3);
}

TEST_F(PropertiesMgrTest, DestroyingTheManagerDisconnectsItsListeners)
{
    CountingListener listener;
    std::unique_ptr<lark::signalling::IConnection> connection;
    {
        CZRRevisionControlPropertiesMgr local;
        lark::signalling::IConnection* made = nullptr;
        local.Connect(&listener, &made);
        connection.reset(made);
        EXPECT_TRUE(connection->IsConnected());
    }
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(listener.calls, 0);

    CZRRevisionControlPropertiesMgr fresh;
    EXPECT_FALSE(fresh.GetUserSawSourceControlDialog());
}

TEST_F(PropertiesMgrTest, AccountPushWithThreeEmptyTextsPushesNullAndLogsNothing)
{
    MockDataControl dataControl;
    MockFileVersionControl fileVersionControl;
    InstallServices(&dataControl, &fileVersionControl);
    EXPECT_CALL(fileVersionControl, CreateUserParameters("", "", "", "", _))
        .WillOnce(DoAll(SetArgReferee<4>("no such user"), Return(nullptr)));
    EXPECT_CALL(dataControl, SetUserParameters(nullptr)).WillOnce(Return(0));
    CountingListener listener;
    auto connection = Listen(listener);

    EXPECT_TRUE(properties->SetAccountProperties("", "", ""));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(log.Count(), 0U);
    EXPECT_TRUE(prefs->RawValue("RevControl.UserName").has_value());
    EXPECT_TRUE(prefs->RawValue("RevControl.Server").has_value());
    EXPECT_TRUE(prefs->RawValue("RevControl.Workspace").has_value());
}

TEST_F(PropertiesMgrTest, RefusedAccountIsLoggedAsAWarningAndStillPushed)
{
    MockDataControl dataControl;
    MockFileVersionControl fileVersionControl;
    InstallServices(&dataControl, &fileVersionControl);
    EXPECT_CALL(fileVersionControl, CreateUserParameters("ann", "", "srv:1666", "ann-ws", _))
        .WillOnce(DoAll(SetArgReferee<4>("Connect to server failed"), Return(nullptr)));
    // An account with only some texts filled in is configured too, and its refusal worth a line.
    EXPECT_CALL(fileVersionControl, CreateUserParameters("", "", "srv:1666", "", _))
        .WillOnce(DoAll(SetArgReferee<4>("User name missing"), Return(nullptr)));
    EXPECT_CALL(dataControl, SetUserParameters(nullptr)).Times(2).WillRepeatedly(Return(0));

    EXPECT_TRUE(properties->SetAccountProperties("ann", "srv:1666", "ann-ws"));
    EXPECT_TRUE(properties->SetAccountProperties("", "srv:1666", ""));
    ASSERT_EQ(log.Count(), 2U);
    EXPECT_EQ(log.Entries()[0].type, Log::MsgType::Warning);
    EXPECT_EQ(log.Entries()[0].text, "Connect to server failed\n");
    EXPECT_EQ(log.Entries()[1].text, "User name missing\n");
}

TEST_F(PropertiesMgrTest, SwitchingSourceControlPushesTheStoredAccountNotTheSwitch)
{
    struct Account : qor4::IUserParameters {
    } account;
    MockDataControl dataControl;
    MockFileVersionControl fileVersionControl;
    InstallServices(&dataControl, &fileVersionControl);
    prefs->SetRawValue("RevControl.UserName", "bob");
    prefs->SetRawValue("RevControl.Server", "srv");
    prefs->SetRawValue("RevControl.Workspace", "bob-ws");
    EXPECT_CALL(fileVersionControl, CreateUserParameters("bob", "", "srv", "bob-ws", _)).WillOnce(Return(&account));
    EXPECT_CALL(dataControl, SetUserParameters(&account)).WillOnce(Return(0));

    EXPECT_TRUE(properties->SetUseSourceDataControl(true));
    bool use = false;
    properties->GetUseSourceDataControl(use);
    EXPECT_TRUE(use);
    EXPECT_EQ(dataControl.references, 0) << "the data control reference was released";
    EXPECT_EQ(fileVersionControl.references, 0);
}

TEST_F(PropertiesMgrTest, MissingDataControlIsNoErrorButMissingServicesThrowAfterTheWrites)
{
    MockFileVersionControl fileVersionControl;
    EXPECT_CALL(fileVersionControl, CreateUserParameters(_, _, _, _, _)).WillOnce(Return(nullptr));
    InstallServices(nullptr, &fileVersionControl);
    EXPECT_TRUE(properties->SetAccountProperties("", "", ""));

    // No data-model manager at all: the host's null-pointer exception leaves the operation.
    proxy->SetDataModelMgr({});
    CountingListener listener;
    auto connection = Listen(listener);
    qor4::DisableErrorReportingGuard quiet;
    EXPECT_THROW(properties->SetAccountProperties("carl", "s", "w"), qor4::ExBase::NullPtr);
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(prefs->RawValue("RevControl.UserName")->toString(), "carl");
}

} // namespace
