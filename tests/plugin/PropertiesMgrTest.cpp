// The preference manager on the stand-in host: its store, its listeners, and the account it pushes
// to the real data control.
#include "HostFixture.h"

#include "BaseSystem/zrconnection.h"
#include "framework/QORDBProxy.h"
#include "qor4/ExBase.h"
#include "revisioncontrol/UserParameters.h"

#include <memory>

using Props = IRevisionControlPropertiesMgr;
using Action = Props::ActionWhenEditingReadOnlyAsset;

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

class PropertiesMgrTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        properties = &Properties();
        prefs = &Prefs();
    }
    // The user name of the account the data control works with; empty without one.
    std::string PushedUser()
    {
        const auto* account = dynamic_cast<const standin::UserParameters*>(Control().GetCurrentUserParameters());
        return account ? account->User() : std::string();
    }

    std::unique_ptr<lark::signalling::IConnection> Listen(IRevisionControlPropertiesMgr_Slot& listener)
    {
        lark::signalling::IConnection* connection = nullptr;
        properties->Connect(&listener, &connection);
        return std::unique_ptr<lark::signalling::IConnection>(connection);
    }

    CZRRevisionControlPropertiesMgr* properties = nullptr;
    standin::PrefManager* prefs = nullptr;
};

// An empty store gives the defaults; values written go to the host's store under their keys and are
// read back from it, and an action out of range is refused.
TEST_F(PropertiesMgrTest, EmptyStoreGivesTheDefaultsAndValuesRoundTripThroughTheHostStoreUnderTheirKeys)
{
    for (const char* key : {"RevControl.UserName", "RevControl.Server", "RevControl.Workspace",
                            "RevControl.ActionWhenEditingReadOnlyAsset", "RevControl.UseSourceDataControl"})
        prefs->Remove(key);
    Action action = Props::kMakeWritable;
    EXPECT_TRUE(properties->GetActionWhenEditingReadOnlyAsset(action));
    EXPECT_EQ(action, Props::kPrompt);

    bool always = true, prompt = true, use = true;
    EXPECT_TRUE(properties->GetAlwaysUseSetting(always) && properties->GetPromptForChangeListWhenCheckingOut(prompt) &&
                properties->GetUseSourceDataControl(use));
    EXPECT_FALSE(always || prompt || use);

    std::string user = "x", server = "y", workspace = "z", changeList = "7";
    EXPECT_TRUE(properties->GetAccountProperties(user, server, workspace));
    EXPECT_EQ(user + server + workspace, "");
    EXPECT_TRUE(properties->GetChangeListToUseWhenAutoCheckingOut(changeList));
    EXPECT_EQ(changeList, "");
    EXPECT_FALSE(properties->GetUserSawSourceControlDialog());

    for (Action stored : {Props::kContinue, Props::kPrompt, Props::kCheckOut, Props::kMakeWritable}) {
        EXPECT_TRUE(properties->SetActionWhenEditingReadOnlyAsset(stored));
        Action read = stored == Props::kPrompt ? Props::kContinue : Props::kPrompt;
        EXPECT_TRUE(properties->GetActionWhenEditingReadOnlyAsset(read));
        EXPECT_EQ(read, stored);
        EXPECT_EQ(prefs->RawValue("RevControl.ActionWhenEditingReadOnlyAsset")->toInt(), static_cast<int>(stored));
    }
    for (int outOfRange : {7, -1, 4}) {
        prefs->SetRawValue("RevControl.ActionWhenEditingReadOnlyAsset", outOfRange);
        Action untouched = Props::kCheckOut;
        EXPECT_FALSE(properties->GetActionWhenEditingReadOnlyAsset(untouched)) << outOfRange;
        EXPECT_EQ(untouched, Props::kCheckOut);
    }

    EXPECT_TRUE(properties->SetAlwaysUseSetting(true));
    EXPECT_TRUE(properties->SetPromptForChangeListWhenCheckingOut(true));
    EXPECT_TRUE(properties->SetChangeListToUseWhenAutoCheckingOut("12"));
    EXPECT_TRUE(prefs->RawValue("RevControl.AlwaysUseSetting")->toBool());
    EXPECT_TRUE(prefs->RawValue("RevControl.PromptForChangeListWhenCheckingOut")->toBool());
    EXPECT_EQ(prefs->RawValue("RevControl.ChangeListToUseWhenAutoCheckingOut")->toString(), "12");
    // Whatever the store holds now is what a getter gives, including values written by others.
    prefs->SetRawValue("RevControl.ChangeListToUseWhenAutoCheckingOut", "33");
    properties->GetChangeListToUseWhenAutoCheckingOut(changeList);
    EXPECT_EQ(changeList, "33");
}

// Every write notifies, also one that changes nothing; getters never do. Listeners hear in the
// order they connected, blocked ones are skipped, and a manager's end disconnects its listeners.
TEST_F(PropertiesMgrTest, EveryWriteNotifiesEachListenerOnceInConnectionOrder)
{
    std::vector<int> order;
    CountingListener first(&order, 1), second(&order, 2), unowned(&order, 3);
    auto firstConnection = Listen(first);
    auto secondConnection = Listen(second);
    properties->Connect(&unowned, nullptr);
    properties->SetUseSourceDataControl(false);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    properties->SetUseSourceDataControl(false);
    properties->SetAlwaysUseSetting(true);
    properties->SetPromptForChangeListWhenCheckingOut(true);
    properties->SetChangeListToUseWhenAutoCheckingOut("");
    properties->SetActionWhenEditingReadOnlyAsset(Props::kPrompt);
    properties->SetAccountProperties("ann", "srv:1666", "ann-ws");
    properties->SetUserSawSourceControlDialog(true);
    EXPECT_EQ(first.calls, 8);
    EXPECT_EQ(first.last, properties);
    EXPECT_TRUE(properties->GetUserSawSourceControlDialog());
    bool value = false;
    properties->GetAlwaysUseSetting(value);
    std::string a, b, c;
    properties->GetAccountProperties(a, b, c);
    EXPECT_EQ(first.calls, 8) << "getters never notify";

    secondConnection->Block();
    EXPECT_TRUE(secondConnection->Blocked());
    properties->SetAlwaysUseSetting(true);
    EXPECT_EQ(second.calls, 8);
    EXPECT_EQ(first.calls, 9);
    EXPECT_EQ(unowned.calls, 9);
    secondConnection->Unblock();
    firstConnection->Disconnect();
    properties->SetAlwaysUseSetting(false);
    EXPECT_EQ(first.calls, 9);
    EXPECT_EQ(second.calls, 9);
    EXPECT_EQ(unowned.calls, 10);

    std::unique_ptr<lark::signalling::IConnection> connection;
    {
        CZRRevisionControlPropertiesMgr local;
        lark::signalling::IConnection* made = nullptr;
        local.Connect(&first, &made);
        connection.reset(made);
        EXPECT_TRUE(connection->IsConnected());
        EXPECT_FALSE(local.GetUserSawSourceControlDialog()) << "a fresh manager's own flag";
    }
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(first.calls, 9);
}

TEST_F(PropertiesMgrTest, EveryAccountWriteIsPushedOnlyAConfiguredRefusalIsLoggedAndMissingServicesThrowLast)
{
    // Three empty texts: nothing is configured, so the refusal is no failure worth a line.
    EXPECT_TRUE(properties->SetAccountProperties("", "", ""));
    EXPECT_EQ(PushedUser(), "");
    EXPECT_EQ(Log().Count(), 0U);
    EXPECT_TRUE(prefs->RawValue("RevControl.UserName").has_value());

    // Partly or wholly configured and refused: one warning each, and still pushed (as no account).
    EXPECT_TRUE(properties->SetAccountProperties(kUser, Sandbox().Url(), "/nonexistent/workspace"));
    EXPECT_TRUE(properties->SetAccountProperties("", Sandbox().Url(), ""));
    ASSERT_EQ(Log().Count(), 2U);
    for (const auto& entry : Log().Entries()) {
        EXPECT_EQ(entry.type, Log::MsgType::Warning);
        EXPECT_GT(entry.text.size(), 1U);
        EXPECT_EQ(entry.text.back(), '\n');
    }
    EXPECT_EQ(PushedUser(), "");

    EXPECT_TRUE(properties->SetAccountProperties(kUser, Sandbox().Url(), Sandbox().WorkingCopy(kUser)));
    EXPECT_EQ(PushedUser(), kUser);

    // Switching revision control on pushes the account the store holds, not the switch.
    EXPECT_TRUE(properties->SetAccountProperties("", "", ""));
    ASSERT_EQ(PushedUser(), "");
    prefs->SetRawValue("RevControl.UserName", QString::fromLatin1(kUser));
    prefs->SetRawValue("RevControl.Server", QString::fromStdString(Sandbox().Url()));
    prefs->SetRawValue("RevControl.Workspace", QString::fromStdString(Sandbox().WorkingCopy(kUser)));
    EXPECT_TRUE(properties->SetUseSourceDataControl(true));
    EXPECT_EQ(PushedUser(), kUser);
    bool use = false;
    properties->GetUseSourceDataControl(use);
    EXPECT_TRUE(use);

    // A missing data control is no error.
    Manager().GetInstance()->RemoveComponent(qor4::UID_DataControl());
    EXPECT_TRUE(properties->SetAccountProperties("", "", ""));

    // No data-model manager at all: the host's null-pointer exception leaves the operation.
    Proxy().SetDataModelMgr({});
    CountingListener listener;
    auto connection = Listen(listener);
    qor4::DisableErrorReportingGuard quiet;
    EXPECT_THROW(properties->SetAccountProperties("carl", "s", "w"), qor4::ExBase::NullPtr);
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(prefs->RawValue("RevControl.UserName")->toString(), "carl");

    Proxy().SetDataModelMgr(ManagerPtr());
    Manager().GetInstance()->RegisterComponent(qor4::UID_DataControl(),
                                               qor4::QORPtr<qor4::IQORUnknown>(ControlPtr().Get()));
}

} // namespace
